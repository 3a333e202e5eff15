#include "melody_shaper.h"

void MelodyShaper::shape(SungNotes& notes)
{
    sortByOnset(notes);
    joinScoops(notes);
    trimOverlaps(notes);
}

// Insertion sort: stable without a scratch buffer, and nearly linear on the emission order,
// where a note-on comes at most a few notes out of place.
void MelodyShaper::sortByOnset(SungNotes& notes)
{
    for (std::size_t i = 1; i < notes.size(); ++i) {
        const SungNote note = notes[i];
        std::size_t j = i;
        for (; j > 0 && notes[j - 1].onset > note.onset; --j)
            notes[j] = notes[j - 1];
        notes[j] = note;
    }
}

// A singer who slides up into a note makes the tracker hear a short note a semitone or two
// below, ending where the real note begins. The note starts where the glide started.
void MelodyShaper::joinScoops(SungNotes& notes)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const SungNote& scoop = notes[i];
        if (i + 1 < notes.size()) {
            SungNote& next = notes[i + 1];
            const double rise = next.pitch - scoop.pitch;
            if (scoop.duration() < kLongestScoop && next.onset - scoop.end < kScoopGap &&
                next.onset - scoop.onset < kLongestScoop + kScoopGap && rise >= kScoopLow &&
                rise <= kScoopHigh) {
                next.onset = scoop.onset;
                continue;
            }
        }
        notes[kept++] = scoop;
    }
    notes.resize(kept);
}

// One voice sings one note at a time: a note ends where the next begins. A note that would be
// left shorter than kShortestNote lost its place to the next one (two notes found for one
// onset, or a blip before the real note) and is dropped.
void MelodyShaper::trimOverlaps(SungNotes& notes)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        SungNote note = notes[i];
        if (i + 1 < notes.size() && note.end > notes[i + 1].onset) {
            note.end = notes[i + 1].onset;
            if (note.duration() < kShortestNote)
                continue;
        }
        notes[kept++] = note;
    }
    notes.resize(kept);
}
