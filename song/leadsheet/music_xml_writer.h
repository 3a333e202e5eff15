#pragma once

#include "key_spelling.h"
#include "lead_sheet.h"

#include <QByteArray>
#include <QString>

class QXmlStreamWriter;

/**
 * MusicXmlWriter: writes a lead sheet as a MusicXML 4.0 partwise score that notation programs
 * open: one part with the melody, its key, meters, tempo and clef, chord symbols as harmonies
 * (roots and basses spelled in the key; "Drums" and "Empty" as no chord, N.C.) and the
 * sections as rehearsal marks. Uncompressed (.musicxml, .xml) or compressed (.mxl, a zip with
 * the container file that names the score). Safe from any ordinary thread.
 */
class MusicXmlWriter
{
public:
    /** The score as an uncompressed MusicXML document. */
    static QByteArray toXml(const LeadSheet& sheet);
    /** The score inside a compressed MusicXML archive, stored as scoreName. */
    static QByteArray toMxl(const LeadSheet& sheet, const QString& scoreName);

    /** True when the path's suffix is one the writer knows (.musicxml, .xml, .mxl). */
    static bool isLeadSheetPath(const QString& path);
    /**
     * Writes the file, compressed when its suffix is .mxl. False with a message for the user in
     * error when the suffix is unknown or the file cannot be written.
     */
    static bool writeFile(const LeadSheet& sheet, const QString& path, QString& error);

private:
    explicit MusicXmlWriter(QXmlStreamWriter& xml, const LeadSheet& sheet);

    void writeScore();
    void writeHeader();
    void writeMeasure(const LeadSheetMeasure& measure);
    void writeAttributes(const LeadSheetMeasure& measure, bool first);
    void writeTempo(const LeadSheetMeasure& measure);
    void writeMarksIn(const LeadSheetMeasure& measure, int from, int to);
    void writeRehearsal(const QString& name, int offset);
    void writeHarmony(const QString& chord, int offset);
    void writeNoChord(int offset);
    void writeNote(const LeadSheetItem& item);
    void writeNotations(const LeadSheetItem& item);
    void writeOffset(int offset);

    QXmlStreamWriter& m_xml;
    const LeadSheet& m_sheet;
    KeySpelling m_spelling;
};
