#pragma once

#include "chord_dictionary.h"
#include "pitch_spelling.h"

#include <QString>

/*
 * Chord names as the song lanes hold them: a root note, a dictionary extension and an optional
 * bass note ("F#m7/C#"). Two reserved names are no chords: "Drums" (only drum parts play) and
 * "Empty" (nothing plays; any text starting with "Empty" counts). Pure functions, safe from any
 * ordinary thread; failures to read a chord go to the debug output only.
 */

inline constexpr QLatin1StringView kDrumsChord("Drums");
inline constexpr QLatin1StringView kEmptyChord("Empty");

/** True for the reserved chord name "Drums". */
bool isDrumsChord(const QString& text);
/** True for the reserved chord name "Empty" and every text starting with it. */
bool isEmptyChord(const QString& text);

/** A chord read from its name. */
struct ParsedChord
{
    const ChordType* type = nullptr; // nullptr when the text is no chord
    int root = kNoTpc;
    int bass = kNoTpc; // kNoTpc when there is no "/bass"

    bool isValid() const { return type != nullptr; }
};

/**
 * Reads a chord name. The root is one letter, or two characters when the second is "b" or "#";
 * the extension up to "/" is looked up in the chord dictionary without regard to case (so "CM"
 * is C minor); after "/" comes the bass note. An empty text, an unreadable root or an unknown
 * extension give an invalid result.
 */
ParsedChord parseChord(const QString& text);

/** Root name, extension and "/bass" when there is a bass; empty when root is kNoTpc. */
QString chordName(const ChordType& type, int root, int bass = kNoTpc);

/**
 * Transposes every chord name in a text by semitones: each word starting with an upper-case
 * note letter is read as a chord and, when it is one, rebuilt with root and bass moved by
 * spellTransposed. Other words stay as they are, so "Am = 3.0" lines of suggested chords
 * transpose too. Empty texts, "Drums" and "Empty..." are returned unchanged.
 */
QString transposeChordText(const QString& text, int semitones);
