// The keys people press and the files they come back to: Space plays from anywhere but a text
// field being edited, Save writes to the song's own file, the recent files, Open takes any
// supported file by its type.
#include "app_test_environment.h"

#include "file_dialog.h"
#include "help_window.h"
#include "main_window.h"
#include "message_box.h"
#include "recent_files.h"
#include "settings.h"

#include "lane_events.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_lane.h"
#include "song_state.h"
#include "tracks_view.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

namespace {

/** Presses Space where the keyboard is and tells whether the transport was asked to play. */
bool spacePlays(MainWindow& form)
{
    QSignalSpy played(act(form, "transportPlayAction"), &QAction::triggered);
    ScriptedAnswers answers; // a headless run has no sound card to play on
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
    QTest::keyClick(target, Qt::Key_Space);
    return played.count() == 1;
}

} // namespace

class TestWindowKeysAndFiles : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;

    QString path(const QString& name) const { return m_files.filePath(name); }

private Q_SLOTS:
    void initTestCase() { m_env = new AppTestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void init() { m_env->clearSettings(); }

    void spacePlaysUnlessATextFieldIsBeingEdited()
    {
        Settings settings;
        MainWindow form(&settings);
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        // After start-up the tracks view has the keyboard, not the time display.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.tracksView()));
        QVERIFY(spacePlays(form));

        // Typing into the tempo box keeps Space for the box; Return ends the edit.
        auto* tempo = form.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"));
        QTest::mouseClick(tempo, Qt::LeftButton);
        QVERIFY(tempo->hasFocus());
        tempo->selectAll();
        QTest::keyClicks(tempo, QStringLiteral("96"));
        QVERIFY(!spacePlays(form));
        QTest::keyClick(tempo, Qt::Key_Return);
        QCOMPARE(tempo->value(), 96.0);
        QVERIFY(!tempo->hasFocus());
        QVERIFY(spacePlays(form));

        // Escape throws the typed text away and gives the keyboard back as well.
        QTest::mouseClick(tempo, Qt::LeftButton);
        tempo->selectAll();
        QTest::keyClicks(tempo, QStringLiteral("150"));
        QTest::keyClick(tempo, Qt::Key_Escape);
        QCOMPARE(tempo->value(), 96.0);
        QVERIFY(!tempo->hasFocus());
        QVERIFY(spacePlays(form));
    }

    void saveWritesToTheSongsOwnFileWithoutADialog()
    {
        Settings settings;
        MainWindow form(&settings);
        giveMelodyANote(form);
        const QString song = path(QStringLiteral("own.mid"));
        {
            // A new song has no file yet: Save asks where, once.
            ScriptedFiles files({{song}});
            act(form, "fileSaveAction")->trigger();
            QCOMPARE(files.asked().size(), 1);
        }
        QCOMPARE(form.songPath(), song);
        QCOMPARE(act(form, "fileSaveAction")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(act(form, "saveMidiAction")->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+Shift+S")));
        melody(form)->sequence().insert(MidiEvent::note(960, 64, 100, 960));
        melody(form)->setModified(true);
        const qint64 before = QFileInfo(song).size();
        ScriptedFiles files;
        act(form, "fileSaveAction")->trigger();
        QVERIFY(files.asked().isEmpty());
        QVERIFY(QFileInfo(song).size() > before);
        QVERIFY(!form.isSongModified());

        // The close question's Save goes to the same file.
        melody(form)->setModified(true);
        ScriptedAnswers answers({QMessageBox::Save});
        QVERIFY(form.close());
        QVERIFY(files.asked().isEmpty());
    }

    void recentFilesKeepTheLastEightThatStillExist()
    {
        Settings settings;
        MainWindow form(&settings);
        RecentFiles* recent = form.recentFiles();
        QStringList written;
        for (int i = 0; i < 10; ++i) {
            written << path(QStringLiteral("song%1.mid").arg(i));
            QFile file(written.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            recent->add(written.last());
        }
        QCOMPARE(recent->files().size(), RecentFiles::kMaxFiles);
        QCOMPARE(recent->files().first(), written.last());
        QVERIFY(!recent->files().contains(written.first()));
        // Stored in the settings for the next start.
        Settings reread;
        QCOMPARE(reread.recentFiles, recent->files());

        QFile::remove(written.last());
        emit recent->menu()->aboutToShow();
        QCOMPARE(recent->files().size(), RecentFiles::kMaxFiles - 1);
        QCOMPARE(recent->files().first(), written.at(8));
        QCOMPARE(recent->menu()->actions().size(), RecentFiles::kMaxFiles - 1);
        QVERIFY(recent->menu()->actions().first()->text().endsWith(QStringLiteral("song8.mid")));
    }

    void openTakesAnySupportedFileByItsType()
    {
        Settings settings;
        MainWindow form(&settings);
        giveMelodyANote(form);
        const QString song = path(QStringLiteral("any.mid"));
        QVERIFY(form.saveSong(song));
        const QString style = QStringLiteral(CANTOVA_STYLES_DIR "/Pop 8 Beat.sty");
        {
            ScriptedFiles files({{style}});
            ScriptedAnswers answers;
            QCOMPARE(act(form, "fileOpenAction")->shortcut(),
                     QKeySequence(QStringLiteral("Ctrl+O")));
            act(form, "fileOpenAction")->trigger();
            const QString filter = files.asked().first().filter;
            for (const char* pattern : {"*.mid", "*.sty", "*.wav", "*.flac"})
                QVERIFY2(
                    filter.section(QStringLiteral(";;"), 0, 0).contains(QLatin1String(pattern)),
                    pattern);
            QCOMPARE(SongState::of(form.session())->stylePath, style);
        }
        {
            ScriptedFiles files({{song}});
            ScriptedAnswers answers({QMessageBox::Discard});
            act(form, "fileOpenAction")->trigger();
            QCOMPARE(form.songPath(), song);
        }
        // Both went to the recent files, the song first.
        QCOMPARE(form.recentFiles()->files().mid(0, 2), QStringList({song, style}));
        // Choosing a recent file opens it again.
        QSignalSpy spy(form.recentFiles(), &RecentFiles::openRequested);
        form.recentFiles()->menu()->actions().at(1)->trigger();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(), style);
    }

    void helpIsReadInsideTheProgramWhenNoBrowserOpens()
    {
        Settings settings;
        MainWindow form(&settings);
        auto page = [&](const char* name, const QByteArray& html) {
            QFile file(m_env->programDir() + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(html);
        };
        page("help.html", "<html><head><title>Help Contents</title></head><body>"
                          "<p><a href=\"index.html\">Guides</a></p></body></html>");
        page("index.html", "<html><head><title>Guides</title></head><body>"
                           "<p>Sing a melody.</p></body></html>");
        QList<QUrl> asked;
        HelpWindow::setBrowser([&](const QUrl& url) {
            asked.append(url);
            return false; // no browser on this desktop
        });
        ScriptedAnswers answers;
        act(form, "helpContentsAction")->trigger();
        HelpWindow::setBrowser({});
        QCOMPARE(asked.size(), 1);
        QVERIFY(answers.asked().isEmpty());
        HelpWindow* help = form.helpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->source().toLocalFile(), m_env->programDir() + QStringLiteral("/help.html"));
        QCOMPARE(help->windowTitle(), QStringLiteral("Help Contents"));

        // The link to the other page works from the keyboard: Tab to it, Return to follow.
        QTextBrowser* browser = help->browser();
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QCOMPARE(help->source().fileName(), QStringLiteral("index.html"));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Sing a melody.")));
        auto* back = help->findChild<QToolButton*>(QStringLiteral("helpBackButton"));
        QVERIFY(back->isEnabled());
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(help->source().fileName(), QStringLiteral("help.html"));
    }

    void theTracksViewShowsTheKeyChordsAndSectionsOfAMadeSong()
    {
        Settings settings;
        MainWindow form(&settings);
        SongLane* lane = form.tracksView()->songLane();
        QVERIFY(lane->labels().empty());
        MidiSequence& notes = melody(form)->sequence();
        static constexpr uint8_t kTune[] = {69, 72, 76, 72, 69, 72, 76, 81};
        for (int i = 0; i < 8; ++i)
            notes.insert(MidiEvent::note(uint32_t(i) * 960, kTune[i], 100, 900));
        notes.setLength(8 * 960);
        ScriptedAnswers answers;
        act(form, "makeSongAction")->trigger();

        const SongState& song = *SongState::of(form.session());
        QCOMPARE(lane->key(), song.displayedKey());
        QCOMPARE(form.tracksView()->findChild<QLabel*>(QStringLiteral("SongKeyLabel"))->text(),
                 QStringLiteral("Key: %1").arg(song.displayedKey()));
        QStringList sections, chords;
        uint32_t lastFrame = 0;
        for (const SongLane::Label& label : lane->labels()) {
            QVERIFY(label.frame >= lastFrame); // in time order, as they play
            lastFrame = label.frame;
            (label.kind == SectionLane ? sections : chords) << label.text;
        }
        QVERIFY2(sections.contains(QStringLiteral("Main A")), qPrintable(sections.join(',')));
        QVERIFY(chords.size() >= 2);
        // The lane follows undo: the song before Make Song had neither.
        act(form, "editUndoAction")->trigger();
        QVERIFY(lane->labels().empty());
    }
};

QTEST_MAIN(TestWindowKeysAndFiles)
#include "tst_window_keys_and_files.moc"
