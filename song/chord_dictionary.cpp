#include "chord_dictionary.h"

#include <iterator>
#include <string_view>

namespace {

constexpr int letterPitch(char letter)
{
    switch (letter) {
    case 'C':
        return 0;
    case 'D':
        return 2;
    case 'E':
        return 4;
    case 'F':
        return 5;
    case 'G':
        return 7;
    case 'A':
        return 9;
    case 'B':
        return 11;
    default:
        return -1;
    }
}

// Pitch class of a tone name on C ("C", "Eb", "F#", "Bbb"), or -1 when the token is no note.
// Double accidentals count, so the diminished seventh of "C Eb Gb Bbb" is in the mask.
constexpr int tonePitchClass(std::string_view token)
{
    const int natural = token.empty() ? -1 : letterPitch(token[0]);
    const std::string_view accidentals = natural < 0 ? std::string_view() : token.substr(1);
    if (natural < 0 || accidentals.size() > 2)
        return -1;
    int pitch = natural;
    for (char sign : accidentals) {
        if (sign != accidentals[0] || (sign != 'b' && sign != '#'))
            return -1;
        pitch += sign == '#' ? 1 : -1;
    }
    return (pitch + 12) % 12;
}

// The set of pitch classes of space-separated tone names; tokens that are no note add nothing.
constexpr uint16_t maskOfTones(std::string_view tones)
{
    uint16_t mask = 0;
    while (!tones.empty()) {
        const std::size_t space = tones.find(' ');
        const int pc = tonePitchClass(tones.substr(0, space));
        if (pc >= 0)
            mask |= uint16_t(1u << pc);
        tones = space == std::string_view::npos ? std::string_view() : tones.substr(space + 1);
    }
    return mask;
}

constexpr QLatin1StringView text(std::string_view s)
{
    return QLatin1StringView(s.data(), qsizetype(s.size()));
}

// How each pitch class of a pattern over C major seventh (C E G B) moves over the chord.
// clang-format off
//                                     C   C#  D   D#  E   F   F#  G   G#  A   A#  B
constexpr VoicingShift kNoShift{};
constexpr VoicingShift kMajorShift   = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  1};
constexpr VoicingShift kSixthShift   = {0,  0,  0,  0,  0,  0,  0,  2,  0,  0,  0,  1};
constexpr VoicingShift kMinorShift   = {0,  0,  0,  0, -1,  0,  0,  0,  0,  0,  0,  1};
constexpr VoicingShift kSeventhShift = {0,  0,  0,  0,  0,  0,  0,  0,  0,  1,  0, -1};
// clang-format on

constexpr ChordType row(int identifier, std::string_view name, std::string_view kind,
                        std::string_view degrees, std::string_view tones,
                        const VoicingShift& shift = kNoShift)
{
    return ChordType{identifier,  text(name),         text(kind), text(degrees),
                     text(tones), maskOfTones(tones), shift};
}

/*
 * The dictionary. Chord texts in songs are read against it and name lookup takes the first of
 * equal names, so the order is fixed; later rows of a repeated name are kept but never found.
 *
 * Tones are the chord spelled on C by degree, in the usual chord-symbol reading of the name:
 * - third E; "m", "dim" make it Eb; "sus", "sus4" and "4" replace it by F, "sus2" by D;
 * - fifth G; "b5" and "dim" make it Gb; "#5", "+" and "aug" make it G#; "5" alone is C G;
 * - "6" adds A; a 7, 9, 11 or 13 adds the minor seventh Bb ("Maj" makes it B, "dim7" Bbb);
 * - 9 adds D; 11 adds D and F; 13 adds D and A, leaving out the natural eleventh as usual,
 *   since it clashes with the third;
 * - b9 and #9 replace the ninth (Db, D#); #11 is F#, b13 Ab, #13 A# and #7 B; "add" adds the
 *   degree, and an alteration written without a seventh ("#13", "#59", "69") adds to the triad;
 * - "(no 3)" and "omit5" drop that degree; "2" is the triad with an added D;
 * - the named chords: "Lyd" adds F# (the Lydian fourth), "(blues)" adds the blue third as D#,
 *   "7alt" is C E Gb G# Bb Db D#, "Tristan" is C F# A# D.
 * Kind and degrees follow MusicXML harmony: "add" for a degree beyond the kind, "alt" for a
 * changed degree inside it, "subtract" for a dropped one. Only the major, sixth, minor and
 * seventh rows bend style patterns; every other row plays the pattern's notes transposed.
 */
