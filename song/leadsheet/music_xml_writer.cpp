#include "music_xml_writer.h"

#include "chord_text.h"
#include "harmony_kind.h"
#include "zip_writer.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamWriter>
#include <algorithm>
#include <bit>
#include <cmath>

namespace {

const QString kPartId = QStringLiteral("P1");
const QString kMimeType = QStringLiteral("application/vnd.recordare.musicxml");

/** The note value names of MusicXML by exponent of a whole note. */
QString typeName(int type)
{
    static const char* const names[] = {"whole", "half", "quarter", "eighth", "16th",
                                        "32nd",  "64th", "128th",   "256th"};
    return QLatin1String(names[std::clamp(type, 0, 8)]);
}

QString number(double value)
{
    return QString::number(std::round(value * 100.0) / 100.0, 'g', 8);
}

void writeStepAndAlter(QXmlStreamWriter& xml, const QString& prefix, int tpc)
{
    xml.writeTextElement(prefix + QStringLiteral("-step"),
                         QString(QLatin1Char("FCGDAEB"[(tpc + 1) % 7])));
    const int alter = (tpc + 1) / 7 - 2;
    if (alter != 0)
        xml.writeTextElement(prefix + QStringLiteral("-alter"), QString::number(alter));
}

} // namespace

MusicXmlWriter::MusicXmlWriter(QXmlStreamWriter& xml, const LeadSheet& sheet)
    : m_xml(xml), m_sheet(sheet), m_spelling(sheet.keySignature, sheet.minor)
{
}

QByteArray MusicXmlWriter::toXml(const LeadSheet& sheet)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    MusicXmlWriter(xml, sheet).writeScore();
    return out;
}

QByteArray MusicXmlWriter::toMxl(const LeadSheet& sheet, const QString& scoreName)
{
    QByteArray container;
    QXmlStreamWriter xml(&container);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("container"));
    xml.writeStartElement(QStringLiteral("rootfiles"));
    xml.writeStartElement(QStringLiteral("rootfile"));
    xml.writeAttribute(QStringLiteral("full-path"), scoreName);
    xml.writeAttribute(QStringLiteral("media-type"), kMimeType + QStringLiteral("+xml"));
    xml.writeEndDocument();

    ZipWriter zip;
    zip.addFile(QStringLiteral("mimetype"), kMimeType.toLatin1(), false);
    zip.addFile(QStringLiteral("META-INF/container.xml"), container);
    zip.addFile(scoreName, toXml(sheet));
    return zip.archive();
}

bool MusicXmlWriter::isLeadSheetPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("musicxml") || suffix == QLatin1String("xml") ||
           suffix == QLatin1String("mxl");
}

