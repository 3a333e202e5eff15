#pragma once

#include "lead_sheet.h"

#include <QString>

class Session;
class MidiClip;

/**
 * LeadSheetExporter: writes the session's song as a lead sheet file, the way File > Export Lead
 * Sheet, "cantova lead-sheet" and "make-song --lead-sheet" do it.
 *
 * The melody comes from the melody clip (its notes, and the chords and sections of its lanes),
 * the key from the song state, meters and tempos from the time scale. The song is only read.
 * GUI (or main) thread, like the session.
 */
class LeadSheetExporter
{
public:
    /** The song as the quantizer takes it; title is shown above the music. */
    static LeadSheetSong readSong(Session& session, const MidiClip& melody, const QString& title);

    /**
     * Quantizes the song and writes it to path (.musicxml, .xml or .mxl). False with a message
     * for the user in error.
     */
    static bool exportSong(Session& session, const MidiClip& melody, const QString& title,
                           const QString& path, QString& error);

    /** The title of a song file: its name without folder and suffix. */
    static QString titleOf(const QString& songPath);
};
