#include "pitch_spelling.h"

#include <QDebug>

#include <array>

namespace {

// The line of fifths starting one step below C, as the tpc arithmetic below expects.
constexpr char kFifthsLetters[] = "FCGDAEB";
constexpr std::array<int, 7> kFifthsLetterPitch = {5, 0, 7, 2, 9, 4, 11};

constexpr std::array<const char*, 12> kSharpNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                     "F#", "G",  "G#", "A",  "A#", "B"};
constexpr std::array<const char*, 12> kFlatNames = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                    "Gb", "G",  "Ab", "A",  "Bb", "B"};

// Floor division and modulo keep out-of-range spellings (kNoTpc among them) inside the tables.
int floorDiv(int value, int divisor)
{
    const int quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

int letterIndex(int tpc)
{
    return (tpc + 1) - 7 * floorDiv(tpc + 1, 7);
}

int accidentalCount(int tpc)
{
    return floorDiv(tpc + 1, 7) - 2;
}

// tpc of the natural letter, or kNoTpc for anything that is not A-G in either case.
int naturalTpc(QChar letter)
{
    switch (letter.toUpper().unicode()) {
    case 'F':
        return 13;
    case 'C':
        return 14;
    case 'G':
        return 15;
    case 'D':
        return 16;
    case 'A':
        return 17;
    case 'E':
        return 18;
    case 'B':
        return 19;
    default:
        return kNoTpc;
    }
}

} // namespace

int tpcPitch(int tpc)
{
    if (tpc < kMinTpc || tpc > kMaxTpc)
        qDebug("tpc %d >= %d", tpc, kMaxTpc + 1);
    return kFifthsLetterPitch[letterIndex(tpc)] + accidentalCount(tpc);
}

QString tpcToName(int tpc)
{
    QString name{QLatin1Char(kFifthsLetters[letterIndex(tpc)])};
    const int accidentals = accidentalCount(tpc);
    if (accidentals < -2 || accidentals > 2) {
        qDebug("tpc2name(%d): acc %d", tpc, accidentals);
        return name + QLatin1String("??");
    }
    const QLatin1Char sign(accidentals < 0 ? 'b' : '#');
    return name + QString(qAbs(accidentals), sign);
}

int parseNote(QStringView text)
{
    if (text.isEmpty())
        return kNoTpc;
    const int natural = naturalTpc(text.front());
    if (natural == kNoTpc || text.size() < 2)
        return natural;
    const QChar accidental = text[1];
    if (accidental == QLatin1Char('b') || accidental == QLatin1Char('B'))
        return natural - 7;
    if (accidental == QLatin1Char('#'))
        return natural + 7;
    return natural;
}

int spellTransposed(int tpc, int semitones)
{
    if (semitones == 0 || tpc == kNoTpc)
        return tpc;
    // Floor modulo, so that shifts below -12 and flat spellings of C (pitch < 0) fold correctly.
    const int target = pitchClass(tpcPitch(tpc) + semitones);
    // Steps of seven semitones walk the fifths; the offsets pick the window Db..F#.
    return (target * 7 % 12 + 5) % 12 + 9;
}

QLatin1StringView sharpNoteName(int pitch)
{
    return QLatin1StringView(kSharpNames[pitchClass(pitch)]);
}

QLatin1StringView flatNoteName(int pitch)
{
    return QLatin1StringView(kFlatNames[pitchClass(pitch)]);
}

QLatin1StringView noteNameInKey(int pitch, int signature)
{
    return signature < 0 ? flatNoteName(pitch) : sharpNoteName(pitch);
}
