#include "key_names.h"

#include <array>

namespace {

// Indexed by signature + 7. Stored songs hold these exact texts.
constexpr std::array<const char*, 15> kMajorNames = {"Cbmaj", "Gbmaj", "Dbmaj", "Abmaj", "Ebmaj",
                                                     "Bbmaj", "Fmaj",  "Cmaj",  "Gmaj",  "Dmaj",
                                                     "Amaj",  "Emaj",  "Bmaj",  "F#maj", "C#maj"};
constexpr std::array<const char*, 15> kMinorNames = {"Abmin", "Ebmin", "Bbmin", "Fmin",  "Cmin",
                                                     "Gmin",  "Dmin",  "Amin",  "Emin",  "Bmin",
                                                     "F#min", "C#min", "G#min", "D#min", "A#min"};

// Indexed by the tonic's pitch class: the spelling a detected key is named with (Db, not C#).
constexpr std::array<int, 12> kSignatureOfTonic = {0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};

// Indexed by |signature|; the sign of the signature is applied to it.
constexpr std::array<int, 8> kShiftToC = {0, 5, -2, 3, -4, 1, -6, -1};

bool isSignature(int signature)
{
    return signature >= kMinSignature && signature <= kMaxSignature;
}

// Folds an interval into -5..+6, the range every key interval is reported in.
int foldInterval(int semitones)
{
    const int pc = pitchClass(semitones);
    return pc > 6 ? pc - 12 : pc;
}

// Characters taken by the tonic: the letter and the accidental parseNote read with it.
int tonicLength(const QString& text)
{
    if (text.size() < 2)
        return text.size();
    const QChar second = text[1];
    const bool accidental =
        second == QLatin1Char('b') || second == QLatin1Char('B') || second == QLatin1Char('#');
    return accidental ? 2 : 1;
}

} // namespace

QString keyName(int signature, bool minor)
{
    if (!isSignature(signature))
        return QString();
    const auto& names = minor ? kMinorNames : kMajorNames;
    return QString::fromLatin1(names[signature - kMinSignature]);
}

ParsedKey parseKey(const QString& text)
{
    const QString simple = text.simplified();
    const int tonic = parseNote(simple);
    if (tonic == kNoTpc)
        return ParsedKey();
    ParsedKey key;
    key.tonicTpc = tonic;
    key.minor = simple.mid(tonicLength(simple)).toLower() == QLatin1String("min");
    // A minor key is named by the signature of its relative major, three semitones up.
    key.signature = signatureOfTonic(tpcPitch(tonic) + (key.minor ? 3 : 0));
    return key;
}

int signatureOfTonic(int pitch)
{
    return kSignatureOfTonic[pitchClass(pitch)];
}

int shiftToC(int signature)
{
    if (!isSignature(signature))
        return 0;
    const int shift = kShiftToC[qAbs(signature)];
    return signature < 0 ? -shift : shift;
}

int keyInterval(int a, int b)
{
    if (a == b)
        return 0;
    return foldInterval(shiftToC(a) - shiftToC(b));
}

int transposeKey(int signature, int semitones)
{
    if (semitones == 0)
        return signature;
    if (!isSignature(signature))
        return kNoSignature;
    const int interval = foldInterval(semitones);
    // Searching from -7 upwards prefers the flat one of enharmonic keys; shown names rely on it.
    for (int candidate = kMinSignature; candidate <= kMaxSignature; ++candidate) {
        if (keyInterval(signature, candidate) == interval)
            return candidate;
    }
    return kNoSignature;
}

QString transposedKeyName(const QString& name, int semitones)
{
    if (semitones == 0)
        return name;
    const ParsedKey key = parseKey(name);
    if (key.tonicTpc == kNoTpc)
        return name;
    return keyName(transposeKey(key.signature, semitones), key.minor);
}
