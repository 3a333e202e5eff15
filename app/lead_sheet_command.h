#pragma once

#include <QStringList>
#include <QTextStream>

/**
 * The "lead-sheet" command: writes a song's melody with its chords, key, meter and sections as
 * a lead sheet (MusicXML, .musicxml or compressed .mxl) without the window.
 *
 * The song is opened as the window opens it (SongFile with the song state; a MIDI file from
 * elsewhere gives its preselected melody track) and written by LeadSheetExporter, the code of
 * File > Export Lead Sheet. Needs no application object. Main thread.
 */
class LeadSheetCommand
{
public:
    /** Arguments after the command name. Returns the exit code (0 written, 1 failed, 2 usage). */
    static int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString usageText();
    static QString helpText();
};
