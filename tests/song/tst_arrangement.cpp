#include "arrangement.h"
#include "lane_events.h"
#include "pitch_mapping.h"
#include "section_placement.h"
#include "song_state.h"
#include "style_loader.h"

#include "clip.h"
#include "command_list.h"
#include "midi_clip.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"

#include <QTest>
#include <memory>
#include <vector>

// Builds a style in memory: track 0 carries the section markers; every track is one part.
struct StyleBuilder
{
    uint16_t tpq = 480;
    std::vector<std::unique_ptr<MidiSequence>> tracks;

    MidiSequence& part(uint16_t channel)
    {
        tracks.push_back(std::make_unique<MidiSequence>(
            QStringLiteral("Part %1").arg(tracks.size() + 1), channel, tpq));
        return *tracks.back();
    }
    void section(uint32_t tick, const QString& name)
    {
        setLaneEvent(*tracks.front(), tick, SectionLane, name);
    }
    static void notes(MidiSequence& track, uint32_t from, uint32_t step,
                      std::initializer_list<int> keys, uint32_t length)
    {
        for (int key : keys) {
            track.insert(MidiEvent::note(from, uint8_t(key), 100, length));
            from += step;
        }
    }
    void endAt(uint32_t tick)
    {
        for (auto& t : tracks)
            t->setLength(tick);
    }
};

// A session laid out as the main window makes it: an audio track, the melody track with its
// clip, and one arranged track per style part.
struct SongFixture
{
    Session session;
    Track* audio = nullptr;
    MidiClip* melody = nullptr;
    SongState* state = nullptr;

    explicit SongFixture(uint16_t tpq = 960)
    {
        session.scale().setTicksPerBeat(tpq);
        audio = new Track(&session, Track::AudioTrack);
        session.addTrack(audio);
        auto* track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        melody = new MidiClip(&session);
        melody->sequence().setResolution(tpq);
        track->addClip(melody);
        state = SongState::of(&session);
    }
    uint32_t bar() { return 4u * session.scale().ticksPerBeat(); }
    MidiSequence& seq() { return melody->sequence(); }
    void useStyle(StyleBuilder& style)
    {
        state->styleTracks = std::move(style.tracks);
        createArrangedTracks(session);
    }
    MidiSequence& arranged(size_t i)
    {
        return static_cast<MidiClip*>(state->arrangedTracks.at(i)->firstClip())->sequence();
    }
    void chord(uint32_t tick, const QString& name) { setLaneEvent(seq(), tick, ChordLane, name); }
    void section(uint32_t tick, const QString& name)
    {
        setLaneEvent(seq(), tick, SectionLane, name);
    }
    void arrangeAll()
    {
        Arrangement(session, seq()).arrangeRange(nullptr, 0, seq().length(), SectionLane);
    }
};

struct Note
{
    uint32_t time;
    int key;
    uint32_t duration;
    bool operator==(const Note&) const = default;
};

static std::vector<Note> notesOf(const MidiSequence& s)
{
    std::vector<Note> out;
    for (const MidiEvent* e = s.first(); e; e = e->next())
        if (e->isNote())
            out.push_back({e->time, e->data1, e->duration});
    return out;
}

namespace QTest {
template <>
char* toString(const Note& n)
{
    return qstrdup(QByteArray::number(n.time) + ":" + QByteArray::number(n.key) + "/" +
                   QByteArray::number(n.duration));
}
} // namespace QTest

class TestArrangement : public QObject
{
    Q_OBJECT

