// Recording a take: the recording step's cost inside one 512-frame cycle (stereo input folded
// onto the mono take's ring), and the drain that writes the take and its peaks to the file, as
// a multiple of real time (seconds of audio per second of work), for 16-bit and float WAV.
//
//   bench_audio_recording [seconds]     (90 by default)
#include "audio_format_registry.h"
#include "audio_recorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr uint32_t kCycle = 512;

struct Input
{
    std::vector<float> left, right;
    const float* channels[2];
    Input() : left(kCycle), right(kCycle), channels{left.data(), right.data()}
    {
        for (uint32_t k = 0; k < kCycle; ++k) {
            left[k] = float(0.5 * std::sin(2 * M_PI * 220.0 * k / kRate));
            right[k] = float(0.3 * std::sin(2 * M_PI * 330.0 * k / kRate));
        }
    }
};

/** Nanoseconds of one recording step, the median of `cycles` steps. */
double stepCost(const QString& path, int cycles)
{
    AudioRecorder recorder(1, kRate);
    if (!recorder.open(path))
        return -1;
    Input input;
    std::vector<double> costs;
    QElapsedTimer timer;
    for (int n = 0; n < cycles; ++n) {
        timer.start();
        recorder.write(input.channels, 2, kCycle, 0);
        costs.push_back(double(timer.nsecsElapsed()));
        // As the device would: the next cycle comes a cycle's time later.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    recorder.close();
    std::nth_element(costs.begin(), costs.begin() + long(costs.size() / 2), costs.end());
    return costs[costs.size() / 2];
}

/** Seconds of audio drained per second of work: the whole take is handed over at once. */
double drainSpeed(const QString& path, int seconds)
{
    const auto cycles = uint32_t(seconds) * kRate / kCycle;
    AudioRecorder recorder(1, kRate, cycles * kCycle); // holds the whole take: nothing is lost
    if (!recorder.open(path))
        return -1;
    Input input;
    QElapsedTimer timer;
    timer.start();
    for (uint32_t n = 0; n < cycles; ++n)
        recorder.write(input.channels, 2, kCycle, 0);
    recorder.close();
    if (recorder.framesLost() > 0)
        std::fprintf(stderr, "frames were lost\n");
    return double(cycles * kCycle) / kRate / (double(timer.nsecsElapsed()) / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 90;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("take.wav"));
    const double budgetNs = 1e9 * kCycle / kRate;
    const double step = stepCost(path, 2000);
    std::printf("recording step: %.0f ns per 512-frame cycle = %.3f%% of the cycle\n", step,
                100.0 * step / budgetNs);
    for (int quality : {0, 3}) {
        AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), SF_FORMAT_WAV,
                                                          quality, 4);
        std::printf("drain with peaks, %s WAV: %d s of mono in %.0fx real time\n",
                    quality == 0 ? "16-bit" : "float", seconds, drainSpeed(path, seconds));
    }
    return 0;
}
