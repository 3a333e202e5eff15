// How long the audio callback takes while the window edits the song: both engines play (the
// MIDI engine's output thread and the sequencer's delivery thread on the system clock) and a
// "device" thread runs one 512-frame cycle per cycle period, as a sound card would, while the
// main thread adds tracks, changes tempo and loop, seeks, undoes and redoes without pause.
// The callback never waits on a lock, so its longest run stays far below the cycle budget
// however long the edits hold the session. Run by hand:
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
#include <random>
#include <thread>
#include <vector>

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
    std::vector<double> durations; // microseconds per cycle
    durations.reserve(size_t(seconds) * AudioClient::kSampleRate / frames + 16);

    rig.session.setPlaying(true);
    std::thread device([&] {
        auto due = Clock::now();
        while (running.load(std::memory_order_acquire)) {
            std::this_thread::sleep_until(due);
            due += period;
            const auto start = Clock::now();
            rig.client->render(1);
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

    std::sort(durations.begin(), durations.end());
    const double budget = std::chrono::duration<double, std::micro>(period).count();
    const double longest = durations.empty() ? 0.0 : durations.back();
    const double p999 = durations.empty() ? 0.0 : durations[durations.size() * 999 / 1000];
    std::printf("%zu cycles of %u frames, %d edits in %d s\n", durations.size(), frames, edits,
                seconds);
    std::printf("cycle budget %.0f us; longest callback %.0f us (%.1f%% of it), 99.9th "
                "percentile %.0f us\n",
                budget, longest, 100.0 * longest / budget, p999);
    return longest < budget ? 0 : 2;
}
