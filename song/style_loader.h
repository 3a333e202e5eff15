#pragma once

#include <QString>

class Session;
class SongState;

/*
 * Loading the accompaniment style of a song into its SongState, and the session tracks that
 * receive the arrangement. GUI thread only; the track and clip changes go through undoable
 * commands on the session's undo list.
 */

/**
 * Replaces the loaded style by the style file at path (an empty path: the default piano style).
 * On any reading failure the default piano style is loaded instead and false is returned, with
 * the reason in the error log; a song always has a style afterwards.
 */
bool openStyle(Session& session, const QString& path);

/**
 * True when the loaded style's "Main A" section (the one every song section falls back to)
 * plays a note in some part. A style without one leaves the song silent, which the window and
 * the command line tell the user.
 */
bool styleMainSectionPlays(const SongState& song);
/** What the user is told about such a style. */
QString silentStyleMessage(const QString& styleName);

/** Loads the built-in "Default Piano" style in the session's meter. */
void loadDefaultStyle(Session& session);

/**
 * Forgets the style. With removeTracks the arranged tracks leave the session through undoable
 * remove-track commands; a track no longer in the session is reported in the error log and
 * false is returned.
 */
bool closeStyle(Session& session, bool removeTracks);

/**
 * One session MIDI track with an empty "Arrange" clip per style track, added through undoable
 * commands and kept in SongState::arrangedTracks in the style's order; muted while the
 * arrangement is switched off.
 */
void createArrangedTracks(Session& session);
