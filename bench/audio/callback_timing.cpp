// How long the audio callback takes while the window edits the song: both engines play (the
// MIDI engine's output thread and the sequencer's delivery thread on the system clock) and a
// "device" thread runs one 512-frame cycle per cycle period, as a sound card would, while the
// main thread adds tracks, changes tempo and loop, seeks, undoes and redoes without pause.
// The callback never waits on a lock: inside it the thread never gives up the processor on its
// own (voluntary context switches stay 0) and its CPU time stays far below the cycle budget
// however long the edits hold the session. The wall clock adds whatever preemption the machine's
// load causes. Run by hand:
//   build-bench/bench/audio/audio_callback_timing [seconds, default 60]
#include "audio_engine.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "offline_audio_client.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"
#include "session_command.h"
#include "track.h"
#include "track_command.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Rig
{
    RecordingMidiOutput output{1 << 16};
    SequencerLayer layer;
    OfflineAudioClient* client = nullptr;
    Session session{[this](Session* s, int kind) -> std::unique_ptr<Engine> {
        if (kind == Engine::MidiKind)
            return std::make_unique<MidiEngine>(s, &layer);
        auto audio = std::make_unique<AudioEngine>(s, [this] {
            auto made = std::make_unique<OfflineAudioClient>();
            client = made.get();
            return std::unique_ptr<AudioClient>(std::move(made));
        });
        audio->setDrivenByCaller(true);
        return audio;
    }};

    Rig() { layer.setOutput(&output); }

    bool open()
    {
        for (Engine* e : {session.audioEngine(), session.midiEngine()})
            if (!e->init() || !e->activate())
                return false;
        return session.ensureMasterBuses();
    }
};

void addMelodyTrack(Session& session, std::mt19937& random, int number)
{
    auto track = std::make_unique<Track>(&session, Track::MidiTrack);
    Track::Properties props = track->properties();
    props.name = QStringLiteral("Melody %1").arg(number);
    props.outputBus = QStringLiteral("Master");
    track->setProperties(props);
    auto* clip = new MidiClip(&session);
    track->addClip(clip);
    clip->setLength(48000 * 30);
    clip->updateTicksFromFrames();
    for (uint32_t i = 0; i < 200; ++i)
        clip->sequence().insert(MidiEvent::note(i * 120, uint8_t(48 + random() % 36), 90, 100));
    session.push(std::make_unique<AddTrackCommand>(&session, std::move(track)));
}

/** One edit of the kinds the window makes. */
void edit(Session& session, std::mt19937& random, int& tracks)
{
    switch (random() % 7) {
    case 0:
        addMelodyTrack(session, random, ++tracks);
        break;
    case 1:
        session.push(std::make_unique<TempoCommand>(&session, float(60 + random() % 120)));
        break;
    case 2: {
        const uint32_t in = random() % (48000 * 10);
        session.push(std::make_unique<LoopCommand>(&session, in, in + 48000 + random() % 96000));
        break;
    }
    case 3:
        session.locate(random() % (48000 * 20));
        break;
    case 4:
        session.commands().revert();
        break;
    case 5:
        session.commands().redo();
        break;
    case 6:
        session.scale().setTimeZoom(uint16_t(20 + random() % 300));
        break;
    }
}

double threadCpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

long voluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

void report(const char* what, std::vector<double>& values, double budget)
{
    if (values.empty())
        return;
    std::sort(values.begin(), values.end());
    const double longest = values.back();
    std::printf("%s: longest callback %.0f us (%.1f%% of the budget), 99.9th percentile %.0f us, "
                "median %.0f us\n",
                what, longest, 100.0 * longest / budget, values[values.size() * 999 / 1000],
                values[values.size() / 2]);
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    Rig rig;
    if (!rig.open()) {
        std::fprintf(stderr, "the engines did not open\n");
        return 1;
    }
    const uint32_t frames = AudioClient::kBufferSize;
    const auto period = std::chrono::nanoseconds(1000000000LL * frames / AudioClient::kSampleRate);
    std::atomic<bool> running{true};
    std::vector<double> durations, cpu; // microseconds per cycle: wall clock, thread CPU time
    durations.reserve(size_t(seconds) * AudioClient::kSampleRate / frames + 16);
    cpu.reserve(durations.capacity());
    long waits = 0; // times the device thread gave up the processor inside a callback

    rig.session.setPlaying(true);
    std::thread device([&] {
        auto due = Clock::now();
        while (running.load(std::memory_order_acquire)) {
            std::this_thread::sleep_until(due);
            due += period;
            const auto start = Clock::now();
            const double cpuStart = threadCpuMicroseconds();
            const long switchesBefore = voluntarySwitches();
            rig.client->render(1);
            waits += voluntarySwitches() - switchesBefore;
            cpu.push_back(threadCpuMicroseconds() - cpuStart);
            durations.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    });

    std::mt19937 random(60);
    int tracks = 0, edits = 0;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        edit(rig.session, random, tracks);
        ++edits;
    }
    running.store(false, std::memory_order_release);
    device.join();
    rig.session.setPlaying(false);
    for (Engine* e : {rig.session.audioEngine(), rig.session.midiEngine()})
        e->clean();

    const double budget = std::chrono::duration<double, std::micro>(period).count();
    std::printf("%zu cycles of %u frames, %d edits in %d s; cycle budget %.0f us\n",
                durations.size(), frames, edits, seconds, budget);
    report("wall clock", durations, budget);
    report("thread CPU", cpu, budget);
    // A callback that waited on a lock or slept gave up the processor on its own; preemption
    // by other programs (which a loaded machine adds to the wall clock) is not counted here.
    std::printf("voluntary context switches inside callbacks: %ld\n", waits);
    const bool withinBudget = !cpu.empty() && *std::max_element(cpu.begin(), cpu.end()) < budget;
    return waits == 0 && withinBudget ? 0 : 2;
}
