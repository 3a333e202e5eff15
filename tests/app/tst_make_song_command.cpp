// The make-song command as a person runs it: the program itself, on a shipped sample and on a
// MIDI melody; the songs it writes are reopened the way Open MIDI reads them.
#include "audio_file.h"
#include "lane_events.h"
#include "message_box.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_file.h"
#include "session.h"
#include "snd_file.h"
#include "song_file.h"
#include "song_host.h"
#include "song_state.h"
#include "song_tracks.h"
#include "style_actions.h"
#include "style_reader.h"
#include "time_scale.h"
#include "track.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace {

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

Result cantova(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(CANTOVA_PROGRAM), arguments);
    Result r;
    if (!process.waitForFinished(300000))
        return r;
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

/** "key: value" lines of a command's output. */
QMultiMap<QString, QString> facts(const QString& out)
{
    QMultiMap<QString, QString> map;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        map.insert(line.section(QStringLiteral(": "), 0, 0), line.section(QStringLiteral(": "), 1));
    return map;
}

// A song reopened as the window opens a MIDI file: the melody, then its style and arrangement.
struct Reopened : public SongHost
{
    Session session;
    Track* melodyTrack = nullptr;
    MidiClip* melody = nullptr;

    explicit Reopened(const QString& path)
    {
        const SongTracks tracks = SongTracks::addTo(session);
        melodyTrack = tracks.melodyTrack;
        melody = tracks.melody;
        opened =
            SongFile(&session, melodyTrack, melody, this, SongState::of(&session)).openSong(path);
    }
    void loadStyle(const QString& path) override { openStyleFlow(nullptr, session, path, melody); }

    SongState& song() { return *SongState::of(&session); }
    QStringList lane(int kind)
    {
        QStringList texts;
        for (const MidiEvent* e = melody->sequence().first(); e; e = e->next())
            if (laneKind(e) == kind)
                texts << QStringLiteral("%1 %2").arg(e->time).arg(laneText(e));
        return texts;
    }
    QList<int> arrangedNotes()
    {
        QList<int> counts;
        for (Track* track : song().arrangedTracks) {
            int notes = 0;
            auto* clip = static_cast<MidiClip*>(track->firstClip());
            for (const MidiEvent* e = clip->sequence().first(); e; e = e->next())
                notes += e->isNote();
            counts << notes;
        }
        return counts;
    }

    bool opened = false;
};

// Ode to Joy in quarter notes, C major, saved as a plain melody.
void writeMelody(const QString& path)
{
    static const int tune[] = {64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 64, 62, 62, -1};
    Session session;
    const SongTracks tracks = SongTracks::addTo(session);
    Track* track = tracks.melodyTrack;
    MidiClip* melody = tracks.melody;
    uint32_t time = 0;
    for (int repeat = 0; repeat < 2; ++repeat)
        for (int key : tune) {
            if (key >= 0)
                melody->sequence().insert(MidiEvent::note(time, uint8_t(key), 90, 900));
            time += 960;
        }
    melody->sequence().setLength(time);
    QVERIFY(SongFile(&session, track, melody).saveSong(path));
}

// Root mean square of the left channel of a rendered song.
double loudness(const QString& path)
{
    SndFile wav;
    if (!wav.open(path, AudioFile::Reading) || wav.frames() <= 0)
        return 0.0;
    std::vector<float> left(size_t(wav.frames())), right(size_t(wav.frames()));
    long long read = 0;
    while (read < wav.frames()) {
        float* channels[] = {left.data() + read, right.data() + read};
        const long long got = wav.read(channels, wav.frames() - read);
        if (got <= 0)
            return 0.0;
        read += got;
    }
    double sum = 0;
    for (float s : left)
        sum += double(s) * s;
    return std::sqrt(sum / double(left.size()));
}

