// cantova_soak: plays a song for a long stretch of audio time on the offline audio client (as
// fast as the machine renders), changing the loop, mute and solo, the tempo and the play head at
// random moments drawn from a fixed seed, and checks what a long session of playing must keep:
//  - MIDI delivered in order of due time, in the audio block that holds its due time: the
//    lateness (the audio time at delivery, that block's start, minus the due time) lies within
//    one block before 0 and is never positive;
//  - the play head where the frames played put it (cycle by cycle, loops included), and the
//    played-frame counter equal to the frames rendered;
//  - the resident memory flat from the first minutes to the end;
//  - no thread left behind once the session is gone.
// Prints the figures and exits non-zero when a check failed.
//
//   cantova_soak [--seconds N (3600)] [--seed N (1)] [--song FILE.mid]
//
// Without --song it plays a song of its own (melody, bass, chords and drums, 32 bars); a song
// file (one `cantova make-song` wrote, or any format 1 MIDI file) puts each of its tracks on a
// MIDI track of its own.
#include "audio_engine.h"
#include "engine_factory.h"
#include "error_log.h"
#include "midi_clip.h"
#include "midi_file.h"
#include "midi_output.h"
#include "offline_audio_client.h"
#include "scheduler_clock.h"
#include "sequencer_layer.h"
#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kRate = 44100;

/** Keeps the delivery of every message: due millisecond and the audio time it arrived at. */
class TimedOutput : public MidiOutput
{
public:
    explicit TimedOutput(const OfflineAudioClient* const* client) : m_client(client) {}
    bool open(QString*) override { return true; }
    void close() override {}
    int send(uint32_t, int64_t timeMs) override
    {
        const int64_t now = *m_client ? SchedulerClock::msOfFrame((*m_client)->frameClock()) : 0;
        if (timeMs < m_lastDue)
            ++outOfOrder;
        m_lastDue = std::max(m_lastDue, timeMs);
        lateness.push_back(now - timeMs);
        ++messages;
        return 0;
    }

    std::vector<int64_t> lateness; // ms; emptied after every stretch once summarised
    std::vector<int64_t> all;      // a sample of every stretch's values, for the percentiles
    uint64_t messages = 0;
    uint64_t outOfOrder = 0;

private:
    const OfflineAudioClient* const* m_client;
    int64_t m_lastDue = INT64_MIN;
};

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

Track* addTrack(Session& session, int channel)
{
    auto* track = new Track(&session, Track::MidiTrack);
    Track::Properties props = track->properties();
    props.channel = uint16_t(channel);
    props.outputBus = QStringLiteral("Master");
    track->setProperties(props);
    session.addTrack(track);
    return track;
}

MidiClip* addClip(Session& session, Track* track, uint32_t lengthTicks)
{
    auto* clip = new MidiClip(&session);
    track->addClip(clip);
    clip->setStart(0);
    clip->setLength(session.scale().tickToFrame(lengthTicks));
    clip->updateTicksFromFrames();
    session.trackChanged(track);
    return clip;
}

/** Melody, bass, chords and drums over 32 bars of 4/4. */
void makeSong(Session& session)
{
    const uint32_t beat = session.scale().ticksPerBeat();
    const uint32_t bars = 32, length = bars * 4 * beat;
    static const int kRoots[] = {48, 45, 41, 43};
    MidiClip* melody = addClip(session, addTrack(session, 0), length);
    MidiClip* bass = addClip(session, addTrack(session, 1), length);
    MidiClip* chords = addClip(session, addTrack(session, 2), length);
    MidiClip* drums = addClip(session, addTrack(session, 9), length);
    for (uint32_t bar = 0; bar < bars; ++bar) {
        const int root = kRoots[bar % 4];
        const uint32_t at = bar * 4 * beat;
        for (uint32_t eighth = 0; eighth < 8; ++eighth)
            melody->sequence().insert(MidiEvent::note(at + eighth * beat / 2,
                                                      uint8_t(root + 24 + (eighth * 5 + bar) % 12),
                                                      90, beat / 2 - 10));
        for (uint32_t b = 0; b < 4; ++b) {
            bass->sequence().insert(MidiEvent::note(at + b * beat, uint8_t(root - 12), 100, beat));
            drums->sequence().insert(MidiEvent::note(at + b * beat, b % 2 ? 38 : 36, 110, 60));
        }
        for (int interval : {0, 4, 7})
            chords->sequence().insert(
                MidiEvent::note(at, uint8_t(root + 12 + interval), 70, 4 * beat));
    }
}