bool MusicXmlWriter::writeFile(const LeadSheet& sheet, const QString& path, QString& error)
{
    if (!isLeadSheetPath(path)) {
        error = QStringLiteral("A lead sheet is a .musicxml or .mxl file: %1").arg(path);
        return false;
    }
    const QFileInfo info(path);
    const QByteArray bytes =
        info.suffix().toLower() == QLatin1String("mxl")
            ? toMxl(sheet, info.completeBaseName() + QStringLiteral(".musicxml"))
            : toXml(sheet);
    // Unbuffered, so that a write failing on a full disk is seen before the commit replaces
    // the file (a buffered save file commits the truncated file).
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("Cannot write the lead sheet %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void MusicXmlWriter::writeScore()
{
    m_xml.writeStartDocument(QStringLiteral("1.0"), false);
    m_xml.writeDTD(QStringLiteral(
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">"));
    m_xml.writeStartElement(QStringLiteral("score-partwise"));
    m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("4.0"));
    writeHeader();
    m_xml.writeStartElement(QStringLiteral("part"));
    m_xml.writeAttribute(QStringLiteral("id"), kPartId);
    for (const LeadSheetMeasure& measure : m_sheet.measures)
        writeMeasure(measure);
    m_xml.writeEndElement(); // part
    m_xml.writeEndDocument();
}

void MusicXmlWriter::writeHeader()
{
    m_xml.writeStartElement(QStringLiteral("work"));
    m_xml.writeTextElement(QStringLiteral("work-title"), m_sheet.title);
    m_xml.writeEndElement();
    m_xml.writeStartElement(QStringLiteral("identification"));
    m_xml.writeStartElement(QStringLiteral("creator"));
    m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("composer"));
    m_xml.writeEndElement();
    m_xml.writeStartElement(QStringLiteral("encoding"));
    m_xml.writeTextElement(QStringLiteral("software"),
                           QStringLiteral("Cantova %1").arg(QStringLiteral(CANTOVA_VERSION)));
    m_xml.writeEndElement();
    m_xml.writeEndElement(); // identification

    m_xml.writeStartElement(QStringLiteral("part-list"));
    m_xml.writeStartElement(QStringLiteral("score-part"));
    m_xml.writeAttribute(QStringLiteral("id"), kPartId);
    m_xml.writeTextElement(QStringLiteral("part-name"), QStringLiteral("Melody"));
    m_xml.writeStartElement(QStringLiteral("score-instrument"));
    m_xml.writeAttribute(QStringLiteral("id"), kPartId + QStringLiteral("-I1"));
    m_xml.writeTextElement(QStringLiteral("instrument-name"), QStringLiteral("Melody"));
    m_xml.writeEndElement();
    m_xml.writeStartElement(QStringLiteral("midi-instrument"));
    m_xml.writeAttribute(QStringLiteral("id"), kPartId + QStringLiteral("-I1"));
    m_xml.writeTextElement(QStringLiteral("midi-channel"), QStringLiteral("1"));
    m_xml.writeTextElement(QStringLiteral("midi-program"), QStringLiteral("1"));
    m_xml.writeEndElement();
    m_xml.writeEndElement(); // score-part
    m_xml.writeEndElement(); // part-list
}

void MusicXmlWriter::writeMeasure(const LeadSheetMeasure& measure)
{
    m_xml.writeStartElement(QStringLiteral("measure"));
    m_xml.writeAttribute(QStringLiteral("number"), QString::number(measure.number));
    if (measure.isPickup)
        m_xml.writeAttribute(QStringLiteral("implicit"), QStringLiteral("yes"));
    const bool first = &measure == &m_sheet.measures.front();
    if (first || measure.hasMeter)
        writeAttributes(measure, first);
    if (measure.hasTempo)
        writeTempo(measure);
    for (const LeadSheetItem& item : measure.items) {
        writeMarksIn(measure, item.position, item.position + item.duration);
        writeNote(item);
    }
    if (measure.isLast) {
        m_xml.writeStartElement(QStringLiteral("barline"));
        m_xml.writeAttribute(QStringLiteral("location"), QStringLiteral("right"));
        m_xml.writeTextElement(QStringLiteral("bar-style"), QStringLiteral("light-heavy"));
        m_xml.writeEndElement();
    }
    m_xml.writeEndElement();
}

void MusicXmlWriter::writeAttributes(const LeadSheetMeasure& measure, bool first)
{
    m_xml.writeStartElement(QStringLiteral("attributes"));
    if (first) {
        m_xml.writeTextElement(QStringLiteral("divisions"), QString::number(m_sheet.divisions));
        m_xml.writeStartElement(QStringLiteral("key"));
        m_xml.writeTextElement(QStringLiteral("fifths"), QString::number(m_sheet.keySignature));
        m_xml.writeTextElement(QStringLiteral("mode"),
                               m_sheet.minor ? QStringLiteral("minor") : QStringLiteral("major"));
        m_xml.writeEndElement();
    }
    m_xml.writeStartElement(QStringLiteral("time"));
    m_xml.writeTextElement(QStringLiteral("beats"), QString::number(measure.beats));
    m_xml.writeTextElement(QStringLiteral("beat-type"), QString::number(measure.beatType));
    m_xml.writeEndElement();
    if (first) {
        m_xml.writeStartElement(QStringLiteral("clef"));
        m_xml.writeTextElement(QStringLiteral("sign"), QStringLiteral("G"));
        m_xml.writeTextElement(QStringLiteral("line"), QStringLiteral("2"));
        if (m_sheet.octaveBelow)
            m_xml.writeTextElement(QStringLiteral("clef-octave-change"), QStringLiteral("-1"));
        m_xml.writeEndElement();
    }
    m_xml.writeEndElement();
}

