#pragma once

#include "midi_outputs.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class Settings;

/**
 * OptionsDialog: the options dialog (audio latencies, the MIDI output, how transcriptions
 * follow the singer's tuning, whether a tempo change stretches the recording and how Make
 * Chords chooses chords).
 *
 * Window-modal. Any change enables OK; OK stores the changed values into the settings and saves
 * them; Cancel with changes asks whether to apply them. GUI thread only.
 */
class OptionsDialog : public QDialog
{
    Q_OBJECT

public:
    /**
     * recommendedPlayback / recommendedRecording: the default devices' latencies (seconds);
     * outputs: the MIDI outputs to offer.
     */
    OptionsDialog(Settings* settings, double recommendedPlayback, double recommendedRecording,
                  const QList<MidiOutputChoice>& outputs, QWidget* parent = nullptr);

    QDoubleSpinBox* playbackSpinBox() const { return m_playback; }
    QDoubleSpinBox* recordingSpinBox() const { return m_recording; }
    QComboBox* midiOutputComboBox() const { return m_midiOutput; }
    QComboBox* tuningComboBox() const { return m_tuning; }
    QComboBox* chordFinderComboBox() const { return m_chordFinder; }
    QCheckBox* stretchAudioCheckBox() const { return m_stretchAudio; }
    QDialogButtonBox* buttonBox() const { return m_buttons; }
    bool isChanged() const { return m_changed; }

public slots:
    void accept() override;
    void reject() override;

private slots:
    void changed();

private:
    QWidget* createLatencyGroup(double recommendedPlayback, double recommendedRecording);
    QWidget* createMidiGroup(const QList<MidiOutputChoice>& outputs);
    QWidget* createTranscriptionGroup();
    QWidget* createRecordingGroup();
    QWidget* createChordsGroup();
    void store();

    Settings* m_settings;
    QDoubleSpinBox* m_playback = nullptr;
    QDoubleSpinBox* m_recording = nullptr;
    QComboBox* m_midiOutput = nullptr;
    QComboBox* m_tuning = nullptr;
    QCheckBox* m_stretchAudio = nullptr;
    QComboBox* m_chordFinder = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    bool m_changed = false;
};
