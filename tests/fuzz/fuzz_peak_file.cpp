// libFuzzer target for the peak files of waveforms: the input (after its first byte) is a peak
// file newer than its audio file, so it is read as it is, and records are asked for at several
// places, some beyond its end. The first byte tells the channels the audio file is said to
// have (0: unknown), so that a reused file of another count is built again. Every input must be
// read or refused without a crash, a hang or an allocation sized from an unchecked length.
#include "audio_peak.h"
#include "error_log.h"
#include "fuzz_temp_file.h"
#include "snd_file.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// A short mono file written once, dated in the past so that every peak file is newer.
QString audioFile()
{
    static const QString path = [] {
        qputenv("TMPDIR", fuzz::folder().path().toLocal8Bit()); // where the peak files go
        const QString p = fuzz::folder().filePath(QStringLiteral("audio.wav"));
        SndFile file(1, 44100);
        std::vector<float> samples(3000);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = float(i % 100) / 100.0f;
        const float* channels[] = {samples.data()};
        if (file.open(p, AudioFile::Writing))
            file.write(channels, static_cast<long long>(samples.size()));
        file.close();
        QFile f(p);
        if (f.open(QIODevice::ReadWrite))
            f.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000),
                          QFileDevice::FileModificationTime);
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::ensureApplication();
    const QString audio = audioFile();
    const QString peaks = AudioPeak::peakPath(audio, 1.0);
    {
        QFile file(peaks);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    AudioPeak peak(audio, 1.0, 44100.0, nullptr, 0);
    peak.setAudioChannels(data[0] % 3);
    const int channels = peak.channels();
    if (channels > 0) {
        std::vector<unsigned char> out(size_t(64) * 2 * size_t(channels));
        static constexpr long long kAsks[][2] = {{0, 16},   {-5, 10},  {8, 64},  {2, 3},
                                                 {1000, 4}, {-100, 1}, {40, 64}, {0, 64}};
        for (const auto& ask : kAsks)
            peak.read(ask[0], ask[1], out.data());
    }
    peak.waitForBuild();
    ErrorLog::clear();
    return 0;
}
