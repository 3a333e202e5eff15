#include "harmony_kind.h"

#include "chord_dictionary.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// Dictionary words that name a kind in other words.
QString renamedKind(const QString& kind)
{
    if (kind == QLatin1String("dominant-seventh"))
        return QStringLiteral("dominant");
    if (kind == QLatin1String("minor-major")) // a minor triad with a major seventh
        return QStringLiteral("major-minor");
    if (kind == QLatin1String("tristan"))
        return QStringLiteral("Tristan");
    return kind;
}

} // namespace

bool HarmonyKind::isKnownKind(const QString& kind)
{
    // clang-format off
    static const QStringList kinds{
        "major",          "minor",          "augmented",         "diminished",
        "dominant",       "major-seventh",  "minor-seventh",     "diminished-seventh",
        "augmented-seventh", "half-diminished", "major-minor",   "major-sixth",
        "minor-sixth",    "dominant-ninth", "major-ninth",       "minor-ninth",
        "dominant-11th",  "major-11th",     "minor-11th",        "dominant-13th",
        "major-13th",     "minor-13th",     "suspended-second",  "suspended-fourth",
        "Neapolitan",     "Italian",        "French",            "German",
        "pedal",          "power",          "Tristan",           "other",
        "none"};
    // clang-format on
    return kinds.contains(kind);
}

std::vector<HarmonyKind::Degree> HarmonyKind::readDegrees(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("^(add|alt|alter|subtract)([#b]*)(\\d+)$"));
    std::vector<Degree> degrees;
    for (const QString& token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = word.match(token);
        if (!m.hasMatch())
            continue;
        Degree degree;
        degree.value = m.captured(3).toInt();
        degree.alter =
            int(m.captured(2).count(QLatin1Char('#')) - m.captured(2).count(QLatin1Char('b')));
        degree.type = m.captured(1).startsWith(QLatin1String("alt")) ? QStringLiteral("alter")
                                                                     : m.captured(1);
        degrees.push_back(degree);
    }
    return degrees;
}

HarmonyKind HarmonyKind::of(const ChordType& type)
{
    HarmonyKind harmony;
    // A kind word may carry degrees after a space ("minor alt#5").
    const QString word = QString(type.kind).section(QLatin1Char(' '), 0, 0);
    harmony.degrees = readDegrees(QString(type.kind).section(QLatin1Char(' '), 1));
    if (word.isEmpty()) {
        harmony.kind = QStringLiteral("major"); // "Maj" is the major triad written out
    } else if (word == QLatin1String("maj69")) {
        harmony.kind = QStringLiteral("major-sixth");
        harmony.degrees.push_back({9, 0, QStringLiteral("add")});
    } else if (word == QLatin1String("augmented-ninth")) {
        harmony.kind = QStringLiteral("augmented-seventh");
        harmony.degrees.push_back({9, 0, QStringLiteral("add")});
    } else {
        harmony.kind = renamedKind(word);
        if (!isKnownKind(harmony.kind))
            harmony.kind = QStringLiteral("other");
    }
    const std::vector<Degree> more = readDegrees(QString(type.degrees));
    harmony.degrees.insert(harmony.degrees.end(), more.begin(), more.end());
    return harmony;
}
