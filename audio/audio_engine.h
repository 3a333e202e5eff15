#pragma once

#include "engine.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <QString>

class AudioClient;
class AudioBus;
class AudioMetronome;
class AudioPlayer;

/**
 * AudioEngine: the audio engine.
 *
 * Runs the session on the audio client's process cycle: binds the buses to the device
 * channels, lets the audio tracks' clips mix the frames the play head covers (wrapping at the
 * loop end, several times in one cycle for a short loop), applies the bus monitors, fades the
 * output in or out on request, moves the play head and wakes the MIDI engine's scheduling once
 * per playing cycle.
 *
 * The client is opened by init() through a client factory: the sound card (PortAudioClient)
 * by default, an OfflineAudioClient for tests and renders. With drivenByCaller the owner runs
 * the client's cycles itself (OfflineAudioClient::render) instead of the client's own stream.
 *
 * Beside the tracks it plays the audio metronome (AudioMetronome, re-aligned at start and at
 * every loop wrap) on a "Metronome" bus of its own or the first output bus, and the file
 * preview (AudioPlayer) on a "Player" bus of its own or the first output bus.
 *
 * While the session records, each cycle hands the input of every record-armed audio track to
 * the track's record clip (an AudioClip with an AudioRecorder), clipped to the punch range, and
 * meters it on the track's monitor; stopping places each take earlier by the recording latency.
 *
 * Threads: the engine operations, requestFade() and the setters on the GUI thread; process()
 * in the client's audio callback, where it never locks, allocates or waits.
 */
class AudioEngine : public Engine
{
public:
    /** Opens the engine's client; none after reporting why it could not. */
    using ClientFactory = std::function<std::unique_ptr<AudioClient>()>;

    /** Transport mode bit: start, stop and loop wraps also start, stop and locate the client. */
    static constexpr int kTransportFollows = 2;
    /** How long requestFade() waits for a cycle before it gives the request up. */
    static constexpr int kFadeTimeoutMs = 1000;

    explicit AudioEngine(Session* session, ClientFactory clientFactory = {});
    ~AudioEngine() override;

    // The engine operation set, in the base class's order.
    /** Opens the client, names the session's client "Cantova" and takes the sample rate. */
    bool init() override;
    /** Registers the process callback and activates the client. */
    bool activate() override;
    /** Starts the client's transport (transport mode bit 2); the cycles then render. */
    bool start() override;
    /**
     * Stops the transport and returns once no cycle still renders the tracks, so the caller
     * may free tracks and clips right after.
     */
    bool stop() override;
    bool deactivate() override;
    /** Deactivates when still active, drops the buses and closes the client. */
    bool clean() override;

    Bus* createBus(const QString& name, int flags) override;
    std::unique_ptr<Monitor> createMonitor(Track* track, Bus* output) override;

    /**
     * Fades the next cycle's output in (+1) or out (-1; later cycles then only move the play
     * head). Only while playing. Waits in short steps, handling no events (user
     * input stays queued for after the edit), until a cycle took the request, at most
     * kFadeTimeoutMs (a stream that died gives up); when the owner drives the cycles, the request
     * waits for its next cycle without blocking.
     */
    void requestFade(int direction) override;
    /** Drops a fade request no cycle took yet (a render that starts at full level). */
    void discardFadeRequest();
    int pendingFade() const { return m_fadeRequest.load(std::memory_order_acquire); }
    bool isStopping() const { return m_stopping.load(std::memory_order_acquire); }

    bool hasDeviceClient() const override { return m_client != nullptr; }
    bool hasRealTimeClient() const override;
    void locateDeviceClient(uint32_t frame) override;
    /** The open client, none before init() and after clean(). */
    AudioClient* client() const { return m_client.get(); }

    /** The owner runs the client's cycles itself; set before activate(). */
    void setDrivenByCaller(bool on) { m_drivenByCaller = on; }
    bool isDrivenByCaller() const { return m_drivenByCaller; }

    int transportMode() const { return m_transportMode; }
    void setTransportMode(int mode) { m_transportMode = mode; }

    /** Audio metronome switch. */
    void setMetronomeOn(bool on) { m_metronomeOn.store(on, std::memory_order_relaxed); }
    bool isMetronomeOn() const { return m_metronomeOn.load(std::memory_order_relaxed); }
    /**
     * The click files; loaded by init(), or at once when the engine is initialised (call while
     * the engine does not process). False when a file cannot be read.
     */
    bool setMetronomeClicks(const QString& barClick, const QString& beatClick);
    /** Metronome and player on buses of their own ("Metronome", "Player"); set before init(). */
    void setMetronomeOwnBus(bool own) { m_metronomeOwnBus = own; }
    void setPlayerOwnBus(bool own) { m_playerOwnBus = own; }
    AudioMetronome* metronome() const { return m_metronome.get(); }
    AudioBus* metronomeBus() const { return m_metronomeBus; }
    AudioBus* playerBus() const { return m_playerBus; }

