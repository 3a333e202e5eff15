#include "make_song.h"

#include "make_chords.h"
#include "message_box.h"

#include "midi_clip.h"
#include "session.h"
#include "song_undo_step.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("makeSong", text);
}

void warnNothingToMakeASongFrom(QWidget* parent)
{
    MessageBox::Request request{
        QMessageBox::Warning,
        tr("Warning: Make a Song from Melody") + QStringLiteral(" - ") + MessageBox::title(),
        tr("To make a song you should record an audio track\nor create a MIDI melody in the "
           "piano-roll.\nTo test the song making you can open our audio samples."),
        QMessageBox::Ok,
        QMessageBox::NoButton,
        {}};
    MessageBox::ask(parent, request);
}

} // namespace

bool hasMelodyNotes(const MidiClip* melody)
{
    if (!melody)
        return false;
    for (const MidiEvent* e = melody->sequence().first(); e; e = e->next())
        if (e->isNote())
            return true;
    return false;
}

bool makeSong(QWidget* parent, Session& session, MidiClip* melody, const MakeSongSource& source)
{
    // The transcribed melody, the chords, the sections and the arrangement undo as one step.
    SongUndoStep step(session, tr("Make Song"));
    const bool melodyMissing = !hasMelodyNotes(melody);
    if (source.hasAudioTrack && (source.audioChanged || melodyMissing)) {
        melody = source.audioToMidi ? source.audioToMidi() : nullptr;
        if (!hasMelodyNotes(melody))
            return false;
    } else if (!source.hasAudioTrack && melodyMissing) {
        warnNothingToMakeASongFrom(parent);
        return false;
    }
    return makeChords(parent, session, *melody);
}
