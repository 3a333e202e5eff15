// Repainting the piano roll for a ten-minute melody of 3,000 notes with its chord and section
// lanes, at the largest zooms, as a share of a 16 ms frame. Runs headless.
#include "event_lane.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "note_view.h"
#include "piano_roll.h"
#include "session.h"
#include "track.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kBar = 3840;
constexpr double kFrameMs = 16.0;

/** A session whose melody clip holds 3,000 notes over 300 bars (ten minutes at 120 bpm). */
struct LongSong
{
    Session session;
    MidiClip* clip = nullptr;

    LongSong()
    {
        auto* track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        clip = new MidiClip(&session);
        track->addClip(clip);
        MidiSequence& melody = clip->sequence();
        uint32_t seed = 12345;
        uint32_t t = 0;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u; // the same melody every run
            const auto key = uint8_t(55 + (seed >> 16) % 24);
            const uint32_t length = 384;
            melody.insert(MidiEvent::note(t, key, 100, length));
            t += length;
        }
        for (uint32_t bar = 0; bar < 300; ++bar) {
            setLaneEvent(melody, bar * kBar, ChordLane, QStringLiteral("Am7"));
            setLaneEvent(melody, bar * kBar, SuggestedChordsLane, QStringLiteral("C = 1.0"));
            if (bar % 8 == 0)
                setLaneEvent(melody, bar * kBar, SectionLane, QStringLiteral("Main A"));
        }
        melody.setLength(300 * kBar);
        clip->setLength(44100 * 600);
        session.updateEnd(0);
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

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
