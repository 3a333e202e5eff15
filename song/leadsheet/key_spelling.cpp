#include "key_spelling.h"

#include "pitch_spelling.h"

#include <algorithm>
#include <cstdlib>

KeySpelling::KeySpelling(int signature, bool minor)
{
    // The key's scale lies at signature - 1 .. signature + 5 around C (tpc 14); its middle is
    // the second degree of the major key. Minor keys lean a step towards the sharps for their
    // raised sixth and seventh, so D minor writes C# but A minor still writes Bb.
    const int sharpness = std::clamp(signature, -7, 7);
    const int middle = 16 + sharpness + (minor ? 1 : 0);
    for (int pc = 0; pc < 12; ++pc) {
        int best = kNoTpc;
        for (int tpc = kMinTpc; tpc <= kMaxTpc; ++tpc) {
            if (pitchClass(tpcPitch(tpc)) != pc)
                continue;
            const int distance = std::abs(tpc - middle);
            const int bestDistance = std::abs(best - middle);
            // On a tie flat keys take the flat (lower) spelling, the others the sharp one.
            if (best == kNoTpc || distance < bestDistance ||
                (distance == bestDistance && (sharpness < 0) == (tpc < best)))
                best = tpc;
        }
        m_tpc[pc] = best;
    }
}

int KeySpelling::tpcOf(int key) const
{
    return m_tpc[pitchClass(key)];
}

KeySpelling::Pitch KeySpelling::pitchOf(int key) const
{
    const int tpc = tpcOf(key);
    Pitch pitch;
    pitch.step = "FCGDAEB"[(tpc + 1) % 7];
    pitch.alter = (tpc + 1) / 7 - 2;
    // The octave is the natural letter's: B#3 sounds as C4, Cb4 as B3.
    pitch.octave = (key - pitch.alter) / 12 - 1;
    return pitch;
}
