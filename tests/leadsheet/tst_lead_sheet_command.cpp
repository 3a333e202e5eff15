#include "app_test_environment.h"
#include "music_xml_model.h"

#include "file_dialog.h"
#include "lane_events.h"
#include "lead_sheet_command.h"
#include "message_box.h"
#include "session.h"
#include "song_file.h"
#include "song_state.h"
#include "song_tracks.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A song in F major, 4/4: four quarter notes a bar for two bars, F at bar 1, C7 at bar 2.
void makeSong(Session& session, const SongTracks& tracks)
{
    MidiSequence& melody = tracks.melody->sequence();
    const int keys[] = {65, 67, 69, 70, 72, 70, 69, 67};
    for (int i = 0; i < 8; ++i)
        melody.insert(MidiEvent::note(uint32_t(i) * 960, uint8_t(keys[i]), 100, 900));
    setLaneEvent(melody, 0, ChordLane, QStringLiteral("F"));
    setLaneEvent(melody, 4 * 960, ChordLane, QStringLiteral("C7"), true);
    setLaneEvent(melody, 0, SectionLane, QStringLiteral("Main A"));
    melody.setLength(8 * 960);
    SongState::of(&session)->key = QStringLiteral("Fmaj");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

/** The lead sheet of a saved song from the command line, make-song and the window. */
class TestLeadSheetCommand : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;
    QString m_song;

    QString path(const QString& name) const { return m_files.filePath(name); }

    int run(const QStringList& arguments, QString* output = nullptr, QString* errors = nullptr)
    {
        QString out, err;
        QTextStream o(&out), e(&err);
        const int code = LeadSheetCommand::run(arguments, o, e);
        o.flush();
        e.flush();
        if (output)
            *output = out;
        if (errors)
            *errors = err;
        return code;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = new AppTestEnvironment;
        Session session;
        const SongTracks tracks = SongTracks::addTo(session);
        makeSong(session, tracks);
        m_song = path(QStringLiteral("Little Tune.mid"));
        SongFile file(&session, tracks.melodyTrack, tracks.melody, nullptr,
                      SongState::of(&session));
        QVERIFY(file.saveSong(m_song));
    }
    void cleanupTestCase() { delete m_env; }

    void commandWritesTheSongsLeadSheet()
    {
        const QString sheet = path(QStringLiteral("tune.musicxml"));
        QString out, err;
        QCOMPARE(run({m_song, QStringLiteral("-o"), sheet}, &out, &err), 0);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(out, QStringLiteral("lead-sheet: %1\n").arg(sheet));
        const XmlScore score = XmlScore::read(readFile(sheet));
        QVERIFY2(score.error.isEmpty(), qPrintable(score.error));
        QCOMPARE(score.title, QStringLiteral("Little Tune"));
        QCOMPARE(score.fifths, -1);
        QCOMPARE(score.measures.size(), 2);
        QList<int> keys;
        for (const XmlMeasure& m : score.measures)
            for (const XmlNote& n : m.notes)
                keys << n.key();
        QCOMPARE(keys, (QList<int>{65, 67, 69, 70, 72, 70, 69, 67}));
        // B flat, not A sharp, in F major.
        QCOMPARE(score.measures[0].notes[3].step, QStringLiteral("B"));
        QCOMPARE(score.measures[0].notes[3].alter, -1);
        QCOMPARE(score.measures[0].rehearsals, QStringList{"Main A"});
        QCOMPARE(score.measures[0].harmonies.size(), 1);
        QCOMPARE(score.measures[0].harmonies[0].rootStep, QStringLiteral("F"));
        QCOMPARE(score.measures[1].harmonies[0].kind, QStringLiteral("dominant"));

        const QString packed = path(QStringLiteral("tune.mxl"));
        QCOMPARE(run({m_song, QStringLiteral("-o"), packed}), 0);
        QVERIFY(readFile(packed).startsWith("PK\x03\x04"));
    }

    void commandRefusesWhatItCannotDo()
    {
        QString err;
        QCOMPARE(run({m_song}, nullptr, &err), 2);
        QVERIFY(err.contains(QLatin1String("-o SHEET.musicxml")));
        QCOMPARE(run({m_song, QStringLiteral("-o"), path(QStringLiteral("x.pdf"))}), 2);
        QCOMPARE(run({m_song, QStringLiteral("--bogus")}), 2);
        QCOMPARE(run({path(QStringLiteral("none.mid")), QStringLiteral("-o"),
                      path(QStringLiteral("x.musicxml"))},
                     nullptr, &err),
                 1);
        QVERIFY(err.contains(QLatin1String("no such file")));
        // Not a MIDI file: the reader's message, no lead sheet.
        const QString junk = path(QStringLiteral("junk.mid"));
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a song") > 0);
        file.close();
        const QString sheet = path(QStringLiteral("junk.musicxml"));
        QCOMPARE(run({junk, QStringLiteral("-o"), sheet}, nullptr, &err), 1);
        QVERIFY(!err.trimmed().endsWith(QLatin1Char(':')));
        QVERIFY(!QFile::exists(sheet));
        QString help;
        QCOMPARE(run({QStringLiteral("--help")}, &help), 0);
        QVERIFY(help.contains(QLatin1String("lead sheet")));
    }

    void makeSongWritesALeadSheetToo()
    {
        const QString song = path(QStringLiteral("made.mid"));
        const QString sheet = path(QStringLiteral("made.mxl"));
        QProcess program;
        program.start(QStringLiteral(CANTOVA_PROGRAM),
                      {QStringLiteral("make-song"), m_song, QStringLiteral("-o"), song,
                       QStringLiteral("--lead-sheet"), sheet});
        QVERIFY(program.waitForFinished(120000));
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        QVERIFY2(program.exitCode() == 0,
                 qPrintable(out + QString::fromLocal8Bit(program.readAllStandardError())));
        QVERIFY(out.contains(QStringLiteral("lead-sheet: %1\n").arg(sheet)));
        QVERIFY(readFile(sheet).startsWith("PK\x03\x04"));

        program.start(QStringLiteral(CANTOVA_PROGRAM),
                      {QStringLiteral("make-song"), m_song, QStringLiteral("-o"), song,
                       QStringLiteral("--lead-sheet"), path(QStringLiteral("made.txt"))});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitCode(), 2);
    }

    void windowExportsTheOpenSong()
    {
        Settings settings;
        MainWindow form(&settings);
        QVERIFY(form.openSong(m_song));
        const QString sheet = path(QStringLiteral("from window"));
        {
            // A name without a suffix gets ".musicxml".
            ScriptedFiles files({{sheet}});
            act(form, "exportLeadSheetAction")->trigger();
            QCOMPARE(files.asked().size(), 1);
            QVERIFY(files.asked()[0].save);
            QCOMPARE(files.asked()[0].dir, path(QStringLiteral("Little Tune.musicxml")));
        }
        const XmlScore score = XmlScore::read(readFile(sheet + QStringLiteral(".musicxml")));
        QCOMPARE(score.title, QStringLiteral("Little Tune"));
        QCOMPARE(score.measures.size(), 2);
        QVERIFY(!form.isSongModified()); // exporting only reads the song

        // A song without notes has nothing to write: a warning, no file.
        QVERIFY(form.newSong());
        ScriptedAnswers answers;
        ScriptedFiles files({{path(QStringLiteral("empty.musicxml"))}});
        act(form, "exportLeadSheetAction")->trigger();
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked()[0].text.contains(QLatin1String("no melody notes")));
        QVERIFY(!QFile::exists(path(QStringLiteral("empty.musicxml"))));
    }
};

QTEST_MAIN(TestLeadSheetCommand)
#include "tst_lead_sheet_command.moc"
