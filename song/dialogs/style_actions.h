#pragma once

#include <QString>

class QWidget;
class Session;
class MidiClip;

/*
 * The style and meter actions of the main window. Both keep the song's meter and the style's
 * meter in step: where they differ the user chooses between following the other one and the
 * default piano style. Questions go through MessageBox so tests can answer them. GUI thread
 * only. melody may be none (no melody clip yet): chords are then not searched again, only the
 * arrangement is rebuilt.
 */

/**
 * Opens the style at path (empty: the default piano style) and reconciles the meters. True when
 * the style file was read; the caller then remembers its folder. A failure has been shown.
 */
bool openStyleFlow(QWidget* parent, Session& session, const QString& path, MidiClip* melody);

/**
 * The meter dialog: a new meter that the loaded style cannot follow replaces the style by the
 * default piano style after asking, and the chords are found again. True when the meter changed.
 */
bool editMeter(QWidget* parent, Session& session, MidiClip* melody);
