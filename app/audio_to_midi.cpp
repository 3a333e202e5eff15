#include "audio_to_midi.h"

#include "arrangement.h"
#include "clip.h"
#include "clip_audio_source.h"
#include "error_box.h"
#include "make_song.h"
#include "message_box.h"
#include "midi_clip.h"
#include "piano_roll.h"
#include "session.h"
#include "song_state.h"
#include "song_undo_step.h"
#include "time_scale.h"
#include "transcribed_melody.h"
#include "transcription_engine.h"
#include "transcription_mark_command.h"
#include "transcription_region.h"
#include "transcription_run.h"
#include "tuning_setting.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <algorithm>
#include <memory>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("AudioToMidi", text);
}

} // namespace

AudioToMidi::AudioToMidi(Window window) : m_window(std::move(window)) {}

TranscriptionEngine& AudioToMidi::engine()
{
    static TranscriptionEngine theEngine;
    return theEngine;
}

QString AudioToMidi::progressLabel()
{
    return tr("Transcribing MIDI notes from Audio recordings");
}

MidiClip* AudioToMidi::run()
{
    if (!m_window.session || !m_window.pianoRoll)
        return nullptr;
    if (!hasSomethingToTranscribe()) {
        MessageBox::warning(m_window.parent, tr("Nothing to transcribe.\nPlease record your audio "
                                                "melody or open an audio file.\n"));
        return nullptr;
    }
    if (!offerToSaveMelody())
        return nullptr;
    // The emptied melody and the new notes undo as one step, back to the melody before.
    SongUndoStep step(*m_window.session, tr("Audio to MIDI"));
    emptyMelody();
    if (!transcribe())
        return nullptr;
    if (engine().result().noteCount == 0) {
        warnNoNotes();
        return nullptr;
    }
    writeNotes();
    return m_window.melody;
}

// Without a melody track there is nowhere for the notes to go: as good as nothing to read.
bool AudioToMidi::hasSomethingToTranscribe() const
{
    const Clip* recording = m_window.recording;
    return recording && recording->length() > 0 && m_window.melody;
}

bool AudioToMidi::offerToSaveMelody() const
{
    MidiClip& melody = *m_window.melody;
    if (!melody.isModified() || !hasMelodyNotes(&melody))
        return true;
    const auto answer = MessageBox::question(
        m_window.parent,
        tr("The current Midi file has been changed:\n\n\"%1\"\n\nDo you want to save the "
           "changes?")
            .arg(m_window.melodyName),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return m_window.saveMelody && m_window.saveMelody();
    return answer == QMessageBox::Discard;
}

// The melody goes with its chords and sections, and the arrangement with it.
void AudioToMidi::emptyMelody()
{
    if (m_window.stop)
        m_window.stop();
    MidiClip& melody = *m_window.melody;
    melody.sequence().clearEvents();
    melody.setModified(false);
    SongState::of(m_window.session)->chordsChanged = false;
    arrangeSong(*m_window.session, &melody);
    m_window.pianoRoll->refresh();
}

// Reads the region behind the progress dialog. False when the file could not be read or the
// engine not started (the user was shown why).
bool AudioToMidi::transcribe()
{
    Session& session = *m_window.session;
    const auto region =
        TranscriptionRegion::ofClip(*m_window.recording, session.scale().sampleRate());
    m_regionStart = region.timelineStart;
    ClipAudioSource source(region);
    if (!source.open()) {
        ErrorBox::show(m_window.parent,
                       tr("audio2midi: ") + tr("Cannot read the audio data from file."));
        return false;
    }
    const int block = std::max(source.blockSize(), 1);
    QProgressDialog progress(progressLabel(), tr("Abort"), 0, int(source.length() / block),
                             m_window.parent);
    progress.setMinimumWidth(400);
    progress.setMinimumDuration(1);
    progress.setWindowModality(Qt::WindowModal);
    progress.setValue(1);
    // Between fill steps the dialog stays live, so Abort ends a wait as well as the reading.
    source.setKeepWaiting([&progress] {
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });

    TranscriptionEngine& theEngine = engine();
    if (m_window.settings)
        theEngine.setTuning(TuningSetting::read(*m_window.settings));
    // Whatever was read until an Abort is transcribed all the same.
    const bool ran =
        TranscriptionRun::run(theEngine, source, source.length(), [&](long long position) {
            progress.setValue(int(position / block));
            return !progress.wasCanceled();
        });
    progress.setValue(progress.maximum());
    if (!ran) // the engine refused its rate: its result is not this recording's
        ErrorBox::show(m_window.parent);
    return ran;
}

void AudioToMidi::warnNoNotes() const
{
    MessageBox::Request request{QMessageBox::Warning,
                                progressLabel() + QStringLiteral(" - ") + MessageBox::title(),
                                tr("Cannot transcribe any MIDI notes from this audio.\n"),
                                QMessageBox::Ok,
                                QMessageBox::NoButton,
                                {}};
    MessageBox::ask(m_window.parent, request);
}

void AudioToMidi::writeNotes()
{
    Session& session = *m_window.session;
    MidiClip& melody = *m_window.melody;
    const uint32_t clipStartTick = session.scale().frameToTick(melody.start());
    TranscribedMelody::write(engine().result(), session, melody.sequence(), m_regionStart,
                             *SongState::of(&session), clipStartTick);
    // Part of the step: undone, the recording needs its melody again.
    session.push(std::make_unique<TranscriptionMarkCommand>(m_window.recording, false));
    melody.setModified(true);
    m_window.pianoRoll->adjustClipLength();
    if (m_window.refresh)
        m_window.refresh();
}