// clang-format off
constexpr ChordType kRows[] = {
    row(  1, "",             "major",              "",                              "C E G", kMajorShift),
    row(  2, "Maj",          "",                   "",                              "C E G", kMajorShift),
    row(  3, "5b",           "major",              "altb5",                         "C E Gb"),
    row(  4, "aug",          "augmented",          "",                              "C E G#"),
    row(  5, "6",            "major-sixth",        "",                              "C E G A", kSixthShift),
    row(  6, "Maj7",         "major-seventh",      "",                              "C E G B"),
    row(  7, "Maj9",         "major-ninth",        "",                              "C E G B D"),
    row(  8, "Maj9#11",      "major-ninth",        "add#11",                        "C E G B D F#"),
    row(  9, "Maj13#11",     "major-13th",         "alt#11",                        "C E G B D F# A"),
    row( 10, "Maj13",        "major-13th",         "",                              "C E G B D A"),
    row( 11, "Maj9(no 3)",   "major-ninth",        "subtract3",                     "C G B D"),
    row( 12, "+",            "augmented",          "",                              "C E G#"),
    row( 13, "Maj7#5",       "major-seventh",      "alt#5",                         "C E G# B"),
    row( 14, "69",           "maj69",              "",                              "C E G A D"),
    row( 15, "2",            "major",              "add2",                          "C D E G"),
    row( 16, "m",            "minor",              "",                              "C Eb G", kMinorShift),
    row( 17, "maug",         "minor",              "alt#5",                         "C Eb G#"),
    row( 18, "mMaj7",        "major-minor",        "",                              "C Eb G B"),
    row( 19, "m7",           "minor-seventh",      "",                              "C Eb G Bb"),
    row( 20, "m9",           "minor-ninth",        "",                              "C Eb G Bb D"),
    row( 21, "m11",          "minor-11th",         "",                              "C Eb G Bb D F"),
    row( 22, "m13",          "minor-13th",         "",                              "C Eb G Bb D A"),
    row( 23, "m6",           "minor-sixth",        "",                              "C Eb G A"),
    row( 24, "m#5",          "minor alt#5",        "",                              "C Eb G#"),
    row( 25, "m7#5",         "minor-seventh",      "alt#5",                         "C Eb G# Bb"),
    row( 26, "m69",          "minor-sixth",        "add9",                          "C Eb G A D"),
    row( 27, "Lyd",          "major",              "add#11",                        "C E G F#"),
    row( 28, "Maj7Lyd",      "major-seventh",      "add#11",                        "C E G B F#"),
    row( 29, "Maj7b5",       "major-seventh",      "altb5",                         "C E Gb B"),
    row( 30, "m7b5",         "half-diminished",    "",                              "C Eb Gb Bb"),
    row( 31, "dim",          "diminished",         "",                              "C Eb Gb"),
    row( 32, "m9b5",         "half-diminished",    "add9",                          "C Eb Gb Bb D"),
    row( 33, "5",            "power",              "",                              "C G"),
    row( 34, "7+",           "augmented-seventh",  "",                              "C E G# Bb"),
    row( 35, "9+",           "augmented-ninth",    "",                              "C E G# Bb D"),
    row( 36, "13+",          "dominant-13th",      "alt#5",                         "C E G# Bb D A"),
    row( 37, "(blues)",      "major",              "add#9",                         "C E G D#"),
    row( 38, "7(Blues)",     "dominant",           "add#9",                         "C E G Bb D#"),
    row( 39, "7",            "dominant-seventh",   "",                              "C E G Bb", kSeventhShift),
    row( 39, "7",            "dominant",           "",                              "C E G Bb", kSeventhShift),
    row( 40, "13",           "dominant-13th",      "",                              "C E G Bb D A"),
    row( 41, "7b13",         "dominant",           "addb13",                        "C E G Bb Ab"),
    row( 42, "7#11",         "dominant",           "add#11",                        "C E G Bb F#"),
    row( 43, "13#11",        "dominant-13th",      "alt#11",                        "C E G Bb D F# A"),
    row( 44, "7#11b13",      "dominant",           "add#11 addb13",                 "C E G Bb F# Ab"),
    row( 45, "9",            "dominant-ninth",     "",                              "C E G Bb D"),
    row( 46, "9b13",         "dominant-ninth",     "addb13",                        "C E G Bb D Ab"),
    row( 47, "9#11",         "dominant-ninth",     "add#11",                        "C E G Bb D F#"),
    row( 43, "13#11",        "dominant-13th",      "alt#11",                        "C E G Bb D F# A"),
    row( 48, "9#11b13",      "dominant-ninth",     "add#11 addb13",                 "C E G Bb D F# Ab"),
    row( 49, "7b9",          "dominant",           "addb9",                         "C E G Bb Db"),
    row( 50, "13b9",         "dominant-13th",      "altb9",                         "C E G Bb Db A"),
    row( 51, "7b9b13",       "dominant",           "addb9 addb13",                  "C E G Bb Db Ab"),
    row( 52, "7b9#11",       "dominant",           "addb9 add#11",                  "C E G Bb Db F#"),
    row( 53, "13b9#11",      "dominant-13th",      "altb9 alt#11",                  "C E G Bb Db F# A"),
    row( 54, "7b9#11b13",    "dominant",           "addb9 add#11 addb13",           "C E G Bb Db F# Ab"),
    row( 55, "7#9",          "dominant",           "add#9",                         "C E G Bb D#"),
    row( 56, "13#9",         "dominant-13th",      "alt#9",                         "C E G Bb D# A"),
    row( 57, "7#9b13",       "dominant",           "add#9 addb13",                  "C E G Bb D# Ab"),
    row( 47, "9#11",         "dominant-ninth",     "add#11",                        "C E G Bb D F#"),
    row( 58, "13#9#11",      "dominant-13th",      "alt#9 alt#11",                  "C E G Bb D# F# A"),
    row( 59, "7#9#11b13",    "dominant",           "add#9 add#11 addb13",           "C E G Bb D# F# Ab"),
    row( 60, "7b5",          "dominant",           "altb5",                         "C E Gb Bb"),
    row( 61, "13b5",         "dominant-13th",      "altb5",                         "C E Gb Bb D A"),
    row( 62, "7b5b13",       "dominant",           "altb5 addb13",                  "C E Gb Bb Ab"),
    row( 63, "9b5",          "dominant-ninth",     "altb5",                         "C E Gb Bb D"),
    row( 64, "9b5b13",       "dominant-ninth",     "altb5 addb13",                  "C E Gb Bb D Ab"),
    row( 65, "7b5b9",        "dominant",           "altb5 addb9",                   "C E Gb Bb Db"),
    row( 66, "13b5b9",       "dominant-13th",      "altb5 altb9",                   "C E Gb Bb Db A"),
    row( 67, "7b5b9b13",     "dominant",           "altb5 addb9 addb13",            "C E Gb Bb Db Ab"),
    row( 68, "7b5#9",        "dominant",           "altb5 add#9",                   "C E Gb Bb D#"),
    row( 69, "13b5#9",       "dominant-13th",      "altb5 alt#9",                   "C E Gb Bb D# A"),
    row( 70, "7b5#9b13",     "dominant",           "altb5 add#9 addb13",            "C E Gb Bb D# Ab"),
    row( 71, "7#5",          "dominant",           "alt#5",                         "C E G# Bb"),
    row( 72, "13#5",         "dominant-13th",      "alt#5",                         "C E G# Bb D A"),
    row( 73, "7#5#11",       "dominant",           "alt#5 add#11",                  "C E G# Bb F#"),
    row( 74, "13#5#11",      "dominant-13th",      "alt#5 alt#11",                  "C E G# Bb D F# A"),
    row( 75, "9#5",          "dominant-ninth",     "alt#5",                         "C E G# Bb D"),
    row( 76, "9#5#11",       "dominant-ninth",     "alt#5 add#11",                  "C E G# Bb D F#"),
    row( 77, "7#5b9",        "dominant",           "alt#5 addb9",                   "C E G# Bb Db"),
    row( 78, "13#5b9",       "dominant-13th",      "alt#5 altb9",                   "C E G# Bb Db A"),
    row( 79, "7#5b9#11",     "dominant",           "alt#5 addb9 add#11",            "C E G# Bb Db F#"),
    row( 80, "13#5b9#11",    "dominant-13th",      "alt#5 altb9 alt#11",            "C E G# Bb Db F# A"),
    row( 81, "7#5#9",        "dominant",           "alt#5 add#9",                   "C E G# Bb D#"),
    row( 82, "13#5#9#11",    "dominant-13th",      "alt#5 alt#9 alt#11",            "C E G# Bb D# F# A"),
    row( 83, "7#5#9#11",     "dominant",           "alt#5 add#9 add#11",            "C E G# Bb D# F#"),
    row( 82, "13#5#9#11",    "dominant-13th",      "alt#5 alt#9 alt#11",            "C E G# Bb D# F# A"),
    row( 84, "7alt",         "dominant",           "altb5 add#5 addb9 add#9",       "C E Gb G# Bb Db D#"),
    row( 85, "7sus",         "suspended-fourth",   "add7",                          "C F G Bb"),
    row( 86, "13sus",        "suspended-fourth",   "add7 add9 add13",               "C F G Bb D A"),
    row( 87, "7susb13",      "suspended-fourth",   "add7 addb13",                   "C F G Bb Ab"),
    row( 88, "7sus#11",      "suspended-fourth",   "add7 add#11",                   "C F G Bb F#"),
    row( 89, "13sus#11",     "suspended-fourth",   "add7 add9 add#11 add13",        "C F G Bb D F# A"),
    row( 90, "7sus#11b13",   "suspended-fourth",   "add7 add#11 addb13",            "C F G Bb F# Ab"),
    row( 91, "9sus",         "suspended-fourth",   "add7 add9",                     "C F G Bb D"),
    row( 92, "9susb13",      "suspended-fourth",   "add7 add9 addb13",              "C F G Bb D Ab"),
    row( 93, "9sus#11",      "suspended-fourth",   "add7 add9 add#11",              "C F G Bb D F#"),
    row( 89, "13sus#11",     "suspended-fourth",   "add7 add9 add#11 add13",        "C F G Bb D F# A"),
    row( 89, "13sus#11",     "suspended-fourth",   "add7 add9 add#11 add13",        "C F G Bb D F# A"),
    row( 94, "9sus#11b13",   "suspended-fourth",   "add7 add9 add#11 addb13",       "C F G Bb D F# Ab"),
    row( 95, "7susb9",       "suspended-fourth",   "add7 addb9",                    "C F G Bb Db"),
    row( 96, "13susb9",      "suspended-fourth",   "add7 addb9 add13",              "C F G Bb Db A"),
    row( 97, "7susb9b13",    "suspended-fourth",   "add7 addb9 addb13",             "C F G Bb Db Ab"),
    row( 98, "7susb9#11",    "suspended-fourth",   "add7 addb9 add#11",             "C F G Bb Db F#"),
    row( 99, "13susb9#11",   "suspended-fourth",   "add7 addb9 add#11 add13",       "C F G Bb Db F# A"),
    row(100, "7susb9#11b13", "suspended-fourth",   "add7 addb9 add#11 addb13",      "C F G Bb Db F# Ab"),
    row(101, "7sus#9",       "suspended-fourth",   "add7 add#9",                    "C F G Bb D#"),
    row(102, "13sus#9",      "suspended-fourth",   "add7 add#9 add13",              "C F G Bb D# A"),
    row(103, "7sus#9b13",    "suspended-fourth",   "add7 add#9 addb13",             "C F G Bb D# Ab"),
    row( 93, "9sus#11",      "suspended-fourth",   "add7 add9 add#11",              "C F G Bb D F#"),
    row(104, "13sus#9#11",   "suspended-fourth",   "add7 add#9 add#11 add13",       "C F G Bb D# F# A"),
    row(105, "7sus#9#11b13", "suspended-fourth",   "add7 add#9 add#11 addb13",      "C F G Bb D# F# Ab"),
    row(103, "7sus#9b13",    "suspended-fourth",   "add7 add#9 addb13",             "C F G Bb D# Ab"),
    row(106, "7susb5",       "suspended-fourth",   "altb5 add7",                    "C F Gb Bb"),
    row(107, "13susb5",      "suspended-fourth",   "altb5 add7 add9 add13",         "C F Gb Bb D A"),
    row(108, "7susb5b13",    "suspended-fourth",   "altb5 add7 addb13",             "C F Gb Bb Ab"),
    row(109, "9susb5",       "suspended-fourth",   "altb5 add7 add9",               "C F Gb Bb D"),
    row(110, "9susb5b13",    "suspended-fourth",   "altb5 add7 add9 addb13",        "C F Gb Bb D Ab"),
    row(111, "7susb5b9",     "suspended-fourth",   "altb5 add7 addb9",              "C F Gb Bb Db"),
    row(112, "13susb5b9",    "suspended-fourth",   "altb5 add7 addb9 add13",        "C F Gb Bb Db A"),
    row(113, "7susb5b9b13",  "suspended-fourth",   "altb5 add7 addb9 addb13",       "C F Gb Bb Db Ab"),
    row(114, "7susb5#9",     "suspended-fourth",   "altb5 add7 add#9",              "C F Gb Bb D#"),
    row(115, "13susb5#9",    "suspended-fourth",   "altb5 add7 add#9 add13",        "C F Gb Bb D# A"),
    row(116, "7susb5#9b13",  "suspended-fourth",   "altb5 add7 add#9 addb13",       "C F Gb Bb D# Ab"),
    row(117, "7sus#5",       "suspended-fourth",   "alt#5 add7",                    "C F G# Bb"),
    row(118, "13sus#5",      "suspended-fourth",   "alt#5 add7 add9 add13",         "C F G# Bb D A"),
    row(119, "7sus#5#11",    "suspended-fourth",   "alt#5 add7 add#11",             "C F G# Bb F#"),
    row(120, "13sus#5#11",   "suspended-fourth",   "alt#5 add7 add9 add#11 add13",  "C F G# Bb D F# A"),
    row(121, "9sus#5",       "suspended-fourth",   "alt#5 add7 add9",               "C F G# Bb D"),
    row(122, "9sus#5#11",    "suspended-fourth",   "alt#5 add7 add9 add#11",        "C F G# Bb D F#"),
    row(123, "7sus#5b9",     "suspended-fourth",   "alt#5 add7 addb9",              "C F G# Bb Db"),
    row(124, "13sus#5b9",    "suspended-fourth",   "alt#5 add7 addb9 add13",        "C F G# Bb Db A"),
    row(125, "7sus#5b9#11",  "suspended-fourth",   "alt#5 add7 addb9 add#11",       "C F G# Bb Db F#"),
    row(126, "13sus#5b9#11", "suspended-fourth",   "alt#5 add7 addb9 add#11 add13", "C F G# Bb Db F# A"),
    row(127, "7sus#5#9",     "suspended-fourth",   "alt#5 add7 add#9",              "C F G# Bb D#"),
    row(128, "13sus#5#9#11", "suspended-fourth",   "alt#5 add7 add#9 add#11 add13", "C F G# Bb D# F# A"),
    row(129, "7sus#5#9#11",  "suspended-fourth",   "alt#5 add7 add#9 add#11",       "C F G# Bb D# F#"),
    row(128, "13sus#5#9#11", "suspended-fourth",   "alt#5 add7 add#9 add#11 add13", "C F G# Bb D# F# A"),
    row(130, "4",            "suspended-fourth",   "",                              "C F G"),
    row(131, "sus",          "suspended-fourth",   "",                              "C F G"),
    row(132, "dim7",         "diminished-seventh", "",                              "C Eb Gb Bbb"),
    row(133, "sus2",         "suspended-second",   "",                              "C D G"),
    row(134, "maddb13",      "minor",              "addb13",                        "C Eb G Ab"),
    row(135, "#13",          "major",              "add#13",                        "C E G A#"),
    row(136, "add#11#13",    "major",              "add#11 add#13",                 "C E G F# A#"),
    row(137, "add#13",       "major",              "add#13",                        "C E G A#"),
    row(138, "6add9",        "major-sixth",        "add9",                          "C E G A D"),
    row(139, "sus4",         "suspended-fourth",   "",                              "C F G"),
    row(140, "11",           "dominant-11th",      "",                              "C E G Bb D F"),
    row(141, "Maj11",        "major-11th",         "",                              "C E G B D F"),
    row(142, "Tristan",      "tristan",            "",                              "C F# A# D"),
    row( 39, "7",            "dominant",           "",                              "C E G Bb", kSeventhShift),
    row(143, "7sus4",        "suspended-fourth",   "add7",                          "C F G Bb"),
    row(144, "m7add11",      "minor-seventh",      "add11",                         "C Eb G Bb F"),
    row(145, "Maj7add13",    "major-seventh",      "add13",                         "C E G B A"),
    row(146, "madd9",        "minor",              "add9",                          "C Eb G D"),
    row( 18, "mMaj7",        "minor-major",        "",                              "C Eb G B"),
    row(147, "m9Maj7",       "major-minor",        "add9",                          "C Eb G B D"),
    row( 33, "5",            "power",              "",                              "C G"),
    row(148, "m11b5",        "minor-11th",         "altb5",                         "C Eb Gb Bb D F"),
    row(149, "dim7add#7",    "diminished-seventh", "add#7",                         "C Eb Gb Bbb B"),
    row(150, "#59",          "augmented",          "add9",                          "C E G# D"),
    row(151, "omit5",        "major",              "subtract5",                     "C E"),
    row(152, "aug7",         "augmented-seventh",  "",                              "C E G# Bb"),
    row(153, "aug9",         "augmented-ninth",    "",                              "C E G# Bb D"),
    row(154, "aug13",        "dominant-13th",      "alt#5",                         "C E G# Bb D A"),
};
// clang-format on

static_assert(std::size(kRows) == 166, "songs and styles name chords by this table");
static_assert(kRows[0].toneMask == 0b000010010001, "C E G");
static_assert(maskOfTones("C Eb Gb Bbb") == 0b001001001001, "double flats are read");

// Lower-cases the ASCII letters of a row name; names hold nothing else that has a case.
constexpr char16_t asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char16_t(c - 'A' + 'a') : char16_t(c);
}

bool equalsLowered(QStringView lowered, QLatin1StringView name)
{
    if (lowered.size() != name.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (lowered[i].unicode() != asciiLower(name[i].toLatin1()))
            return false;
    }
    return true;
}

} // namespace

std::span<const ChordType> ChordDictionary::rows()
{
    return kRows;
}

const ChordType* ChordDictionary::find(QStringView extension)
{
    const QString lowered = extension.toString().toLower();
    for (const ChordType& type : kRows) {
        if (equalsLowered(lowered, type.name))
            return &type;
    }
    return nullptr;
}