bool loadSong(Session& session, const QString& path)
{
    MidiFile file;
    if (!file.open(path, MidiFile::Read))
        return false;
    for (int t = 0; t < file.trackCount() && t < 16; ++t) {
        Track* track = addTrack(session, t % 16);
        auto* clip = new MidiClip(&session);
        track->addClip(clip);
        if (!file.readTrack(clip->sequence(), t))
            return false;
        Track::Properties props = track->properties(); // the channel the file's track plays on
        props.channel = clip->sequence().channel();
        track->setProperties(props);
        clip->setLength(session.scale().tickToFrame(std::max(clip->sequence().end(), 1u)));
        clip->updateTicksFromFrames();
        session.trackChanged(track);
    }
    return session.trackCount() > 0;
}

/** Where the play head must be after one cycle of `frames` from `at`, as the engine loops. */
uint32_t advance(const Session& session, uint32_t at, uint32_t frames)
{
    uint32_t c = at + frames;
    if (session.isLoopSet() && at < session.loopOut()) {
        while (c >= session.loopOut())
            c -= session.loopOut() - session.loopIn();
    }
    return c;
}

int64_t percentile(std::vector<int64_t> values, double p)
{
    if (values.empty())
        return 0;
    const size_t i = std::min(values.size() - 1, size_t(p * double(values.size())));
    std::nth_element(values.begin(), values.begin() + long(i), values.end());
    return values[i];
}

struct Figures
{
    uint64_t frames = 0, messages = 0, outOfOrder = 0, edits = 0;
    int64_t lateP50 = 0, lateP99 = 0, lateMax = 0, lateMin = 0;
    int64_t headDrift = 0, countDrift = 0;
    long rssWarm = 0, rssEnd = 0;
};

class Soak
{
public:
    Soak(uint32_t seed) : m_random(seed), m_output(&m_clientView) { m_layer.setOutput(&m_output); }

    bool run(const QString& songPath, uint64_t seconds, Figures& f)
    {
        Session session(EngineFactory::offline(&m_layer));
        if (songPath.isEmpty())
            makeSong(session);
        else if (!loadSong(session, songPath))
            return report("cannot read the song " + songPath);
        auto* audio = dynamic_cast<AudioEngine*>(session.audioEngine());
        audio->setDrivenByCaller(true);
        for (Engine* engine : {session.audioEngine(), session.midiEngine()})
            if (!engine->init() || !engine->activate())
                return report("the engines could not be started");
        session.ensureMasterBuses();
        session.midiEngine()->busesChanged();
        auto* client = dynamic_cast<OfflineAudioClient*>(audio->client());
        if (!client)
            return report("no offline client");
        m_clientView = client;
        session.updateEnd(0);
        m_songEnd = std::max<uint32_t>(session.endFrame(), kRate);
        struct Silence : OfflineAudioClient::Output
        {
            void write(const float* const*, uint32_t) override {}
        } silence;
        client->setOutput(&silence);
        session.locate(0);
        session.setPlaying(true);

        const uint32_t block = client->bufferSize();
        const uint64_t total = seconds * kRate;
        SessionCursor* head = audio->cursor();
        uint32_t expected = head->frame();
        uint32_t countBase = head->frameCount();
        uint64_t sinceBase = 0;
        while (f.frames < total) {
            // A stretch of 0.1 to 20 seconds, then one change.
            const uint64_t stretch =
                std::min<uint64_t>(total - f.frames, kRate / 10 + m_random() % (20 * kRate));
            for (uint64_t done = 0; done < stretch; done += block) {
                if (client->render(1) != 0)
                    return report("a cycle failed");
                expected = advance(session, expected, block);
                f.headDrift =
                    std::max<int64_t>(f.headDrift, std::abs(int64_t(head->frame()) - expected));
                sinceBase += block;
                f.frames += block;
            }
            f.countDrift =
                std::max<int64_t>(f.countDrift, std::abs(int64_t(head->frameCount() - countBase) -
                                                         int64_t(sinceBase)));
            summarise();
            if (f.rssWarm == 0 && f.frames >= 120 * uint64_t(kRate))
                f.rssWarm = residentKiB(); // after two minutes: buffers and caches grown
            if (change(session, *head, expected)) {
                countBase = head->frameCount();
                sinceBase = 0;
            }
            ++f.edits;
        }
        session.setPlaying(false);
        client->setOutput(nullptr);
        f.rssEnd = residentKiB();
        f.messages = m_output.messages;
        f.outOfOrder = m_output.outOfOrder;
        f.lateP50 = percentile(m_output.all, 0.5);
        f.lateP99 = percentile(m_output.all, 0.99);
        f.lateMax = m_lateMax;
        f.lateMin = m_lateMin;
        m_clientView = nullptr;
        return true;
    }

private:
    static bool report(const QString& text)
    {
        std::fprintf(stderr, "cantova_soak: %s\n%s\n", qPrintable(text),
                     qPrintable(ErrorLog::text()));
        return false;
    }

