#pragma once

// The engines the window tests play on: the program's audio engine on an offline client whose
// cycles the test runs, and the MIDI engine on a sequencer layer that records what it is given.

#include "audio_engine.h"
#include "clip.h"
#include "clip_command.h"
#include "engine.h"
#include "main_window.h"
#include "midi_engine.h"
#include "offline_audio_client.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"

#include <atomic>
#include <memory>
#include <tuple>
#include <vector>

/** The program's sequencer layer in these tests: on audio frames, into a recording output. */
struct RecordingLayer
{
    RecordingMidiOutput output{1 << 16};
    SequencerLayer layer;
    RecordingLayer() { layer.setOutput(&output); }

    /** Note-ons delivered, as (milliseconds after the first one, key, velocity). */
    std::vector<std::tuple<int64_t, int, int>> noteOns() const
    {
        std::vector<std::tuple<int64_t, int, int>> notes;
        for (const auto& m : output.messages())
            if ((m.word & 0xF0) == 0x90 && (m.word >> 16 & 0x7F) != 0)
                notes.emplace_back(m.timeMs, int(m.word >> 8 & 0x7F), int(m.word >> 16 & 0x7F));
        const int64_t first = notes.empty() ? 0 : std::get<0>(notes.front());
        for (auto& note : notes)
            std::get<0>(note) -= first;
        return notes;
    }
};

/** The one layer the window's MIDI engine is opened on (EngineFactory::offline). */
inline RecordingLayer& programLayer()
{
    static RecordingLayer layer;
    return layer;
}

/** A recording stand-in that counts the ranges the audio engine asks it to play. */
class CountingClip : public Clip
{
public:
    void process(uint32_t, uint32_t) override { ranges.fetch_add(1); }
    std::atomic<int> ranges{0}; // counted on the thread that runs the cycles
};

/** Adds a clip of `length` frames at frame 0 to the audio track, which sets the song's end. */
inline CountingClip* giveTheSongAnEnd(MainWindow& form, uint32_t length)
{
    auto* clip = new CountingClip();
    clip->setLength(length);
    auto command = std::make_unique<ClipCommand>(form.session(), QStringLiteral("record clip"));
    command->addClip(std::unique_ptr<Clip>(clip), form.audioTrack());
    ClipCommand::push(form.session(), std::move(command));
    form.viewRefresh();
    return clip;
}

/** What a window test asks of the program's session and its engines; test classes derive it. */
class WindowEngines
{
protected:
    static Session* session() { return Session::instance(); }
    static AudioEngine* audio() { return static_cast<AudioEngine*>(session()->audioEngine()); }
    static MidiEngine* midi() { return static_cast<MidiEngine*>(session()->midiEngine()); }
    /** The offline client, while the engines are the offline ones. */
    static OfflineAudioClient* client()
    {
        return static_cast<OfflineAudioClient*>(audio()->client());
    }
    /** Runs the window's 66 ms timer that many times. */
    static void tick(MainWindow& form, int ticks = 1)
    {
        for (int i = 0; i < ticks; ++i)
            form.timerSlot();
    }
    /** Replaces the session's engines by the factory's. */
    static void installEngines(const Session::EngineFactory& factory)
    {
        session()->setEngines(factory(session(), Engine::AudioKind),
                              factory(session(), Engine::MidiKind));
    }
    /** Back to the engines that play nothing, so the layers can go before the session. */
    static void installBaseEngines()
    {
        session()->setEngines(std::make_unique<Engine>(session(), Engine::AudioKind),
                              std::make_unique<Engine>(session(), Engine::MidiKind));
    }
};
