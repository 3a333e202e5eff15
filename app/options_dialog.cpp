#include "options_dialog.h"

#include "message_box.h"
#include "settings.h"
#include "tuning_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr double kMaxLatency = 2.0;

QDoubleSpinBox* makeLatencyBox(double value, const QString& tip, const QString& name,
                               QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0.0, kMaxLatency);
    box->setSingleStep(0.1);
    box->setDecimals(3);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(value);
    box->setToolTip(tip);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return box;
}
} // namespace

OptionsDialog::OptionsDialog(Settings* settings, double recommendedPlayback,
                             double recommendedRecording, const QList<MidiOutputChoice>& outputs,
                             QWidget* parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(tr("Options - Cantova"));
    setWindowIcon(QIcon(QStringLiteral(":/images/cantova-32.png")));
    setWindowModality(Qt::WindowModal);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createLatencyGroup(recommendedPlayback, recommendedRecording));
    layout->addWidget(createMidiGroup(outputs));
    layout->addWidget(createTranscriptionGroup());
    layout->addWidget(createRecordingGroup());
    layout->addWidget(createChordsGroup());
    layout->addStretch();
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
}

QWidget* OptionsDialog::createLatencyGroup(double recommendedPlayback, double recommendedRecording)
{
    auto* group = new QGroupBox(tr("Audio Latency (in seconds)"), this);
    auto* grid = new QGridLayout(group);
    const double playback =
        m_settings->audioLatency < 0 ? recommendedPlayback : m_settings->audioLatency;
    const double recording =
        m_settings->audioRecordLatency < 0 ? recommendedRecording : m_settings->audioRecordLatency;
    m_playback = makeLatencyBox(playback, tr("Audio Playback Latency in Seconds (Max: 2 sec.)"),
                                QStringLiteral("PlaybackLatencySpinBox"), group);
    m_recording = makeLatencyBox(recording, tr("Audio Recording Latency in Seconds (Max: 2 sec.)"),
                                 QStringLiteral("RecordingLatencySpinBox"), group);
    grid->addWidget(new QLabel(tr("Playback Latency:\nused for Audio/Midi playback sync."), group),
                    0, 0);
    grid->addWidget(m_playback, 0, 1);
    grid->addWidget(
        new QLabel(tr("Recommended: ") + QString::number(recommendedPlayback, 'g', 2), group), 0,
        2);
    grid->addWidget(new QLabel(tr("Recording Latency:\nused for Audio/Midi visual sync."), group),
                    1, 0);
    grid->addWidget(m_recording, 1, 1);
    grid->addWidget(
        new QLabel(tr("Recommended: ") + QString::number(recommendedRecording, 'g', 2), group), 1,
        2);
    grid->setColumnStretch(0, 1);
    connect(m_playback, &QDoubleSpinBox::valueChanged, this, &OptionsDialog::changed);
    connect(m_recording, &QDoubleSpinBox::valueChanged, this, &OptionsDialog::changed);
    return group;
}

QWidget* OptionsDialog::createMidiGroup(const QList<MidiOutputChoice>& outputs)
{
    auto* group = new QGroupBox(tr("MIDI output"), this);
    auto* grid = new QGridLayout(group);
    m_midiOutput = new QComboBox(group);
    m_midiOutput->setObjectName(QStringLiteral("MidiOutputComboBox"));
    m_midiOutput->setToolTip(tr("Where melody, accompaniment and metronome are played"));
    const QString current = m_settings->midiOutput.isEmpty()
                                ? QString::fromLatin1(MidiOutputs::kBuiltInId)
                                : m_settings->midiOutput;
    for (const MidiOutputChoice& choice : outputs)
        m_midiOutput->addItem(choice.text, choice.id);
    int index = m_midiOutput->findData(current);
    if (index < 0) {
        // A device chosen earlier and unplugged now stays chosen until the user picks another.
        m_midiOutput->addItem(tr("%1 (not available)").arg(current), current);
        index = m_midiOutput->count() - 1;
    }
    m_midiOutput->setCurrentIndex(index);
    grid->addWidget(new QLabel(tr("MIDI output:"), group), 0, 0);
    grid->addWidget(m_midiOutput, 0, 1);
    grid->setColumnStretch(1, 1);
    connect(m_midiOutput, &QComboBox::currentIndexChanged, this, &OptionsDialog::changed);
    return group;
}

