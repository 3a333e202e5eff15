#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

class vx18;
class vx20;
class vx21;

/**
 * vx20Cursor: a position in the session with the current clip of every track.
 *
 * Each engine keeps one of its track kind: the audio engine's is the play head, the MIDI
 * engine's marks how far MIDI has been scheduled; a view may keep one of kind 0. Clips of the
 * cursor's kind are rewound when the cursor passes them and told to seek when it lands inside
 * them. The session tells its cursors when tracks are added, removed, moved or changed.
 * Changed only on the GUI thread under the edit lock, or by the engine that owns it while it
 * holds the engine lock; frame and the counts are read by the engines.
 */
class vx20Cursor
{
public:
    vx20Cursor(vx20* session, uint32_t frame, int kind);
    ~vx20Cursor();
    vx20Cursor(const vx20Cursor&) = delete;
    vx20Cursor& operator=(const vx20Cursor&) = delete;

    vx20* session() const { return m_session; }
    int kind() const { return m_kind; }
    /** Safe from any thread: the window reads the play head while the audio thread moves it. */
    uint32_t frame() const { return m_frame.load(std::memory_order_relaxed); }
    uint32_t frameCount() const { return m_frameCount.load(std::memory_order_relaxed); }
    uint32_t startFrame() const { return m_startFrame; }

    /** Number of entries, one per session track in track order. */
    uint32_t count() const { return uint32_t(m_clips.size()); }
    /** The current clip of the i-th track (none when the track has no clips). */
    vx21* clip(uint32_t i) const { return i < m_clips.size() ? m_clips[i] : nullptr; }

    /**
     * The first clip of the track, from `from` (or its first clip) on, that ends at or after
     * frame; the track's last clip when none does. Clips passed over are rewound.
     */
    vx21* find(vx18* track, vx21* from, uint32_t frame);
    /** Fills every entry again for the session's tracks. */
    void rebuild();
    /** Moves to frame; with seek, clips of the cursor's kind are told where to play from. */
    void locate(uint32_t frame, bool seek);

    void trackAdded(vx18* track);
    void trackRemoved(vx18* track);
    void trackChanged(vx18* track);

    void resetCount();
    /** Safe from the owning engine's thread. */
    void addFrames(uint32_t n) { m_frameCount.fetch_add(n, std::memory_order_relaxed); }

private:
    bool drives(const vx18* track) const;
    bool loopSet() const;
    vx21* findAndSeek(vx18* track);
    int indexOf(const vx18* track) const;

    vx20* m_session;
    // Written by the GUI thread under the edit lock or by the owning engine's thread; atomics
    // because other threads read them at any time.
    std::atomic<uint32_t> m_frame;
    std::atomic<uint32_t> m_frameCount{0};
    uint32_t m_startFrame;
    int m_kind;
    std::vector<vx21*> m_clips;
};
