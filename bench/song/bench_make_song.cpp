// Make Song without dialogs on a 200-bar melody: chords bar by bar, the sections around the
// melody and the arrangement of every part of the shipped style with the most notes.
#include "lane_events.h"
#include "song_making.h"
#include "song_state.h"
#include "style_loader.h"

#include "midi_clip.h"
#include "session.h"
#include "track.h"

#include <QDir>
#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kBar = 3840;
constexpr uint32_t kBars = 200;

// The same C major tune every run, starting in bar 1 so the intro moves it.
void fillMelody(MidiSequence& melody)
{
    static const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    uint32_t seed = 12345;
    uint32_t t = kBar;
    while (t < kBars * kBar) {
        seed = seed * 1103515245u + 12345u;
        const uint32_t length = 480 + 160 * ((seed >> 8) % 4);
        melody.insert(MidiEvent::note(t, uint8_t(scale[(seed >> 16) % 8]), 100, length));
        t += length;
    }
    melody.setLength(kBars * kBar);
}

int styleNotes(Session& session)
{
    int notes = 0;
    for (const auto& track : SongState::of(&session)->styleTracks)
        for (const MidiEvent* e = track->first(); e; e = e->next())
            notes += e->isNote();
    return notes;
}

// The shipped style with the most notes, loaded into the session.
QString loadRichestStyle(Session& session)
{
    const QDir dir(QStringLiteral(CANTOVA_STYLES_DIR));
    QString best;
    int bestNotes = -1;
    for (const QString& name : dir.entryList({QStringLiteral("*.sty")}, QDir::Files)) {
        openStyle(session, dir.filePath(name));
        if (const int notes = styleNotes(session); notes > bestNotes) {
            bestNotes = notes;
            best = dir.filePath(name);
        }
    }
    openStyle(session, best);
    return best;
}

void makeSong200Bars(benchmark::State& state)
{
    Session session;
    auto* track = new Track(&session, Track::MidiTrack);
    session.addTrack(track);
    auto* melody = new MidiClip(&session);
    track->addClip(melody);
    const QString style = loadRichestStyle(session);
    size_t arranged = 0;
    for (auto _ : state) {
        state.PauseTiming();
        melody->sequence().clearEvents();
        fillMelody(melody->sequence());
        state.ResumeTiming();
        findChordsAndArrange(session, *melody);
        arranged = 0;
        for (Track* part : SongState::of(&session)->arrangedTracks)
            arranged += size_t(static_cast<MidiClip*>(part->firstClip())->sequence().count());
    }
    state.SetLabel(QDir(style).dirName().toStdString());
    state.counters["arranged notes"] = double(arranged);
    state.counters["style notes"] = styleNotes(session);
}
BENCHMARK(makeSong200Bars)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
