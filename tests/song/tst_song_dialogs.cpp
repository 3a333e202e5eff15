#include "chord_edit_dialog.h"
#include "key_edit_dialog.h"
#include "lane_editing.h"
#include "lane_events.h"
#include "make_chords.h"
#include "message_box.h"
#include "midi_clip.h"
#include "section_edit_dialog.h"
#include "session.h"
#include "song_state.h"
#include "style_loader.h"
#include "track.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

// The song dialogs driven through their widgets, as a person would, while they run modally.
class TestSongDialogs : public QObject
{
    Q_OBJECT

    struct Song
    {
        Session session;
        MidiClip* melody = nullptr;
        SongState* state = nullptr;
        Song()
        {
            auto* track = new Track(&session, Track::MidiTrack);
            session.addTrack(track);
            melody = new MidiClip(&session);
            track->addClip(melody);
            state = SongState::of(&session);
        }
        MidiSequence& seq() { return melody->sequence(); }
        void loadDefaultStyle() { ::loadDefaultStyle(session); }
        // The default piano's one arranged part.
        MidiSequence& arranged()
        {
            return static_cast<MidiClip*>(state->arrangedTracks.at(0)->firstClip())->sequence();
        }
    };

    // Runs action on the next modal dialog of type Form once it shows.
    template <typename Form>
    static void whenShown(std::function<void(Form*)> action)
    {
        QTimer::singleShot(0, [action] {
            auto* form = qobject_cast<Form*>(QApplication::activeModalWidget());
            QVERIFY2(form, "the expected dialog is not showing");
            action(form);
        });
    }
    static void choose(QWidget* form, const char* combo, const QString& text)
    {
        auto* box = form->findChild<QComboBox*>(QLatin1String(combo));
        QVERIFY(box);
        const int i = box->findText(text);
        QVERIFY2(i >= 0, qPrintable(text));
        box->setCurrentIndex(i);
    }
    static void click(QWidget* form, const char* button)
    {
        auto* b = form->findChild<QPushButton*>(QLatin1String(button));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }

private Q_SLOTS:
    void aChordChosenUnderTranspositionIsStoredUntransposed()
    {
        Song song;
        song.state->transpose = 3;
        setLaneEvent(song.seq(), 0, ChordLane, QStringLiteral("C"));
        QString shown;
        whenShown<ChordEditDialog>([&](ChordEditDialog* form) {
            shown = form->chord();
            choose(form, "rootCombo", QStringLiteral("F"));
            choose(form, "accidentalCombo", QString());
            choose(form, "extensionCombo", QStringLiteral("m"));
            form->findChild<QCheckBox*>(QStringLiteral("fixedCheck"))->setChecked(true);
            click(form, "okButton");
        });
        QCOMPARE(editChordLane(nullptr, *song.state, *song.melody, 0, 960), LaneEdit::Stored);
        QCOMPARE(shown, QStringLiteral("Eb"));
        const MidiEvent* chord = findLaneEvent(song.seq(), 0, ChordLane);
        QCOMPARE(laneText(chord), QStringLiteral("Dm"));
        QVERIFY(isFixedChord(chord));
        QCOMPARE(song.seq().length(), 960u);
        QVERIFY(song.state->chordsChanged);
        QVERIFY(song.melody->isModified());
    }

    void theChordFormReadsChordsIntoItsLists_data()
    {
        QTest::addColumn<QString>("chord");
        QTest::addColumn<QString>("composed");
        QTest::newRow("flat seventh") << "Bb7" << "Bb7";
        QTest::newRow("sharp minor") << "F#m" << "F#m";
        QTest::newRow("type not offered") << "Cmaj7" << "C";
        QTest::newRow("drums") << "Drums" << "Drums";
        QTest::newRow("empty with text") << "Empty bar" << "Empty";
    }
    void theChordFormReadsChordsIntoItsLists()
    {
        QFETCH(QString, chord);
        QFETCH(QString, composed);
        ChordEditDialog form;
        form.setChord(chord, false);
        QCOMPARE(form.chord(), composed);
    }

    void deletingTheLastChordShortensTheMelody()
    {
        Song song;
        song.seq().insert(MidiEvent::note(0, 60, 100, 960));
        setLaneEvent(song.seq(), 3840, ChordLane, QStringLiteral("G"));
        song.seq().setLength(4800);
        whenShown<ChordEditDialog>([](ChordEditDialog* form) { click(form, "deleteButton"); });
        QCOMPARE(editChordLane(nullptr, *song.state, *song.melody, 3840, 4800), LaneEdit::Deleted);
        QVERIFY(!findLaneEvent(song.seq(), 3840, ChordLane));
        QCOMPARE(song.seq().length(), 3840u);

        whenShown<ChordEditDialog>([](ChordEditDialog* form) { click(form, "cancelButton"); });
        song.state->chordsChanged = false;
        QCOMPARE(editChordLane(nullptr, *song.state, *song.melody, 0, 960), LaneEdit::Cancelled);
        QVERIFY(!song.state->chordsChanged);
    }

