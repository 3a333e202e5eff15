#pragma once

#include <QString>
#include <functional>

class Clip;
class MidiClip;
class PianoRoll;
class QProgressDialog;
class QSettings;
class QWidget;
class Session;
class TranscriptionEngine;

/**
 * AudioToMidi: the window's Audio to MIDI, which also starts Make Song when the recording has
 * to be transcribed first.
 *
 * It takes the recording (the audio track's first clip, or the part selected in it), reads it
 * through an audio buffer of its own at the analysis rate with the clip's stretch and pitch,
 * runs the transcription engine over it behind a window-modal progress dialog that can abort,
 * and writes the notes into the emptied melody at the recording's own timing, with the key it
 * found as the song's suggested key. The reading, the run and the placing of the notes are the
 * same code the transcribe and make-song commands use.
 *
 * The whole action is one undoable step. GUI thread only.
 */
class AudioToMidi
{
public:
    /** What the driver needs of the window. */
    struct Window
    {
        QWidget* parent = nullptr;
        Session* session = nullptr;
        PianoRoll* pianoRoll = nullptr;
        Clip* recording = nullptr; ///< the audio track's first clip, when it is one
        MidiClip* melody = nullptr;
        QString melodyName; ///< as the save question names it
        /** The user's settings store, for the tuning chosen in the options. */
        const QSettings* settings = nullptr;
        /** The window's save of the song; false when it failed or was cancelled. */
        std::function<bool()> saveMelody;
        /** Stops playback and recording. */
        std::function<void()> stop;
        /** Refreshes the window's title, status and views. */
        std::function<void()> refresh;
    };

    explicit AudioToMidi(Window window);

    /**
     * Runs Audio to MIDI: returns the melody clip when notes were written, none when the action
     * stopped (the user was told why, or cancelled).
     */
    MidiClip* run();

    /** The program's one transcription engine. */
    static TranscriptionEngine& engine();

    /** The progress dialog's label, also the title of the no-notes warning. */
    static QString progressLabel();

private:
    bool hasSomethingToTranscribe() const;
    bool offerToSaveMelody() const;
    void emptyMelody();
    bool transcribe();
    void warnNoNotes() const;
    void writeNotes();

    Window m_window;
    unsigned m_regionStart = 0;
};
