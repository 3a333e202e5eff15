#include "arrangement.h"
#include "lane_events.h"
#include "melody_builder.h"
#include "phrase_sections.h"
#include "section_placement.h"
#include "song_state.h"
#include "style_loader.h"

#include "clip.h"
#include "midi_clip.h"
#include "session.h"
#include "track.h"

#include <QTest>
#include <map>

using Mark = PhraseSections::Mark;

namespace {

constexpr uint32_t kBar = MelodyBuilder::kBar;

// An 8-bar phrase starting at bar `at`: a tune of eighths from `base`, then a long note and a
// short rest at its end.
void phrase(MidiSequence& melody, uint32_t at, int base, uint8_t velocity = 90)
{
    for (uint32_t bar = 0; bar < 7; ++bar) {
        for (uint32_t beat = 0; beat < 4; ++beat) {
            const int key = base + int((bar * 3 + beat * 2) % 7);
            melody.insert(
                MidiEvent::note((at + bar) * kBar + beat * 960, uint8_t(key), velocity, 480));
        }
    }
    melody.insert(MidiEvent::note((at + 7) * kBar, uint8_t(base), velocity, kBar - 480));
}

// The section marks of a melody, as bars and names.
std::vector<Mark> sectionsOf(const MidiSequence& melody)
{
    std::vector<Mark> out;
    for (const MidiEvent* e = melody.first(); e; e = e->next())
        if (laneKind(e) == SectionLane)
            out.push_back({e->time / kBar, laneText(e)});
    return out;
}

// A one-track drum style whose every section plays one note per beat of its own pitch, one bar
// long (the intro too), so each bar of an arrangement tells which section it played.
std::vector<std::unique_ptr<MidiSequence>> labelledStyle(bool withFills = true)
{
    std::vector<std::unique_ptr<MidiSequence>> tracks;
    tracks.push_back(std::make_unique<MidiSequence>(QStringLiteral("Drums"), 9, 480));
    MidiSequence& t = *tracks.back();
    const std::pair<const char*, int> sections[] = {
        {"Intro A", 40},    {"Main A", 50},     {"Main B", 52},     {"Fill In AA", 54},
        {"Fill In AB", 55}, {"Fill In BB", 57}, {"Fill In BA", 59}, {"Ending A", 60}};
    uint32_t at = 1920; // bar 0 stays empty
    for (const auto& [name, key] : sections) {
        if (!withFills && QLatin1String(name).startsWith(QLatin1String("Fill")))
            continue;
        setLaneEvent(t, at, SectionLane, QLatin1String(name));
        for (uint32_t beat = 0; beat < 4; ++beat)
            t.insert(MidiEvent::note(at + beat * 480, uint8_t(key), 100, 240));
        at += 1920;
    }
    t.setLength(at);
    return tracks;
}

struct Song
{
    Session session;
    MidiClip* melody = nullptr;
    SongState* state = nullptr;

    explicit Song(bool withFills = true)
    {
        session.scale().setTicksPerBeat(960);
        auto* track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        melody = new MidiClip(&session);
        melody->sequence().setResolution(960);
        track->addClip(melody);
        state = SongState::of(&session);
        state->styleTracks = labelledStyle(withFills);
        state->styleRules.resize(1);
        createArrangedTracks(session);
    }
    MidiSequence& seq() { return melody->sequence(); }
    const MidiSequence& arranged()
    {
        return static_cast<MidiClip*>(state->arrangedTracks.at(0)->firstClip())->sequence();
    }
    // The key the arrangement plays first in a bar; 0 when the bar is silent.
    int keyAtBar(uint32_t bar)
    {
        for (const MidiEvent* e = arranged().first(); e; e = e->next())
            if (e->isNote() && e->time == bar * kBar)
                return e->data1;
        return 0;
    }
};

} // namespace