    // One bar of C E G B quarters (tpq 480) in "Main A" at bar 1, and a drum part on channel 9
    // with a kick on beats 1 and 3.
    static StyleBuilder oneBarStyle()
    {
        StyleBuilder style;
        MidiSequence& pitched = style.part(0);
        MidiSequence& drums = style.part(9);
        style.section(1920, QStringLiteral("Main A"));
        StyleBuilder::notes(pitched, 1920, 480, {60, 64, 67, 71}, 480);
        StyleBuilder::notes(drums, 1920, 960, {36, 36}, 120);
        style.endAt(3840);
        return style;
    }

private Q_SLOTS:
    void mapPitchMovesThePatternOntoTheChord()
    {
        const QString cmaj7(kDefaultSourceChord);
        auto over = [&](const QString& chord) {
            QList<int> out;
            for (int key : {60, 64, 67, 71})
                out << mapPitch(key, chord, cmaj7);
            return out;
        };
        QCOMPARE(over(QStringLiteral("Am")), (QList<int>{57, 60, 64, 69}));   // A C E A
        QCOMPARE(over(QStringLiteral("G7")), (QList<int>{55, 59, 62, 65}));   // G B D F
        QCOMPARE(over(QStringLiteral("Bb")), (QList<int>{58, 62, 65, 70}));   // Bb D F Bb
        QCOMPARE(over(QStringLiteral("C")), (QList<int>{60, 64, 67, 72}));    // B goes up to C
        // No chord, the reserved names and unreadable names leave the pattern as written.
        for (const char* name : {"", "Drums", "Empty", "Empty bar", "Hm7", "Cxyz"})
            QCOMPARE(over(QString::fromLatin1(name)), (QList<int>{60, 64, 67, 71}));
        // An unreadable source chord counts as the default one.
        QCOMPARE(mapPitch(64, QStringLiteral("Am"), QStringLiteral("??")), 60);
        // A pattern written over G7 moves down a tone for F7.
        QCOMPARE(mapPitch(55, QStringLiteral("F7"), QStringLiteral("G7")), 53);
        // The result stays a MIDI key: up an octave from below 0, down octaves from above 127.
        QCOMPARE(mapPitch(1, QStringLiteral("Am"), cmaj7), 10);
        QCOMPARE(mapPitch(127, QStringLiteral("D"), cmaj7), 117);
    }

    void chordsDecideWhatPlays()
    {
        SongFixture song;
        StyleBuilder style = oneBarStyle();
        song.useStyle(style);
        song.seq().setLength(5 * song.bar());
        song.section(0, QStringLiteral("Main A"));

        song.arrangeAll(); // no chord at all: no accompaniment
        QVERIFY(song.arranged(0).isEmpty());
        QVERIFY(song.arranged(1).isEmpty());

        // The first chord in bar 3: silent before it, then C E G C on quarters.
        song.chord(3 * song.bar(), QStringLiteral("C"));
        song.arrangeAll();
        const uint32_t b3 = 3 * song.bar();
        const std::vector<Note> expected{{b3, 60, 960},        {b3 + 960, 64, 960},
                                         {b3 + 1920, 67, 960}, {b3 + 2880, 72, 960},
                                         {b3 + 3840, 60, 960}, {b3 + 4800, 64, 960},
                                         {b3 + 5760, 67, 960}, {b3 + 6720, 72, 960}};
        QCOMPARE(notesOf(song.arranged(0)), expected);
        QCOMPARE(notesOf(song.arranged(1)).front(), (Note{b3, 36, 240}));
        QCOMPARE(song.arranged(1).count(), 4);

        // "Drums" lets only the drum part play, "Empty" silences both, an unreadable chord
        // keeps the rhythm going without harmony.
        for (const char* name : {"Drums", "Empty", "Hm7"}) {
            song.chord(3 * song.bar(), QString::fromLatin1(name));
            song.arrangeAll();
            QVERIFY2(song.arranged(0).isEmpty(), name);
            QCOMPARE(song.arranged(1).count(), QString::fromLatin1(name) == "Empty" ? 0 : 4);
        }
    }

    void aChordChangeInsideThePatternTakesEffectAtItsTick()
    {
        SongFixture song;
        StyleBuilder style = oneBarStyle();
        song.useStyle(style);
        song.seq().setLength(2 * song.bar());
        song.chord(0, QStringLiteral("C"));
        song.chord(900, QStringLiteral("Am"));  // two changes between pattern notes ...
        song.chord(950, QStringLiteral("G7"));  // ... the later one is in effect at beat 2
        song.chord(1920, QStringLiteral("Bb"));
        song.arrangeAll();
        const std::vector<Note> notes = notesOf(song.arranged(0));
        const std::vector<Note> firstBar(notes.begin(), notes.begin() + 4);
        QCOMPARE(firstBar, (std::vector<Note>{{0, 60, 960}, {960, 59, 960}, {1920, 65, 960},
                                              {2880, 70, 960}}));
    }

    void aLongSongSectionLoopsTheStyleSection()
    {
        SongFixture song;
        StyleBuilder style = oneBarStyle();
        song.useStyle(style);
        song.seq().setLength(4 * song.bar());
        song.chord(0, QStringLiteral("C"));
        song.arrangeAll(); // no section marker at all: "Main A" over the whole song
        const std::vector<Note> notes = notesOf(song.arranged(0));
        QCOMPARE(notes.size(), size_t(16));
        for (size_t i = 0; i < notes.size(); ++i)
            QCOMPARE(notes[i].time, uint32_t(i) * 960);
        QCOMPARE(notes[15].key, 72);
    }

