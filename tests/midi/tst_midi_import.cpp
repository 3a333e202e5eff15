#include "conductor_hook.h"
#include "error_log.h"
#include "midi_clip.h"
#include "midi_file.h"
#include "midi_import.h"
#include "session.h"
#include "smf_bytes.h"
#include "song_file.h"
#include "song_host.h"
#include "time_scale.h"
#include "track.h"

#include <QTemporaryDir>
#include <QTest>

using smf::ev;

namespace {

// Notes on one channel: a note on at each delta, its note off `length` ticks later.
QByteArray notes(int channel, std::initializer_list<int> keys, uint32_t length, uint32_t gap = 0)
{
    QByteArray out;
    for (int key : keys) {
        out += ev(gap, {0x90 | channel, key, 100});
        out += ev(length, {0x80 | channel, key, 0});
    }
    return out;
}

// Block chords on one channel: the keys of each chord start and end together.
QByteArray chords(int channel, std::initializer_list<std::initializer_list<int>> chordKeys,
                  uint32_t length)
{
    QByteArray out;
    for (const auto& keys : chordKeys) {
        for (int key : keys)
            out += ev(0, {0x90 | channel, key, 80});
        bool first = true;
        for (int key : keys) {
            out += ev(first ? length : 0, {0x80 | channel, key, 0});
            first = false;
        }
    }
    return out;
}

QByteArray name(const QByteArray& text)
{
    return smf::meta(0, 0x03, text);
}

// Records what the song file asks: the candidates, and answers with a fixed choice.
class ChoosingHost : public SongHost
{
public:
    std::vector<MidiImport::Candidate> offered;
    int preselected = -2;
    int answer = -2; // -2: take the preselection
    QStringList warnings;

    void warning(const QString& text) override { warnings << text; }
    int chooseMelodyTrack(const std::vector<MidiImport::Candidate>& candidates,
                          int preselection) override
    {
        offered = candidates;
        preselected = preselection;
        return answer == -2 ? preselection : answer;
    }
};

// Keeps the key signature the song file hands over, as the song state does.
class KeyHook : public ConductorHook
{
public:
    QByteArray key;
    int reads = 0;
    void writeConductor(MidiSequence&) override {}
    bool readConductor(const MidiSequence& conductor, QString&) override
    {
        ++reads;
        key.clear();
        for (const MidiEvent* e = conductor.first(); e; e = e->next())
            if (e->metaType == 0x59 && key.isEmpty())
                key = e->data();
        return false;
    }
};

} // namespace

class TestMidiImport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Session session;
    Track* melodyTrack = nullptr;
    MidiClip* melody = nullptr;
    ChoosingHost host;
    KeyHook keys;

    QString save(const QString& file, const QByteArray& bytes)
    {
        const QString p = dir.filePath(file);
        smf::save(p, bytes);
        return p;
    }
    bool open(const QString& p)
    {
        SongFile song(&session, melodyTrack, melody, &host, &keys);
        return song.openSong(p);
    }
    QList<int> keysOf(const MidiSequence& s)
    {
        QList<int> out;
        for (const MidiEvent* e = s.first(); e; e = e->next())
            if (e->isNote())
                out << e->data1;
        return out;
    }

