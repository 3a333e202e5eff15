#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringView>

/*
 * Note spelling on the line of fifths ("tonal pitch class", tpc).
 *
 * A tpc is an integer from -1 (F double flat) to 33 (B double sharp): 13 = F, 14 = C, 15 = G,
 * 16 = D, 17 = A, 18 = E, 19 = B, and every step of seven adds a sharp. Chord and key names keep
 * their spelling through it (Db stays Db, C# stays C#). All functions are pure and safe from any
 * ordinary thread; they may allocate, so not from the audio callback.
 */

/** No note, e.g. a chord without a bass note. */
constexpr int kNoTpc = -2;
constexpr int kMinTpc = -1;
constexpr int kMaxTpc = 33;

/** The pitch class 0..11 of any pitch, negative ones included (-1 is 11). */
constexpr int pitchClass(int pitch)
{
    return ((pitch % 12) + 12) % 12;
}

/**
 * The pitch of a spelling for semitone arithmetic: the letter's pitch class plus the accidentals,
 * not folded into 0..11 (Cbb gives -2, B## gives 13). A tpc outside -1..33 is reported on the
 * debug output and still gets the pitch its letter and accidentals imply.
 */
int tpcPitch(int tpc);

/** Letter plus "bb", "b", "", "#" or "##"; an impossible accidental count appends "??". */
QString tpcToName(int tpc);

/**
 * Reads a note from the start of the text: a letter A-G in either case, then "b", "B" (flat) or
 * "#" (sharp); any other second character leaves the note natural. Returns kNoTpc when the first
 * character is not a note letter.
 */
int parseNote(QStringView text);

/**
 * Moves a spelling by semitones and respells the result with the usual accidentals of chord
 * names: Db Ab Eb Bb F C G D A E B F# (tpc 9..20). kNoTpc and a shift of 0 are returned as they
 * are.
 */
int spellTransposed(int tpc, int semitones);

/** Display names of the pitch class of a pitch: "C" "C#" "D" ... and "C" "Db" "D" .... */
QLatin1StringView sharpNoteName(int pitch);
QLatin1StringView flatNoteName(int pitch);
/**
 * The name of a pitch class as a key with the signature spells it: with flats in flat keys
 * (signature below 0), with sharps in the others, so A flat major has Db and Bb where E major
 * has C# and D#.
 */
QLatin1StringView noteNameInKey(int pitch, int signature);
