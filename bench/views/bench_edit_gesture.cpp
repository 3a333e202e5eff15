// The note editor's gestures on a ten-minute melody of 3,000 notes, as a share of a 16 ms
// frame: the rubber band's intersection test run on every mouse move, and the commit of a move
// of all 3,000 notes (one command with 3,000 edits, pushed, applied and the editor refreshed).
// Runs headless.
#include "edit_gesture.h"
#include "long_melody.h"
#include "note_editor.h"

#include <benchmark/benchmark.h>

namespace {

constexpr double kFrameMs = 16.0;

/** An editor on the melody at a horizontal zoom. */
struct Editor
{
    NoteEditor editor;
    Editor(LongMelody& song, int timeZoom) : editor(&song.session)
    {
        song.session.scale().setSnapPerBeat(4);
        editor.copySessionScale();
        editor.setClip(song.clip);
        editor.resize(1800, 1000);
        editor.setTimeZoom(timeZoom);
        editor.setHeightZoom(NoteEditor::kMinZoom);
        editor.scrollToY(0);
    }
    void counters(benchmark::State& state)
    {
        state.counters["share_of_16ms"] =
            benchmark::Counter(double(state.iterations()) * (kFrameMs / 1000.0),
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
};

void rubberBandMove(benchmark::State& state)
{
    LongMelody song;
    Editor e(song, 1); // all 3,000 notes in view
    EditGesture* gesture = e.editor.gesture();
    const QPoint start(20, 20);
    gesture->press(EditGesture::Notes, start, Qt::NoModifier);
    gesture->move(EditGesture::Notes, QPoint(400, 400), Qt::NoModifier);
    int step = 0;
    for (auto _ : state) {
        // Across the whole width and height, away from the edges where the view scrolls.
        const int x = 100 + (step * 37) % 1600;
        const int y = 100 + (step * 17) % 600;
        ++step;
        gesture->move(EditGesture::Notes, QPoint(x, y), Qt::NoModifier);
        benchmark::DoNotOptimize(e.editor.selection().size());
    }
    gesture->release(EditGesture::Notes, QPoint(400, 400), Qt::NoModifier);
    e.counters(state);
}

void moveAllNotesCommit(benchmark::State& state)
{
    LongMelody song;
    Editor e(song, 100); // notes wide enough to be taken by their body
    std::vector<MidiEvent*> all;
    for (MidiEvent* n = song.clip->sequence().first(); n; n = n->next())
        all.push_back(n);
    e.editor.setSelection(all, false);
    EditGesture* gesture = e.editor.gesture();
    MidiEvent* first = song.clip->sequence().first();
    for (auto _ : state) {
        state.PauseTiming();
        const QPoint from = e.editor.noteRect(first).center();
        gesture->press(EditGesture::Notes, from, Qt::NoModifier);
        gesture->move(EditGesture::Notes, from + QPoint(40, -e.editor.rowHeight()), Qt::NoModifier);
        state.ResumeTiming();
        gesture->release(EditGesture::Notes, from + QPoint(40, -e.editor.rowHeight()),
                         Qt::NoModifier);
        state.PauseTiming();
        if (song.session.commands().current()->name() != QStringLiteral("move"))
            state.SkipWithError("the move was not committed");
        song.session.commands().revert();
        state.ResumeTiming();
    }
    e.counters(state);
}

BENCHMARK(rubberBandMove)->Unit(benchmark::kMillisecond);
BENCHMARK(moveAllNotesCommit)->Unit(benchmark::kMillisecond);

} // namespace
