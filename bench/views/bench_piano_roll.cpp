// Repainting the piano roll for a ten-minute melody of 3,000 notes with its chord and section
// lanes, at the largest zooms, as a share of a 16 ms frame. Runs headless.
#include "event_lane.h"
#include "lane_events.h"
#include "long_melody.h"
#include "midi_clip.h"
#include "note_view.h"
#include "piano_roll.h"
#include "session.h"
#include "track.h"

#include <QImage>
#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kBar = 3840;
constexpr double kFrameMs = 16.0;

/** The long melody with a chord per bar and a section every eight bars. */
struct LongSong : LongMelody
{
    LongSong()
    {
        MidiSequence& melody = clip->sequence();
        for (uint32_t bar = 0; bar < 300; ++bar) {
            setLaneEvent(melody, bar * kBar, ChordLane, QStringLiteral("Am7"));
            setLaneEvent(melody, bar * kBar, SuggestedChordsLane, QStringLiteral("C = 1.0"));
            if (bar % 8 == 0)
                setLaneEvent(melody, bar * kBar, SectionLane, QStringLiteral("Main A"));
        }
        melody.setLength(300 * kBar);
    }
};

/** Where the view stands: 0 at the start, 1 at the end of the song. */
void repaintRoll(benchmark::State& state, bool cachedGrid)
{
    LongSong song;
    PianoRoll roll(&song.session);
    roll.setClip(song.clip);
    roll.resize(1600, 900);
    roll.setTimeZoom(NoteEditor::kMaxZoom);
    roll.setHeightZoom(NoteEditor::kMaxZoom);
    roll.scrollToY(roll.rowTop(80) + roll.yOffset());
    roll.scrollToX(int(roll.scale().tickToPixel(uint32_t(state.range(0)) * 290 * kBar)));
    QImage notes(roll.noteView()->size(), QImage::Format_ARGB32_Premultiplied);
    QImage lanes(roll.eventLane()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        if (!cachedGrid)
            roll.noteView()->invalidate();
        roll.noteView()->render(&notes);
        roll.eventLane()->render(&lanes);
        benchmark::ClobberMemory();
    }
    state.counters["share_of_16ms"] =
        benchmark::Counter(double(state.iterations()) * (kFrameMs / 1000.0),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void fullRepaint(benchmark::State& state)
{
    repaintRoll(state, false);
}
void playPositionRepaint(benchmark::State& state)
{
    repaintRoll(state, true);
}
BENCHMARK(fullRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(playPositionRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