// A take of harmonic tones (near enough a sung "ooh" for the transcriber) in 4/4 after 0.4 s of
// silence, rising from 100 to 108 quarter notes per minute over 16 bars.
bool writeDriftingTake(const QString& path)
{
    const std::vector<double> phrase[] = {{1, 1, 1, 1}, {2, 1, 1}, {1, 1, 2}, {4}};
    const double total = 64.0, drift = 0.08, rate = 22050.0;
    auto seconds = [&](double q) {
        const double x = q / total;
        return 0.4 + 0.6 * total * (x - drift * x * x / 2);
    };
    std::vector<float> samples(size_t((seconds(total) + 0.5) * rate), 0.0f);
    double q = 0.0;
    int degree = 0;
    static const int scale[] = {60, 62, 64, 65, 67, 69, 67, 65};
    for (int bar = 0; bar < 16; ++bar)
        for (double length : phrase[bar % 4]) {
            const double start = seconds(q), end = seconds(q + length) - 0.08;
            const double hz = 440.0 * std::pow(2.0, (scale[degree++ % 8] - 69) / 12.0);
            for (size_t n = size_t(start * rate); n < size_t(end * rate); ++n) {
                const double t = double(n) / rate - start;
                const double envelope = std::min({1.0, t / 0.02, (end - start - t) / 0.04});
                double tone = 0.0;
                for (int h = 1; h <= 3; ++h)
                    tone += std::sin(2 * M_PI * hz * h * t) / h;
                samples[n] = float(0.25 * envelope * tone);
            }
            q += length;
        }
    SndFile wav(1, int(rate));
    const float* channels[] = {samples.data()};
    return wav.open(path, AudioFile::Writing) &&
           wav.write(channels, (long long)samples.size()) == (long long)samples.size();
}

// "NAME bar N" of a section at tick, which must lie on a bar line.
QString sectionAt(uint32_t tick, const QString& name, uint32_t barTicks)
{
    if (tick % barTicks != 0)
        return QStringLiteral("%1 off the bar line at %2").arg(name).arg(tick);
    return QStringLiteral("%1 bar %2").arg(name).arg(tick / barTicks + 1);
}

} // namespace

class TestMakeSongCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString file(const char* name) const { return dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void aSungSampleBecomesASongAndSounds()
    {
        const QString sample = QStringLiteral(CANTOVA_SAMPLES_DIR "/ode-to-joy.flac");
        const Result r =
            cantova({QStringLiteral("make-song"), sample, QStringLiteral("-o"), file("ode.mid"),
                     QStringLiteral("--style=Pop 8 Beat"), QStringLiteral("--key"),
                     QStringLiteral("Dmaj"), QStringLiteral("--render"), file("ode.wav")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("Transcribing: 100%")));
        QVERIFY(r.err.contains(QStringLiteral("Rendering: 100%")));
        const auto made = facts(r.out);
        QCOMPARE(made.value(QStringLiteral("key")), QStringLiteral("Dmaj (fixed)"));
        QCOMPARE(made.value(QStringLiteral("style")), QStringLiteral("Pop 8 Beat"));
        QVERIFY(made.value(QStringLiteral("melody")).section(QLatin1Char(' '), 0, 0).toInt() >= 25);

        Reopened song(file("ode.mid"));
        QVERIFY(song.opened);
        QCOMPARE(song.song().key, QStringLiteral("Dmaj"));
        QVERIFY(song.song().keyFixed);
        QVERIFY(song.song().stylePath.endsWith(QStringLiteral("/Pop 8 Beat.sty")));
        const uint32_t bar = 4 * 960;
        const QStringList sections = song.lane(SectionLane);
        QCOMPARE(sections.value(0), QStringLiteral("0 Intro A"));
        QCOMPARE(sections.value(1), QStringLiteral("%1 Main A").arg(4 * bar)); // a 4-bar intro
        QVERIFY(sections.last().endsWith(QStringLiteral("Ending A")));
        const QStringList chords = song.lane(ChordLane);
        QCOMPARE(chords.value(0), QStringLiteral("0 D7")); // the intro on the key's tonic
        QVERIFY(chords.size() >= 8);

        // The arrangement rebuilt on opening is the one the file holds, as info reads it.
        const Result info = cantova({QStringLiteral("info"), file("ode.mid")});
        QCOMPARE(info.code, 0);
        QList<int> saved;
        for (const QString& track : facts(info.out).values(QStringLiteral("track")))
            saved.prepend(track.section(QLatin1Char(' '), 2, 2).toInt());
        saved = saved.mid(3); // conductor, melody and the style's section track
        QList<int> rebuilt = song.arrangedNotes();
        rebuilt.removeFirst(); // the section track plays nothing
        QCOMPARE(rebuilt, saved);
        QVERIFY(info.out.contains(QStringLiteral("chord: 1.1 D7")));

