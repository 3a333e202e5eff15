#include "lane_events.h"
#include "make_song.h"
#include "message_box.h"
#include "song_state.h"
#include "style_actions.h"
#include "style_loader.h"

#include "midi_clip.h"
#include "session.h"
#include "song_file.h"
#include "song_host.h"
#include "track.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <vector>

namespace {

// The window's song layout: an audio track, the melody track with its clip, the default style.
struct Song : public SongHost
{
    Session session;
    Track* audio = nullptr;
    Track* melodyTrack = nullptr;
    MidiClip* melody = nullptr;

    explicit Song(bool withAudioTrack = true)
    {
        if (withAudioTrack) {
            audio = new Track(&session, Track::AudioTrack);
            session.addTrack(audio);
        }
        melodyTrack = new Track(&session, Track::MidiTrack);
        session.addTrack(melodyTrack);
        melody = new MidiClip(&session);
        melodyTrack->addClip(melody);
        openStyleFlow(nullptr, session, QString(), melody);
    }
    SongState& state() { return *SongState::of(&session); }
    SongFile file() { return SongFile(&session, melodyTrack, melody, this, &state()); }

    // Opening a song loads its style the way the window does.
    void loadStyle(const QString& path) override
    {
        openStyleFlow(nullptr, session, path, melody);
    }
    void warning(const QString& text) override { QFAIL(qPrintable(text)); }
};

// Ode to Joy, sixteen bars of quarter notes with the usual dotted endings (C major, 960 tpq).
void writeOdeToJoy(MidiSequence& s)
{
    static const int tune[] = {64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 64, 62, 62, -1,
                               64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 62, 60, 60, -1,
                               62, 62, 64, 60, 62, 64, 65, 64, 60, 62, 64, 65, 64, 62, 60, 62,
                               55, -1, 64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 62, 60,
                               60, -1};
    uint32_t time = 0;
    for (int key : tune) {
        if (key >= 0)
            s.insert(MidiEvent::note(time, uint8_t(key), 96, 900));
        time += 960;
    }
    s.setLength(time);
}

struct LaneEvent
{
    uint32_t tick;
    int kind;
    QByteArray text;
    bool operator==(const LaneEvent&) const = default;
};

std::vector<LaneEvent> lanes(const MidiSequence& s)
{
    std::vector<LaneEvent> out;
    for (const MidiEvent* e = s.first(); e; e = e->next())
        if (const int kind = laneKind(e); kind == ChordLane || kind == SectionLane)
            out.push_back({e->time, kind, e->data()});
    // Lanes of different kinds at one tick may come back in either order.
    std::sort(out.begin(), out.end(), [](const LaneEvent& a, const LaneEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.kind < b.kind;
    });
    return out;
}

std::vector<QByteArray> eventsOf(const MidiSequence& s)
{
    std::vector<QByteArray> out;
    for (const MidiEvent* e = s.first(); e; e = e->next())
        out.push_back(QByteArray::number(e->time) + ' ' + QByteArray::number(e->status) + ' ' +
                      QByteArray::number(e->data1) + ' ' + QByteArray::number(e->data2) + ' ' +
                      QByteArray::number(e->duration));
    return out;
}

std::vector<std::vector<QByteArray>> arrangedEvents(SongState& song)
{
    std::vector<std::vector<QByteArray>> out;
    for (Track* track : song.arrangedTracks)
        out.push_back(eventsOf(static_cast<MidiClip*>(track->firstClip())->sequence()));
    return out;
}

} // namespace

class TestMakeSong : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withoutRecordingOrMelodyItWarns()
    {
        Song song(false);
        ScriptedAnswers answers;
        QVERIFY(!makeSong(nullptr, song.session, song.melody, MakeSongSource{}));
        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked()[0].title,
                 QStringLiteral("Warning: Make a Song from Melody - Cantova"));
        QVERIFY(answers.asked()[0].text.startsWith(
            QStringLiteral("To make a song you should record an audio track\n")));
    }

    void aChangedRecordingIsTranscribedFirst()
    {
        Song song;
        writeOdeToJoy(song.melody->sequence());
        int transcribed = 0;
        MakeSongSource source{true, true, [&]() -> MidiClip* {
                                  ++transcribed;
                                  return nullptr; // nothing came out: no song is made
                              }};
        QVERIFY(!makeSong(nullptr, song.session, song.melody, source));
        QCOMPARE(transcribed, 1);
        QVERIFY(song.state().arrangedTracks.size() == 1);

        // An unchanged recording with a melody goes straight to the chords.
        source.audioChanged = false;
        QVERIFY(makeSong(nullptr, song.session, song.melody, source));
        QCOMPARE(transcribed, 1);
        QVERIFY(findLaneEvent(song.melody->sequence(), 0, ChordLane));
    }

    void madeSongsComeBackFromTheirFile_data()
    {
        QTest::addColumn<QString>("style");
        const QDir styles(QStringLiteral(CANTOVA_STYLES_DIR));
        const QStringList files = styles.entryList({QStringLiteral("*.sty")}, QDir::Files);
        QVERIFY(files.size() >= 5);
        for (const QString& name : files)
            QTest::newRow(qPrintable(name)) << styles.filePath(name);
    }

    void madeSongsComeBackFromTheirFile()
    {
        QFETCH(QString, style);
        QTemporaryDir dir;
        const QString melodyPath = dir.filePath(QStringLiteral("melody.mid"));
        const QString songPath = dir.filePath(QStringLiteral("song.mid"));
        {
            Song scratch;
            writeOdeToJoy(scratch.melody->sequence());
            QVERIFY(scratch.file().saveSong(melodyPath));
        }

        Song made;
        ScriptedAnswers answers({QMessageBox::Yes}); // take a 3/4 or 6/8 style's meter
        QVERIFY(made.file().openSong(melodyPath));
        QVERIFY(openStyleFlow(nullptr, made.session, style, made.melody));
        QVERIFY(makeSong(nullptr, made.session, made.melody, MakeSongSource{}));
        SongState& before = made.state();
        QCOMPARE(before.key, QStringLiteral("Cmaj"));
        QVERIFY(!before.arrangedTracks.empty());
        const auto arranged = arrangedEvents(before);
        size_t notes = 0;
        for (const auto& track : arranged)
            notes += track.size();
        QVERIFY2(notes > 100, "the style plays under the whole melody");
        QVERIFY(made.file().saveSong(songPath));

        Song reopened;
        QVERIFY(reopened.file().openSong(songPath));
        SongState& after = reopened.state();
        QCOMPARE(after.key, before.key);
        QCOMPARE(after.keyFixed, before.keyFixed);
        QCOMPARE(after.stylePath, before.stylePath);
        QCOMPARE(after.styleName, before.styleName);
        QVERIFY(lanes(reopened.melody->sequence()) == lanes(made.melody->sequence()));
        QVERIFY(arrangedEvents(after) == arranged);
    }
};

QTEST_MAIN(TestMakeSong)
#include "tst_make_song.moc"
