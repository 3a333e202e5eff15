// The main window's actions. Texts are exactly the program's own; the translations find them in
// the "vx99MainForm" context.
#include "action_table.h"

#include <QObject>
#include <iterator>

#define TR(text) QT_TRANSLATE_NOOP("vx99MainForm", text)

namespace {

const vx99ActionEntry kActions[] = {
    {"fileExitAction", TR("E&xit"), TR("Exit"), TR("Exit"), TR("Exit this program"), "", "", false,
     SLOT(fileExit())},
    {"viewOptionsAction", TR("Audio Latency Options..."), TR("Options"), TR("Options"),
     TR("Change general program options"), "F12", "", false, SLOT(viewOptions())},
    {"editDeleteAction", TR("&Delete selected notes"), TR("Delete"), TR("Delete [Del]"),
     TR("Delete selected notes"), "Del", "vxDelete.png", false, SLOT(vxEditDelete())},
    {"transportPlayAction", TR("&Play/Pause"), TR("Play/Pause"), TR("Play/Pause [space]"),
     TR("Transport play/pause"), "Space", "vxTransportPlay.png", true, SLOT(transportPlay())},
    {"transportRecordAction", TR("&Record"), TR("Record"), TR("Record audio input [Ctrl+R]"),
     TR("Transport record"), "Ctrl+R", "vxTransportRecord.png", true, SLOT(transportRecord())},
    {"transportMetroAction", TR("&Metronome On/Off"), TR("Metronome On/Off"),
     TR("Metronome On/Off"), TR("Metronome On/Off"), "", "vxMetro.png", true,
     SLOT(transportMetro())},
    {"helpAboutAction", TR("&About..."), TR("About"), TR("Show information about this program"),
     TR("Show information about this program"), "", "", false, SLOT(helpAbout())},
    {"helpAboutQtAction", TR("About &Qt..."), TR("About Qt"), TR("About Qt"),
     TR("Show information about the Qt toolkit"), "", "", false, SLOT(helpAboutQt())},
    {"vxNewAudioAction", TR("Create a new audio file"), "", "", "", "", "vxNewAudio.png", false,
     SLOT(vxNewAudioSlot())},
    {"vxNewMidiAction", TR("Create a new MIDI file"), "", "", "", "", "vxNewMidi.png", false,
     SLOT(vxNewMidiSlot())},
    {"vxOpenAudioAction", TR("&Open an audio file..."), TR("Open an audio file..."), "", "",
     "Ctrl+O", "vxOpenAudio.png", false, SLOT(vxOpenAudioSlot())},
    {"vxOpenMidiAction", TR("Open a MIDI file..."), "", "", "", "", "vxOpenMidi.png", false,
     SLOT(vxOpenMidiSlot())},
    {"vxOpenStyleAction", TR("Open a style file..."), "", "", "", "", "vxOpenStyle.png", false,
     SLOT(vxOpenStyleSlot())},
    {"vxSaveAudioAction", TR("Save an audio file as..."), "", "", "", "", "vxSaveAudio.png", false,
     SLOT(vxSaveAudioSlot())},
    {"vxSaveMidiAction", TR("&Save a MIDI file as..."), TR("Save a MIDI file as..."), "", "",
     "Ctrl+S", "vxSaveMidi.png", false, SLOT(vxSaveMidiSlot())},
    {"vxAudio2MidiAction", TR("Transcribe audio recording to MIDI melody"), TR("Audio to MIDI"),
     TR("Transcribe audio recording to MIDI melody"), "", "", "vxAudio2Midi.png", false,
     SLOT(vxAudio2MidiSlot())},
    {"vxMidi2ChordsAction", TR("Make chords from MIDI melody"), TR("Make Chords"),
     TR("Make chords from MIDI melody"), "", "", "vxMidi2Chords.png", false,
     SLOT(vxMidi2ChordsSlot())},
    {"vxMakeSongAction", TR("Make Song"), "", "", "", "", "vxMain24.png", false,
     SLOT(vxMakeSongSlot())},
    {"vxTransportStopAction", TR("&Stop/Backward"), TR("Stop/Backward"), TR("Stop/Backward"),
     TR("Stop/Backward"), "", "vxTransportStop.png", false, SLOT(vxTransportStop())},
    {"vxAudioOnOffAction", TR("Audio On/Off"), "", "", "", "", "vxAudioOnOff.png", true,
     SLOT(vxAudioOnOffSlot())},
    {"vxMidiOnOffAction", TR("MIDI melody (notes) On/Off"), "", "", "", "", "vxMidiOnOff.png", true,
     SLOT(vxMidiOnOffSlot())},
    {"vxChordsOnOffAction", TR("Arrangement (chords) On/Off"), "", "", "", "", "vxChordsOnOff.png",
     true, SLOT(vxChordsOnOffSlot())},
    // The piano roll connects its edit mode to this action when it is built.
    {"editMidiModeAction", TR("Note editing On/Off"), "", "", "", "", "vxNoteEditOnOff.png", true,
     nullptr},
    {"vxQuickHelpAction", TR("\"How to\" Guides..."), "", "", "", "", "", false,
     SLOT(vxQuickHelp())},
    {"vxHelpContentsAction", TR("Help Contents..."), "", "", "", "F1", "", false,
     SLOT(vxHelpContents())},
    // Beyond the original table: a whole new song, and undo / redo over the session's list.
    {"fileNewAction", TR("&New Song"), TR("New Song"), TR("Start a new song"),
     TR("Start a new song with an empty recording and melody"), "Ctrl+N", "", false,
     SLOT(fileNew())},
    {"editUndoAction", TR("&Undo"), TR("Undo"), TR("Undo the last change"),
     TR("Undo the last change"), "Ctrl+Z", "", false, SLOT(editUndo())},
    {"editRedoAction", TR("&Redo"), TR("Redo"), TR("Redo the last undone change"),
     TR("Redo the last undone change"), "Ctrl+Shift+Z", "", false, SLOT(editRedo())},
};

} // namespace

const vx99ActionEntry* vx99ActionTable(int* count)
{
    *count = int(std::size(kActions));
    return kActions;
}