        // The render lasts the song and its tail in whole blocks, and is not silent.
        SndFile wav;
        QVERIFY(wav.open(file("ode.wav"), AudioFile::Reading));
        song.session.updateEnd(0);
        const long long expected = song.session.endFrame() + 2 * 44100;
        QVERIFY2(wav.frames() >= expected && wav.frames() < expected + 512,
                 qPrintable(QStringLiteral("%1 frames for %2").arg(wav.frames()).arg(expected)));
        QCOMPARE(wav.channels(), 2);
        QVERIFY(loudness(file("ode.wav")) > 0.02);

        // The same song renders to the same bytes.
        const Result again =
            cantova({QStringLiteral("make-song"), sample, QStringLiteral("-o"), file("ode2.mid"),
                     QStringLiteral("--style=Pop 8 Beat"), QStringLiteral("--key=Dmaj"),
                     QStringLiteral("--render"), file("ode2.wav")});
        QCOMPARE(again.code, 0);
        QFile a(file("ode.wav")), b(file("ode2.wav"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QVERIFY(a.readAll() == b.readAll());
    }

    void aTakeSungWithoutAClickGetsItsOwnBars()
    {
        // Amazing Grace: 3/4 at 84 bpm, half a second of silence, a one-beat pickup.
        const QString sample = QStringLiteral(CANTOVA_SAMPLES_DIR "/amazing-grace.flac");
        const Result r =
            cantova({QStringLiteral("make-song"), sample, QStringLiteral("-o"), file("grace.mid")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const auto made = facts(r.out);
        QVERIFY2(made.value(QStringLiteral("found")).startsWith(QStringLiteral("tempo 84")),
                 qPrintable(r.out));
        QCOMPARE(made.value(QStringLiteral("tempo")), QStringLiteral("84"));
        QCOMPARE(made.value(QStringLiteral("meter")), QStringLiteral("3/4"));

        // The pickup sits in a bar of its own: the second note, the first downbeat, is on a
        // bar line (within what a singer's timing moves it), and the pickup a beat before it.
        Reopened song(file("grace.mid"));
        QVERIFY(song.opened);
        QList<uint32_t> onsets;
        for (const MidiEvent* e = song.melody->sequence().first(); e; e = e->next())
            if (e->isNote())
                onsets << e->time;
        QVERIFY(onsets.size() >= 10);
        const uint32_t bar = 3 * 960, slack = 960 / 8;
        const uint32_t intoBar = onsets[1] % bar;
        QVERIFY2(intoBar <= slack || intoBar >= bar - slack, qPrintable(QString::number(intoBar)));
        QVERIFY(std::abs(int(onsets[1] - onsets[0]) - 960) <= int(slack));

        // Given a tempo, the take keeps the file's own timing, as before.
        const Result fixed = cantova({QStringLiteral("make-song"), sample, QStringLiteral("-o"),
                                      file("grace120.mid"), QStringLiteral("--tempo=120")});
        QCOMPARE(fixed.code, 0);
        QVERIFY(!facts(fixed.out).contains(QStringLiteral("found")));
        QCOMPARE(facts(fixed.out).value(QStringLiteral("tempo")), QStringLiteral("120"));
    }

    void aDriftingTakeGetsATempoPerBar()
    {
        QVERIFY(writeDriftingTake(file("drift.wav")));
        const Result r = cantova({QStringLiteral("make-song"), file("drift.wav"),
                                  QStringLiteral("-o"), file("drift.mid")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(facts(r.out).value(QStringLiteral("found")).endsWith(QStringLiteral("drifting")),
                 qPrintable(r.out));
        // The take's bar lines as found, in seconds of the take: nearly every sung one.
        QList<double> lines;
        for (const QString& word : facts(r.out).value(QStringLiteral("bar lines")).split(u' '))
            lines << word.toDouble();
        int found = 0;
        for (int bar = 0; bar < 16; ++bar) {
            const double sung = 0.4 + 0.6 * 64.0 * (bar / 16.0 - 0.08 * bar * bar / 512.0);
            found += std::any_of(lines.begin(), lines.end(),
                                 [&](double line) { return std::abs(line - sung) <= 0.08; });
        }
        QVERIFY2(found >= 14, qPrintable(r.out));
        Reopened song(file("drift.mid"));
        QVERIFY(song.opened);
        const TimeScale& scale = song.session.scale();
        int nodes = 0;
        for (const TempoNode* node = scale.firstNode(); node; node = node->next)
            ++nodes;
        QVERIFY2(nodes >= 8, qPrintable(QString::number(nodes)));
        QVERIFY(scale.lastNode()->tempo > scale.firstNode()->tempo * 1.04f);
        // The bar lines follow the singer: with one tempo the notes of the middle bars would be
        // half a beat off the song's beats, with a tempo per bar nearly all of them are on one.
        int onBeat = 0, notes = 0;
        for (const MidiEvent* e = song.melody->sequence().first(); e; e = e->next())
            if (e->isNote()) {
                const uint32_t into = e->time % 960;
                onBeat += into <= 120 || into >= 960 - 120;
                ++notes;
            }
        QVERIFY(notes >= 40);
        QVERIFY2(onBeat >= notes * 9 / 10,
                 qPrintable(QStringLiteral("%1 of %2").arg(onBeat).arg(notes)));
    }

    // A style in another meter changes the meter of every bar's tempo node, not the first only.
    void aDriftingTakeTakesItsStylesMeterInEveryBar()
    {
        QVERIFY(writeDriftingTake(file("drift-waltz.wav")));
        const Result r =
            cantova({QStringLiteral("make-song"), file("drift-waltz.wav"), QStringLiteral("-o"),
                     file("drift-waltz.mid"), QStringLiteral("--style"), QStringLiteral("Waltz")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("The song takes the style's meter 3/4.")));
        Reopened song(file("drift-waltz.mid"));
        QVERIFY(song.opened);
        int nodes = 0;
        for (const TempoNode* node = song.session.scale().firstNode(); node; node = node->next) {
            QCOMPARE(node->beatsPerBar, uint16_t(3));
            QCOMPARE(node->beatUnit, uint16_t(2));
            ++nodes;
        }
        QVERIFY2(nodes >= 8, qPrintable(QString::number(nodes)));
    }

    void aMidiMelodyTakesItsStylesMeter()
    {
        writeMelody(file("melody.mid"));
        const Result r =
            cantova({QStringLiteral("make-song"), file("melody.mid"), QStringLiteral("-o"),
                     file("waltz.mid"), QStringLiteral("--style"), QStringLiteral("Waltz")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("The song takes the style's meter 3/4.")));
        const auto made = facts(r.out);
        QCOMPARE(made.value(QStringLiteral("melody")), QStringLiteral("30 notes"));
        QCOMPARE(made.value(QStringLiteral("meter")), QStringLiteral("3/4"));
        QVERIFY(!made.value(QStringLiteral("key")).isEmpty());

        Reopened song(file("waltz.mid"));
        QVERIFY(song.opened);
        QCOMPARE(song.session.scale().firstNode()->beatsPerBar, uint16_t(3));
        QCOMPARE(song.song().styleName, QStringLiteral("Waltz"));
        QVERIFY(song.lane(SectionLane).contains(QStringLiteral("0 Main A")) ||
                song.lane(SectionLane).contains(QStringLiteral("0 Intro A")));
        int arranged = 0;
        for (int notes : song.arrangedNotes())
            arranged += notes;
        QVERIFY(arranged > 50);
        const Result info = cantova({QStringLiteral("info"), file("waltz.mid")});
        QVERIFY(info.out.contains(QStringLiteral("tempo: 1 120 3/4")));

        // A fixed meter that the style cannot follow is refused.
        const Result fixed =
            cantova({QStringLiteral("make-song"), file("melody.mid"), QStringLiteral("-o"),
                     file("x.mid"), QStringLiteral("--style"), QStringLiteral("Waltz"),
                     QStringLiteral("--meter"), QStringLiteral("4/4")});
        QCOMPARE(fixed.code, 1);
        QVERIFY(fixed.err.contains(QStringLiteral("The style meter (3/4) cannot be synchronized")));
    }

    void theChordFinderIsChosenByItsOption()
    {
        // Ode to Joy in C: the default progression finder closes the phrase "E D D" with G C
        // in the middle of the bar; the classic finder puts one chord on each bar line.
        writeMelody(file("plain.mid"));
        QStringList lanes;
        for (const QString& finder : {QStringLiteral("default"), QStringLiteral("progression"),
                                     QStringLiteral("classic")}) {
            QStringList arguments{QStringLiteral("make-song"), file("plain.mid"),
                                  QStringLiteral("-o"), dir.filePath(finder + ".mid")};
            if (finder != QLatin1String("default"))
                arguments << QStringLiteral("--chords") << finder;
            const Result r = cantova(arguments);
            QVERIFY2(r.code == 0, qPrintable(r.err));
            Reopened song(dir.filePath(finder + ".mid"));
            QVERIFY(song.opened);
            lanes << song.lane(ChordLane).join(QLatin1Char(','));
        }
        QCOMPARE(lanes.at(0), lanes.at(1));
        QVERIFY2(lanes.at(1) != lanes.at(2), qPrintable(lanes.join('\n')));
        for (const QString& chord : lanes.at(2).split(QLatin1Char(',')))
            QVERIFY2(chord.section(QLatin1Char(' '), 0, 0).toUInt() % 3840 == 0, qPrintable(chord));
    }

    void aFormat0FileGivesItsTuneOrTheTrackAskedFor()
    {
        // Chords on channel 2, the tune on channel 1, as a format-0 file from elsewhere.
        {
            MidiFile midi;
            MidiSequence tune(QStringLiteral("Tune"), 0, 480);
            MidiSequence chords(QString(), 1, 480);
            for (uint32_t i = 0; i < 16; ++i) {
                tune.insert(MidiEvent::note(i * 480, uint8_t(60 + (i * 2) % 12), 90, 480));
                for (uint8_t key : {48, 52, 55})
                    chords.insert(MidiEvent::note(i * 480, key, 70, 480));
            }
            MidiSequence* both[2] = {&tune, &chords};
            QVERIFY(midi.open(file("zero.mid"), MidiFile::Write));
            QVERIFY(midi.writeHeader(0, 1, 480));
            QVERIFY(midi.writeTracks(both));
            QVERIFY(midi.close());
        }
        Result r = cantova({QStringLiteral("make-song"), file("zero.mid"), QStringLiteral("-o"),
                            file("tune.mid")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        auto made = facts(r.out);
        QCOMPARE(made.value(QStringLiteral("melody-track")),
                 QStringLiteral("1 track 0 channel 1 Tune"));
        QCOMPARE(made.value(QStringLiteral("melody")), QStringLiteral("16 notes"));
        Reopened song(file("tune.mid"));
        QVERIFY(song.opened);

        r = cantova({QStringLiteral("make-song"), file("zero.mid"), QStringLiteral("-o"),
                     file("chords.mid"), QStringLiteral("--melody-track=2")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        made = facts(r.out);
        QCOMPARE(made.value(QStringLiteral("melody-track")),
                 QStringLiteral("2 track 0 channel 2 Tune"));
        QCOMPARE(made.value(QStringLiteral("melody")), QStringLiteral("48 notes"));

        r = cantova({QStringLiteral("make-song"), file("zero.mid"), QStringLiteral("-o"),
                     file("none.mid"), QStringLiteral("--melody-track"), QStringLiteral("3")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("no track 3 to take the melody from: it has 2")),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(file("none.mid")));

        // A song of this program keeps its melody track: the option is ignored, and said so.
        r = cantova({QStringLiteral("make-song"), file("tune.mid"), QStringLiteral("-o"),
                     file("again.mid"), QStringLiteral("--melody-track"), QStringLiteral("2")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("warning: --melody-track is ignored")));
        QVERIFY(!r.out.contains(QStringLiteral("melody-track: ")));
    }

    // What make-song prints, what it saves, what info reads back and what the window shows
    // after reopening are one song, for the default piano, every shipped style and two
    // eighth-note meters, with bars as long as the meter says and an audible render.
    void everyStyleMakesOneAndTheSameSong_data()
    {
        QTest::addColumn<QString>("style"); // empty: the default piano
        QTest::addColumn<QString>("meter");
        QTest::addColumn<bool>("introAndEnding");
        QTest::newRow("default piano") << QString() << QStringLiteral("4/4") << false;
        const QDir shipped(QStringLiteral(CANTOVA_STYLES_DIR));
        const QStringList styles = shipped.entryList({QStringLiteral("*.sty")}, QDir::Files);
        QVERIFY(styles.size() >= 5);
        for (const QString& name : styles) {
            StyleReader reader;
            QVERIFY(reader.readFile(shipped.filePath(name)));
            const QString meter =
                QStringLiteral("%1/%2").arg(reader.style().beats).arg(1 << reader.style().beatUnit);
            QTest::newRow(qPrintable(name)) << shipped.filePath(name) << meter << true;
        }
        const QString data = QStringLiteral(CANTOVA_TEST_DATA "/styles/");
        QTest::newRow("10/8") << data + QStringLiteral("ten_eight.sty") << QStringLiteral("10/8")
                              << true;
        QTest::newRow("6/8") << data + QStringLiteral("six_eight.sty") << QStringLiteral("6/8")
                             << true;
    }
    void everyStyleMakesOneAndTheSameSong()
    {
        QFETCH(QString, style);
        QFETCH(QString, meter);
        QFETCH(bool, introAndEnding);
        writeMelody(file("melody.mid"));
        QStringList arguments{QStringLiteral("make-song"), file("melody.mid"),
                              QStringLiteral("-o"),        file("made.mid"),
                              QStringLiteral("--render"),  file("made.wav")};
        if (!style.isEmpty())
            arguments << QStringLiteral("--style") << style;
        const Result r = cantova(arguments);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const auto made = facts(r.out);
        QCOMPARE(made.value(QStringLiteral("meter")), meter);
        QVERIFY2(!r.out.contains(QStringLiteral("section that plays")), qPrintable(r.out));
        // A bar of the meter at the melody's 960 ticks per quarter: 10/8 is 4800 ticks.
        const uint32_t barTicks = 3840 * meter.section(QLatin1Char('/'), 0, 0).toUInt() /
                                  meter.section(QLatin1Char('/'), 1, 1).toUInt();
        const QStringList printed =
            made.value(QStringLiteral("sections")).split(QStringLiteral(", "));
        if (introAndEnding) {
            QCOMPARE(printed.first(), QStringLiteral("Intro A bar 1"));
            QVERIFY2(printed.last().startsWith(QStringLiteral("Ending A bar ")),
                     qPrintable(printed.join(", ")));
        } else {
            QCOMPARE(printed, QStringList{QStringLiteral("Main A bar 1")});
        }

        // The saved file's ticks.
        MidiFile saved;
        QVERIFY(saved.open(file("made.mid"), MidiFile::Read));
        QCOMPARE(saved.division(), uint16_t(960));
        MidiSequence melody(QString(), 0, saved.division());
        QVERIFY(saved.readTrack(melody, 1));
        QStringList inFile;
        for (const MidiEvent* e = melody.first(); e; e = e->next())
            if (laneKind(e) == SectionLane)
                inFile << sectionAt(e->time, laneText(e), barTicks);
        QCOMPARE(inFile, printed);
        const QString bars = made.value(QStringLiteral("bars"));
        QCOMPARE(bars.toUInt(), (melody.length() + barTicks - 1) / barTicks);

        // What info reads back.
        const Result info = cantova({QStringLiteral("info"), file("made.mid")});
        QCOMPARE(info.code, 0);
        QStringList read;
        for (const QString& line : info.out.split(QLatin1Char('\n'))) {
            static const QRegularExpression section(QStringLiteral("^section: (\\d+)\\.1 (.+)$"));
            const QRegularExpressionMatch m = section.match(line);
            if (line.startsWith(QStringLiteral("section: ")))
                read << (m.hasMatch()
                             ? QStringLiteral("%1 bar %2").arg(m.captured(2), m.captured(1))
                             : line);
        }
        QCOMPARE(read, printed);
        QCOMPARE(facts(info.out).value(QStringLiteral("bars")), bars);
        QVERIFY(info.out.contains(QStringLiteral(" %1\n").arg(meter)));

        // What the window shows after reopening the song.
        Reopened song(file("made.mid"));
        QVERIFY(song.opened);
        QStringList shown;
        for (const QString& event : song.lane(SectionLane))
            shown << sectionAt(event.section(QLatin1Char(' '), 0, 0).toUInt(),
                               event.section(QLatin1Char(' '), 1), barTicks);
        QCOMPARE(shown, printed);

        QVERIFY(loudness(file("made.wav")) > 0.01);
    }

    void aStyleEditorsFileWithAnUpperCaseNamePlays()
    {
        // "Main A" at tick 0 beside a set-up marker, in a file named as old systems name them.
        QVERIFY(QFile::copy(QStringLiteral(CANTOVA_TEST_DATA "/styles/main_at_tick_zero.sty"),
                            file("EDITOR.STY")));
        writeMelody(file("melody.mid"));
        const Result r =
            cantova({QStringLiteral("make-song"), file("melody.mid"), QStringLiteral("-o"),
                     file("editor.mid"), QStringLiteral("--style"), file("EDITOR.STY"),
                     QStringLiteral("--render"), file("editor.wav")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const auto made = facts(r.out);
        QCOMPARE(made.value(QStringLiteral("style")), QStringLiteral("EDITOR"));
        QVERIFY(!r.out.contains(QStringLiteral("section that plays")));
        QVERIFY(made.value(QStringLiteral("sections")).startsWith(QStringLiteral("Main A bar 1")));
        QVERIFY(loudness(file("editor.wav")) > 0.01);

        // A style whose "Main A" plays nothing makes a silent song, and says so.
        const Result silent =
            cantova({QStringLiteral("make-song"), file("melody.mid"), QStringLiteral("-o"),
                     file("silent.mid"), QStringLiteral("--style"),
                     QStringLiteral(CANTOVA_TEST_DATA "/styles/silent_main.sty")});
        QVERIFY2(silent.code == 0, qPrintable(silent.err));
        QVERIFY2(silent.out.contains(QStringLiteral(
                     "warning: The style \"silent_main\" has no \"Main A\" section that plays "
                     "notes: the song has no accompaniment.")),
                 qPrintable(silent.out));
    }

    void badRequestsAreRefusedWithTheirMessage()
    {
        QFile junk(file("junk.wav"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("RIFF\x10\0\0\0WAVEjunkjunkjunk", 24);
        junk.close();
        struct Case
        {
            QStringList arguments;
            int code;
            QString message;
        };
        const QString out = file("x.mid");
        const QList<Case> cases{
            {{file("none.flac"), "-o", out}, 1, "no such file"},
            {{file("junk.wav"), "-o", out}, 1, "audio2midi: Cannot read the audio data from file."},
            {{file("junk.wav"), "-o", file("x.wav")}, 2, "-o OUTPUT.mid"},
            {{file("junk.wav"), "-o", out, "--key", "Hmaj"}, 2, "not a key: Hmaj"},
            {{file("junk.wav"), "-o", out, "--key", "Cmaj", "--auto-key"}, 2, "exclude"},
            {{file("junk.wav"), "-o", out, "--tempo", "fast"}, 2, "a tempo is"},
            {{file("junk.wav"), "-o", out, "--meter", "5/7"}, 2, "a meter is"},
            {{file("junk.wav"), "-o", out, "--style", "Tarantella"},
             1,
             "no such style: Tarantella"},
            {{file("junk.wav"), "-o", out, "--render", file("x.mp3")}, 2, "cannot render"},
            {{file("junk.wav"), "-o", out, "--loud"}, 2, "unknown option --loud"},
            {{file("junk.wav"), "-o"}, 2, "-o needs a value"},
            {{file("junk.wav"), "-o", out, "--melody-track", "2"}, 2, "a track of a MIDI file"},
            {{file("junk.wav"), "-o", out, "--tuning", "sharp"}, 2, "unknown tuning sharp"},
            {{file("junk.mid"), "-o", out, "--melody-track", "0"}, 2, "a track number from 1"},
            {{file("junk.wav"), "-o", out, "--chords", "jazz"},
             2,
             "--chords is progression or classic"},
        };
        for (const Case& c : cases) {
            const Result r = cantova(QStringList{QStringLiteral("make-song")} + c.arguments);
            QVERIFY2(r.code == c.code, qPrintable(c.arguments.join(' ') + " -> " + r.err));
            QVERIFY2(r.err.contains(c.message), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
        }
        const Result help = cantova({QStringLiteral("make-song"), QStringLiteral("--help")});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains(QStringLiteral("--render FILE")));
        QVERIFY(help.out.contains(QStringLiteral("--tuning TUNING")));
        const Result usage = cantova({QStringLiteral("--help")});
        QVERIFY(usage.out.contains(QStringLiteral("make-song")));
        QVERIFY(usage.out.contains(QStringLiteral("transcribe [--tuning follow|classic]")));
    }
};

QTEST_MAIN(TestMakeSongCommand)
#include "tst_make_song_command.moc"
