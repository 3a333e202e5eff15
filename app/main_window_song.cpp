// The main window's song making: Audio to MIDI, Make Chords, Make Song and the arrangement switch.
#include "main_window.h"

#include "audio_to_midi.h"
#include "clip.h"
#include "make_chords.h"
#include "make_song.h"
#include "midi_clip.h"
#include "session.h"
#include "settings.h"
#include "song_state.h"
#include "track.h"

#include <QAction>

void MainWindow::makeMelodyFromAudio()
{
    runAudioToMidi();
}

MidiClip* MainWindow::runAudioToMidi()
{
    AudioToMidi::Window window;
    window.parent = this;
    window.session = m_session;
    window.pianoRoll = pianoRoll();
    window.recording = audioClip();
    window.melody = melodyMidiClip();
    window.melodyName = melodyTrack() ? melodyTrack()->name() : QString();
    window.settings = &m_settings->store();
    window.saveMelody = [this] { return saveSongToItsFile(); };
    window.stop = [this] { stopTransport(); };
    window.refresh = [this] { viewRefresh(); };
    MidiClip* melody = AudioToMidi(std::move(window)).run();
    viewRefresh();
    return melody;
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
        source.audioToMidi = [this] { return runAudioToMidi(); };
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
