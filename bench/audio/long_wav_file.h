#pragma once

#include "audio_file.h"
#include "audio_format_registry.h"

#include <QString>
#include <vector>

/**
 * Writes a long stereo 16-bit WAV for the audio benchmarks, a tenth of a second at a time:
 * sample(t, left, right) gives the two samples at t seconds, called in time order (so a signal
 * may keep its own running phase). False when the file cannot be written.
 */
template<typename Sample>
bool writeLongStereoWav(const QString& path, int seconds, int rate, Sample sample)
{
    AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), 0x10000, 0, 4);
    const long block = rate / 10;
    auto file = AudioFormatRegistry::instance().create(path, 2, rate, int(block));
    if (!file || !file->open(path, AudioFile::Writing))
        return false;
    const auto frames = size_t(block);
    std::vector<float> left(frames), right(frames);
    float* channels[] = {left.data(), right.data()};
    for (long b = 0; b < long(seconds) * 10; ++b) {
        for (long k = 0; k < block; ++k)
            sample(double(b * block + k) / rate, left[size_t(k)], right[size_t(k)]);
        if (file->write(channels, block) != block)
            return false;
    }
    file->close();
    return true;
}