    /**
     * Previews a file on the player bus from its start; false when it cannot be read. While the
     * song is stopped the client's transport rolls for it, until stopPreview() or play and stop.
     */
    bool previewFile(const QString& path);
    void stopPreview();
    /**
     * Whether the client's transport rolls for a preview alone, the song standing still: the
     * window then leaves the device's transport alone instead of following it into playing.
     */
    bool rollsForPreview() const { return m_previewRolls && !isPlaying(); }
    AudioPlayer* player() const { return m_player.get(); }
    /** Re-picks the metronome and player buses after the bus list changed. */
    void busesChanged() override;
    /** Drops the buses, and with them the metronome's and the player's use of the first one. */
    void clearBuses() override;

    /**
     * Recording latency in seconds: a finished take is placed ⌊rate × latency⌋ frames earlier,
     * where the sound was when it reached the device.
     */
    void setRecordingLatency(double seconds) { m_recordingLatency = seconds > 0.0 ? seconds : 0.0; }
    double recordingLatency() const { return m_recordingLatency; }
    /** Where a take of `length` frames recorded from `start` goes: start, file offset, length. */
    struct Placement
    {
        uint32_t start = 0;
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    static Placement placeTake(uint32_t start, uint32_t length, double sampleRate, double latency);
    /**
     * A record clip for the track: a mono file named "orvantmp" with the registry's write
     * extension in the system temporary folder (the second take of a run and later ones get
     * "orvantmp-<n>", so a take the undo list can bring back is never overwritten). None, with
     * the reason in the error log, when the device has no input or the file cannot be made.
     */
    Clip* createRecordingClip(Track* track, uint32_t start) override;
    /**
     * The take as a clip on its file, placed by the recording latency, its transcription due.
     * Frames lost to a slow disk and a full disk are reported in the error log.
     */
    std::unique_ptr<Clip> finishRecordingClip(std::unique_ptr<Clip> recorded,
                                              uint32_t end) override;

    /** The process cycle: renders `frames` frames. Runs in the audio callback; returns 0. */
    int process(uint32_t frames);
    /**
     * Frames of the current cycle rendered so far, loop wraps included. While a clip renders a
     * range it is the bus offset of the range's first frame; after the cycle, the frames it
     * rendered (0 when it rendered nothing).
     */
    uint32_t framesThisCycle() const { return m_framesThisCycle.load(std::memory_order_relaxed); }

private:
    static int processCallback(uint32_t frames, void* engine);
    void prepareBuses(uint32_t frames);
    void commitBuses(uint32_t frames);
    void renderRange(uint32_t first, uint32_t last);
    void renderTracks(uint32_t first, uint32_t last);
    void recordTracks(uint32_t first, uint32_t last, uint32_t frames);
    QString nextRecordingPath();
    void createOwnBuses();
    void applyFade(int direction, uint32_t frames);
    void movePlayHead(uint32_t frame);
    AudioBus* audioBus(size_t index) const;

    ClientFactory m_clientFactory;
    std::unique_ptr<AudioClient> m_client;
    int m_transportMode = 3;
    bool m_drivenByCaller = false;
    std::atomic<bool> m_metronomeOn{false};
    bool m_metronomeOwnBus = false;
    bool m_playerOwnBus = false;
    QString m_barClick, m_beatClick;
    std::unique_ptr<AudioMetronome> m_metronome;
    std::unique_ptr<AudioPlayer> m_player;
    bool m_previewRolls = false; // previewFile() started the transport; GUI thread only
    std::unique_ptr<AudioBus> m_ownMetronomeBus;
    std::unique_ptr<AudioBus> m_ownPlayerBus;
    AudioBus* m_metronomeBus = nullptr;
    AudioBus* m_playerBus = nullptr;
    std::atomic<bool> m_processing{false}; // between activate and deactivate
    std::atomic<int> m_fadeRequest{0};     // +1 fade in, -1 fade out, 0 none
    std::atomic<bool> m_stopping{false};   // after a fade-out: cycles only move the play head
    std::atomic<uint32_t> m_framesThisCycle{0};
    double m_recordingLatency = 0.0;
    int m_takes = 0;
};