    void aLaneEditRebuildsItsSpanAsAWholeRebuildWould()
    {
        // A two-bar pattern of eight different notes, so an entry point shows in the pitches.
        StyleBuilder style;
        MidiSequence& part = style.part(0);
        style.section(1920, QStringLiteral("Main A"));
        style.section(5760, QStringLiteral("Main B"));
        StyleBuilder::notes(part, 1920, 480, {48, 50, 52, 53, 55, 57, 59, 60}, 240);
        StyleBuilder::notes(part, 5760, 480, {72, 74}, 240);
        style.endAt(6720);

        SongFixture song;
        song.useStyle(style);
        song.seq().setLength(6 * song.bar());
        song.section(0, QStringLiteral("Main A"));
        song.section(4 * song.bar(), QStringLiteral("Main B"));
        song.chord(0, QStringLiteral("C"));
        song.chord(2 * song.bar(), QStringLiteral("F"));
        song.arrangeAll();

        // Change the chord in bar 1, in the middle of the song section and of the pattern.
        const uint32_t edit = song.bar();
        MidiEvent* chord = setLaneEvent(song.seq(), edit, ChordLane, QStringLiteral("Am"));
        Arrangement(song.session, song.seq()).arrangeRange(chord, edit, 0, ChordLane);
        const std::vector<Note> partial = notesOf(song.arranged(0));
        // The first note after the edit is the pattern's fifth (G over C becomes E over Am).
        const auto first = std::find_if(partial.begin(), partial.end(),
                                        [&](const Note& n) { return n.time >= edit; });
        QCOMPARE(*first, (Note{edit, 52, 480}));
        song.arrangeAll();
        QCOMPARE(partial, notesOf(song.arranged(0)));

        // Deleting the "Main B" section marker rebuilds from its tick to the end of the song.
        setLaneEvent(song.seq(), 4 * song.bar(), SectionLane, QString());
        Arrangement(song.session, song.seq()).arrangeRange(nullptr, 4 * song.bar(), 0, SectionLane);
        const std::vector<Note> afterDelete = notesOf(song.arranged(0));
        song.arrangeAll();
        QCOMPARE(afterDelete, notesOf(song.arranged(0)));
        QCOMPARE(afterDelete.back().key, 65); // bars 4 and 5 continue "Main A" over F
    }

    void sectionLookupAndItsFallbacks()
    {
        StyleBuilder style = oneBarStyle();
        SongFixture song;
        song.useStyle(style);
        song.seq().setLength(song.bar());
        song.chord(0, QStringLiteral("C"));
        song.section(0, QStringLiteral("Fill In BA")); // not in the style: "Main A" plays
        song.arrangeAll();
        QCOMPARE(song.arranged(0).count(), 4);

        // A style whose only "Main A" marker sits at tick 0 has no usable section: silence.
        StyleBuilder broken;
        MidiSequence& part = broken.part(0);
        broken.section(0, QStringLiteral("Main A"));
        StyleBuilder::notes(part, 0, 480, {60, 64}, 480);
        broken.endAt(1920);
        SongFixture other;
        other.useStyle(broken);
        other.seq().setLength(other.bar());
        other.chord(0, QStringLiteral("C"));
        other.arrangeAll();
        QVERIFY(other.arranged(0).isEmpty());
    }

    void styleTicksAreConvertedToTheSongResolution()
    {
        StyleBuilder style; // tpq 480
        MidiSequence& part = style.part(0);
        style.section(1920, QStringLiteral("Main A"));
        part.insert(MidiEvent::note(1920 + 240, 60, 90, 120));
        style.endAt(3840);
        SongFixture song(96);
        song.useStyle(style);
        song.seq().setLength(song.bar());
        song.chord(0, QStringLiteral("D"));
        song.arrangeAll();
        QCOMPARE(notesOf(song.arranged(0)), (std::vector<Note>{{48, 62, 24}}));
        QCOMPARE(song.arranged(0).first()->data2, uint8_t(90));
    }

    void theSongEndCutsWhatALongerArrangementLeft()
    {
        SongFixture song;
        StyleBuilder style = oneBarStyle();
        song.useStyle(style);
        song.seq().setLength(4 * song.bar());
        song.section(0, QStringLiteral("Main A"));
        song.section(2 * song.bar(), QStringLiteral("Main A"));
        song.chord(0, QStringLiteral("C"));
        song.arrangeAll();
        song.seq().setLength(2 * song.bar());
        song.arrangeAll();
        QCOMPARE(notesOf(song.arranged(0)).back().time, 2 * song.bar() - 960);
        QVERIFY(song.session.endFrame() > 0);
    }

