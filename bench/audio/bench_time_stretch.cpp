// The audio buffer's time-stretch path on 180 s of 44.1 kHz stereo: the file is read, stretched
// by 0.8 and by 1.25 and written into the ring, drained as fast as the buffer thread fills it.
// Each figure is a multiple of real time (seconds of the source per second of work). Beside it,
// when installed, the soundstretch tool (Debian package soundstretch) changes the tempo of the
// same file by the same amount, file to file, timed the same way.
//
//   bench_time_stretch [seconds]     (180 by default)
#include "audio_buffer.h"
#include "long_wav_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 44100;

bool makeFile(const QString& path, int seconds)
{
    // A voice-like signal: a gliding tone with harmonics and a slow tremolo.
    double phase = 0;
    return writeLongStereoWav(path, seconds, kRate, [&](double t, float& left, float& right) {
        phase += 2 * M_PI * (220.0 + 40.0 * std::sin(2 * M_PI * 0.3 * t)) / kRate;
        const double voice =
            std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase);
        left = float(0.25 * voice * (0.8 + 0.2 * std::sin(2 * M_PI * 5 * t)));
        right = float(0.9 * left);
    });
}

/** Seconds the buffer takes to deliver the whole stretched file. */
double timeBuffer(const QString& path, float stretch)
{
    AudioBuffer buffer(kRate);
    buffer.setStretch(stretch);
    QElapsedTimer timer;
    timer.start();
    if (!buffer.open(path))
        return -1;
    std::vector<float> left(8192), right(8192);
    float* out[] = {left.data(), right.data()};
    uint32_t done = 0;
    while (done < buffer.length()) {
        const uint32_t got = buffer.read(out, 8192, 0);
        if (got == 0) {
            buffer.wake();
            QThread::yieldCurrentThread();
        }
        done += got;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

/** Seconds soundstretch takes for the same tempo change; negative when it is not installed. */
double timeSoundstretch(const QString& path, const QString& out, float stretch)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("soundstretch"));
    if (tool.isEmpty())
        return -1;
    // soundstretch takes the tempo change in percent: a stretch of 0.8 plays 25 % faster.
    const double percent = (1.0 / stretch - 1.0) * 100.0;
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(tool, {path, out, QStringLiteral("-tempo=%1").arg(percent, 0, 'f', 2)});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 180;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.wav"));
    if (!makeFile(source, seconds)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    std::printf("%d s of 44.1 kHz stereo; figures are multiples of real time\n", seconds);
    std::printf("%-8s %14s %14s %8s\n", "stretch", "buffer", "soundstretch", "ratio");
    for (float stretch : {0.8f, 1.25f}) {
        const double ours = timeBuffer(source, stretch);
        const double theirs =
            timeSoundstretch(source, dir.filePath(QStringLiteral("out.wav")), stretch);
        const double oursRt = seconds / ours;
        if (theirs > 0)
            std::printf("%-8.2f %13.1fx %13.1fx %8.2f\n", stretch, oursRt, seconds / theirs,
                        oursRt / (seconds / theirs));
        else
            std::printf("%-8.2f %13.1fx %14s\n", stretch, oursRt, "(not installed)");
    }
    return 0;
}
