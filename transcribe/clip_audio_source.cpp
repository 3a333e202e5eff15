#include "clip_audio_source.h"

#include "audio_buffer.h"
#include "error_log.h"
#include "transcription_run.h"

#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace {

// A fill step: the buffer thread is woken and given this long before the ring is looked at.
constexpr auto kFillStep = std::chrono::microseconds(250);
// A buffer that delivers nothing for this long is taken as stuck: reading ends there.
constexpr qint64 kStuckMs = 20000;
// The buffer counts clip frames in 32 bits and keeps half that range for its own arithmetic.
constexpr uint64_t kMaxFrames = std::numeric_limits<uint32_t>::max() / 2;

} // namespace

ClipAudioSource::ClipAudioSource(const TranscriptionRegion& region) : region_(region)
{
    const auto rate = uint32_t(TranscriptionRun::kAnalysisRate);
    start_ = (long long)std::min(
        TranscriptionRegion::toAnalysis(region.fileStart, region.sessionRate, rate), kMaxFrames);
    length_ = (long long)std::min(
        TranscriptionRegion::toAnalysis(region.length, region.sessionRate, rate), kMaxFrames);
}

ClipAudioSource::~ClipAudioSource() = default;

bool ClipAudioSource::open()
{
    position_ = 0;
    buffer_ = std::make_unique<AudioBuffer>(int(TranscriptionRun::kAnalysisRate));
    buffer_->setOffset(uint32_t(start_));
    // A length of 0 would make the buffer take the whole file: such a region reads nothing.
    buffer_->setLength(uint32_t(std::max(length_, 1LL)));
    buffer_->setStretch(region_.stretch);
    buffer_->setPitch(region_.pitch);
    if (!buffer_->open(region_.path)) {
        buffer_.reset();
        return false;
    }
    return true;
}

int ClipAudioSource::channelCount() const
{
    return buffer_ ? buffer_->channels() : 1;
}

int ClipAudioSource::blockSize() const
{
    return buffer_ ? int(buffer_->chunk()) : int(AudioBuffer::kMinRingFrames / 16);
}

long long ClipAudioSource::read(float* const* channels, int frames)
{
    if (!buffer_ || frames < 1)
        return 0;
    const auto wanted = uint32_t(std::min<long long>(frames, length_ - position_));
    if (wanted == 0)
        return 0;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        // Unscaled: the frames as the buffer converted and stretched them.
        if (buffer_->isInSync(uint32_t(position_))) {
            const uint32_t got = buffer_->read(channels, wanted, 0);
            if (got > 0) {
                position_ += got;
                return got;
            }
        }
        if (!fillStep(waited.elapsed()))
            return 0;
    }
}

// One fill step while the ring has nothing at the read position: the buffer's thread is woken
// and given a moment. False when the wait is given up, or the buffer is stuck.
bool ClipAudioSource::fillStep(qint64 waitedMs)
{
    if (keepWaiting_ && !keepWaiting_())
        return false;
    if (waitedMs > kStuckMs) {
        ErrorLog::add(QStringLiteral("audio2midi: the audio data stopped arriving after %1 frames")
                          .arg(position_));
        return false;
    }
    buffer_->wake();
    std::this_thread::sleep_for(kFillStep);
    return true;
}
