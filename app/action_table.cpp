// The main window's actions. Texts are exactly the program's own; the translations find them in
// the "MainWindow" context.
#include "action_table.h"

#include <QObject>
#include <iterator>

#define TR(text) QT_TRANSLATE_NOOP("MainWindow", text)

namespace {

const ActionEntry kActions[] = {
    {"fileExitAction", TR("E&xit"), TR("Exit"), TR("Exit"), TR("Exit this program"), "", "", false,
     SLOT(fileExit())},
    {"viewOptionsAction", TR("Audio Latency Options..."), TR("Options"), TR("Options"),
     TR("Change general program options"), "F12", "", false, SLOT(viewOptions())},
    {"editDeleteAction", TR("&Delete selected notes"), TR("Delete"), TR("Delete [Del]"),
     TR("Delete selected notes"), "Del", "delete.png", false, SLOT(editDelete())},
    {"transportPlayAction", TR("&Play/Pause"), TR("Play/Pause"), TR("Play/Pause [space]"),
     TR("Transport play/pause"), "Space", "transport-play.png", true, SLOT(transportPlay())},
    {"transportRecordAction", TR("&Record"), TR("Record"), TR("Record audio input [Ctrl+R]"),
     TR("Transport record"), "Ctrl+R", "transport-record.png", true, SLOT(transportRecord())},
    {"transportMetroAction", TR("&Metronome On/Off"), TR("Metronome On/Off"),
     TR("Metronome On/Off"), TR("Metronome On/Off"), "", "metronome.png", true,
     SLOT(transportMetro())},
    {"helpAboutAction", TR("&About..."), TR("About"), TR("Show information about this program"),
     TR("Show information about this program"), "", "", false, SLOT(helpAbout())},
    {"helpAboutQtAction", TR("About &Qt..."), TR("About Qt"), TR("About Qt"),
     TR("Show information about the Qt toolkit"), "", "", false, SLOT(helpAboutQt())},
    {"newAudioAction", TR("Create a new audio file"), "", "", "", "", "new-audio.png", false,
     SLOT(fileNewAudio())},
    {"newMidiAction", TR("Create a new MIDI file"), "", "", "", "", "new-midi.png", false,
     SLOT(fileNewMidi())},
    {"openAudioAction", TR("&Open an audio file..."), TR("Open an audio file..."), "", "", "",
     "open-audio.png", false, SLOT(fileOpenAudio())},
    {"openMidiAction", TR("Open a MIDI file..."), "", "", "", "", "open-midi.png", false,
     SLOT(fileOpenMidi())},
    {"openStyleAction", TR("Open a style file..."), "", "", "", "", "open-style.png", false,
     SLOT(fileOpenStyle())},
    {"saveAudioAction", TR("Save an audio file as..."), "", "", "", "", "save-audio.png", false,
     SLOT(fileSaveAudio())},
    {"saveMidiAction", TR("&Save a MIDI file as..."), TR("Save a MIDI file as..."), "", "",
     "Ctrl+Shift+S", "save-midi.png", false, SLOT(fileSaveMidi())},
    {"audioToMidiAction", TR("Transcribe audio recording to MIDI melody"), TR("Audio to MIDI"),
     TR("Transcribe audio recording to MIDI melody"), "", "", "audio-to-midi.png", false,
     SLOT(makeMelodyFromAudio())},
    {"makeChordsAction", TR("Make chords from MIDI melody"), TR("Make Chords"),
     TR("Make chords from MIDI melody"), "", "", "make-chords.png", false,
     SLOT(makeChordsFromMelody())},
    {"makeSongAction", TR("Make Song"), "", "", "", "", "cantova-24.png", false,
     SLOT(makeSongFromMelody())},
    {"findTempoAndBarsAction", TR("Find Tempo and Bars"), "",
     TR("Find the tempo, meter and first bar of a melody sung without the metronome"), "", "", "",
     false, SLOT(findTempoAndBars())},
    {"transportStopAction", TR("&Stop/Backward"), TR("Stop/Backward"), TR("Stop/Backward"),
     TR("Stop/Backward"), "", "transport-stop.png", false, SLOT(transportStop())},
    {"audioOnOffAction", TR("Audio On/Off"), "", "", "", "", "audio-on-off.png", true,
     SLOT(toggleAudio())},
    {"midiOnOffAction", TR("MIDI melody (notes) On/Off"), "", "", "", "", "midi-on-off.png", true,
     SLOT(toggleMelody())},
    {"chordsOnOffAction", TR("Arrangement (chords) On/Off"), "", "", "", "", "chords-on-off.png",
     true, SLOT(toggleArrangement())},
    // The piano roll connects its edit mode to this action when it is built.
    {"editMidiModeAction", TR("Note editing On/Off"), "", "", "", "", "note-edit.png", true,
     nullptr},
    {"quickHelpAction", TR("\"How to\" Guides..."), "", "", "", "", "", false, SLOT(quickHelp())},
    {"helpContentsAction", TR("Help Contents..."), "", "", "", "F1", "", false,
     SLOT(helpContents())},
    // Beyond the original table: a whole new song, and undo / redo over the session's list.
    {"fileNewAction", TR("&New Song"), TR("New Song"), TR("Start a new song"),
     TR("Start a new song with an empty recording and melody"), "Ctrl+N", "", false,
     SLOT(fileNew())},
    {"editUndoAction", TR("&Undo"), TR("Undo"), TR("Undo the last change"),
     TR("Undo the last change"), "Ctrl+Z", "", false, SLOT(editUndo())},
    {"editRedoAction", TR("&Redo"), TR("Redo"), TR("Redo the last undone change"),
     TR("Redo the last undone change"), "Ctrl+Shift+Z", "", false, SLOT(editRedo())},
    // Open any file by its type, and Save to the song's own file without a dialog.
    {"fileOpenAction", TR("&Open..."), TR("Open"),
     TR("Open a song, a recording or a style [Ctrl+O]"),
     TR("Open a MIDI song, an audio recording or a style file"), "Ctrl+O", "", false,
     SLOT(fileOpen())},
    {"fileSaveAction", TR("&Save"), TR("Save"), TR("Save the song [Ctrl+S]"),
     TR("Save the song to its own file"), "Ctrl+S", "", false, SLOT(fileSave())},
};

} // namespace

const ActionEntry* actionTable(int* count)
{
    *count = int(std::size(kActions));
    return kActions;
}
