// The main window's song making: Audio to MIDI, Make Chords, Make Song and the arrangement switch.
#include "main_form.h"

#include "make_chords.h"
#include "make_song.h"
#include "message_box.h"
#include "clip.h"
#include "midi_clip.h"
#include "session.h"
#include "song_state.h"
#include "track.h"

#include <QAction>

void vx99MainForm::vxAudio2MidiSlot()
{
    // TODO: transcription of the recording into the melody.
    notAvailableYet(tr("Audio to MIDI"));
}

void vx99MainForm::vxMidi2ChordsSlot()
{
    if (vx22Clip* melody = melodyMidiClip())
        makeChords(this, *m_session, *melody);
    viewRefresh();
}

void vx99MainForm::vxMakeSongSlot()
{
    MakeSongSource source;
    if (vx18* audio = audioTrack()) {
        source.hasAudioTrack = true;
        const vx21* recording = audio->firstClip();
        source.audioChanged = recording && recording->needsTranscription();
        source.audioToMidi = [this, recording]() -> vx22Clip* {
            if (!recording || recording->length() == 0) {
                vx99MessageBox::warning(this, tr("Nothing to transcribe.\nPlease record your "
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

void vx99MainForm::vxChordsOnOffSlot()
{
    SongState* song = SongState::of(m_session);
    song->arrangementOff = !song->arrangementOff;
    for (vx18* track : song->arrangedTracks)
        if (isLive(m_session, track))
            setMuteForGood(track, song->arrangementOff);
    findChild<QAction*>(QStringLiteral("vxChordsOnOffAction"))->setChecked(!song->arrangementOff);
    viewRefresh();
}
