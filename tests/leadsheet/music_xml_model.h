#pragma once

// Reads a MusicXML score back into plain structs with QXmlStreamReader, so the lead sheet tests
// check elements and their values rather than the text of the file.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

struct XmlNote
{
    bool isRest = false;
    bool isMeasureRest = false;
    QString step;
    int alter = 0;
    int octave = 0;
    int duration = 0;
    QString type;
    int dots = 0;
    bool tieStart = false;
    bool tieStop = false;
    bool isTriplet = false;
    bool tupletStart = false;
    bool tupletStop = false;
    int position = 0; // divisions from the start of the written measure

    /** MIDI key of the pitch (C4 = 60). */
    int key() const
    {
        static const QString letters = QStringLiteral("C D EF G A B");
        return int(letters.indexOf(step)) + alter + (octave + 1) * 12;
    }
};

struct XmlHarmony
{
    QString rootStep;
    int rootAlter = 0;
    QString kind;
    QString kindText;
    QString bassStep;
    int bassAlter = 0;
    QStringList degrees; // "add9", "alter-1 5" ... as type + alter + value
    int position = 0;
};

struct XmlMeasure
{
    QString number;
    bool isImplicit = false;
    int beats = 0; // 0: no time signature in this measure
    int beatType = 0;
    QString beatUnit;
    bool beatUnitDot = false;
    double perMinute = 0;
    double soundTempo = 0;
    QStringList rehearsals;
    QList<XmlNote> notes;
    QList<XmlHarmony> harmonies;
    bool hasFinalBarline = false;

    int length() const
    {
        int sum = 0;
        for (const XmlNote& n : notes)
            sum += n.duration;
        return sum;
    }
};

struct XmlScore
{
    QString version;
    QString title;
    bool hasComposer = false;
    QString composer;
    int divisions = 0;
    int fifths = 99;
    QString mode;
    QString clefSign;
    int clefOctaveChange = 0;
    QList<XmlMeasure> measures;
    QString error; // empty when the document was read

    static XmlScore read(const QByteArray& bytes);
};