    void placeSectionsMakesRoomForTheIntro()
    {
        StyleBuilder style;
        MidiSequence& part = style.part(0);
        style.section(1920, QStringLiteral("Intro A")); // 2 bars of 4/4 at tpq 480
        style.section(5760, QStringLiteral("Main A"));
        style.section(7680, QStringLiteral("Ending A")); // 1 bar
        StyleBuilder::notes(part, 1920, 1920, {60, 60, 60, 60}, 480);
        style.endAt(9600);

        SongFixture song;
        song.useStyle(style);
        song.state->key = QStringLiteral("Emin");
        const uint32_t bar = song.bar();
        song.seq().insert(MidiEvent::note(5 * bar, 64, 100, 960));
        song.seq().insert(MidiEvent::note(7 * bar + 960, 67, 100, 960));
        song.chord(5 * bar, QStringLiteral("Em"));
        song.section(6 * bar, QStringLiteral("Main B")); // replaced by the placed sections
        // A recording starting at 0 loses the three bars before the melody's first bar.
        auto* recording = new Clip();
        recording->setLength(30 * 44100);
        song.audio->addClip(recording);
        const uint32_t threeBars = song.session.scale().tickToFrame(3 * bar);

        placeSections(song.session, *song.melody);
        QCOMPARE(notesOf(song.seq()).front().time, 2 * bar);
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, SectionLane)), QStringLiteral("Intro A"));
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, ChordLane)), QStringLiteral("Em"));
        QCOMPARE(laneText(findLaneEvent(song.seq(), 2 * bar, ChordLane)), QStringLiteral("Em"));
        QCOMPARE(laneText(findLaneEvent(song.seq(), 2 * bar, SectionLane)), QStringLiteral("Main A"));
        // The last note ends in bar 4: "Ending A" in bar 5, one bar long.
        QCOMPARE(laneText(findLaneEvent(song.seq(), 5 * bar, SectionLane)),
                 QStringLiteral("Ending A"));
        int sections = 0;
        for (const MidiEvent* e = song.seq().first(); e; e = e->next())
            sections += laneKind(e) == SectionLane;
        QCOMPARE(sections, 3);
        QCOMPARE(song.seq().length(), 6 * bar);
        QCOMPARE(recording->start(), 0u);
        QCOMPARE(recording->offset(), threeBars);
        QCOMPARE(recording->length(), 30u * 44100 - threeBars);
        QCOMPARE(song.session.commands().current()->name(), QStringLiteral("clip resize"));
        song.session.commands().revert();
        QCOMPARE(recording->offset(), 0u);
        QCOMPARE(recording->length(), 30u * 44100);

        // A major key's intro chord is the dominant seventh on its tonic.
        song.state->key = QStringLiteral("Fmaj");
        placeSections(song.session, *song.melody);
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, ChordLane)), QStringLiteral("F7"));

        // Sections the user fixed stay.
        song.state->sectionsFixed = true;
        setLaneEvent(song.seq(), bar, SectionLane, QStringLiteral("Main B"));
        placeSections(song.session, *song.melody);
        QCOMPARE(laneText(findLaneEvent(song.seq(), bar, SectionLane)), QStringLiteral("Main B"));
    }

    void placeSectionsMovesAMelodyLaterForALongIntro()
    {
        StyleBuilder style;
        MidiSequence& part = style.part(0);
        style.section(1920, QStringLiteral("Intro A"));
        style.section(9600, QStringLiteral("Main A")); // a four-bar intro
        StyleBuilder::notes(part, 1920, 1920, {60}, 480);
        style.endAt(11520);
        SongFixture song;
        song.useStyle(style);
        song.seq().insert(MidiEvent::note(960, 62, 100, 960)); // in bar 0
        auto* recording = new Clip();
        recording->setLength(44100);
        song.audio->addClip(recording);
        placeSections(song.session, *song.melody);
        QCOMPARE(notesOf(song.seq()).front().time, 4 * song.bar() + 960);
        QCOMPARE(recording->start(), song.session.scale().tickToFrame(4 * song.bar()));
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, ChordLane)), QStringLiteral("C7"));
    }
};

QTEST_GUILESS_MAIN(TestArrangement)
#include "tst_arrangement.moc"
