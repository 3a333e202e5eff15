#pragma once

#include <QString>
#include <memory>

class Session;
class Track;
class ClipCommand;

/**
 * AudioFileFlow: how the window opens audio files. It gives the file dialogs the filters of
 * every format the audio file layer reads, builds the "Load Audio File" command that puts a
 * file on the audio track, previews a file on the engine's player, and hands the save type of
 * the settings to the audio file layer.
 *
 * GUI thread only.
 */
class AudioFileFlow
{
public:
    explicit AudioFileFlow(Session* session);

    /** The filters of every readable format, "Audio files (…)" first, joined for a dialog. */
    static QString filter();
    /** The first filter's patterns alone ("*.wav *.flac …"), to combine with other kinds. */
    static QString patterns();
    /** The format recordings and copies are written in (the settings' audio save type). */
    static void applySaveType(const QString& extension, int majorFormat, int quality, int further);

    /**
     * A clip command named "Load Audio File" that adds one clip at frame 0 on the file to the
     * track, already opened (so its length is known); none when the file is
     * missing or cannot be read, with the reason in the error log. The session is untouched
     * until the caller pushes the command.
     */
    std::unique_ptr<ClipCommand> makeLoadCommand(Track* track, const QString& path) const;

    /** Plays the file on the audio engine's player bus; false (error log) when it cannot. */
    bool preview(const QString& path) const;

private:
    Session* m_session;
};
