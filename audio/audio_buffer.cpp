// The audio buffer's consumer side: seeks, the in-sync check and the walk through the ring that
// mixes or copies its frames. These run in the audio callback and never lock, allocate or log.
#include "audio_buffer.h"

#include "audio_buffer_thread.h"
#include "audio_file.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

namespace {
std::atomic<bool> g_stretchAllowed{true};
std::atomic<bool> g_quickSeek{false};
} // namespace

void AudioBuffer::setStretchAllowed(bool on)
{
    g_stretchAllowed.store(on, std::memory_order_relaxed);
}

bool AudioBuffer::isStretchAllowed()
{
    return g_stretchAllowed.load(std::memory_order_relaxed);
}

void AudioBuffer::setQuickSeek(bool on)
{
    g_quickSeek.store(on, std::memory_order_relaxed);
}

bool AudioBuffer::isQuickSeek()
{
    return g_quickSeek.load(std::memory_order_relaxed);
}

AudioBuffer::Layout AudioBuffer::layoutFor(uint64_t length, double ratio)
{
    (void)ratio; // the read buffers, not the chunk, grow for a down-conversion (see open())
    Layout layout;
    if (length > kMaxRingFrames - 1) {
        layout.size = kMaxRingFrames;
    } else {
        layout.size = kMinRingFrames;
        while (layout.size < length)
            layout.size *= 2;
    }
    layout.threshold = layout.size / 4;
    layout.chunk = layout.size / 16;
    return layout;
}

AudioBuffer::AudioBuffer(int sampleRate) : m_sampleRate(sampleRate > 0 ? sampleRate : 44100) {}

AudioBuffer::~AudioBuffer()
{
    close();
}

void AudioBuffer::setStretch(float factor)
{
    m_stretch = TimeStretcher::isActiveFactor(factor) ? factor : 1.0f;
}

void AudioBuffer::setPitch(float factor)
{
    m_pitch = TimeStretcher::isActiveFactor(factor) ? factor : 1.0f;
}

bool AudioBuffer::isSeekPending() const
{
    return m_seekRequests.load(std::memory_order_acquire) !=
           m_seeksServed.load(std::memory_order_acquire);
}

bool AudioBuffer::waitForFill(int timeoutMs)
{
    if (!isOpen())
        return false;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (isReady() && !isSeekPending()) {
            const uint32_t held = m_writeIndex.load(std::memory_order_acquire) -
                                  m_readIndex.load(std::memory_order_relaxed);
            if (isWholeFileHeld() || m_fillDone.load(std::memory_order_acquire) ||
                m_layout.size - held < m_layout.chunk)
                return true;
        }
        if (timer.elapsed() > timeoutMs)
            return false;
        wake();
        QThread::msleep(1);
    }
}

void AudioBuffer::wake()
{
    if (m_thread)
        m_thread->wake();
}

// ---------------------------------------------------------------------------------------------
// Seeks

void AudioBuffer::setLoop(uint32_t start, uint32_t end)
{
    if (start >= end)
        start = end = 0;
    if (start == loopStart() && end == loopEnd())
        return;
    m_loopStart.store(start, std::memory_order_relaxed);
    m_loopEnd.store(end, std::memory_order_relaxed);
    // The ring may hold frames read past the new loop end: read them again from here.
    if (isOpen() && !isWholeFileHeld()) {
        const uint32_t here =
            m_seekApplying ? m_seekTarget.load(std::memory_order_relaxed) : readPosition();
        m_seekTarget.store(here, std::memory_order_relaxed);
        m_seekRequests.fetch_add(1, std::memory_order_release);
        m_seekApplying = true;
        wake();
    }
}

void AudioBuffer::seek(uint32_t p)
{
    if (!isOpen())
        return;
    p = std::min(p, m_length);
    if (m_seekApplying || isSeekPending()) {
        if (m_seekTarget.load(std::memory_order_relaxed) == p)
            return;
    } else if (!isReady()) {
        // The first fill reads from the read position: a seek there before it is done would
        // only make the thread refill and keep the buffer silent until it has.
        if (p == readPosition())
            return;
    } else {
        const uint32_t here = readPosition();
        if (p == here)
            return;
        if (isWholeFileHeld()) {
            // Every frame is in the ring at its own index.
            m_readIndex.store(p, std::memory_order_release);
            m_readPosition.store(p, std::memory_order_relaxed);
            m_fadeInNext = true;
            return;
        }
        if (p > here) {
            const uint32_t read = m_readIndex.load(std::memory_order_relaxed);
            uint32_t limit = here + (m_writeIndex.load(std::memory_order_acquire) - read);
            if (isLooping() && here < loopEnd())
                limit = std::min(limit, loopEnd());
            if (p < limit) {
                m_readIndex.store(read + (p - here), std::memory_order_release);
                m_readPosition.store(p, std::memory_order_relaxed);
                m_fadeInNext = true;
                return;
            }
        }
    }
    // The target is published before the request that the thread acquires.
    m_seekTarget.store(p, std::memory_order_relaxed);
    m_seekRequests.fetch_add(1, std::memory_order_release);
    m_seekApplying = true;
    wake();
}

void AudioBuffer::applySeekServed()
{
    const uint32_t target = m_seekTarget.load(std::memory_order_relaxed);
    // The thread emptied the ring at the read index and refills it from the target; a buffer
    // held whole only moves its read index.
    if (isWholeFileHeld())
        m_readIndex.store(target, std::memory_order_release);
    m_readPosition.store(target, std::memory_order_relaxed);
    m_fadeInNext = true;
    m_seekApplying = false;
}

