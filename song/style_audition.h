#pragma once

#include <QString>
#include <QStringList>

class Session;
class MidiClip;

/**
 * Lays out an empty session to hear a style: the song tracks, the style's meter and tempo, the
 * style loaded, and a song of the chords, one a bar, all of it "Main A", arranged. The style
 * browser's preview and the tests of the shipped styles play such a session. Returns the melody
 * clip holding the chords, or nothing when the style cannot be read (the reason is in the error
 * log). GUI (or main) thread; the session must be new.
 */
MidiClip* auditionStyle(Session& session, const QString& stylePath, const QStringList& chords);
