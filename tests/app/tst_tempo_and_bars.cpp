// Find Tempo and Bars in the window: a melody sung without a click gets its tempo, meter and
// bar 1, its downbeats land on the song's bar lines, and one undo gives back the melody and the
// tempo map exactly. Make Song offers it for an opened audio file, not for a take.
#include "app_test_environment.h"

#include "audio_file_flow.h"
#include "clip_command.h"
#include "error_log.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"

#include "clip.h"
#include "command_list.h"
#include "session.h"
#include "time_scale.h"

#include <QFile>
#include <QStatusBar>
#include <QTest>
#include <cmath>

namespace {

const QString kFlute = QStringLiteral(CANTOVA_TEST_DATA "/transcribe/flute_melody.flac");

QStringList dump(const MidiSequence& sequence)
{
    QStringList events;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        events << QStringLiteral("%1 %2 %3 %4")
                      .arg(e->time)
                      .arg(e->status)
                      .arg(e->data1)
                      .arg(e->duration);
    return events;
}

QStringList tempoMap(Session& session)
{
    QStringList nodes;
    for (const TempoNode* n = session.scale().firstNode(); n; n = n->next)
        nodes << QStringLiteral("%1 %2 %3/%4")
                     .arg(n->frame)
                     .arg(n->tempo)
                     .arg(n->beatsPerBar)
                     .arg(n->beatUnit);
    return nodes;
}

/** A waltz at 90 quarter notes per minute (long note on each downbeat), written at the song's
 *  120: lead-in seconds of silence, then pickup quarters before the first downbeat. Returns the
 *  ticks of the downbeats as sung. */
std::vector<uint32_t> writeWaltz(MidiSequence& notes, double leadIn, int pickup)
{
    const double quarter = 60.0 / 90.0;
    const auto tick = [](double seconds) { return uint32_t(std::lround(seconds * 1920.0)); };
    static const std::vector<double> bars[] = {{2, 1}, {1, 1, 1}, {2, 1}, {3}};
    static const uint8_t tune[] = {60, 64, 67, 65, 64, 62, 60, 67, 69, 67, 65, 64};
    int key = 0;
    double at = leadIn;
    for (int p = 0; p < pickup; ++p, at += quarter)
        notes.insert(MidiEvent::note(tick(at), 67, 100, tick(quarter * 0.9)));
    std::vector<uint32_t> downbeats;
    for (int bar = 0; bar < 12; ++bar) {
        downbeats.push_back(tick(at));
        for (double length : bars[bar % 4]) {
            notes.insert(
                MidiEvent::note(tick(at), tune[key++ % 12], 100, tick(length * quarter * 0.9)));
            at += length * quarter;
        }
    }
    notes.setLength(tick(at));
    return downbeats;
}

} // namespace

class TestTempoAndBars : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;

