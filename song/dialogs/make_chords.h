#pragma once

class QWidget;
class Session;
class MidiClip;

/*
 * The song-making operations of the melody behind the Make Chords action and the key button.
 * Both run on the GUI thread behind a window-modal progress dialog; their questions go through
 * MessageBox so they can be answered in tests.
 */

/**
 * Make Chords: after asking when chords were edited by hand, finds a chord per bar, places the
 * sections and rebuilds the arrangement. False when the user declined.
 */
bool makeChords(QWidget* parent, Session& session, MidiClip& melody);

/**
 * The key button: suggests a key from the melody and lets the user fix one or follow the
 * suggestion ("Auto"); then finds the chords again. False when cancelled.
 */
bool editKey(QWidget* parent, Session& session, MidiClip& melody);
