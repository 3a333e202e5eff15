#include "alsa_midi_output.h"
#include "midi_outputs.h"
#include "synth_midi_output.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <alsa/asoundlib.h>

/** The choice of MIDI output and the ALSA backend. */
class TestMidiOutputs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void cleanup()
    {
        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
        settings.remove(QString::fromLatin1(MidiOutputs::kSettingsKey));
    }

    void builtInSynthesizerIsOfferedFirstAndChosenByDefault()
    {
        const QList<MidiOutputChoice> choices = MidiOutputs::available();
        QVERIFY(!choices.isEmpty());
        QCOMPARE(choices.first().id, QStringLiteral("builtin"));
        if (!AlsaMidiOutput::sequencerAvailable())
            QCOMPARE(choices.size(), 1);
        QCOMPARE(MidiOutputs::selectedId(), QStringLiteral("builtin"));

        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
        settings.setValue(QStringLiteral("/MidiOutput"), MidiOutputs::alsaId("FLUID", "Synth"));
        QCOMPARE(MidiOutputs::selectedId(), QStringLiteral("alsa:FLUID::Synth"));
    }

    void idsMakeTheirOutputs()
    {
        QString error;
        auto builtIn = MidiOutputs::create(QStringLiteral("builtin"), &error);
        QVERIFY(dynamic_cast<SynthMidiOutput*>(builtIn.get()));
        QVERIFY(builtIn->mixer());
        // Port names hold colons of their own ("Synth input port (1234:0)").
        auto alsa =
            MidiOutputs::create(MidiOutputs::alsaId("Qsynth", "Synth input port (1:0)"), &error);
        QVERIFY(dynamic_cast<AlsaMidiOutput*>(alsa.get()));
        QVERIFY(!alsa->mixer());
        QVERIFY(!MidiOutputs::create(QStringLiteral("nonsense"), &error));
        QVERIFY(error.contains(QStringLiteral("nonsense")));
    }

    void shortMessagesBecomeAlsaEvents()
    {
        snd_seq_event_t event;
        QVERIFY(AlsaMidiOutput::toAlsaEvent(0x5A4093, &event));
        QCOMPARE(int(event.type), int(SND_SEQ_EVENT_NOTEON));
        QCOMPARE(int(event.data.note.channel), 3);
        QCOMPARE(int(event.data.note.note), 64);
        QCOMPARE(int(event.data.note.velocity), 90);
        QVERIFY(AlsaMidiOutput::toAlsaEvent(0x004081, &event));
        QCOMPARE(int(event.type), int(SND_SEQ_EVENT_NOTEOFF));
        QVERIFY(AlsaMidiOutput::toAlsaEvent(0x007BBF, &event));
        QCOMPARE(int(event.type), int(SND_SEQ_EVENT_CONTROLLER));
        QCOMPARE(int(event.data.control.channel), 15);
        QCOMPARE(int(event.data.control.param), 123);
        QVERIFY(AlsaMidiOutput::toAlsaEvent(0x0005C9, &event));
        QCOMPARE(int(event.type), int(SND_SEQ_EVENT_PGMCHANGE));
        QCOMPARE(int(event.data.control.value), 5);
        QVERIFY(!AlsaMidiOutput::toAlsaEvent(0x4000E0, &event)); // pitch bend is never sent
    }

    void alsaOutputNeedsTheSequencer()
    {
        AlsaMidiOutput output{QString(), QString()};
        QString error;
        if (!AlsaMidiOutput::sequencerAvailable()) {
            QVERIFY(!output.open(&error));
            QVERIFY(error.contains(QStringLiteral("/dev/snd/seq")));
            QSKIP("no ALSA sequencer on this machine");
        }
        if (AlsaMidiOutput::synthPorts().isEmpty())
            QSKIP("no synth port to connect to");
        QVERIFY2(output.open(&error), qPrintable(error));
        QCOMPARE(output.send(0x647B90, 0), 0);
        QCOMPARE(output.send(0x007B80, 0), 0);
        output.close();
    }
};

QTEST_GUILESS_MAIN(TestMidiOutputs)

#include "tst_midi_outputs.moc"