inline XmlScore XmlScore::read(const QByteArray& bytes)
{
    XmlScore score;
    QXmlStreamReader xml(bytes);
    XmlMeasure* measure = nullptr;
    XmlNote note;
    XmlHarmony harmony;
    bool inNote = false;
    bool inHarmony = false;
    int position = 0;
    QString degreeValue, degreeAlter;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString name = xml.name().toString();
        if (xml.isStartElement()) {
            const QXmlStreamAttributes a = xml.attributes();
            if (name == QLatin1String("score-partwise")) {
                score.version = a.value(QLatin1String("version")).toString();
            } else if (name == QLatin1String("work-title")) {
                score.title = xml.readElementText();
            } else if (name == QLatin1String("creator") &&
                       a.value(QLatin1String("type")) == QLatin1String("composer")) {
                score.hasComposer = true;
                score.composer = xml.readElementText();
            } else if (name == QLatin1String("measure")) {
                score.measures.append(XmlMeasure());
                measure = &score.measures.last();
                measure->number = a.value(QLatin1String("number")).toString();
                measure->isImplicit = a.value(QLatin1String("implicit")) == QLatin1String("yes");
                position = 0;
            } else if (name == QLatin1String("divisions")) {
                score.divisions = xml.readElementText().toInt();
            } else if (name == QLatin1String("fifths")) {
                score.fifths = xml.readElementText().toInt();
            } else if (name == QLatin1String("mode")) {
                score.mode = xml.readElementText();
            } else if (name == QLatin1String("sign")) {
                score.clefSign = xml.readElementText();
            } else if (name == QLatin1String("clef-octave-change")) {
                score.clefOctaveChange = xml.readElementText().toInt();
            } else if (name == QLatin1String("beats") && measure) {
                measure->beats = xml.readElementText().toInt();
            } else if (name == QLatin1String("beat-type") && measure) {
                measure->beatType = xml.readElementText().toInt();
            } else if (name == QLatin1String("beat-unit") && measure) {
                measure->beatUnit = xml.readElementText();
            } else if (name == QLatin1String("beat-unit-dot") && measure) {
                measure->beatUnitDot = true;
            } else if (name == QLatin1String("per-minute") && measure) {
                measure->perMinute = xml.readElementText().toDouble();
            } else if (name == QLatin1String("sound") && measure) {
                measure->soundTempo = a.value(QLatin1String("tempo")).toDouble();
            } else if (name == QLatin1String("rehearsal") && measure) {
                measure->rehearsals << xml.readElementText();
            } else if (name == QLatin1String("bar-style") && measure) {
                measure->hasFinalBarline = xml.readElementText() == QLatin1String("light-heavy");
            } else if (name == QLatin1String("harmony")) {
                inHarmony = true;
                harmony = XmlHarmony();
                harmony.position = position;
            } else if (inHarmony && name == QLatin1String("root-step")) {
                harmony.rootStep = xml.readElementText();
            } else if (inHarmony && name == QLatin1String("root-alter")) {
                harmony.rootAlter = xml.readElementText().toInt();
            } else if (inHarmony && name == QLatin1String("kind")) {
                harmony.kindText = a.value(QLatin1String("text")).toString();
                harmony.kind = xml.readElementText();
            } else if (inHarmony && name == QLatin1String("bass-step")) {
                harmony.bassStep = xml.readElementText();
            } else if (inHarmony && name == QLatin1String("bass-alter")) {
                harmony.bassAlter = xml.readElementText().toInt();
            } else if (inHarmony && name == QLatin1String("degree-value")) {
                degreeValue = xml.readElementText();
            } else if (inHarmony && name == QLatin1String("degree-alter")) {
                degreeAlter = xml.readElementText();
            } else if (inHarmony && name == QLatin1String("degree-type")) {
                harmony.degrees << xml.readElementText() + degreeAlter + QLatin1Char(' ') +
                                       degreeValue;
            } else if (inHarmony && name == QLatin1String("offset")) {
                harmony.position += xml.readElementText().toInt();
            } else if (name == QLatin1String("note")) {
                inNote = true;
                note = XmlNote();
                note.position = position;
            } else if (inNote && name == QLatin1String("rest")) {
                note.isRest = true;
                note.isMeasureRest = a.value(QLatin1String("measure")) == QLatin1String("yes");
            } else if (inNote && name == QLatin1String("step")) {
                note.step = xml.readElementText();
            } else if (inNote && name == QLatin1String("alter")) {
                note.alter = xml.readElementText().toInt();
            } else if (inNote && name == QLatin1String("octave")) {
                note.octave = xml.readElementText().toInt();
            } else if (inNote && name == QLatin1String("duration")) {
                note.duration = xml.readElementText().toInt();
            } else if (inNote && name == QLatin1String("type")) {
                note.type = xml.readElementText();
            } else if (inNote && name == QLatin1String("dot")) {
                ++note.dots;
            } else if (inNote && name == QLatin1String("tie")) {
                (a.value(QLatin1String("type")) == QLatin1String("start") ? note.tieStart
                                                                          : note.tieStop) = true;
            } else if (inNote && name == QLatin1String("time-modification")) {
                note.isTriplet = true;
            } else if (inNote && name == QLatin1String("tuplet")) {
                (a.value(QLatin1String("type")) == QLatin1String("start") ? note.tupletStart
                                                                          : note.tupletStop) = true;
            }
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("note") && measure) {
                inNote = false;
                measure->notes << note;
                position += note.duration;
            } else if (name == QLatin1String("harmony") && measure) {
                inHarmony = false;
                measure->harmonies << harmony;
            } else if (name == QLatin1String("measure")) {
                measure = nullptr;
            }
        }
    }
    if (xml.hasError())
        score.error = xml.errorString();
    return score;
}
