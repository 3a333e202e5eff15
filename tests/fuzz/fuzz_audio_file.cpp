// libFuzzer target for the audio file layer: the input is opened as a file of any format the
// sound file library reads and as an MP3 (whose opening scans the whole stream), then read in
// pieces of several sizes through the interleave buffer and sought about. Every input must be
// read or refused without a crash, a hang or an allocation sized from an unchecked length.
#include "error_log.h"
#include "fuzz_temp_file.h"
#include "mp3_file.h"
#include "snd_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// At most this many frames are read from one input, so that a long stream stays quick.
constexpr long long kFramesRead = 1 << 15;

void readAbout(AudioFile& file, uint8_t pattern)
{
    const int channels = file.channels();
    if (channels <= 0 || channels > 1024)
        return;
    static constexpr long long kPieces[] = {1, 7, 480, 4096};
    const long long largest = 4096;
    std::vector<std::vector<float>> buffers(static_cast<size_t>(channels),
                                            std::vector<float>(largest));
    std::vector<float*> pointers;
    for (size_t c = 0; c < buffers.size(); ++c)
        pointers.push_back(c == 1 && (pattern & 1) ? nullptr : buffers[c].data()); // a skipped one
    long long total = 0;
    for (int piece = 0; total < kFramesRead; ++piece) {
        const long long n = file.read(pointers.data(), kPieces[(piece + pattern) % 4]);
        if (n <= 0)
            break;
        total += n;
    }
    const long long frames = file.frames();
    for (long long frame : {frames / 2, frames, frames + 10, 0LL, -1LL})
        if (file.seek(frame))
            file.read(pointers.data(), largest);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::writeInput(QStringLiteral("audio"), data, size);
    if (path.isEmpty())
        return 0;
    const uint8_t pattern = size ? data[size - 1] : 0;
    {
        SndFile file(0, 0, pattern);
        if (file.open(path, AudioFile::Reading))
            readAbout(file, pattern);
    }
    {
        Mp3File file(pattern);
        if (file.open(path, AudioFile::Reading))
            readAbout(file, pattern);
    }
    ErrorLog::clear();
    return 0;
}
