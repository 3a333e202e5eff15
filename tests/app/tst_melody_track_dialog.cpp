// Choosing the melody track of a MIDI file from elsewhere: the dialog itself, and the window's
// Open MIDI asking it only when there is a choice to make.
#include "app_test_environment.h"
#include "main_window.h"
#include "melody_track_dialog.h"
#include "message_box.h"
#include "settings.h"

#include "midi_clip.h"
#include "smf_bytes.h"
#include "track.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

MidiImport::Candidate candidate(int track, int channel, int program, int notes, int low, int high)
{
    MidiImport::Candidate c;
    c.track = track;
    c.channel = channel;
    c.name = QStringLiteral("Track %1").arg(track);
    c.program = program;
    c.notes = notes;
    c.lowestKey = low;
    c.highestKey = high;
    return c;
}

QByteArray note(int channel, int key, uint32_t delta, uint32_t length)
{
    return smf::ev(delta, {0x90 | channel, key, 100}) + smf::ev(length, {0x80 | channel, key, 0});
}

QList<int> melodyKeys(MainWindow& form)
{
    QList<int> keys;
    auto* clip = dynamic_cast<MidiClip*>(form.melodyClip());
    for (const MidiEvent* e = clip ? clip->sequence().first() : nullptr; e; e = e->next())
        if (e->isNote())
            keys << e->data1;
    return keys;
}

} // namespace

class TestMelodyTrackDialog : public QObject
{
    Q_OBJECT

    AppTestEnvironment m_environment;
    QTemporaryDir m_files;

private Q_SLOTS:
    void listsEveryCandidateWithThePreselectedOneCurrent()
    {
        const MelodyTrackDialog::Candidates candidates{candidate(1, 9, -1, 40, 36, 46),
                                                       candidate(2, 0, 73, 12, 67, 79),
                                                       candidate(3, 1, -1, 1, 48, 48)};
        MelodyTrackDialog dialog(candidates, 1);
        QTreeWidget* list = dialog.list();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Melody Track - Cantova"));
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(dialog.chosen(), 1);
        const QTreeWidgetItem* drums = list->topLevelItem(0);
        QCOMPARE(drums->text(2), QStringLiteral("10"));
        QCOMPARE(drums->text(3), QStringLiteral("Drums"));
        const QTreeWidgetItem* flute = list->topLevelItem(1);
        QCOMPARE(flute->text(0), QStringLiteral("2"));
        QCOMPARE(flute->text(1), QStringLiteral("Track 2"));
        QCOMPARE(flute->text(3), QStringLiteral("Flute"));
        QCOMPARE(flute->text(4), QStringLiteral("12"));
        QCOMPARE(flute->text(5), QStringLiteral("G4 - G5"));
        QCOMPARE(list->topLevelItem(2)->text(5), QStringLiteral("C3"));

        // The keyboard moves the choice; OK takes it.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(dialog.chosen(), 2);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void openMidiAsksOnlyWhenThereIsAChoice()
    {
        Settings settings;
        MainWindow form(&settings);
        std::vector<MelodyTrackDialog::Candidates> asked;
        int answer = 1;
        MelodyTrackDialog::setChooser(
            [&](const MelodyTrackDialog::Candidates& candidates, int preselected) {
                asked.push_back(candidates);
                if (preselected != 0)
                    return -2; // never an answer the window takes
                return answer;
            });

        // The tune on channel 1, chords on channel 2: the chooser takes the chords.
        const QString two = m_files.filePath(QStringLiteral("two.mid"));
        QByteArray events = note(0, 72, 0, 96) + note(0, 74, 0, 96);
        for (int key : {48, 52, 55})
            events += smf::ev(0, {0x91, key, 70});
        for (int key : {48, 52, 55})
            events += smf::ev(key == 48 ? 192 : 0, {0x81, key, 0});
        QVERIFY(smf::save(two, smf::header(0, 1, 96) + smf::track(events)));
        ScriptedAnswers answers;
        form.openFile(two);
        QCOMPARE(int(asked.size()), 1);
        QCOMPARE(int(asked.front().size()), 2);
        QCOMPARE(melodyKeys(form), (QList<int>{48, 52, 55}));
        QCOMPARE(form.melodyTrack()->name(), QStringLiteral("two.mid"));
        QVERIFY(answers.asked().isEmpty());

        // Cancelled: no error box and the melody track keeps its name.
        answer = -1;
        form.openFile(two);
        QCOMPARE(int(asked.size()), 2);
        QVERIFY(answers.asked().isEmpty());
        QCOMPARE(form.melodyTrack()->name(), QStringLiteral("two.mid"));

        // One track: no choice, the window's warning instead.
        const QString one = m_files.filePath(QStringLiteral("one.mid"));
        QVERIFY(smf::save(one, smf::header(1, 1, 96) + smf::track(note(2, 64, 0, 96))));
        answers.push(QMessageBox::Ok);
        form.openFile(one);
        QCOMPARE(int(asked.size()), 2);
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked().first().text.startsWith(
            QStringLiteral("This MIDI file is not created with Cantova.")));
        QCOMPARE(melodyKeys(form), QList<int>{64});
        MelodyTrackDialog::setChooser({});
    }
};

QTEST_MAIN(TestMelodyTrackDialog)
#include "tst_melody_track_dialog.moc"
