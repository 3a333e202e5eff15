// Runs the transcription engine straight on raw audio, for measuring: no audio file layer, no
// MIDI writing. Each INPUT is mono 32-bit float samples at 11025 Hz (sox IN -t raw -e float
// -b 32 -c 1 -r 11025 OUT.f32); each OUTPUT gets "onset,offset,note,frequency" lines. Prints the seconds
// of audio per second of engine time on standard output.
//
// Usage: transcribe_raw [--tuning follow|classic] IN.f32 OUT.csv [IN.f32 OUT.csv ...]
// Built by build_transcribe_raw.sh (optimised, without the rest of the program).

#include "transcription_engine.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

std::vector<float> readRaw(const char* path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<float> samples(in ? static_cast<std::size_t>(in.tellg()) / sizeof(float) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return samples;
}

bool writeNotes(const TranscriptionResult& result, const char* path)
{
    std::FILE* out = std::fopen(path, "w");
    if (!out)
        return false;
    // Pair each note-on with the first later note-off of its frequency, as the refiner does.
    for (std::size_t i = 0; i < result.events.size(); ++i) {
        const TranscribedEvent& on = result.events[i];
        if (!on.isNoteOn())
            continue;
        double end = on.time + on.duration;
        for (std::size_t j = i + 1; j < result.events.size(); ++j) {
            if (!result.events[j].isNoteOn() && result.events[j].frequency == on.frequency) {
                end = result.events[j].time;
                break;
            }
        }
        std::fprintf(out, "%.4f,%.4f,%d,%.3f\n", on.time, end, on.note, on.frequency);
    }
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    TranscriptionEngine engine;
    if (argc > 2 && std::strcmp(argv[1], "--tuning") == 0) {
#if __has_include("tuning_setting.h") // engines older than the tuning choice have one tuning
        engine.setTuning(std::strcmp(argv[2], "classic") == 0 ? NoteRefiner::Tuning::Classic
                                                              : NoteRefiner::Tuning::FollowSinger);
#endif
        first = 3;
    }
    if (argc <= first || (argc - first) % 2 != 0) {
        std::fputs("Usage: transcribe_raw [--tuning follow|classic] IN.f32 OUT.csv ...\n", stderr);
        return 2;
    }
    double audio = 0.0;
    double busy = 0.0;
    for (int i = first; i < argc; i += 2) {
        const std::vector<float> samples = readRaw(argv[i]);
        const auto start = std::chrono::steady_clock::now();
        engine.configure(11025.0f);
        const float* channels[] = {samples.data()};
        engine.feed(channels, static_cast<long long>(samples.size()));
        engine.finish();
        busy += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        audio += static_cast<double>(samples.size()) / 11025.0;
        if (!writeNotes(engine.result(), argv[i + 1])) {
            std::fprintf(stderr, "transcribe_raw: cannot write %s\n", argv[i + 1]);
            return 1;
        }
    }
    std::printf("%.1f\n", busy > 0.0 ? audio / busy : 0.0);
    return 0;
}
