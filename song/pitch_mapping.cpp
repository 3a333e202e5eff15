#include "pitch_mapping.h"

#include "chord_text.h"

namespace {

// The interval between the roots, as the remainder of the difference (sign of the dividend),
// then folded so that no pattern note moves by more than a tritone.
int rootInterval(const ParsedChord& chord, const ParsedChord& source)
{
    int e = (tpcPitch(chord.root) - tpcPitch(source.root)) % 12;
    if (e > 6)
        e -= 12;
    else if (e < -6)
        e += 12;
    return e;
}

} // namespace

int mapPitch(int pitch, const QString& chord, const QString& sourceChord)
{
    if (chord.isEmpty() || isDrumsChord(chord) || isEmptyChord(chord))
        return pitch;
    const ParsedChord target = parseChord(chord);
    if (!target.isValid())
        return pitch;
    ParsedChord source = parseChord(sourceChord);
    if (!source.isValid())
        source = parseChord(kDefaultSourceChord);

    int result = pitch + rootInterval(target, source);
    // The shifts are written for a pattern over C: a note is looked up by its interval above
    // the source root, so the third of a pattern over G (B) moves as the third of one over C.
    result += target.type->voicingShift[size_t(pitchClass(pitch - tpcPitch(source.root)))];
    if (result < 0)
        result += 12;
    while (result > 127)
        result -= 12;
    return result;
}
