#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

class Track;
class Session;
class Clip;

/**
 * SessionCursor: a position in the session with the current clip of every track.
 *
 * Each engine keeps one of its track kind: the audio engine's is the play head, the MIDI
 * engine's marks how far MIDI has been scheduled; a view may keep one of kind 0. Clips of the
 * cursor's kind are rewound when the cursor passes them and told to seek when it lands inside
 * them. The session tells its cursors when tracks are added, removed, moved or changed.
 * Changed only on the GUI thread under the edit lock, or by the engine that owns it while it
 * holds the engine lock; frame and the counts are read by the engines.
 */
class SessionCursor
{
public:
    SessionCursor(Session* session, uint32_t frame, int kind);
    ~SessionCursor();
    SessionCursor(const SessionCursor&) = delete;
    SessionCursor& operator=(const SessionCursor&) = delete;

    Session* session() const { return m_session; }
    int kind() const { return m_kind; }
    /** Safe from any thread: the window reads the play head while the audio thread moves it. */
    uint32_t frame() const { return m_frame.load(std::memory_order_relaxed); }
    uint32_t frameCount() const { return m_frameCount.load(std::memory_order_relaxed); }
    uint32_t startFrame() const { return m_startFrame; }

    /** Number of entries, one per session track in track order. */
    uint32_t count() const { return uint32_t(m_clips.size()); }
    /** The current clip of the i-th track (none when the track has no clips). */
    Clip* clip(uint32_t i) const { return i < m_clips.size() ? m_clips[i] : nullptr; }

    /**
     * The first clip of the track, from `from` (or its first clip) on, that ends at or after
     * frame; the track's last clip when none does. Clips passed over are rewound.
     */
    Clip* find(Track* track, Clip* from, uint32_t frame);
    /** Fills every entry again for the session's tracks. */
    void rebuild();
    /** Moves to frame; with seek, clips of the cursor's kind are told where to play from. */
    void locate(uint32_t frame, bool seek);

    void trackAdded(Track* track);
    void trackRemoved(Track* track);
    void trackChanged(Track* track);

    void resetCount();
    /** Safe from the owning engine's thread. */
    void addFrames(uint32_t n) { m_frameCount.fetch_add(n, std::memory_order_relaxed); }

private:
    bool drives(const Track* track) const;
    bool loopSet() const;
    Clip* findAndSeek(Track* track);
    int indexOf(const Track* track) const;

    Session* m_session;
    // Written by the GUI thread under the edit lock or by the owning engine's thread; atomics
    // because other threads read them at any time.
    std::atomic<uint32_t> m_frame;
    std::atomic<uint32_t> m_frameCount{0};
    uint32_t m_startFrame;
    int m_kind;
    std::vector<Clip*> m_clips;
};