    void summarise()
    {
        for (int64_t late : m_output.lateness) {
            m_lateMax = std::max(m_lateMax, late);
            m_lateMin = std::min(m_lateMin, late);
        }
        // A sample of at most 64 per stretch keeps the memory of the percentiles small.
        const size_t step = std::max<size_t>(1, m_output.lateness.size() / 64);
        for (size_t i = 0; i < m_output.lateness.size(); i += step)
            m_output.all.push_back(m_output.lateness[i]);
        m_output.lateness.clear();
    }

    /** One random change; true when it moved the play head (a seek restarts the counts). */
    bool change(Session& session, SessionCursor& head, uint32_t& expected)
    {
        const std::vector<Track*>& tracks = session.tracks();
        Track* track = tracks[m_random() % tracks.size()];
        // Past the end of the song (and outside a loop) there is nothing to play: seek back.
        const bool pastEnd = head.frame() >= m_songEnd && !session.isLoopSet();
        switch (pastEnd ? 4 : m_random() % 5) {
        case 0: { // a loop of 1 to 8 seconds somewhere in the song, or none
            session.lockEdit();
            if (session.isLoopSet() && m_random() % 2) {
                session.setLoop(0, 0);
            } else {
                const uint32_t in = m_random() % m_songEnd;
                session.setLoop(in, in + kRate + m_random() % (7 * kRate));
            }
            session.unlockEdit();
            return false;
        }
        case 1:
            session.lockEdit();
            session.mute(track, !track->isMuted());
            session.unlockEdit();
            return false;
        case 2:
            session.lockEdit();
            session.solo(track, !track->isSoloed());
            session.unlockEdit();
            return false;
        case 3: // a tempo edit: MIDI keeps its beats, the play head its frame
            session.lockEdit();
            session.setTempo(float(60 + m_random() % 120));
            session.afterTempoChange();
            session.unlockEdit();
            session.updateEnd(0);
            m_songEnd = std::max<uint32_t>(session.endFrame(), kRate);
            return false;
        default: { // a seek
            const uint32_t to = m_random() % m_songEnd;
            session.locate(to);
            expected = head.frame();
            return true;
        }
        }
    }

    std::mt19937 m_random;
    const OfflineAudioClient* m_clientView = nullptr;
    TimedOutput m_output;
    SequencerLayer m_layer;
    uint32_t m_songEnd = 0;
    int64_t m_lateMax = INT64_MIN, m_lateMin = INT64_MAX;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    uint64_t seconds = 3600;
    uint32_t seed = 1;
    QString song;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--seconds"))
            seconds = args[i + 1].toULongLong();
        else if (args[i] == QLatin1String("--seed"))
            seed = args[i + 1].toUInt();
        else if (args[i] == QLatin1String("--song"))
            song = args[i + 1];
        else {
            std::fprintf(stderr,
                         "usage: cantova_soak [--seconds N] [--seed N] [--song FILE.mid]\n");
            return 2;
        }
    }
    const int threadsBefore = threadCount();
    const long rssStart = residentKiB();
    Figures f;
    bool ok;
    {
        Soak soak(seed);
        ok = soak.run(song, seconds, f);
    }
    const int threadsAfter = threadCount();
    if (!ok)
        return 1;
    const int64_t block = SchedulerClock::msOfFrame(512) + 1;
    const double growth = f.rssWarm > 0 ? 100.0 * double(f.rssEnd - f.rssWarm) / f.rssWarm : 0.0;
    std::printf("audio time      %.0f s (seed %u), %llu changes\n", double(f.frames) / kRate, seed,
                (unsigned long long)f.edits);
    std::printf("MIDI messages   %llu, %llu out of order\n", (unsigned long long)f.messages,
                (unsigned long long)f.outOfOrder);
    std::printf("lateness        p50 %lld ms, p99 %lld ms, max %lld ms, min %lld ms (expected "
                "-%lld..0)\n",
                (long long)f.lateP50, (long long)f.lateP99, (long long)f.lateMax,
                (long long)f.lateMin, (long long)block);
    std::printf("play head       drift %lld frames, played-frame count drift %lld frames\n",
                (long long)f.headDrift, (long long)f.countDrift);
    std::printf("memory          RSS %ld KiB at start, %ld KiB after 2 min, %ld KiB at the end "
                "(%+.1f %%)\n",
                rssStart, f.rssWarm, f.rssEnd, growth);
    std::printf("threads         %d before, %d after\n", threadsBefore, threadsAfter);
    const bool pass = f.messages > 0 && f.outOfOrder == 0 && f.lateMin >= -block &&
                      f.lateMax <= 0 && f.headDrift == 0 && f.countDrift == 0 && growth < 5.0 &&
                      threadsAfter <= threadsBefore;
    std::printf("%s\n", pass ? "soak passed" : "soak FAILED");
    return pass ? 0 : 1;
}