bool AudioBuffer::isInSync(uint32_t p)
{
    if (!isOpen())
        return false;
    if (isSeekPending()) {
        wake();
        return false;
    }
    if (m_seekApplying)
        applySeekServed();
    if (!isReady())
        return false;
    if (readPosition() != p) {
        // A seek the ring serves at once plays on (with its fade-in); otherwise the clip is
        // silent until the thread has refilled from p. Staying silent for this cycle after an
        // immediate seek would miss p again in the next one, where the play head has moved on.
        seek(p);
        return readPosition() == p && !m_seekApplying;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The walk through the ring

// Frames from the read index on that stand for consecutive clip frames: up to the loop end
// when the read position is inside the loop, up to the clip's end otherwise, and no further
// than the ring holds.
uint32_t AudioBuffer::contiguousFrames(uint32_t wanted) const
{
    const uint32_t pos = readPosition();
    const uint32_t end = isLooping() && pos < loopEnd() ? loopEnd() : m_length;
    if (pos >= end)
        return 0;
    const uint32_t held =
        m_writeIndex.load(std::memory_order_acquire) - m_readIndex.load(std::memory_order_relaxed);
    return std::min({wanted, end - pos, held});
}

uint32_t AudioBuffer::walk(Walk kind, float* const* target, int targetChannels, uint32_t frames,
                           uint32_t targetOffset, const float* gains)
{
    if (!isOpen() || !isReady() || m_seekApplying || isSeekPending() || targetChannels < 1)
        return 0;
    uint32_t done = 0;
    while (done < frames) {
        const uint32_t pos = readPosition();
        if (isLooping() && pos == loopEnd()) {
            m_readPosition.store(loopStart(), std::memory_order_relaxed);
            if (isWholeFileHeld())
                m_readIndex.store(loopStart(), std::memory_order_release);
            continue;
        }
        const uint32_t n = contiguousFrames(frames - done);
        if (n == 0)
            break;
        const bool endsAtLoop = isLooping() && pos < loopEnd() && pos + n == loopEnd();
        if (kind == Walk::Mix)
            mixPart(target, targetChannels, n, targetOffset + done, done, frames, gains,
                    m_fadeInNext, endsAtLoop);
        else
            copyPart(target, n, targetOffset + done);
        m_readIndex.store(m_readIndex.load(std::memory_order_relaxed) + n,
                          std::memory_order_release);
        m_readPosition.store(pos + n, std::memory_order_relaxed);
        done += n;
        // The part after a loop wrap fades in again; the wrap happens now, so the next cycle
        // (which the engine starts at the loop start) finds the buffer there.
        m_fadeInNext = endsAtLoop;
        if (endsAtLoop) {
            m_readPosition.store(loopStart(), std::memory_order_relaxed);
            if (isWholeFileHeld())
                m_readIndex.store(loopStart(), std::memory_order_release);
        }
    }
    if (!isWholeFileHeld()) {
        const uint32_t held = m_writeIndex.load(std::memory_order_acquire) -
                              m_readIndex.load(std::memory_order_relaxed);
        if (m_layout.size - held > m_layout.threshold)
            wake();
    }
    return done;
}

uint32_t AudioBuffer::mix(float* const* bus, int busChannels, uint32_t frames, uint32_t busOffset,
                          const float* gains)
{
    busChannels = std::min(busChannels, kMaxBusChannels);
    const uint32_t done = walk(Walk::Mix, bus, busChannels, frames, busOffset, gains);
    // The ramp reaches the new gains across the block, mixed or not.
    for (int c = 0; c < busChannels; ++c)
        m_previousGains[c] = gains[c];
    return done;
}

uint32_t AudioBuffer::read(float* const* out, uint32_t frames, uint32_t offset)
{
    return walk(Walk::Copy, out, m_channels, frames, offset, nullptr);
}

// Mixes n frames from the read index into the bus at busOffset. `done` of `total` frames of the
// block came before: the gain ramp runs across the whole block. Every bus channel takes buffer
// channel (its index mod the buffer's channels); buffer channels beyond the bus's fold onto bus
// channel (their index mod the bus's channels).
void AudioBuffer::mixPart(float* const* bus, int busChannels, uint32_t n, uint32_t busOffset,
                          uint32_t done, uint32_t total, const float* gains, bool fadeIn,
                          bool fadeOut)
{
    const uint32_t h = std::min(kDeclickFrames, n);
    const uint32_t start = m_readIndex.load(std::memory_order_relaxed);
    const int pairs = std::max(busChannels, m_channels);
    for (int i = 0; i < pairs; ++i) {
        const int b = i % busChannels;
        const float* source = m_ring[size_t(i % m_channels)].data();
        float* out = bus[b] + busOffset;
        const float from = m_previousGains[b];
        const float step = (gains[b] - from) / float(total);
        for (uint32_t k = 0; k < n; ++k) {
            float g = from + step * float(done + k);
            if (fadeIn && k < h)
                g *= float(k) / float(h);
            if (fadeOut && k >= n - h)
                g *= 1.0f - float(k - (n - h)) / float(h);
            out[k] += source[(start + k) & m_mask] * g;
        }
    }
}

void AudioBuffer::copyPart(float* const* out, uint32_t n, uint32_t offset)
{
    const uint32_t start = m_readIndex.load(std::memory_order_relaxed);
    for (int c = 0; c < m_channels; ++c) {
        if (!out[c])
            continue;
        const float* source = m_ring[size_t(c)].data();
        float* target = out[c] + offset;
        for (uint32_t k = 0; k < n; ++k)
            target[k] = source[(start + k) & m_mask];
    }
}
