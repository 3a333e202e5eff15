#pragma once

#include <QString>

/**
 * The program-wide error log: one text, newest message first.
 *
 * Libraries add the messages of failed operations here ("%1 < _StartStream < _activate");
 * the main window shows the whole log in the error box at its next operation and empties it.
 * Safe from any ordinary thread and the MIDI output thread (a mutex guards the text); the audio
 * callback and the sequencer's delivery thread post to a RealtimeErrorRelay instead.
 */
class ErrorLog
{
public:
    /** Adds a non-empty message in front of the log, separated by "\nError > ". */
    static void add(const QString& message);

    /** The whole log as the error box shows it. */
    static QString text();

    static bool isEmpty();

    /** Returns the log and empties it. */
    static QString take();

    static void clear();

    /** The separator placed between two messages. */
    static const QString& separator();
};
