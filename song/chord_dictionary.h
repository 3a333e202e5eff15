#pragma once

#include <QLatin1StringView>
#include <QStringView>

#include <array>
#include <cstdint>
#include <span>

/** Semitone offsets by pitch class (index 0 = C): how a pattern note written over C major
 *  seventh moves when the pattern is played over another chord type. */
using VoicingShift = std::array<int8_t, 12>;

/**
 * ChordType: one row of the chord dictionary, a chord extension spelled on C.
 *
 * The texts are constant data of the program; rows live as long as the program.
 */
struct ChordType
{
    int identifier;            // equal for rows of equal name; read by no operation
    QLatin1StringView name;    // the text after the root: "", "m7", "Maj7", "7sus" ...
    QLatin1StringView kind;    // harmony kind word in MusicXML terms, e.g. "minor-seventh"
    QLatin1StringView degrees; // degree changes against the kind, e.g. "alt#5 addb9"
    QLatin1StringView tones;   // the chord on C, e.g. "C Eb G Bb"
    uint16_t toneMask;         // bit n set when pitch class n is one of the tones
    VoicingShift voicingShift; // see VoicingShift; all zero for most rows

    /** True when the pitch class of the pitch (any int) is a chord tone. */
    bool hasTone(int pitch) const { return (toneMask >> (((pitch % 12) + 12) % 12)) & 1u; }
};

/**
 * ChordDictionary: every chord extension the program understands, in a fixed order.
 *
 * Built at compile time and read-only, so safe from any thread. The order is part of the song
 * format: name lookup takes the first of equal names, and chord texts in songs name rows by it.
 */
class ChordDictionary
{
public:
    /** All rows in dictionary order. */
    static std::span<const ChordType> rows();

    /**
     * The first row whose name equals the extension when both are lower-cased, or nullptr.
     * "M" finds "m" (minor), "maj7" finds "Maj7", "" finds the major triad.
     */
    static const ChordType* find(QStringView extension);
};