// The metronome counts the meter's beat (a dotted quarter in 6/8); the sound counts quarters.
void MusicXmlWriter::writeTempo(const LeadSheetMeasure& measure)
{
    const int unit =
        std::clamp(int(std::bit_width(unsigned(std::max(measure.beatType, 1)))) - 1, 0, 8);
    const bool compound = unit >= 3 && measure.beats % 3 == 0;
    const int beatType = compound ? unit - 1 : unit;
    const double beatQuarters = std::ldexp(compound ? 1.5 : 1.0, 2 - beatType);
    m_xml.writeStartElement(QStringLiteral("direction"));
    m_xml.writeAttribute(QStringLiteral("placement"), QStringLiteral("above"));
    m_xml.writeStartElement(QStringLiteral("direction-type"));
    m_xml.writeStartElement(QStringLiteral("metronome"));
    m_xml.writeTextElement(QStringLiteral("beat-unit"), typeName(beatType));
    if (compound)
        m_xml.writeEmptyElement(QStringLiteral("beat-unit-dot"));
    m_xml.writeTextElement(QStringLiteral("per-minute"),
                           number(measure.quartersPerMinute / beatQuarters));
    m_xml.writeEndElement(); // metronome
    m_xml.writeEndElement(); // direction-type
    m_xml.writeEmptyElement(QStringLiteral("sound"));
    m_xml.writeAttribute(QStringLiteral("tempo"), number(measure.quartersPerMinute));
    m_xml.writeEndElement(); // direction
}

// Sections and chords standing in [from, to), each at its offset from the next note.
void MusicXmlWriter::writeMarksIn(const LeadSheetMeasure& measure, int from, int to)
{
    for (const LeadSheetMark& mark : measure.sections)
        if (mark.position >= from && mark.position < to)
            writeRehearsal(mark.text, mark.position - from);
    for (const LeadSheetMark& mark : measure.chords)
        if (mark.position >= from && mark.position < to)
            writeHarmony(mark.text, mark.position - from);
}

void MusicXmlWriter::writeOffset(int offset)
{
    if (offset > 0)
        m_xml.writeTextElement(QStringLiteral("offset"), QString::number(offset));
}

void MusicXmlWriter::writeRehearsal(const QString& name, int offset)
{
    m_xml.writeStartElement(QStringLiteral("direction"));
    m_xml.writeAttribute(QStringLiteral("placement"), QStringLiteral("above"));
    m_xml.writeStartElement(QStringLiteral("direction-type"));
    m_xml.writeTextElement(QStringLiteral("rehearsal"), name);
    m_xml.writeEndElement();
    writeOffset(offset);
    m_xml.writeEndElement();
}

void MusicXmlWriter::writeHarmony(const QString& chord, int offset)
{
    if (isDrumsChord(chord) || isEmptyChord(chord)) {
        writeNoChord(offset);
        return;
    }
    const ParsedChord parsed = parseChord(chord);
    if (!parsed.isValid())
        return; // not a chord name: nothing a reader could play
    const HarmonyKind harmony = HarmonyKind::of(*parsed.type);
    m_xml.writeStartElement(QStringLiteral("harmony"));
    m_xml.writeStartElement(QStringLiteral("root"));
    writeStepAndAlter(m_xml, QStringLiteral("root"), m_spelling.tpcOf(tpcPitch(parsed.root)));
    m_xml.writeEndElement();
    m_xml.writeStartElement(QStringLiteral("kind"));
    m_xml.writeAttribute(QStringLiteral("text"), QString(parsed.type->name));
    m_xml.writeCharacters(harmony.kind);
    m_xml.writeEndElement();
    if (parsed.bass != kNoTpc) {
        m_xml.writeStartElement(QStringLiteral("bass"));
        writeStepAndAlter(m_xml, QStringLiteral("bass"), m_spelling.tpcOf(tpcPitch(parsed.bass)));
        m_xml.writeEndElement();
    }
    for (const HarmonyKind::Degree& degree : harmony.degrees) {
        m_xml.writeStartElement(QStringLiteral("degree"));
        m_xml.writeTextElement(QStringLiteral("degree-value"), QString::number(degree.value));
        m_xml.writeTextElement(QStringLiteral("degree-alter"), QString::number(degree.alter));
        m_xml.writeTextElement(QStringLiteral("degree-type"), degree.type);
        m_xml.writeEndElement();
    }
    writeOffset(offset);
    m_xml.writeEndElement();
}

