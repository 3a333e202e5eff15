#include "key_detection.h"

#include "key_names.h"
#include "midi_sequence.h"
#include "song_state.h"

namespace {

// Weight of the notes outside the major scale on tonic r.
double outside(const double weights[12], int r)
{
    return weights[(r + 1) % 12] + weights[(r + 3) % 12] + weights[(r + 6) % 12] +
           weights[(r + 8) % 12] + weights[(r + 10) % 12];
}

} // namespace

DetectedKey chooseKey(const double weights[12], int lastPitchClass)
{
    double s[12];
    for (int r = 0; r < 12; ++r)
        s[r] = outside(weights, r);
    // Ties go to the lower pitch class: only a strictly smaller count replaces the best.
    int best = 0;
    for (int r = 1; r < 12; ++r)
        if (s[r] < s[best])
            best = r;
    if (lastPitchClass < 0) // no note: the best major key
        return {signatureOfTonic(best), false};

    const int last = lastPitchClass;
    const int relative = (last + 3) % 12; // the major key whose relative minor starts on last
    bool minor = false;
    int chosen = best;
    if (relative == best || s[best] == s[relative]) {
        minor = true;
        chosen = relative;
    }
    // A major key on the last note wins a tie.
    if (chosen != last && s[chosen] == s[last]) {
        minor = false;
        chosen = last;
    }
    return {signatureOfTonic(chosen), minor};
}

DetectedKey detectKey(const MidiSequence& melody)
{
    double counts[12] = {};
    int last = -1;
    for (const MidiEvent* e = melody.first(); e; e = e->next()) {
        if (!e->isNote())
            continue;
        counts[e->data1 % 12] += 1.0;
        last = e->data1 % 12;
    }
    // A melody without notes (with or without other events) suggests C major.
    if (last < 0)
        return {0, false};
    return chooseKey(counts, last);
}

void applySuggestedKey(SongState& song, const DetectedKey& key)
{
    song.suggestedKey = keyName(key.signature, key.minor);
    if (!song.keyFixed) {
        song.key = song.suggestedKey;
        Q_EMIT song.keyChanged();
    }
}
