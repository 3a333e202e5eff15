#pragma once

// A session with the MIDI engine on a sequencer layer of its own, driven the way the audio
// process cycle drives it: per 512-frame cycle the play head moves (wrapping at the loop end),
// its frame count grows, the MIDI engine is woken and the layer's clock advances to the end of
// the block. No device is opened: the layer runs on audio frames into a recording output.

#include "engine.h"
#include "midi_bus.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "recording_midi_output.h"
#include "scheduler_clock.h"
#include "sequencer_layer.h"
#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

/** One delivered short message: scheduler millisecond and word. */
struct Delivered
{
    int64_t ms;
    uint32_t word;
    bool operator==(const Delivered&) const = default;
    bool operator<(const Delivered& o) const { return std::tie(ms, word) < std::tie(o.ms, o.word); }
};

inline uint32_t shortWord(int status, int data1, int data2)
{
    return uint32_t(status) | uint32_t(data1) << 8 | uint32_t(data2) << 16;
}

class MidiEngineHarness
{
public:
    static constexpr uint32_t kCycle = 512;

    RecordingMidiOutput output{1 << 16};
    SequencerLayer layer;
    std::vector<SequencerEvent> events; // everything the engine handed to the layer
    std::unique_ptr<Session> session;
    MidiEngine* engine = nullptr;
    int64_t renderedFrames = 0; // the layer's frame clock

    explicit MidiEngineHarness(bool scheduleOnCycle = true)
    {
        layer.setOutput(&output);
        layer.setPlaybackLatency(0.0);
        session =
            std::make_unique<Session>([this](Session* s, int kind) -> std::unique_ptr<Engine> {
                if (kind != Engine::MidiKind)
                    return nullptr;
                auto midi = std::make_unique<MidiEngine>(s, &layer);
                engine = midi.get();
                return midi;
            });
        engine->setLayerClock(SequencerLayer::Clock::AudioFrames);
        engine->setScheduleOnCycle(scheduleOnCycle);
        engine->setEventTap(
            [](void* self, const SequencerEvent& e) {
                static_cast<MidiEngineHarness*>(self)->events.push_back(e);
            },
            this);
    }

    ~MidiEngineHarness() { session.reset(); }

    /** Opens both engines and gives each its "Master" bus. */
    bool open()
    {
        Engine* audio = session->audioEngine();
        if (!engine->init() || !audio->init() || !engine->activate() || !audio->activate())
            return false;
        session->ensureMasterBuses();
        engine->busesChanged();
        return true;
    }

    MidiBus* master() const
    {
        return dynamic_cast<MidiBus*>(engine->findBus(QStringLiteral("Master")));
    }

    Track* addTrack(int channel)
    {
        auto* track = new Track(session.get(), Track::MidiTrack);
        Track::Properties props = track->properties();
        props.channel = uint16_t(channel);
        props.outputBus = QStringLiteral("Master");
        track->setProperties(props);
        session->addTrack(track);
        return track;
    }

    /** A clip at `start` frames lasting `length` frames; add events then call placed(). */
    MidiClip* addClip(Track* track, uint32_t start, uint32_t length)
    {
        auto* clip = new MidiClip(session.get());
        track->addClip(clip);
        clip->setStart(start);
        clip->setLength(length);
        clip->updateTicksFromFrames();
        session->trackChanged(track);
        return clip;
    }

    static void addNote(MidiClip* clip, uint32_t tick, int key, int velocity, uint32_t duration)
    {
        clip->sequence().insert(MidiEvent::note(tick, uint8_t(key), uint8_t(velocity), duration));
    }

    void play() { session->setPlaying(true); }
    void stop() { session->setPlaying(false); }

    /** One audio cycle of kCycle frames. */
    void cycle()
    {
        SessionCursor* head = session->audioEngine()->cursor();
        uint32_t b = head->frame();
        uint32_t c = b + kCycle;
        if (session->isLoopSet() && b < session->loopOut() && session->loopOut() <= c)
            c = c - session->loopOut() + session->loopIn();
        head->locate(c, false);
        head->addFrames(kCycle);
        engine->wakeOutput();
        renderedFrames += kCycle;
        layer.advanceToFrame(renderedFrames);
    }

    void run(uint32_t frames)
    {
        for (uint32_t done = 0; done < frames; done += kCycle)
            cycle();
    }

    std::vector<Delivered> delivered() const
    {
        std::vector<Delivered> out;
        for (const auto& m : output.messages())
            out.push_back({m.timeMs, m.word});
        return out;
    }

    /** The last scheduler millisecond that has been delivered. */
    int64_t deliveredUpToMs() const { return SchedulerClock::msOfFrame(renderedFrames - 1); }

    std::vector<SequencerEvent> eventsOfType(int type) const
    {
        std::vector<SequencerEvent> out;
        for (const auto& e : events)
            if (e.type == type)
                out.push_back(e);
        return out;
    }
};
