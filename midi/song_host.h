#pragma once

#include "midi_import.h"

#include <QString>
#include <vector>

/**
 * SongHost: what opening and saving a song asks of the window that runs them.
 *
 * The main window implements it with real message boxes and its settings; tests implement it
 * directly. The defaults put warnings into the error log and do nothing else. GUI thread only.
 */
class SongHost
{
public:
    virtual ~SongHost() = default;

    /** A warning box titled "Cantova" (the wait cursor lifted while it shows). */
    virtual void warning(const QString& text);
    /** The folder of the last opened or saved MIDI file, to store and save in the settings. */
    virtual void setMidiFolder(const QString& folder) { (void)folder; }
    /** The user's style folder, where a missing style is looked up by its file name. */
    virtual QString styleFolder() const { return QString(); }
    /** Loads the song's style (an empty path: the default style). */
    virtual void loadStyle(const QString& path) { (void)path; }
    /** Refreshes the window title and status after the song's file changed. */
    virtual void refresh() {}
    /**
     * Which candidate of a MIDI file the program did not write becomes the melody: an index
     * into candidates, or -1 to leave the file unopened. Asked for every such file; the
     * default takes the preselected one (never drums).
     */
    virtual int chooseMelodyTrack(const std::vector<MidiImport::Candidate>& candidates,
                                  int preselected)
    {
        (void)candidates;
        return preselected;
    }
};
