#include "arrangement.h"
#include "lane_events.h"
#include "pitch_mapping.h"
#include "section_placement.h"
#include "song_making.h"
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
        // A root a tritone above the source root moves the pattern up, not an octave down.
        QCOMPARE(over(QStringLiteral("F#")), (QList<int>{66, 70, 73, 78})); // F# A# C# F#
        QCOMPARE(over(QStringLiteral("Gb")), (QList<int>{66, 70, 73, 78}));
        // A tritone below, the other way round, moves down.
        QCOMPARE(mapPitch(66, QStringLiteral("C"), QStringLiteral("F#")), 60);
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

        // Style editors start the first section at tick 0, beside a set-up marker of their own
        // at the same tick (before or after it): that section plays.
        for (const bool setupFirst : {true, false}) {
            StyleBuilder atZero;
            MidiSequence& part = atZero.part(0);
            const QByteArray setup("SFF1");
            if (setupFirst)
                part.insert(MidiEvent::meta(0, MidiEvent::MetaMarker, setup));
            atZero.section(0, QStringLiteral("Main A"));
            if (!setupFirst)
                part.insert(MidiEvent::meta(0, MidiEvent::MetaMarker, setup));
            StyleBuilder::notes(part, 0, 480, {60, 64}, 480);
            atZero.endAt(1920);
            SongFixture other;
            other.useStyle(atZero);
            QVERIFY(styleMainSectionPlays(*other.state));
            other.seq().setLength(other.bar());
            other.chord(0, QStringLiteral("C"));
            other.arrangeAll();
            QCOMPARE(notesOf(other.arranged(0)), (std::vector<Note>{{0, 60, 960}, {960, 64, 960}}));
        }

        // A "Main A" without a note leaves the song silent, and the loader can tell.
        StyleBuilder silent;
        silent.part(0);
        silent.section(1920, QStringLiteral("Main A"));
        silent.endAt(3840);
        SongFixture quiet;
        quiet.useStyle(silent);
        QVERIFY(!styleMainSectionPlays(*quiet.state));
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

    void thePartTableGivesTheSourceRootAndTheNoteRange()
    {
        // A pattern written over G: G B D F#, as a part table says.
        StyleBuilder style;
        MidiSequence& part = style.part(1);
        style.section(1920, QStringLiteral("Main A"));
        StyleBuilder::notes(part, 1920, 0, {55, 59, 62, 66}, 480);
        style.endAt(3840);
        SongFixture song;
        song.useStyle(style);
        song.seq().setLength(song.bar());
        song.chord(0, QStringLiteral("C"));
        Arrangement arrangement(song.session, song.seq());
        MidiSequence& out = song.arranged(0);
        const MidiSequence& pattern = *song.state->styleTracks[0];
        auto keys = [&] {
            QList<int> list;
            for (const Note& n : notesOf(out))
                list << n.key;
            out.clearEvents();
            return list;
        };
        // Over C it moves up a fourth onto C E G, its major seventh onto the octave as a
        // pattern over C major seventh would.
        arrangement.renderSection(0, 1920, 3840, 0, song.bar(), pattern, out, {7, 0, 127});
        QCOMPARE(keys(), (QList<int>{60, 64, 67, 72}));
        // Without the table the pattern counts as written over C.
        arrangement.renderSection(0, 1920, 3840, 0, song.bar(), pattern, out);
        QCOMPARE(keys(), (QList<int>{55, 60, 62, 66}));
        // A range folds the notes into it by octaves; one narrower than an octave is no range.
        arrangement.renderSection(0, 1920, 3840, 0, song.bar(), pattern, out, {7, 60, 71});
        QCOMPARE(keys(), (QList<int>{60, 64, 67, 60}));
        arrangement.renderSection(0, 1920, 3840, 0, song.bar(), pattern, out, {7, 48, 62});
        QCOMPARE(keys(), (QList<int>{60, 52, 55, 60}));
        arrangement.renderSection(0, 1920, 3840, 0, song.bar(), pattern, out, {7, 0, 0});
        QCOMPARE(keys(), (QList<int>{60, 64, 67, 72}));
    }

    void barsCountBeatsOfTheMetersUnit_data()
    {
        QTest::addColumn<int>("beats");
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("tpq");
        QTest::addColumn<int>("ticks");
        QTest::newRow("4/4") << 4 << 2 << 960 << 3840;
        QTest::newRow("3/4") << 3 << 2 << 960 << 2880;
        QTest::newRow("6/8") << 6 << 3 << 960 << 2880;
        QTest::newRow("10/8") << 10 << 3 << 960 << 4800;
        QTest::newRow("7/8 at 480") << 7 << 3 << 480 << 1680;
        QTest::newRow("3/8") << 3 << 3 << 960 << 1440;
        QTest::newRow("2/2") << 2 << 1 << 960 << 3840;
        QTest::newRow("12/16 at 96") << 12 << 4 << 96 << 288;
        QTest::newRow("0 beats count as 1") << 0 << 2 << 960 << 960;
    }
    void barsCountBeatsOfTheMetersUnit()
    {
        QFETCH(int, beats);
        QFETCH(int, unit);
        QFETCH(int, tpq);
        QFETCH(int, ticks);
        QCOMPARE(meterBarTicks(uint32_t(beats), uint32_t(unit), uint32_t(tpq)), uint32_t(ticks));
        Session session;
        session.scale().setTicksPerBeat(uint16_t(tpq));
        session.setMeter(2, uint16_t(beats), uint16_t(unit));
        QCOMPARE(songBarTicks(session), uint32_t(ticks));
    }

    void anEighthNoteMeterPlacesWholeBarsOfItsUnit()
    {
        // 10/8 at tpq 480: a bar of 2400 style ticks. One bar of intro, two of main, one ending.
        StyleBuilder style;
        MidiSequence& part = style.part(0);
        style.section(2400, QStringLiteral("Intro A"));
        style.section(4800, QStringLiteral("Main A"));
        style.section(9600, QStringLiteral("Ending A"));
        StyleBuilder::notes(part, 2400, 2400, {60, 60, 60, 60}, 240);
        style.endAt(12000);

        SongFixture song;
        song.session.setMeter(2, 10, 3);
        const uint32_t bar = 4800; // five quarters of 960
        QCOMPARE(songBarTicks(song.session), bar);
        song.useStyle(style);
        song.seq().insert(MidiEvent::note(2 * bar + 480, 64, 100, bar)); // bars 2 and 3
        placeSections(song.session, *song.melody);
        QCOMPARE(notesOf(song.seq()).front().time, bar + 480);
        QCOMPARE(laneText(findLaneEvent(song.seq(), 0, SectionLane)), QStringLiteral("Intro A"));
        QCOMPARE(laneText(findLaneEvent(song.seq(), bar, SectionLane)), QStringLiteral("Main A"));
        QCOMPARE(laneText(findLaneEvent(song.seq(), 3 * bar, SectionLane)),
                 QStringLiteral("Ending A"));
        QCOMPARE(song.seq().length(), 4 * bar);

        // The intro plays its one bar: the pattern at the bar line, once.
        song.arrangeAll();
        QCOMPARE(notesOf(song.arranged(0)).front(), (Note{0, 60, 480}));
        QCOMPARE(notesOf(song.arranged(0)).at(1).time, bar);
    }

    void theDefaultStylePlaysEveryBeatOfAnEighthNoteMeter()
    {
        SongFixture song;
        song.session.setMeter(2, 6, 3);
        loadDefaultStyle(song.session);
        const MidiSequence& piano = *song.state->styleTracks.front();
        // Six eighths (480 ticks each) make the bar; bar 0 is empty, bars 1 to 4 the pattern.
        QCOMPARE(laneText(findLaneEvent(piano, 2880, SectionLane)), QStringLiteral("Main A"));
        QCOMPARE(piano.length(), 5u * 2880u);
        const std::vector<Note> notes = notesOf(piano);
        QCOMPARE(notes.size(), size_t(4 * 6 * 4));
        QCOMPARE(notes.front(), (Note{2880, 48, 480}));
        QCOMPARE(notes.at(4), (Note{2880 + 480, 48, 480}));
        QCOMPARE(notes.back().time, 4u * 2880u + 5u * 480u);
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
        // The simple placement: one "Main A" between intro and ending (tst_phrase_sections has
        // the auto placement).
        song.state->sectionPlacement = SongState::SectionPlacement::Simple;
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

        // A major key's intro chord is the dominant seventh on its tonic, spelled as the key
        // spells it.
        const QList<QPair<QString, QString>> tonics{
            {"Fmaj", "F7"},   {"Abmaj", "Ab7"}, {"Bbmin", "Bbm"}, {"C#min", "C#m"},
            {"G#min", "G#m"}, {"D#min", "D#m"}, {"Bmaj", "B7"}};
        for (const auto& [key, chord] : tonics) {
            song.state->key = key;
            placeSections(song.session, *song.melody);
            QCOMPARE(laneText(findLaneEvent(song.seq(), 0, ChordLane)), chord);
        }

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
