// Rendering a three-minute arranged song into a WAV file, as `cantova make-song --render` does:
// the offline engines, the MIDI scheduled on each cycle and the built-in GM synthesizer.
// The "x real time" counter is the song's length divided by the wall time of one render.
// renderStylePreview times the style browser's preview of one style.
#include "song_renderer.h"

#include "style_browser_flow.h"

#include "song_making.h"
#include "song_state.h"
#include "style_loader.h"

#include "midi_clip.h"
#include "session.h"
#include "track.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

constexpr uint32_t kBar = 3840; // 4/4 at 960 ticks per quarter
constexpr uint32_t kBars = 90;  // three minutes at 120 bpm

void fillMelody(MidiSequence& melody)
{
    static const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    uint32_t seed = 4242;
    for (uint32_t t = 0; t < kBars * kBar;) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t length = 480 * (1 + (seed >> 8) % 3);
        melody.insert(MidiEvent::note(t, uint8_t(scale[(seed >> 16) % 8]), 96, length - 40));
        t += length;
    }
    melody.setLength(kBars * kBar);
}

void renderThreeMinuteSong(benchmark::State& state)
{
    SongRenderer renderer;
    Session session(renderer.engines());
    auto* track = new Track(&session, Track::MidiTrack);
    Track::Properties props = track->properties();
    props.program = 0;
    track->setProperties(props);
    session.addTrack(track);
    auto* melody = new MidiClip(&session);
    track->addClip(melody);
    fillMelody(melody->sequence());
    openStyle(session, QDir(QStringLiteral(CANTOVA_STYLES_DIR)).filePath("Pop 8 Beat.sty"));
    findChordsAndArrange(session, *melody);
    session.updateEnd(0);
    const double seconds =
        double(session.endFrame() + SongRenderer::kTailFrames) / session.scale().sampleRate();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.wav"));
    double wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!renderer.render(session, path, nullptr)) {
            state.SkipWithError("the render failed");
            break;
        }
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["song s"] = seconds;
    state.counters["x real time"] = wall > 0 ? seconds / wall : 0;
}
BENCHMARK(renderThreeMinuteSong)->Unit(benchmark::kMillisecond)->Iterations(3);

// The style browser's preview: four bars of a style's Main A, from loading the style and the
// synthesizer to the written file, which is what the user waits for after choosing a style.
void renderStylePreview(benchmark::State& state)
{
    const QString style = QDir(QStringLiteral(CANTOVA_STYLES_DIR)).filePath("Pop 8 Beat.sty");
    const QStringList chords{QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("G"),
                             QStringLiteral("C")};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("preview.wav"));
    for (auto _ : state)
        if (!StyleBrowserFlow::renderPreview(style, chords, path)) {
            state.SkipWithError("the preview failed");
            break;
        }
}
BENCHMARK(renderStylePreview)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
