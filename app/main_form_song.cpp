// The main window's song making: Audio to MIDI, Make Chords, Make Song and the arrangement switch.
#include "main_form.h"

#include "make_chords.h"
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
    // TODO: sections and arrangement from the loaded style.
    notAvailableYet(tr("Make Song"));
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
