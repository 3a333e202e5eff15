#pragma once

#include <QStringList>
#include <QTextStream>

/**
 * The "make-song" command: the window's whole song making without the window.
 *
 * The melody comes from an audio file (transcribed as Audio to MIDI does, notes at the audio's
 * own timing) or from a MIDI file (its melody, as Open MIDI reads it). Then chords, sections and
 * the arrangement are made by the same code as the Make Song action, and the song is saved as
 * the window saves it, so the window reopens it with chords, sections, key and style. With
 * --render the song is also played into an audio file through the offline audio client and the
 * built-in General MIDI synthesizer, with the recording when the melody came from audio.
 *
 * What was made goes to standard output, one fact per line; progress of the long steps and
 * every failure go to standard error. Needs no application object. Main thread.
 */
class MakeSongCommand
{
public:
    /** Arguments after the command name. Returns the exit code (0 made, 1 failed, 2 usage). */
    static int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString usageText();
    static QString helpText();
};
