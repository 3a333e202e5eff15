// Reading and writing a 100,000-note, 16-track Standard MIDI File.
#include "error_log.h"
#include "midi_file.h"
#include "midi_sequence.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

constexpr int Tracks = 16;
constexpr int NotesPerTrack = 6250; // 100,000 notes in all

struct Song
{
    std::vector<std::unique_ptr<MidiSequence>> tracks;
    std::vector<MidiSequence*> list{nullptr}; // the conductor first

    Song()
    {
        for (int t = 0; t < Tracks; ++t) {
            auto s = std::make_unique<MidiSequence>(QStringLiteral("Track %1").arg(t + 1),
                                                    uint16_t(t), 960);
            s->setProgram(t);
            for (int n = 0; n < NotesPerTrack; ++n) {
                const uint32_t time = uint32_t(n) * 240;
                s->insert(MidiEvent::note(time, uint8_t(36 + (n * 7 + t) % 60),
                                          uint8_t(40 + n % 80), 200));
                if (n % 16 == 0)
                    s->insert(MidiEvent::channel(time, 0xB0, 11, uint8_t(n % 128)));
            }
            list.push_back(s.get());
            tracks.push_back(std::move(s));
        }
    }
};

bool write(const Song& song, const QString& path)
{
    MidiFile file;
    if (!file.open(path, MidiFile::Write) || !file.writeHeader(1, Tracks + 1, 960))
        return false;
    file.tempoMap()->set(960 * 4 * 32, 100, 3, 2);
    return file.writeTracks(song.list) && file.close();
}

void report(benchmark::State& state, const QString& path)
{
    state.SetItemsProcessed(int64_t(state.iterations()) * Tracks * NotesPerTrack);
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(path).size());
    state.counters["file_bytes"] = double(QFile(path).size());
}

void BM_WriteMidiFile(benchmark::State& state)
{
    const Song song;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mid"));
    for (auto _ : state) {
        if (!write(song, path))
            state.SkipWithError(qPrintable(ErrorLog::take()));
    }
    report(state, path);
}

void BM_ReadMidiFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mid"));
    write(Song(), path);
    for (auto _ : state) {
        MidiFile file;
        std::vector<std::unique_ptr<MidiSequence>> tracks;
        std::vector<MidiSequence*> list;
        for (int t = 0; t <= Tracks; ++t) {
            tracks.push_back(std::make_unique<MidiSequence>());
            list.push_back(tracks.back().get());
        }
        if (!file.open(path, MidiFile::Read) || !file.readTracks(list, 0))
            state.SkipWithError(qPrintable(ErrorLog::take()));
        benchmark::DoNotOptimize(list.back()->count());
    }
    report(state, path);
}

} // namespace

BENCHMARK(BM_WriteMidiFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMidiFile)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
