#pragma once

#include <QStringList>
#include <QTextStream>

/**
 * The "info" command: prints what Cantova reads from a song (a MIDI file) or a style (*.sty),
 * one fact per line as "key: value", so that scripts can check a file without the window.
 *
 * Songs are opened through the song file code the window uses (SongFile with SongState and
 * the lane events), styles through StyleReader; the failures are their own messages. A MIDI
 * file the program did not write lists the tracks and channels that could be its melody and
 * the one the window would preselect. Needs no application object. Main thread.
 */
class InfoCommand
{
public:
    /** Arguments after the command name: FILE, or --help. Returns the exit code. */
    static int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    /**
     * The facts about the file at path, one line each (without line ends). False when it cannot
     * be read, with the reason in the error log; warnings the window would show go to warnings.
     */
    static bool describe(const QString& path, QStringList& lines, QStringList& warnings);

    static QString usageText();
    static QString helpText();
};