    void sectionsAndTheirFixedFlag()
    {
        Song song;
        song.seq().setLength(3840);
        song.loadDefaultStyle();
        whenShown<SectionEditDialog>([](SectionEditDialog* form) {
            QCOMPARE(form->section(), QStringLiteral("Intro A"));
            choose(form, "sectionCombo", QStringLiteral("Ending B"));
            form->findChild<QCheckBox*>(QStringLiteral("fixedCheck"))->setChecked(true);
            click(form, "okButton");
        });
        QCOMPARE(editSectionLane(nullptr, *song.state, *song.melody, 3840, 7680),
                 LaneEdit::Stored);
        QCOMPARE(laneText(findLaneEvent(song.seq(), 3840, SectionLane)), QStringLiteral("Ending B"));
        QVERIFY(song.state->sectionsFixed);
        QCOMPARE(song.seq().length(), 7680u);
        // No chord yet: the rebuilt arrangement is silent.
        QVERIFY(song.arranged().isEmpty());
    }

    void keyDialogFixesOrFollowsTheSuggestion()
    {
        Song song;
        for (int i = 0; i < 4; ++i) // G major ending on E: E minor is suggested
            song.seq().insert(MidiEvent::note(uint32_t(i) * 960,
                                              uint8_t(QList<int>{67, 71, 66, 64}[i]), 100, 960));
        song.seq().setLength(3840);
        song.state->transpose = 2;
        QString text;
        whenShown<KeyEditDialog>([&](KeyEditDialog* form) {
            QCOMPARE(form->key(), QStringLiteral("Dmaj")); // Cmaj shown two semitones up
            text = form->findChild<QLabel*>(QStringLiteral("textLabel"))->text();
            choose(form, "rootCombo", QStringLiteral("A"));
            choose(form, "typeCombo", QStringLiteral("min"));
            click(form, "fixButton");
        });
        QVERIFY(editKey(nullptr, song.session, *song.melody));
        QVERIFY(text.contains(QStringLiteral("Suggested key is <b>F#min</b>")));
        QVERIFY(song.state->keyFixed);
        QCOMPARE(song.state->key, QStringLiteral("Gmin"));
        QCOMPARE(song.state->suggestedKey, QStringLiteral("Emin"));
        // Chord finding ran at once in the fixed key.
        QVERIFY(findLaneEvent(song.seq(), 0, ChordLane));

        whenShown<KeyEditDialog>([](KeyEditDialog* form) { click(form, "autoButton"); });
        QVERIFY(editKey(nullptr, song.session, *song.melody));
        QVERIFY(!song.state->keyFixed);
        QCOMPARE(song.state->key, QStringLiteral("Emin"));
    }

    void makeChordsAsksBeforeReplacingHandEditedChords()
    {
        Song song;
        song.seq().insert(MidiEvent::note(0, 60, 100, 3840));
        song.seq().setLength(3840);
        song.state->chordsChanged = true;
        {
            ScriptedAnswers answers({QMessageBox::No});
            QVERIFY(!makeChords(nullptr, song.session, *song.melody));
            QCOMPARE(answers.asked().size(), 1);
            QCOMPARE(answers.asked().first().title,
                     QStringLiteral("Making Chord arrangement from MIDI melody"));
            QVERIFY(answers.asked().first().text.contains(
                QStringLiteral("The song sections may be removed too.")));
            QVERIFY(!findLaneEvent(song.seq(), 0, ChordLane));
        }
        song.loadDefaultStyle();
        ScriptedAnswers answers({QMessageBox::Yes});
        QVERIFY(makeChords(nullptr, song.session, *song.melody));
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, ChordLane)), QStringLiteral("C"));
        QVERIFY(!song.state->chordsChanged);
        // Sections were placed and the default piano plays the chord under the melody.
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, SectionLane)), QStringLiteral("Main A"));
        QVERIFY(!song.arranged().isEmpty());
        QCOMPARE(song.arranged().first()->time, 0u);
    }
};

QTEST_MAIN(TestSongDialogs)
#include "tst_song_dialogs.moc"