// No chord: a harmony of kind "none" shown as N.C.; its root is required and not shown.
void MusicXmlWriter::writeNoChord(int offset)
{
    m_xml.writeStartElement(QStringLiteral("harmony"));
    m_xml.writeStartElement(QStringLiteral("root"));
    m_xml.writeStartElement(QStringLiteral("root-step"));
    m_xml.writeAttribute(QStringLiteral("text"), QString());
    m_xml.writeCharacters(QStringLiteral("C"));
    m_xml.writeEndElement();
    m_xml.writeEndElement();
    m_xml.writeStartElement(QStringLiteral("kind"));
    m_xml.writeAttribute(QStringLiteral("text"), QStringLiteral("N.C."));
    m_xml.writeCharacters(QStringLiteral("none"));
    m_xml.writeEndElement();
    writeOffset(offset);
    m_xml.writeEndElement();
}

void MusicXmlWriter::writeNote(const LeadSheetItem& item)
{
    m_xml.writeStartElement(QStringLiteral("note"));
    if (item.isRest) {
        m_xml.writeEmptyElement(QStringLiteral("rest"));
        if (item.isMeasureRest)
            m_xml.writeAttribute(QStringLiteral("measure"), QStringLiteral("yes"));
    } else {
        const KeySpelling::Pitch pitch = m_spelling.pitchOf(item.key);
        m_xml.writeStartElement(QStringLiteral("pitch"));
        m_xml.writeTextElement(QStringLiteral("step"), QString(QLatin1Char(pitch.step)));
        if (pitch.alter != 0)
            m_xml.writeTextElement(QStringLiteral("alter"), QString::number(pitch.alter));
        m_xml.writeTextElement(QStringLiteral("octave"),
                               QString::number(std::clamp(pitch.octave, 0, 9)));
        m_xml.writeEndElement();
    }
    m_xml.writeTextElement(QStringLiteral("duration"), QString::number(item.duration));
    if (item.tieFromPrevious) {
        m_xml.writeEmptyElement(QStringLiteral("tie"));
        m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("stop"));
    }
    if (item.tieToNext) {
        m_xml.writeEmptyElement(QStringLiteral("tie"));
        m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("start"));
    }
    m_xml.writeTextElement(QStringLiteral("voice"), QStringLiteral("1"));
    if (!item.isMeasureRest) {
        m_xml.writeTextElement(QStringLiteral("type"), typeName(item.type));
        for (int dot = 0; dot < item.dots; ++dot)
            m_xml.writeEmptyElement(QStringLiteral("dot"));
    }
    if (item.isTriplet) {
        m_xml.writeStartElement(QStringLiteral("time-modification"));
        m_xml.writeTextElement(QStringLiteral("actual-notes"), QStringLiteral("3"));
        m_xml.writeTextElement(QStringLiteral("normal-notes"), QStringLiteral("2"));
        m_xml.writeEndElement();
    }
    writeNotations(item);
    m_xml.writeEndElement();
}

void MusicXmlWriter::writeNotations(const LeadSheetItem& item)
{
    if (!item.tieFromPrevious && !item.tieToNext && !item.startsTuplet && !item.endsTuplet)
        return;
    m_xml.writeStartElement(QStringLiteral("notations"));
    if (item.tieFromPrevious) {
        m_xml.writeEmptyElement(QStringLiteral("tied"));
        m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("stop"));
    }
    if (item.tieToNext) {
        m_xml.writeEmptyElement(QStringLiteral("tied"));
        m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("start"));
    }
    if (item.startsTuplet) {
        m_xml.writeEmptyElement(QStringLiteral("tuplet"));
        m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("start"));
        m_xml.writeAttribute(QStringLiteral("bracket"), QStringLiteral("yes"));
    }
    if (item.endsTuplet) {
        m_xml.writeEmptyElement(QStringLiteral("tuplet"));
        m_xml.writeAttribute(QStringLiteral("type"), QStringLiteral("stop"));
    }
    m_xml.writeEndElement();
}
