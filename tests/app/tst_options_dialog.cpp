// The options dialog driven headless, the recording move after it, and the dark palette rule.
#include "app_test_environment.h"

#include "application.h"
#include "main_window.h"
#include "message_box.h"
#include "options_dialog.h"
#include "settings.h"
#include "tuning_setting.h"

#include "clip.h"
#include "session.h"
#include "track.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
const QList<MidiOutputChoice> kOutputs = {
    {QStringLiteral("builtin"), QStringLiteral("Built-in General MIDI synthesizer")},
    {QStringLiteral("alsa:Synth::Port 1"), QStringLiteral("Synth: Port 1 (ALSA 128:0)")}};

QPushButton* button(OptionsDialog& form, QDialogButtonBox::StandardButton which)
{
    return form.buttonBox()->button(which);
}

/** A recording stand-in that keeps the stretch a tempo change gives it. */
class StretchableClip : public Clip
{
public:
    float stretchFactor() const override { return m_stretch; }
    void setStretchFactor(float factor) override { m_stretch = factor; }

private:
    float m_stretch = 1.0f;
};

double storedLatency(const char* key)
{
    QSettings store(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
    return store.value(QLatin1String(key), -5.0).toDouble();
}
} // namespace

class TestOptionsForm : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;

private Q_SLOTS:
    void initTestCase() { m_env = new AppTestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void init() { m_env->clearSettings(); }

    void showsTheValuesAndTheRecommendations()
    {
        Settings settings;
        settings.audioLatency = 0.3;
        OptionsDialog form(&settings, 0.0464, 0.0928, kOutputs);
        QCOMPARE(form.windowTitle(), QStringLiteral("Options - Cantova"));
        QCOMPARE(form.windowModality(), Qt::WindowModal);
        QCOMPARE(form.playbackSpinBox()->value(), 0.3);
        QCOMPARE(form.recordingSpinBox()->value(), 0.093); // recommended, to the box's places
        QCOMPARE(form.playbackSpinBox()->maximum(), 2.0);
        QCOMPARE(form.playbackSpinBox()->singleStep(), 0.1);
        QCOMPARE(form.playbackSpinBox()->toolTip(),
                 QStringLiteral("Audio Playback Latency in Seconds (Max: 2 sec.)"));
        QStringList labels;
        for (QLabel* label : form.findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains(QStringLiteral("Recommended: 0.046")));
        QVERIFY(labels.contains(QStringLiteral("Recommended: 0.093")));
        QVERIFY(labels.contains(
            QStringLiteral("Playback Latency:\nused for Audio/Midi playback sync.")));
        QCOMPARE(form.midiOutputComboBox()->count(), 2);
        QCOMPARE(form.midiOutputComboBox()->currentIndex(), 0);
        QVERIFY(!button(form, QDialogButtonBox::Ok)->isEnabled());
    }

    void okStoresTheChangesAndSaves()
    {
        Settings settings;
        OptionsDialog form(&settings, 0.05, 0.1, kOutputs);
        form.show();
        form.recordingSpinBox()->setFocus();
        form.recordingSpinBox()->selectAll();
        QTest::keyClicks(form.recordingSpinBox(), QStringLiteral("0.25"));
        QTest::keyClick(form.recordingSpinBox(), Qt::Key_Tab);
        form.midiOutputComboBox()->setCurrentIndex(1);
        QVERIFY(button(form, QDialogButtonBox::Ok)->isEnabled());
        QTest::mouseClick(button(form, QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(settings.audioRecordLatency, 0.25);
        QCOMPARE(storedLatency("/AudioRecordLatency"), 0.25);
        QSettings store(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
        QCOMPARE(store.value(QStringLiteral("/MidiOutput")).toString(),
                 QStringLiteral("alsa:Synth::Port 1"));
    }

    // The tuning choice starts at "follow", is stored by OK and is what the commands start from.
    void tuningChoiceReachesTheCommands()
    {
        Settings settings;
        {
            OptionsDialog form(&settings, 0.05, 0.1, kOutputs);
            QCOMPARE(form.tuningComboBox()->currentData().toString(), QStringLiteral("follow"));
            form.tuningComboBox()->setCurrentIndex(1);
            QVERIFY(button(form, QDialogButtonBox::Ok)->isEnabled());
            QTest::mouseClick(button(form, QDialogButtonBox::Ok), Qt::LeftButton);
        }
        QCOMPARE(TuningSetting::readUserChoice(), NoteRefiner::Tuning::Classic);
        OptionsDialog again(&settings, 0.05, 0.1, kOutputs);
        QCOMPARE(again.tuningComboBox()->currentData().toString(), QStringLiteral("classic"));
    }

    void theChordFinderIsChosenAndStored()
    {
        Settings settings;
        OptionsDialog form(&settings, 0.05, 0.1, kOutputs);
        QCOMPARE(form.chordFinderComboBox()->currentIndex(), 0); // progressions by default
        form.chordFinderComboBox()->setCurrentIndex(1);
        QVERIFY(button(form, QDialogButtonBox::Ok)->isEnabled());
        form.accept();
        QCOMPARE(settings.chordFinder, ChordFinderKind::Classic);
        QCOMPARE(ChordFinderSetting::current(), ChordFinderKind::Classic);
        Settings reread;
        OptionsDialog again(&reread, 0.05, 0.1, kOutputs);
        QCOMPARE(again.chordFinderComboBox()->currentIndex(), 1);
    }

    void cancelWithChangesAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<double>("stored");
        QTest::newRow("apply") << int(QMessageBox::Apply) << true << 1.5;
        QTest::newRow("discard") << int(QMessageBox::Discard) << true << -1.0;
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << -1.0;
    }

    void cancelWithChangesAsks()
    {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(double, stored);
        Settings settings;
        OptionsDialog form(&settings, 0.05, 0.1, kOutputs);
        form.show();
        form.playbackSpinBox()->setValue(1.5);
        ScriptedAnswers answers({QMessageBox::StandardButton(answer)});
        QTest::mouseClick(button(form, QDialogButtonBox::Cancel), Qt::LeftButton);
        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked().first().title, QStringLiteral("Warning - Cantova"));
        QCOMPARE(answers.asked().first().text,
                 QStringLiteral("Some settings have been changed.\n\nDo you want to apply the "
                                "changes?"));
        QCOMPARE(form.isVisible(), !closes);
        QCOMPARE(settings.audioLatency, stored);
    }

    void cancelWithoutChangesAsksNothing()
    {
        Settings settings;
        OptionsDialog form(&settings, 0.05, 0.1, kOutputs);
        form.show();
        ScriptedAnswers answers;
        QTest::mouseClick(button(form, QDialogButtonBox::Cancel), Qt::LeftButton);
        QVERIFY(answers.asked().isEmpty());
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void raisingTheRecordingLatencyMovesTheRecordingEarlier()
    {
        Settings settings;
        settings.audioRecordLatency = 0.1;
        MainWindow form(&settings);
        Session* session = form.session();
        // A recording as it would be after the audio engine placed it.
        auto* recording = new Clip();
        recording->setStart(44100);
        recording->setLength(88200);
        session->lockEdit();
        form.audioTrack()->addClip(recording);
        session->unlockEdit();

        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->recordingSpinBox()->setValue(0.2);
            dialog->accept();
        });
        form.viewOptions();

        QCOMPARE(settings.audioRecordLatency, 0.2);
        QCOMPARE(recording->start(), 44100u - 4410u);
        QCOMPARE(recording->length(), 88200u);
        QCOMPARE(session->commands().current(), nullptr); // not an undo step

        // Moving before the song's start shortens the clip from its start instead.
        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->recordingSpinBox()->setValue(1.2);
            dialog->accept();
        });
        form.viewOptions();
        QCOMPARE(recording->start(), 0u);
        QCOMPARE(recording->offset(), 4410u);
        QCOMPARE(recording->length(), 88200u - 4410u);
    }

    // Off by default, as the tempo changes have always left the recording its speed; on, the
    // choice is saved and the next tempo change stretches the recording.
    void stretchingTheRecordingIsStoredAndFollowsTheTempo()
    {
        Settings settings;
        MainWindow form(&settings);
        Session* session = form.session();
        QVERIFY(!session->stretchAudio());
        auto* recording = new StretchableClip();
        recording->setLength(88200);
        session->lockEdit();
        form.audioTrack()->addClip(recording);
        session->unlockEdit();
        auto* tempo = form.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"));
        tempo->setValue(60.0);
        QCOMPARE(recording->stretchFactor(), 1.0f); // off: the recording keeps its speed

        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QVERIFY(!dialog->stretchAudioCheckBox()->isChecked());
            dialog->stretchAudioCheckBox()->setChecked(true);
            QVERIFY(button(*dialog, QDialogButtonBox::Ok)->isEnabled());
            dialog->accept();
        });
        form.viewOptions();
        QVERIFY(settings.stretchAudio);
        QVERIFY(Settings().stretchAudio);
        QVERIFY(session->stretchAudio());

        tempo->setValue(120.0);
        QCOMPARE(recording->stretchFactor(), 0.5f); // twice as fast: half as long
        act(form, "editUndoAction")->trigger();
        QCOMPARE(recording->stretchFactor(), 1.0f);
        OptionsDialog again(&settings, 0.05, 0.1, kOutputs);
        QVERIFY(again.stretchAudioCheckBox()->isChecked());
    }

    void darkThemeGetsReadableDisabledColours()
    {
        QPalette dark;
        dark.setColor(QPalette::Base, QColor(40, 40, 40));
        dark.setColor(QPalette::Active, QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Active, QPalette::WindowText, QColor(220, 220, 220));
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(45, 45, 45));
        QVERIFY(Application::adjustDarkPalette(dark));
        QCOMPARE(dark.color(QPalette::Disabled, QPalette::Text), QColor(230, 230, 230).darker(200));
        QCOMPARE(dark.color(QPalette::Disabled, QPalette::WindowText),
                 QColor(220, 220, 220).darker(200));
        QCOMPARE(dark.color(QPalette::Disabled, QPalette::BrightText),
                 QColor(230, 230, 230).lighter(150));
        QCOMPARE(dark.color(QPalette::Disabled, QPalette::Base), QColor(40, 40, 40));

        QPalette light;
        light.setColor(QPalette::Base, QColor(255, 255, 255));
        const QPalette before = light;
        QVERIFY(!Application::adjustDarkPalette(light));
        QCOMPARE(light, before);
    }
};

QTEST_MAIN(TestOptionsForm)
#include "tst_options_dialog.moc"
