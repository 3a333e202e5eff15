#include "chord_text.h"

#include <QDebug>

#include <string_view>

namespace {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isChordLetter(QChar c)
{
    constexpr std::string_view letters = "CDEFGAB";
    return c.unicode() < 128 && letters.find(char(c.unicode())) != std::string_view::npos;
}

// Where the next chord may start: an upper-case note letter at the start of a word.
qsizetype nextChordStart(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (isChordLetter(text[i]) && (i == 0 || !isWordCharacter(text[i - 1])))
            return i;
    }
    return -1;
}

// A chord token runs up to the next white space or the end of the text.
qsizetype tokenEnd(const QString& text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && !text[i].isSpace())
        ++i;
    return i;
}

// The root's text: its letter, and a lower-case "b" or a "#" after it. Chord names write flats
// in lower case, so "CBm" keeps "Bm" as its extension (and is refused).
qsizetype rootLength(const QString& text)
{
    const bool accidental =
        text.size() > 1 && (text[1] == QLatin1Char('b') || text[1] == QLatin1Char('#'));
    return accidental ? 2 : 1;
}

} // namespace

bool isDrumsChord(const QString& text)
{
    return text == kDrumsChord;
}

bool isEmptyChord(const QString& text)
{
    return text.startsWith(kEmptyChord);
}

ParsedChord parseChord(const QString& text)
{
    const QString simple = text.simplified();
    if (simple.isEmpty()) {
        qDebug("harmony is empty");
        return ParsedChord();
    }
    ParsedChord chord;
    chord.root = parseNote(simple);
    if (chord.root == kNoTpc) {
        qDebug("1:parseChord failed <%s>", qUtf8Printable(simple));
        return ParsedChord();
    }
    const qsizetype slash = simple.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        chord.bass = parseNote(QStringView(simple).mid(slash + 1));
    const qsizetype start = rootLength(simple);
    const qsizetype end = slash >= 0 ? qMax(slash, start) : simple.size();
    const QStringView extension = QStringView(simple).mid(start, end - start);
    chord.type = ChordDictionary::find(extension);
    if (!chord.isValid()) {
        qDebug("2:parseChord failed <%s><%s>", qUtf8Printable(simple),
               qUtf8Printable(extension.toString()));
        return ParsedChord();
    }
    return chord;
}

QString chordName(const ChordType& type, int root, int bass)
{
    if (root == kNoTpc)
        return QString();
    QString name = tpcToName(root) + type.name;
    if (bass != kNoTpc)
        name += QLatin1Char('/') + tpcToName(bass);
    return name;
}

QString transposeChordText(const QString& text, int semitones)
{
    if (text.isEmpty() || isDrumsChord(text) || isEmptyChord(text))
        return text;
    QString result = text;
    qsizetype position = 0;
    while ((position = nextChordStart(result, position)) >= 0) {
        const qsizetype end = tokenEnd(result, position);
        const ParsedChord chord = parseChord(result.mid(position, end - position));
        if (!chord.isValid()) {
            position = end;
            continue;
        }
        const QString name = chordName(*chord.type, spellTransposed(chord.root, semitones),
                                       spellTransposed(chord.bass, semitones));
        result.replace(position, end - position, name);
        position += name.size();
    }
    return result;
}