/** The "auto" section placement: phrases of the melody choose main parts and fills. */
class TestPhraseSections : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoRepeatedPhrasePairsMakeAVerseAndAChorus()
    {
        MidiSequence melody(QString(), 0, 960);
        phrase(melody, 0, 60);
        phrase(melody, 8, 60);
        phrase(melody, 16, 67);
        phrase(melody, 24, 67);
        QCOMPARE(PhraseSections::groupBars(melody, kBar, 0, 32), 8u);
        const std::vector<Mark> expected{{0, "Main A"},      {7, "Fill In AA"}, {8, "Main A"},
                                         {15, "Fill In AB"}, {16, "Main B"},    {23, "Fill In BB"},
                                         {24, "Main B"},     {31, "Fill In BA"}};
        QCOMPARE(PhraseSections::place(melody, kBar, 0, 32), expected);
    }

    void aLouderRepeatIsAChorusAndAContrastThatNeverReturnsIsNot()
    {
        MidiSequence loud(QString(), 0, 960);
        phrase(loud, 0, 60);
        phrase(loud, 8, 60, 120);
        const std::vector<Mark> louder{
            {0, "Main A"}, {7, "Fill In AB"}, {8, "Main B"}, {15, "Fill In BA"}};
        QCOMPARE(PhraseSections::place(loud, kBar, 0, 16), louder);

        MidiSequence bridge(QString(), 0, 960);
        phrase(bridge, 0, 60);
        phrase(bridge, 8, 64); // heard once: the verse goes on
        phrase(bridge, 16, 60);
        const std::vector<Mark> verse{{0, "Main A"},      {7, "Fill In AA"}, {8, "Main A"},
                                      {15, "Fill In AA"}, {16, "Main A"},    {23, "Fill In AA"}};
        QCOMPARE(PhraseSections::place(bridge, kBar, 0, 24), verse);
    }

    void shortSongsAndFourBarPhrases()
    {
        // Under 16 bars the groups are 4 bars; a 2-bar song gets its fill in the last bar.
        MidiSequence tiny(QString(), 0, 960);
        tiny.insert(MidiEvent::note(0, 60, 90, 2 * kBar));
        QCOMPARE(PhraseSections::groupBars(tiny, kBar, 0, 2), 4u);
        QCOMPARE(PhraseSections::place(tiny, kBar, 0, 2),
                 (std::vector<Mark>{{0, "Main A"}, {1, "Fill In AA"}}));
        QCOMPARE(PhraseSections::place(tiny, kBar, 3, 4), (std::vector<Mark>{{3, "Main A"}}));
        QVERIFY(PhraseSections::place(tiny, kBar, 4, 4).empty());

        // 4-bar phrases that repeat while 8-bar groups do not: P Q P R, each ending on a long note.
        MidiSequence fours(QString(), 0, 960);
        const int bases[] = {60, 64, 60, 55};
        for (uint32_t g = 0; g < 4; ++g) {
            for (uint32_t bar = 0; bar < 3; ++bar)
                for (uint32_t beat = 0; beat < 4; ++beat)
                    fours.insert(MidiEvent::note((g * 4 + bar) * kBar + beat * 960,
                                                 uint8_t(bases[g] + int(bar + beat)), 90, 480));
            fours.insert(MidiEvent::note((g * 4 + 3) * kBar, uint8_t(bases[g]), 90, kBar));
        }
        QCOMPARE(PhraseSections::groupBars(fours, kBar, 0, 16), 4u);
    }

    // A 32-bar melody of two repeated 8-bar phrase pairs, after a one-bar intro: the placement
    // marks it, keeps intro and ending, and the arrangement plays every mark's section.
    void autoPlacementIsPlacedAndPlayed()
    {
        Song song;
        QCOMPARE(song.state->sectionPlacement, SongState::SectionPlacement::Auto);
        phrase(song.seq(), 0, 60);
        phrase(song.seq(), 8, 60);
        phrase(song.seq(), 16, 67);
        phrase(song.seq(), 24, 67);
        setLaneEvent(song.seq(), 0, ChordLane, QStringLiteral("C"));
        placeSections(song.session, *song.melody);

        // The melody moved one bar for the intro; the ending follows its last bar.
        const std::vector<Mark> expected{{0, "Intro A"},     {1, "Main A"},      {8, "Fill In AA"},
                                         {9, "Main A"},      {16, "Fill In AB"}, {17, "Main B"},
                                         {24, "Fill In BB"}, {25, "Main B"},     {32, "Fill In BA"},
                                         {33, "Ending A"}};
        QCOMPARE(sectionsOf(song.seq()), expected);
        QCOMPARE(song.seq().length(), 34 * kBar);

        Arrangement(song.session, song.seq())
            .arrangeRange(nullptr, 0, song.seq().length(), SectionLane);
        const std::map<QString, int> keys{
            {"Intro A", 40},    {"Main A", 50},     {"Main B", 52},     {"Fill In AA", 54},
            {"Fill In AB", 55}, {"Fill In BB", 57}, {"Fill In BA", 59}, {"Ending A", 60}};
        for (const Mark& mark : expected)
            QCOMPARE(song.keyAtBar(mark.bar), keys.at(mark.name));
        QCOMPARE(song.keyAtBar(12), keys.at("Main A")); // a main part loops between its marks
        QCOMPARE(song.keyAtBar(20), keys.at("Main B"));

        // The simple placement keeps one "Main A" from the melody to the ending.
        song.state->sectionPlacement = SongState::SectionPlacement::Simple;
        placeSections(song.session, *song.melody);
        QCOMPARE(sectionsOf(song.seq()),
                 (std::vector<Mark>{{0, "Intro A"}, {1, "Main A"}, {33, "Ending A"}}));
    }

    void aStyleWithoutFillsGetsItsMainPartsOnly()
    {
        Song song(false);
        phrase(song.seq(), 0, 60);
        phrase(song.seq(), 8, 60);
        phrase(song.seq(), 16, 67);
        phrase(song.seq(), 24, 67);
        placeSections(song.session, *song.melody);
        QCOMPARE(
            sectionsOf(song.seq()),
            (std::vector<Mark>{{0, "Intro A"}, {1, "Main A"}, {17, "Main B"}, {33, "Ending A"}}));
    }

    void aFixedSectionLaneIsLeftAsItIs()
    {
        Song song;
        phrase(song.seq(), 0, 60);
        phrase(song.seq(), 8, 67);
        phrase(song.seq(), 16, 67);
        setLaneEvent(song.seq(), 0, SectionLane, QStringLiteral("Main B"));
        setLaneEvent(song.seq(), 5 * kBar, SectionLane, QStringLiteral("Fill In BB"));
        song.seq().setLength(24 * kBar);
        song.state->sectionsFixed = true;
        placeSections(song.session, *song.melody);
        QCOMPARE(sectionsOf(song.seq()), (std::vector<Mark>{{0, "Main B"}, {5, "Fill In BB"}}));
        QCOMPARE(song.seq().length(), 24 * kBar);
        QCOMPARE(song.seq().first()->time, 0u); // nothing moved
    }

    void thePlacementTravelsWithTheSong()
    {
        SongState written;
        MidiSequence conductor;
        written.writeConductor(conductor);
        SongState read;
        read.sectionPlacement = SongState::SectionPlacement::Simple;
        QString path;
        QVERIFY(read.readConductor(conductor, path));
        QCOMPARE(read.sectionPlacement, SongState::SectionPlacement::Auto);

        written.sectionPlacement = SongState::SectionPlacement::Simple;
        MidiSequence simple;
        written.writeConductor(simple);
        QVERIFY(read.readConductor(simple, path));
        QCOMPARE(read.sectionPlacement, SongState::SectionPlacement::Simple);
        read.reset();
        QCOMPARE(read.sectionPlacement, SongState::SectionPlacement::Auto);
    }
};

QTEST_GUILESS_MAIN(TestPhraseSections)
#include "tst_phrase_sections.moc"