QWidget* OptionsDialog::createTranscriptionGroup()
{
    auto* group = new QGroupBox(tr("Transcription"), this);
    auto* grid = new QGridLayout(group);
    m_tuning = new QComboBox(group);
    m_tuning->setObjectName(QStringLiteral("TuningComboBox"));
    m_tuning->setToolTip(tr("How Audio to MIDI rounds a sung pitch to a note"));
    m_tuning->addItem(tr("Follow the singer's tuning"),
                      TuningSetting::text(NoteRefiner::Tuning::FollowSinger));
    m_tuning->addItem(tr("One tuning for the whole take"),
                      TuningSetting::text(NoteRefiner::Tuning::Classic));
    m_tuning->setCurrentIndex(
        m_tuning->findData(TuningSetting::text(TuningSetting::read(m_settings->store()))));
    grid->addWidget(new QLabel(tr("Tuning:"), group), 0, 0);
    grid->addWidget(m_tuning, 0, 1);
    grid->setColumnStretch(1, 1);
    connect(m_tuning, &QComboBox::currentIndexChanged, this, &OptionsDialog::changed);
    return group;
}

QWidget* OptionsDialog::createRecordingGroup()
{
    auto* group = new QGroupBox(tr("Recording"), this);
    auto* layout = new QVBoxLayout(group);
    m_stretchAudio = new QCheckBox(tr("Stretch the recording when the tempo changes"), group);
    m_stretchAudio->setObjectName(QStringLiteral("StretchAudioCheckBox"));
    m_stretchAudio->setToolTip(tr("A new tempo plays the recording faster or slower at the same "
                                  "pitch, so it stays with the song's bars; off, the recording "
                                  "keeps its own speed"));
    m_stretchAudio->setChecked(m_settings->stretchAudio);
    layout->addWidget(m_stretchAudio);
    connect(m_stretchAudio, &QCheckBox::toggled, this, &OptionsDialog::changed);
    return group;
}

QWidget* OptionsDialog::createChordsGroup()
{
    auto* group = new QGroupBox(tr("Make Chords"), this);
    auto* grid = new QGridLayout(group);
    m_chordFinder = new QComboBox(group);
    m_chordFinder->setObjectName(QStringLiteral("ChordFinderComboBox"));
    m_chordFinder->setToolTip(tr("How Make Chords chooses the chords of the melody"));
    m_chordFinder->addItem(tr("Progressions over the whole melody"),
                           ChordFinderSetting::text(ChordFinderKind::Progression));
    m_chordFinder->addItem(tr("Classic, bar by bar"),
                           ChordFinderSetting::text(ChordFinderKind::Classic));
    m_chordFinder->setCurrentIndex(m_settings->chordFinder == ChordFinderKind::Classic ? 1 : 0);
    grid->addWidget(new QLabel(tr("Chord finder:"), group), 0, 0);
    grid->addWidget(m_chordFinder, 0, 1);
    grid->setColumnStretch(1, 1);
    connect(m_chordFinder, &QComboBox::currentIndexChanged, this, &OptionsDialog::changed);
    return group;
}

void OptionsDialog::changed()
{
    m_changed = true;
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(true);
}

void OptionsDialog::store()
{
    m_settings->audioLatency = m_playback->value();
    m_settings->audioRecordLatency = m_recording->value();
    m_settings->midiOutput = m_midiOutput->currentData().toString();
    const auto tuning = TuningSetting::fromText(m_tuning->currentData().toString());
    TuningSetting::write(m_settings->store(), tuning.value_or(NoteRefiner::Tuning::FollowSinger));
    m_settings->stretchAudio = m_stretchAudio->isChecked();
    m_settings->chordFinder = ChordFinderSetting::fromText(m_chordFinder->currentData().toString())
                                  .value_or(ChordFinderKind::Progression);
}

void OptionsDialog::accept()
{
    if (m_changed)
        store();
    m_settings->save();
    QDialog::accept();
}

void OptionsDialog::reject()
{
    if (m_changed) {
        MessageBox::Request box;
        box.icon = QMessageBox::Warning;
        box.title = tr("Warning") + QStringLiteral(" - Cantova");
        box.text = tr("Some settings have been changed.\n\nDo you want to apply the changes?");
        box.buttons = QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel;
        box.defaultButton = QMessageBox::Apply;
        const auto answer = MessageBox::ask(this, box);
        if (answer == QMessageBox::Apply) {
            accept();
            return;
        }
        if (answer != QMessageBox::Discard)
            return;
    }
    QDialog::reject();
}
