#include "info_command.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_file.h"
#include "song_state.h"
#include "track.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

Result runInfo(const QStringList& arguments)
{
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.code = InfoCommand::run(arguments, out, err);
    out.flush();
    err.flush();
    return r;
}

QStringList lines(const QString& text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A song of three bars of 3/4 as the window saves it: melody, lanes, key, flags and style.
bool saveSong(const QString& path, const QString& stylePath, bool withStructure = true)
{
    Session session;
    session.setTempo(100.0f);
    session.setMeter(2, 3, 2);
    session.scale().recompute();
    // A tempo change at bar 5 (4 bars of 3 quarter notes at 960 ticks).
    session.scale().setNode(session.scale().tickToFrame(4 * 2880), 90.0f, 2, 3, 2);
    session.addTrack(new Track(&session, Track::AudioTrack));
    auto* melodyTrack = new Track(&session, Track::MidiTrack);
    session.addTrack(melodyTrack);
    auto* melody = new MidiClip(&session);
    melodyTrack->addClip(melody);

    MidiSequence& m = melody->sequence();
    m.insert(MidiEvent::note(0, 64, 100, 960));
    m.insert(MidiEvent::note(3840, 67, 100, 960));
    m.insert(MidiEvent::note(5760, 72, 100, 960));
    setLaneEvent(m, 0, SectionLane, QStringLiteral("Intro A"));
    setLaneEvent(m, 0, ChordLane, QStringLiteral("Em"), true);
    setLaneEvent(m, 0, SuggestedChordsLane, QStringLiteral("Em = 3.0\nC = 2.5\n"));
    setLaneEvent(m, 2880, SectionLane, QStringLiteral("Main A"));
    setLaneEvent(m, 3840, ChordLane, QStringLiteral("C"));
    setLaneEvent(m, 5760, ChordLane, QStringLiteral("G7"));
    m.setLength(8640);
    melody->setLength(session.scale().tickToFrame(8640));

    SongState* state = SongState::of(&session);
    state->key = QStringLiteral("Dmin");
    state->keyFixed = true;
    state->stylePath = stylePath;
    return SongFile(&session, melodyTrack, melody, nullptr, withStructure ? state : nullptr)
        .saveSong(path);
}

QString stylesDir()
{
    return QStringLiteral(CANTOVA_STYLES_DIR);
}

QByteArray bigEndian(uint32_t value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(value >> (24 - 8 * i));
    return bytes;
}

QByteArray chunk(const char* tag, const QByteArray& data)
{
    return QByteArray(tag, 4) + bigEndian(uint32_t(data.size())) + data;
}

// A style whose names carry the NUL padding and control bytes real files have: a marker track
// named "Mark" NUL "s", and a part whose table name holds a 0x01 byte.
QByteArray styleWithRawNames()
{
    const QByteArray markers = QByteArray("\x00\xFF\x03\x06Mark\x00s", 10) +
                               QByteArray("\x60\xFF\x06\x06Main A\x00\xFF\x2F\x00", 14);
    const QByteArray bass = QByteArray("\x00\xFF\x03\x07"
                                       "Bass\x00\x00\x00",
                                       11) +
                            QByteArray("\x60\x90\x3C\x64\x60\x80\x3C\x00\x00\xFF\x2F\x00", 12);
    const QByteArray entry =
        QByteArray("\x01Pad\x01    \x01", 10) + QByteArray(17, '\0'); // source 1, destination 1
    const QByteArray table = chunk("CSEG", chunk("Sdec", "Main A") + chunk("Ctab", entry));
    return QByteArray("MThd\x00\x00\x00\x06\x00\x01\x00\x02\x00\x60", 14) + chunk("MTrk", markers) +
           chunk("MTrk", bass) + chunk("CASM", table);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestInfoCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // Every key the command printed is documented in the help text.
    static void checkKeysAreDocumented(const QString& out)
    {
        const QString help = InfoCommand::helpText();
        for (const QString& line : lines(out)) {
            const QString key = line.section(QLatin1Char(':'), 0, 0);
            QVERIFY2(help.contains(QStringLiteral("  %1: ").arg(key)), qPrintable(line));
        }
    }

private Q_SLOTS:
    void aSavedSongReportsEveryFactOnALineOfItsOwn()
    {
        const QString path = dir.filePath(QStringLiteral("song.mid"));
        const QString style = QDir(stylesDir()).filePath(QStringLiteral("Waltz.sty"));
        QVERIFY(saveSong(path, style));
        const Result r = runInfo({path});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        QCOMPARE(lines(r.out), (QStringList{
                                   QStringLiteral("file: %1").arg(path),
                                   "type: song",
                                   "format: 1",
                                   "tracks: 2",
                                   "division: 960",
                                   "track: 0 notes 0 song",
                                   "track: 1 notes 3",
                                   "cantova-song: yes",
                                   "key: Dmin",
                                   "key-fixed: yes",
                                   "sections-fixed: no",
                                   QStringLiteral("style: %1").arg(style),
                                   "style-found: yes",
                                   "tempo: 1 100 3/4",
                                   "tempo: 5 90 3/4",
                                   "bars: 3",
                                   "notes: 3",
                                   "lowest-note: 64 E4",
                                   "highest-note: 72 C5",
                                   "section: 1.1 Intro A",
                                   "chord: 1.1 Em fixed",
                                   "section: 2.1 Main A",
                                   "chord: 2.2 C",
                                   "chord: 3.1 G7",
                               }));
        checkKeysAreDocumented(r.out);
    }

    void aMissingStyleAndAForeignFileAreReportedWithTheWindowsWarnings()
    {
        const QString missing = dir.filePath(QStringLiteral("missing.mid"));
        QVERIFY(saveSong(missing, QStringLiteral("/nowhere/Gone.sty")));
        Result r = runInfo({missing});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("\nstyle: /nowhere/Gone.sty\nstyle-found: no\n")));
        QVERIFY(r.err.contains(QStringLiteral("The style file does not exist:")));

        const QString foreign = dir.filePath(QStringLiteral("foreign.mid"));
        QVERIFY(saveSong(foreign, QString(), false));
        r = runInfo({foreign});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("\ncantova-song: no\nkey: none\n")));
        QVERIFY(r.out.contains(QStringLiteral("\nstyle: none\nstyle-found: no\n")));
        // A file without the song header is imported: its texts and markers are no lanes.
        QVERIFY(!r.out.contains(QStringLiteral("\nchord: ")));
        QVERIFY(!r.out.contains(QStringLiteral("\nsection: ")));
        QVERIFY(r.out.contains(QStringLiteral("\nnotes: 3\n")));
        QVERIFY(r.out.contains(QStringLiteral("\nmelody-track: 1\n")));
        QVERIFY(r.err.contains(QStringLiteral("This MIDI file is not created with Cantova.")));
        checkKeysAreDocumented(r.out);
    }

    void everyShippedStyleIsDescribed_data()
    {
        QTest::addColumn<QString>("path");
        const QStringList styles =
            QDir(stylesDir()).entryList({QStringLiteral("*.sty")}, QDir::Files, QDir::Name);
        QVERIFY(styles.size() >= 5);
        for (const QString& name : styles)
            QTest::newRow(qPrintable(name)) << QDir(stylesDir()).filePath(name);
    }

    void everyShippedStyleIsDescribed()
    {
        QFETCH(QString, path);
        const Result r = runInfo({path});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        const QStringList out = lines(r.out);
        QCOMPARE(out.at(1), QStringLiteral("type: style"));
        QVERIFY(out.contains(QStringLiteral("format: 1")));
        QVERIFY(out.filter(QRegularExpression(QStringLiteral("^meter: [2346]/[48]$"))).size() == 1);
        // Each of the nine sections with a length, and a part per playing track, each named by
        // the part table and playing notes.
        const QStringList sections = out.filter(QRegularExpression(QStringLiteral("^section: ")));
        QCOMPARE(sections.size(), 9);
        QCOMPARE(sections.filter(QRegularExpression(QStringLiteral("^section: [1-9]\\d* Main A$")))
                     .size(),
                 1);
        const QStringList parts = out.filter(QRegularExpression(QStringLiteral("^part: ")));
        const QStringList casm = out.filter(QRegularExpression(QStringLiteral("^casm-part: ")));
        QVERIFY(out.contains(QStringLiteral("casm: yes")));
        QVERIFY(parts.size() >= 4);
        QVERIFY(casm.size() >= parts.size() - 1);
        for (const QString& part : parts.mid(1)) {
            QVERIFY2(part.contains(QRegularExpression(QStringLiteral(" notes [1-9]\\d* \\S"))),
                     qPrintable(part));
        }
        // The drums; the piano-only accompaniment has none.
        const bool pianoOnly = path.endsWith(QLatin1String("/Piano Accompaniment.sty"));
        QCOMPARE(parts.filter(QStringLiteral(" channel 10 ")).size(), pianoOnly ? 0 : 1);
        checkKeysAreDocumented(r.out);
    }

    void theWaltzStyleReadsAsItsMakerWroteIt()
    {
        const Result r = runInfo({QDir(stylesDir()).filePath(QStringLiteral("Waltz.sty"))});
        QCOMPARE(r.code, 0);
        const QStringList out = lines(r.out);
        QVERIFY(out.contains(QStringLiteral("division: 480")));
        QVERIFY(out.contains(QStringLiteral("meter: 3/4")));
        // Markers at 1440 and 7200 ticks of 480 per quarter: the intro is 12 quarter notes.
        QVERIFY(out.contains(QStringLiteral("section: 12 Intro A")));
        QVERIFY(out.contains(QStringLiteral("section: 6 Ending B")));
        QVERIFY(out.filter(QRegularExpression(QStringLiteral("^part: \\d channel 10 .* Drums$")))
                    .size() == 1);
    }

    void anEighthNoteMetersBarsAndBeatsCountEighths()
    {
        const QString path = dir.filePath(QStringLiteral("six-eight.mid"));
        {
            Session session;
            session.setMeter(2, 6, 3);
            session.scale().recompute();
            auto* track = new Track(&session, Track::MidiTrack);
            session.addTrack(track);
            auto* melody = new MidiClip(&session);
            track->addClip(melody);
            MidiSequence& m = melody->sequence();
            m.insert(MidiEvent::note(0, 64, 100, 480));
            m.insert(MidiEvent::note(2880, 69, 100, 2880)); // the whole of bar 2
            setLaneEvent(m, 0, ChordLane, QStringLiteral("C"));
            setLaneEvent(m, 1440, ChordLane, QStringLiteral("G7")); // the fourth eighth
            setLaneEvent(m, 2880, ChordLane, QStringLiteral("Am")); // six eighths: bar 2
            m.setLength(5760);
            melody->setLength(session.scale().tickToFrame(5760));
            QVERIFY(
                SongFile(&session, track, melody, nullptr, SongState::of(&session)).saveSong(path));
        }
        const Result r = runInfo({path});
        const QStringList out = lines(r.out);
        QVERIFY2(out.contains(QStringLiteral("tempo: 1 120 6/8")), qPrintable(r.out + r.err));
        QVERIFY2(out.contains(QStringLiteral("bars: 2")), qPrintable(r.out));
        QVERIFY(out.contains(QStringLiteral("chord: 1.1 C")));
        QVERIFY(out.contains(QStringLiteral("chord: 1.4 G7")));
        QVERIFY(out.contains(QStringLiteral("chord: 2.1 Am")));
    }

    void stylesAreToldBySuffixInAnyCaseOrByContent()
    {
        QFile original(QStringLiteral(CANTOVA_TEST_DATA "/styles/drums_by_table.sty"));
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray withTable = original.readAll();
        QFile plain(QStringLiteral(CANTOVA_TEST_DATA "/styles/plain_three_parts.sty"));
        QVERIFY(plain.open(QIODevice::ReadOnly));
        const QByteArray markersOnly = plain.readAll();
        const QList<QPair<QString, QByteArray>> files{
            {"Upper.STY", withTable},    {"Mixed.Sty", withTable}, {"Other.sst", withTable},
            {"Other.PRS", withTable},    {"table.mid", withTable}, {"noname", withTable},
            {"markers.mid", markersOnly}};
        for (const auto& [name, bytes] : files) {
            const QString path = dir.filePath(name);
            QVERIFY(writeFile(path, bytes));
            const Result r = runInfo({path});
            QVERIFY2(r.code == 0, qPrintable(name + QLatin1Char(' ') + r.err));
            QVERIFY2(lines(r.out).value(1) == QStringLiteral("type: style"), qPrintable(name));
            QVERIFY(r.out.contains(QStringLiteral("\nmeter: 3/4\n")));
        }
        // A song keeps its sections in the melody track: still a song.
        const QString song = dir.filePath(QStringLiteral("sections.mid"));
        QVERIFY(saveSong(song, QString()));
        QCOMPARE(lines(runInfo({song}).out).value(1), QStringLiteral("type: song"));
    }

    void namesWithControlBytesPrintAsText()
    {
        const QString path = dir.filePath(QStringLiteral("raw names.sty"));
        QVERIFY(writeFile(path, styleWithRawNames()));
        const Result r = runInfo({path});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!r.out.contains(QChar(0)));
        QVERIFY(!r.out.contains(QChar(1)));
        const QStringList out = lines(r.out);
        QVERIFY2(out.contains(QStringLiteral("part: 1 channel 9 program -1 bank -1 notes 0 "
                                             "Mark\\x00s(section)")),
                 qPrintable(r.out));
        QVERIFY2(out.contains(QStringLiteral("part: 2 channel 2 program 0 bank 0 notes 1 "
                                             "Pad\\x01")),
                 qPrintable(r.out));
        QVERIFY(out.contains(QStringLiteral("casm-part: 1 1 Pad\\x01")));
    }

    void badFilesGiveTheirMessageAndExitStatusOne_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such song") << dir.filePath(QStringLiteral("none.mid"))
                                      << QStringLiteral("The file was not loaded:");
        QTest::newRow("no such style")
            << dir.filePath(QStringLiteral("none.sty")) << QStringLiteral("openStyle: ");
        QTest::newRow("folder") << dir.path() << QStringLiteral("The file was not loaded:");
        const QString styles = QStringLiteral(CANTOVA_TEST_DATA "/styles/");
        QTest::newRow("style without Main A")
            << styles + QStringLiteral("no_main_a.sty") << QStringLiteral("\"Main A\"");
        QTest::newRow("style with two Main A")
            << styles + QStringLiteral("two_main_a.sty") << QStringLiteral("\"Main A\"");
        QTest::newRow("empty style")
            << styles + QStringLiteral("malformed/empty.sty") << QStringLiteral("openStyle: ");
    }

    void badFilesGiveTheirMessageAndExitStatusOne()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        const Result r = runInfo({path});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(QStringLiteral("cantova info: ")), qPrintable(r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    // Looking whether a file is a style does not repeat why it is no MIDI file at all.
    void anEmptyFileSaysOnceThatItIsNoMidiFile()
    {
        const QString path = dir.filePath(QStringLiteral("empty.mid"));
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const Result r = runInfo({path});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count(QStringLiteral("not a Standard MIDI File")), 1);
        QVERIFY2(r.err.contains(path + QStringLiteral(": not a Standard MIDI File")),
                 qPrintable(r.err));
    }

    void aFormatZeroFileListsItsChannelsAndTakesTheTuneAsTheMelody()
    {
        // A format-0 file written by the MIDI writer: chords on channel 2, the tune on 1.
        const QString path = dir.filePath(QStringLiteral("format0.mid"));
        {
            MidiFile file;
            MidiSequence tune(QStringLiteral("Tune"), 0, 480);
            MidiSequence chords(QString(), 1, 480);
            tune.setProgram(73);
            for (uint32_t i = 0; i < 4; ++i) {
                tune.insert(MidiEvent::note(i * 480, uint8_t(67 + 2 * i), 90, 480));
                for (uint8_t key : {48, 52, 55})
                    chords.insert(MidiEvent::note(i * 480, key, 70, 480));
            }
            MidiSequence* both[2] = {&tune, &chords};
            QVERIFY(file.open(path, MidiFile::Write));
            QVERIFY(file.writeHeader(0, 1, 480));
            QVERIFY(file.writeTracks(both));
            QVERIFY(file.close());
        }
        const Result r = runInfo({path});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString()); // a choice to make, not a warning
        const QStringList out = lines(r.out);
        QVERIFY(out.contains(QStringLiteral("format: 0")));
        QVERIFY(out.contains(QStringLiteral("track: 0 notes 16 Tune")));
        QCOMPARE(out.filter(QStringLiteral("import-track: ")),
                 (QStringList{
                     "import-track: 1 track 0 channel 1 program 73 notes 4 range 67-73 Tune",
                     "import-track: 2 track 0 channel 2 program -1 notes 12 range 48-55 Tune"}));
        QVERIFY(out.contains(QStringLiteral("melody-track: 1")));
        QVERIFY(out.contains(QStringLiteral("notes: 4")));
        QVERIFY(out.contains(QStringLiteral("lowest-note: 67 G4")));
        checkKeysAreDocumented(r.out);
    }

    void aDrumOnlyFileIsRefused()
    {
        const QString path = dir.filePath(QStringLiteral("drums.mid"));
        {
            MidiFile file;
            MidiSequence drums(QStringLiteral("Drums"), 9, 480);
            drums.insert(MidiEvent::note(0, 36, 90, 240));
            QVERIFY(file.open(path, MidiFile::Write));
            QVERIFY(file.writeHeader(0, 1, 480));
            QVERIFY(file.writeTrack(&drums));
            QVERIFY(file.close());
        }
        const Result r = runInfo({path});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("The file holds only drums (channel 10)")),
                 qPrintable(r.err));
    }

    // Every malformed file of the MIDI and style corpora: a message and status 1, or a report
    // (the reader accepts some of them); never a crash.
    void malformedFilesNeverCrash_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& folder : {QStringLiteral(CANTOVA_TEST_DATA "/midi/malformed"),
                                      QStringLiteral(CANTOVA_TEST_DATA "/styles/malformed")}) {
            const QDir d(folder);
            for (const QString& name : d.entryList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(name)) << d.filePath(name);
        }
    }

    void malformedFilesNeverCrash()
    {
        QFETCH(QString, path);
        const Result r = runInfo({path});
        if (QFileInfo(path).fileName().startsWith(QLatin1String("fail-")))
            QCOMPARE(r.code, 1);
        QVERIFY(r.code == 0 || r.code == 1);
        if (r.code == 0)
            QVERIFY(r.out.startsWith(QStringLiteral("file: ")));
        else
            QVERIFY(r.out.isEmpty() && r.err.size() > QStringLiteral("cantova info: \n").size());
    }

    void helpAndUsage()
    {
        Result r = runInfo({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("Usage: cantova info FILE\n")));
        for (const QStringList& wrong :
             {QStringList{}, QStringList{QStringLiteral("a.mid"), QStringLiteral("b.mid")},
              QStringList{QStringLiteral("--bogus")}}) {
            r = runInfo(wrong);
            QCOMPARE(r.code, 2);
            QVERIFY(r.out.isEmpty());
            QVERIFY(r.err.startsWith(QStringLiteral("Usage: cantova info FILE\n")));
        }
    }
};

QTEST_GUILESS_MAIN(TestInfoCommand)
#include "tst_info_command.moc"
