// Makes the audio metronome's two clicks: short decaying tones of our own, written as 16-bit WAV
// files into the folder given (the build puts them in "Clicks" beside the program).
//   cantova_make_clicks <folder>
// The bar click is higher and louder than the beat click, so the first beat of a bar stands out.
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

struct Click
{
    const char* name;
    double hz;
    double amplitude;
    double seconds;
};

// A sine with a quick attack and an exponential decay to -60 dB at its end, plus a little of
// its octave for a sharper edge.
std::vector<float> render(const Click& click)
{
    const int frames = int(click.seconds * kRate);
    const int attack = kRate / 1000; // 1 ms
    std::vector<float> samples(static_cast<size_t>(frames));
    for (int k = 0; k < frames; ++k) {
        const double t = double(k) / kRate;
        const double decay = std::exp(-6.9 * double(k) / frames);
        const double rise = k < attack ? double(k) / attack : 1.0;
        const double tone =
            std::sin(2.0 * M_PI * click.hz * t) + 0.3 * std::sin(4.0 * M_PI * click.hz * t);
        samples[size_t(k)] = float(click.amplitude * rise * decay * tone / 1.3);
    }
    return samples;
}

bool write(const std::string& path, const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "cantova_make_clicks: %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    const sf_count_t written = sf_writef_float(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    return written == sf_count_t(samples.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cantova_make_clicks <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    const Click clicks[] = {{"bar-click.wav", 1760.0, 0.8, 0.06},
                            {"beat-click.wav", 1320.0, 0.55, 0.05}};
    for (const Click& click : clicks)
        if (!write(folder + "/" + click.name, render(click)))
            return 1;
    return 0;
}
