#include "transcription_run.h"

#include "transcription_engine.h"
#include "transcription_source.h"

#include <algorithm>
#include <vector>

bool TranscriptionRun::run(TranscriptionEngine& engine, TranscriptionSource& source,
                           long long length, const Progress& progress)
{
    const int block = std::max(source.blockSize(), 1);
    const int channels = std::max(source.channelCount(), 1);
    std::vector<std::vector<float>> buffers(static_cast<size_t>(channels),
                                            std::vector<float>(static_cast<size_t>(block), 0.0f));
    std::vector<float*> pointers;
    for (auto& buffer : buffers)
        pointers.push_back(buffer.data());

    if (!engine.configure(kAnalysisRate))
        return false;
    long long position = 0;
    while (position < length) {
        if (progress && !progress(position))
            break;
        const auto wanted = static_cast<int>(std::min<long long>(block, length - position));
        const long long got = source.read(pointers.data(), wanted);
        if (got < 1)
            break;
        engine.feed(pointers.data(), got);
        position += got;
    }
    engine.finish();
    return true;
}
