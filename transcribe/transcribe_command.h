#pragma once

#include <QStringList>
#include <QTextStream>

/**
 * The "transcribe" command: transcribes an audio file into a one-track MIDI file without the
 * window, as Audio to MIDI would, and prints the note count and the estimated key. Needs no
 * application object. Main thread.
 */
class TranscribeCommand
{
public:
    /**
     * Arguments after the command name: [--tuning follow|classic] INPUT OUTPUT.mid. Returns
     * the exit code (2 for wrong arguments).
     */
    static int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString usageText();
};
