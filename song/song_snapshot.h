#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class Session;
class Track;
class MidiClip;
class MidiEvent;
class MidiSequence;

/**
 * SongSnapshot: what a song-making action changes outside the undoable commands.
 *
 * Make Chords, the sections, the arrangement and the lane edits write straight into the MIDI
 * clips (melody lanes, arranged parts) and into the song state (key, flags, the loaded style).
 * A snapshot copies all of that, so an undo step can put the song back exactly: every MIDI
 * clip's events, sequence fields, placement and modified mark, and every song-state field.
 * Tracks and tempo are not copied: they only change through commands. GUI thread only.
 */
class SongSnapshot
{
public:
    /** Copies the song of the session as it is now. */
    explicit SongSnapshot(Session& session);
    ~SongSnapshot();
    SongSnapshot(const SongSnapshot&) = delete;
    SongSnapshot& operator=(const SongSnapshot&) = delete;

    /**
     * Puts the copied state back, under the session's edit lock. The clips must still exist:
     * the undo step that holds the snapshot keeps them alive in its commands.
     */
    void restore() const;

    /** True when both snapshots hold the same song. */
    bool sameAs(const SongSnapshot& other) const;

private:
    struct Sequence;
    struct ClipCopy;
    struct SongFields;

    Session& m_session;
    std::vector<std::unique_ptr<ClipCopy>> m_clips;
    std::unique_ptr<SongFields> m_song;
};