private Q_SLOTS:
    void init()
    {
        ErrorLog::clear();
        session.clear();
        session.addTrack(new Track(&session, Track::AudioTrack));
        melodyTrack = new Track(&session, Track::MidiTrack);
        session.addTrack(melodyTrack);
        melody = new MidiClip(&session);
        melodyTrack->addClip(melody);
        host = ChoosingHost();
        keys = KeyHook();
    }

    void aFormat0FileOffersItsChannelsWithTheMelodyPreselected()
    {
        // Chords on channel 2 first in the file, the tune on channel 1; a program each.
        const QString p =
            save(QStringLiteral("zero.mid"),
                 smf::header(0, 1, 96) +
                     smf::track(name("Song") + ev(0, {0xC1, 0}) + ev(0, {0xC0, 73}) +
                                chords(1, {{48, 52, 55}, {48, 53, 57}, {47, 50, 55}}, 192) +
                                notes(0, {67, 69, 71, 72, 74, 72}, 96)));
        QVERIFY(open(p));
        QCOMPARE(ErrorLog::text(), QString());
        QCOMPARE(int(host.offered.size()), 2);
        QVERIFY(host.warnings.isEmpty()); // the choice replaces the warning
        const MidiImport::Candidate& tune = host.offered.at(size_t(host.preselected));
        QCOMPARE(tune.channel, 0);
        QCOMPARE(tune.notes, 6);
        QCOMPARE(tune.lowestKey, 67);
        QCOMPARE(tune.highestKey, 74);
        QCOMPARE(tune.instrument(), QStringLiteral("Flute"));
        QCOMPARE(tune.name, QStringLiteral("Song"));
        QCOMPARE(host.preselected, 0); // channels are offered in order
        QCOMPARE(host.offered.at(1).channel, 1);
        QCOMPARE(host.offered.at(1).notes, 9);
        QCOMPARE(host.offered.at(1).instrument(), QStringLiteral("Acoustic Grand Piano"));
        QVERIFY(host.offered.at(1).polyphony > 0.6);
        QCOMPARE(tune.polyphony, 0.0);

        QCOMPARE(keysOf(melody->sequence()), (QList<int>{67, 69, 71, 72, 74, 72}));
        QCOMPARE(melody->sequence().channel(), 0);
        QCOMPARE(melody->sequence().program(), 73);
        // 96 ticks per quarter read at the session's resolution.
        QCOMPARE(melody->sequence().first()->duration, uint32_t(session.scale().ticksPerBeat()));
        QVERIFY(!melody->isModified());
        QCOMPARE(melodyTrack->name(), QStringLiteral("zero.mid"));
    }

    void theChosenChannelIsLoadedAndCancellingLeavesTheSong()
    {
        const QByteArray bytes = smf::header(0, 1, 96) + smf::track(chords(1, {{48, 52, 55}}, 192) +
                                                                    notes(0, {67, 69}, 96));
        const QString p = save(QStringLiteral("choice.mid"), bytes);
        host.answer = 1; // the chords
        QVERIFY(open(p));
        QCOMPARE(keysOf(melody->sequence()), (QList<int>{48, 52, 55}));

        melodyTrack->setName(QStringLiteral("Kept.mid"));
        host.answer = -1;
        SongFile song(&session, melodyTrack, melody, &host, &keys);
        QVERIFY(!song.openSong(p));
        QVERIFY(song.wasCancelled());
        QCOMPARE(ErrorLog::text(), QString());
        QCOMPARE(melodyTrack->name(), QStringLiteral("Kept.mid"));
        QCOMPARE(keysOf(melody->sequence()), (QList<int>{48, 52, 55}));
    }

    void aOneTrackFormat1FileOpensWithTheWarning()
    {
        const QString p = save(QStringLiteral("one.mid"),
                               smf::header(1, 1, 480) +
                                   smf::track(smf::tempo(0, 500000) + notes(3, {60, 62}, 480)));
        QVERIFY(open(p));
        QCOMPARE(host.warnings.size(), 1);
        QVERIFY(host.warnings.first().startsWith(
            QStringLiteral("This MIDI file is not created with Cantova.")));
        QCOMPARE(keysOf(melody->sequence()), (QList<int>{60, 62}));
        QCOMPARE(melody->sequence().channel(), 3);
    }

    void drumsAreNeverPreselected()
    {
        // Conductor, drums (channel 10) high and alone, then a bass and the tune.
        const QString p =
            save(QStringLiteral("drums.mid"),
                 smf::header(1, 4, 96) + smf::track(smf::tempo(0, 500000)) +
                     smf::track(name("Drums") + notes(9, {81, 81, 81, 81, 81, 81, 81, 81}, 48)) +
                     smf::track(name("Bass") + notes(2, {36, 38, 40, 41}, 192)) +
                     smf::track(name("Lead") + notes(4, {60, 62, 64, 65, 67}, 96)));
        QVERIFY(open(p));
        QCOMPARE(int(host.offered.size()), 3);
        QVERIFY(host.offered.at(0).isDrums());
        QCOMPARE(host.offered.at(0).instrument(), QStringLiteral("Drums"));
        QCOMPARE(host.offered.at(0).track, 1);
        QCOMPARE(host.preselected, 2);
        QCOMPARE(host.offered.at(2).name, QStringLiteral("Lead"));
        QCOMPARE(melody->sequence().name(), QStringLiteral("Lead"));
        QCOMPARE(keysOf(melody->sequence()), (QList<int>{60, 62, 64, 65, 67}));
    }

    void aFewStrayNotesAreNoTune()
    {
        // A single high count-in click on channel 3 loses to the long line below it.
        MidiImport import;
        MidiFile file;
        QVERIFY(file.openData(
            smf::header(0, 1, 96) +
            smf::track(notes(2, {96}, 24) +
                       notes(0, {60, 62, 64, 65, 67, 69, 71, 72, 71, 69, 67, 65}, 48))));
        QVERIFY(import.scan(file));
        QCOMPARE(int(import.candidates().size()), 2);
        QCOMPARE(import.candidates().at(size_t(import.preselected())).channel, 0);
    }

    void aDrumOnlyOrSilentFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("drums") << smf::header(0, 1, 96) + smf::track(notes(9, {36, 38}, 48))
                               << QStringLiteral("\n\nThe file holds only drums (channel 10): "
                                                 "there is no melody to take.");
        QTest::newRow("no notes") << smf::header(1, 1, 96) + smf::track(smf::tempo(0, 500000))
                                  << QStringLiteral("\n\nThe file has no notes to take as a "
                                                    "melody.");
        QTest::newRow("truncated track")
            << smf::header(1, 2, 96) + smf::track(smf::tempo(0, 500000)) +
                   smf::track(ev(0, {0x90, 60, 100}) + smf::bytes({0x00, 0xF0, 0x20, 1}), false)
            << QStringLiteral("\n\nThe track 1 was not loaded.");
    }

    void aDrumOnlyOrSilentFileIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        melody->sequence().insert(MidiEvent::note(0, 50, 100, 10));
        const QString p = save(QStringLiteral("refused.mid"), bytes);
        QVERIFY(!open(p));
        const QString error = ErrorLog::take();
        QVERIFY2(
            error.startsWith(QStringLiteral("The file was not loaded:\n\n\"%1\"%2").arg(p, reason)),
            qPrintable(error));
        QCOMPARE(host.offered.size(), size_t(0)); // nothing to choose from
    }

    void tempoMeterAndKeyComeFromTheFile()
    {
        // Format 0 at 96 per quarter: 100 bpm in 3/4, 150 bpm from bar 3; a key signature of
        // two flats in minor after the first bar.
        const QByteArray events = smf::tempo(0, 600000) + smf::meter(0, 3, 2) +
                                  smf::meta(288, 0x59, smf::bytes({0xFE, 1})) +
                                  smf::tempo(288, 400000) + notes(0, {60, 62, 64}, 96) +
                                  smf::meta(0, 0x59, smf::bytes({2, 0}));
        QVERIFY(
            open(save(QStringLiteral("tempo.mid"), smf::header(0, 1, 96) + smf::track(events))));
        const TempoNode* first = session.scale().firstNode();
        QVERIFY(first && first->next && !first->next->next);
        QCOMPARE(first->tempo, 100.0f);
        QCOMPARE(int(first->beatsPerBar), 3);
        QCOMPARE(int(first->beatUnit), 2);
        QCOMPARE(first->next->tempo, 150.0f);
        QCOMPARE(int(first->next->bar), 2);
        QCOMPARE(keys.key, smf::bytes({0xFE, 1})); // the first one, not the later one
    }

    void aKeySignatureOutsideTheFirstTrackIsTheSongsKey()
    {
        const QString p =
            save(QStringLiteral("key.mid"),
                 smf::header(1, 2, 96) + smf::track(smf::tempo(0, 500000)) +
                     smf::track(smf::meta(0, 0x59, smf::bytes({1, 0})) + notes(0, {67, 69}, 96)));
        keys.key = "stale";
        QVERIFY(open(p));
        QCOMPARE(keys.key, smf::bytes({1, 0}));
        QVERIFY(melody->sequence().count() == 2); // the signature is not a melody event
    }

    void chordTextsAndMarkersStayOutOfTheMelody()
    {
        const QByteArray events =
            smf::meta(0, 0x01, "{Am") + smf::meta(0, 0x06, "Verse") + smf::meta(0, 0x05, "la") +
            smf::meta(0, 0x02, "(c) them") + smf::bytes({0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7}) +
            ev(0, {0xB0, 64, 127}) + notes(0, {60}, 96) + smf::meta(0, 0x01, "C");
        QVERIFY(
            open(save(QStringLiteral("texts.mid"), smf::header(0, 1, 96) + smf::track(events))));
        QStringList kinds;
        for (const MidiEvent* e = melody->sequence().first(); e; e = e->next())
            kinds << QString::number(e->status, 16) + QLatin1Char('/') +
                         QString::number(e->metaType, 16);
        QCOMPARE(kinds, (QStringList{"ff/5", "b0/0", "90/0"}));
        // The melody lives in memory only: a meter change does not read the file back.
        session.setMeter(2, 3, 2);
        session.afterMeterChange();
        QCOMPARE(melody->sequence().count(), 3);
        QVERIFY(melody->filePath().isEmpty());
    }

    void aFormat2FileTakesItsFirstPattern()
    {
        const QString p = save(QStringLiteral("two.mid"),
                               smf::header(2, 2, 96) + smf::track(notes(0, {60, 62}, 96)) +
                                   smf::track(notes(0, {70, 72, 74}, 96)));
        QTest::ignoreMessage(
            QtInfoMsg, qPrintable(QStringLiteral("SongFile: %1 is a format 2 MIDI file: only its "
                                                 "first pattern is read")
                                      .arg(p)));
        QVERIFY(open(p));
        QCOMPARE(keysOf(melody->sequence()), (QList<int>{60, 62}));
    }
};

QTEST_GUILESS_MAIN(TestMidiImport)
#include "tst_midi_import.moc"