private Q_SLOTS:
    void initTestCase() { m_env = new AppTestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void init()
    {
        m_env->clearSettings();
        ErrorLog::take();
    }

    void downbeatsLandOnBarLinesAndUndoRestoresAll_data()
    {
        QTest::addColumn<double>("leadIn");
        QTest::addColumn<int>("pickup");
        QTest::addColumn<int>("firstBar"); // bar index the first downbeat lands on
        QTest::newRow("lead-in cut") << 1.3 << 0 << 0;
        QTest::newRow("pickup becomes an anacrusis") << 0.2 << 1 << 1;
    }

    void downbeatsLandOnBarLinesAndUndoRestoresAll()
    {
        QFETCH(double, leadIn);
        QFETCH(int, pickup);
        QFETCH(int, firstBar);
        Settings settings;
        MainWindow form(&settings);
        Session& session = *form.session();
        const std::vector<uint32_t> sung = writeWaltz(melody(form)->sequence(), leadIn, pickup);
        melody(form)->setModified(true);
        const QStringList melodyBefore = dump(melody(form)->sequence());
        const QStringList mapBefore = tempoMap(session);
        const int steps = session.commands().currentIndex();

        ScriptedAnswers answers;
        act(form, "findTempoAndBarsAction")->trigger();
        QVERIFY2(answers.asked().isEmpty(), qPrintable(answers.asked().value(0).text));
        const TempoNode* first = session.scale().firstNode();
        QCOMPARE(first->beatsPerBar, uint16_t(3));
        QCOMPARE(first->beatUnit, uint16_t(2));
        QVERIFY2(std::abs(first->tempo - 90.0f) <= 1.0f, qPrintable(QString::number(first->tempo)));
        QVERIFY2(form.statusBar()->currentMessage().startsWith(QStringLiteral("Found 90 beats")),
                 qPrintable(form.statusBar()->currentMessage()));

        // Every sung downbeat starts a note on a bar line, the first on the bar expected.
        const uint32_t barTicks = 3 * 960;
        std::vector<uint32_t> starts;
        for (const MidiEvent* e = melody(form)->sequence().first(); e; e = e->next())
            if (e->isNote())
                starts.push_back(e->time);
        const uint32_t firstDownbeat = starts[size_t(pickup)];
        const int expected = firstBar * int(barTicks);
        QVERIFY2(std::abs(int(firstDownbeat) - expected) <= 30,
                 qPrintable(QStringLiteral("%1 for %2").arg(firstDownbeat).arg(expected)));
        int onBarLines = 0;
        for (uint32_t start : starts) {
            const uint32_t into = start % barTicks;
            onBarLines += into <= 30 || into >= barTicks - 30;
        }
        QCOMPARE(onBarLines, int(sung.size()));
        if (pickup > 0)
            QVERIFY(starts.front() < firstDownbeat && starts.front() + 1000 > firstDownbeat);

        QCOMPARE(session.commands().currentIndex(), steps + 1);
        QCOMPARE(act(form, "editUndoAction")->text(),
                 QStringLiteral("&Undo (Find Tempo and Bars)"));
        act(form, "editUndoAction")->trigger();
        QCOMPARE(dump(melody(form)->sequence()), melodyBefore);
        QCOMPARE(tempoMap(session), mapBefore);
    }

    void withoutAMelodyItWarnsAndChangesNothing()
    {
        Settings settings;
        MainWindow form(&settings);
        const int steps = form.session()->commands().currentIndex();
        ScriptedAnswers answers;
        act(form, "findTempoAndBarsAction")->trigger();
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked().first().text.startsWith(
            QStringLiteral("There is no melody to find the tempo and bars of.")));
        QCOMPARE(form.session()->commands().currentIndex(), steps);

        giveMelodyANote(form); // too few notes to tell
        act(form, "findTempoAndBarsAction")->trigger();
        QCOMPARE(answers.asked().size(), 2);
        QVERIFY(answers.asked().last().text.startsWith(QStringLiteral("Too few notes")));
        QCOMPARE(form.session()->commands().currentIndex(), steps);
    }

    // The melody transcribed before sits on the recording before and after: neither undo nor
    // redo may ask for it to be transcribed again; undoing the transcription does.
    void undoAndRedoKeepTheRecordingsTranscriptionMark()
    {
        Settings settings;
        MainWindow form(&settings);
        {
            ScriptedAnswers discard({QMessageBox::Discard});
            QVERIFY2(form.openAudioFile(kFlute), qPrintable(ErrorLog::take()));
        }
        QVERIFY(form.audioClip()->needsTranscription());
        ScriptedAnswers answers;
        act(form, "audioToMidiAction")->trigger();
        QVERIFY(!form.audioClip()->needsTranscription());
        act(form, "findTempoAndBarsAction")->trigger();
        QVERIFY2(form.statusBar()->currentMessage().startsWith(QStringLiteral("Found")),
                 qPrintable(form.statusBar()->currentMessage()));
        QVERIFY(!form.audioClip()->needsTranscription());

        act(form, "editUndoAction")->trigger();
        QVERIFY(!form.audioClip()->needsTranscription());
        act(form, "editRedoAction")->trigger();
        QVERIFY(!form.audioClip()->needsTranscription());
        act(form, "editUndoAction")->trigger();
        QCOMPARE(act(form, "editUndoAction")->text(), QStringLiteral("&Undo (Audio to MIDI)"));
        act(form, "editUndoAction")->trigger();
        QVERIFY(form.audioClip()->needsTranscription());
        QVERIFY2(answers.asked().isEmpty(), qPrintable(answers.asked().value(0).text));
    }

    void makeSongOffersItForAnOpenedFileOnly()
    {
        const QString question = QStringLiteral("The melody comes from an audio file");
        auto offered = [&](const ScriptedAnswers& answers) {
            for (const MessageBox::Request& request : answers.asked())
                if (request.text.startsWith(question))
                    return true;
            return false;
        };
        {
            Settings settings;
            MainWindow form(&settings);
            {
                ScriptedAnswers discard({QMessageBox::Discard});
                QVERIFY2(form.openAudioFile(kFlute), qPrintable(ErrorLog::take()));
            }
            ScriptedAnswers answers({QMessageBox::Yes});
            act(form, "makeSongAction")->trigger();
            QVERIFY(offered(answers));
            QVERIFY2(form.statusBar()->currentMessage().startsWith(QStringLiteral("Found")),
                     qPrintable(form.statusBar()->currentMessage()));
            QVERIFY(!form.audioClip()->needsTranscription());
            // The transcription, the bars and the song undo as one step.
            QCOMPARE(act(form, "editUndoAction")->text(), QStringLiteral("&Undo (Make Song)"));
        }
        {
            // A take comes onto the audio track through a clip command of its own.
            const QString take = m_files.filePath(QStringLiteral("take.flac"));
            QVERIFY(QFile::copy(kFlute, take));
            Settings settings;
            MainWindow form(&settings);
            Session& session = *form.session();
            auto load = AudioFileFlow(&session).makeLoadCommand(form.audioTrack(), take);
            QVERIFY(load);
            QVERIFY(session.push(std::move(load)));
            ScriptedAnswers answers;
            act(form, "makeSongAction")->trigger();
            QVERIFY(!offered(answers));
            QVERIFY(!form.audioClip()->needsTranscription()); // it was transcribed all the same
        }
    }
};

QTEST_MAIN(TestTempoAndBars)
#include "tst_tempo_and_bars.moc"
