// Peak files of a long recording: building the peaks of a stereo 44.1 kHz WAV as a multiple of
// real time (seconds of audio per second of work), then the cost of the window reads while the
// view scrolls across the file, 900 records (one screen) at a time in steps of 12 records.
//
//   bench_audio_peaks [seconds]     (600 by default)
#include "audio_peak.h"
#include "audio_peak_manager.h"
#include "long_wav_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kRate = 44100;

bool makeFile(const QString& path, int seconds)
{
    return writeLongStereoWav(path, seconds, kRate, [](double t, float& left, float& right) {
        left = float(0.5 * std::sin(2 * M_PI * 220.0 * t) * std::sin(M_PI * 0.5 * t));
        right = float(0.3 * std::sin(2 * M_PI * 330.0 * t));
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 600;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench_peaks.wav"));
    if (!makeFile(path, seconds)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    QFile::remove(AudioPeak::peakPath(path, 1.0));
    AudioPeakManager manager;
    manager.setSessionRate(kRate);

    QElapsedTimer timer;
    timer.start();
    AudioPeak* peak = manager.acquire(path, 1.0);
    peak->channels();
    peak->waitForBuild();
    const double buildSeconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("build: %d s of stereo in %.3f s = %.0fx real time\n", seconds, buildSeconds,
                seconds / buildSeconds);

    const long long records = static_cast<long long>(seconds) * kRate / 1024;
    std::vector<unsigned char> out(900 * 2 * 2);
    long long reads = 0;
    timer.restart();
    for (long long first = 0; first + 900 <= records; first += 12, ++reads)
        peak->read(first, 900, out.data());
    for (long long first = records - 900; first >= 0; first -= 12, ++reads)
        peak->read(first, 900, out.data());
    const double readNs = double(timer.nsecsElapsed()) / double(reads);
    std::printf("scroll: %lld window reads of 900 records, %.1f us each\n", reads, readNs / 1e3);
    manager.release(peak);
    QFile::remove(AudioPeak::peakPath(path, 1.0));
    return 0;
}
