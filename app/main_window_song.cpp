// The main window's song making: Audio to MIDI, Make Chords, Make Song and the arrangement switch.
#include "main_window.h"

#include "clip.h"
#include "make_chords.h"
#include "make_song.h"
#include "message_box.h"
#include "midi_clip.h"
#include "session.h"
#include "song_state.h"
#include "track.h"

#include <QAction>

void MainWindow::makeMelodyFromAudio()
{
    // TODO: transcription of the recording into the melody.
    notAvailableYet(tr("Audio to MIDI"));
}

void MainWindow::makeChordsFromMelody()
{
    if (MidiClip* melody = melodyMidiClip())
        makeChords(this, *m_session, *melody);
    viewRefresh();
}

void MainWindow::makeSongFromMelody()
{
    MakeSongSource source;
    if (Track* audio = audioTrack()) {
        source.hasAudioTrack = true;
        const Clip* recording = audio->firstClip();
        source.audioChanged = recording && recording->needsTranscription();
        source.audioToMidi = [this, recording]() -> MidiClip* {
            if (!recording || recording->length() == 0) {
                MessageBox::warning(this, tr("Nothing to transcribe.\nPlease record your "
                                             "audio melody or open an audio file.\n"));
                return nullptr;
            }
            // TODO: run Audio to MIDI on the recording once audio clips can be read.
            notAvailableYet(tr("Audio to MIDI"));
            return nullptr;
        };
    }
    makeSong(this, *m_session, melodyMidiClip(), source);
    viewRefresh();
}

void MainWindow::toggleArrangement()
{
    SongState* song = SongState::of(m_session);
    song->arrangementOff = !song->arrangementOff;
    for (Track* track : song->arrangedTracks)
        if (isLive(m_session, track))
            setMuteForGood(track, song->arrangementOff);
    findChild<QAction*>(QStringLiteral("chordsOnOffAction"))->setChecked(!song->arrangementOff);
    viewRefresh();
}
