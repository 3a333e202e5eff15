// The main window's song making: Audio to MIDI, Make Chords, Make Song and the arrangement switch.
#include "main_window.h"

#include "arrangement.h"
#include "audio_to_midi.h"
#include "clip.h"
#include "lane_events.h"
#include "make_chords.h"
#include "make_song.h"
#include "message_box.h"
#include "midi_clip.h"
#include "piano_roll.h"
#include "session.h"
#include "settings.h"
#include "song_state.h"
#include "song_undo_step.h"
#include "tempo_and_bars_flow.h"
#include "track.h"

#include <QAction>
#include <QFileInfo>
#include <QStatusBar>

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
        // A melody sung to no click gets its bars before the song is made on them.
        source.audioToMidi = [this] {
            MidiClip* melody = runAudioToMidi();
            if (melody && recordingIsOpenedFile())
                offerTempoAndBars(*melody);
            return melody;
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

void MainWindow::toggleSimpleSections()
{
    SongState* song = SongState::of(m_session);
    const bool simple = findChild<QAction*>(QStringLiteral("simpleSectionsAction"))->isChecked();
    SongUndoStep step(*m_session, tr("Simple Sections"));
    song->sectionPlacement =
        simple ? SongState::SectionPlacement::Simple : SongState::SectionPlacement::Auto;
    // A song already made gets its sections placed again at once; a new one gets them from
    // Make Song. Fixed sections are the user's own and stay.
    MidiClip* melody = melodyMidiClip();
    if (song->sectionsFixed)
        statusBar()->showMessage(
            tr("The sections are fixed, so they stay as they are; the choice applies once they "
               "are no longer fixed."));
    else if (hasMelodyNotes(melody) &&
             lastLaneEventAtOrBefore(melody->sequence(), UINT32_MAX, SectionLane))
        arrangeSong(*m_session, melody);
    step.finish();
    viewRefresh();
}

void MainWindow::findTempoAndBars()
{
    MidiClip* melody = melodyMidiClip();
    if (!hasMelodyNotes(melody)) {
        MessageBox::warning(this, tr("There is no melody to find the tempo and bars of.\nPlease "
                                     "transcribe your recording or open a MIDI melody first."));
        return;
    }
    applyTempoAndBars(*melody);
}

// A take recorded in Cantova was sung to the metronome; an opened file may have had none.
bool MainWindow::recordingIsOpenedFile() const
{
    const Clip* recording = audioClip();
    return recording && !m_openedAudioPath.isEmpty() &&
           QFileInfo(recording->filePath()).absoluteFilePath() == m_openedAudioPath;
}

void MainWindow::offerTempoAndBars(MidiClip& melody)
{
    const auto answer = MessageBox::question(
        this,
        tr("The melody comes from an audio file that may have been sung without the "
           "metronome.\n\nDo you want to find its tempo, meter and first bar before the song "
           "is made?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        applyTempoAndBars(melody);
}

bool MainWindow::applyTempoAndBars(MidiClip& melody)
{
    stopTransport();
    const BarGrid grid = TempoAndBarsFlow(*m_session, melody, audioClip()).run();
    if (!grid.valid) {
        MessageBox::warning(this, TempoAndBarsFlow::foundText(grid));
        return false;
    }
    if (PianoRoll* roll = pianoRoll())
        roll->adjustClipLength();
    viewRefresh();
    statusBar()->showMessage(TempoAndBarsFlow::foundText(grid));
    return true;
}
