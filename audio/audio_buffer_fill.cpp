// The audio buffer's producer side: opening and closing, and the fills its thread runs (seeks
// served first, then blocks read, converted and stretched into the ring).
#include "audio_buffer.h"

#include "audio_buffer_thread.h"
#include "audio_file.h"
#include "audio_format_registry.h"
#include "error_log.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// More channels than any recording or mix needs; refusing them bounds the ring's memory.
constexpr int kMaxFileChannels = 16;
} // namespace

bool AudioBuffer::open(const QString& path)
{
    close();
    m_file = AudioFormatRegistry::instance().create(path);
    if (!m_file) {
        ErrorLog::add(QStringLiteral("AudioBuffer::open: no reader for %1").arg(path));
        return false;
    }
    if (!m_file->open(path, AudioFile::Reading)) {
        m_file.reset();
        return false;
    }
    if (m_file->channels() < 1 || m_file->channels() > kMaxFileChannels ||
        m_file->sampleRate() < 1) {
        ErrorLog::add(QStringLiteral("AudioBuffer::open: %1 channels at %2 Hz in %3")
                          .arg(m_file->channels())
                          .arg(m_file->sampleRate())
                          .arg(path));
        close();
        return false;
    }
    m_channels = m_file->channels();
    m_fileRate = m_file->sampleRate();
    if (!m_reader.open(*m_file, m_sampleRate)) {
        close();
        return false;
    }
    m_ratio = m_fileRate == m_sampleRate ? 1.0 : double(m_sampleRate) / m_fileRate;

    const bool allowed = isStretchAllowed();
    const float stretch = allowed ? m_stretch : 1.0f;
    const float pitch = allowed ? m_pitch : 1.0f;
    m_stretcherActive = stretch != 1.0f || pitch != 1.0f;
    m_fileStretch = stretch;

    if (m_length == 0) {
        const uint32_t whole = wholeLength(m_file->frames(), m_ratio, stretch);
        if (m_offset > whole)
            m_offset = 0;
        m_length = whole - m_offset;
    }
    m_layout = layoutFor(m_length, m_ratio);
    m_mask = m_layout.size - 1;
    m_ring.assign(size_t(m_channels), std::vector<float>(m_layout.size, 0.0f));
    m_readBuffers.assign(size_t(m_channels), std::vector<float>(m_layout.chunk, 0.0f));
    m_readPointers.assign(size_t(m_channels), nullptr);
    for (int c = 0; c < m_channels; ++c)
        m_readPointers[size_t(c)] = m_readBuffers[size_t(c)].data();
    if (m_stretcherActive) {
        m_stretchBuffers.assign(size_t(m_channels), std::vector<float>(m_layout.chunk, 0.0f));
        m_stretchPointers.assign(size_t(m_channels), nullptr);
        for (int c = 0; c < m_channels; ++c)
            m_stretchPointers[size_t(c)] = m_stretchBuffers[size_t(c)].data();
        if (!m_stretcher.configure(m_channels, m_sampleRate, stretch, pitch, isQuickSeek(),
                                   int(m_layout.chunk))) {
            ErrorLog::add(QStringLiteral("AudioBuffer::open: cannot stretch %1").arg(path));
            close();
            return false;
        }
    }

    m_writeIndex.store(0, std::memory_order_relaxed);
    m_readIndex.store(0, std::memory_order_relaxed);
    m_readPosition.store(0, std::memory_order_relaxed);
    m_seekRequests.store(0, std::memory_order_relaxed);
    m_seeksServed.store(0, std::memory_order_relaxed);
    m_ready.store(false, std::memory_order_relaxed);
    m_wholeHeld.store(false, std::memory_order_relaxed);
    m_fillDone.store(false, std::memory_order_relaxed);
    m_seekApplying = false;
    m_fadeInNext = true;
    std::fill(std::begin(m_previousGains), std::end(m_previousGains), 1.0f);

    // Thread start publishes everything above to the thread.
    m_thread = std::make_unique<AudioBufferThread>(this);
    m_thread->start(QThread::HighPriority);
    return true;
}

uint32_t AudioBuffer::wholeLength(long long fileFrames, double ratio, float stretch)
{
    const long double total = std::max(0LL, fileFrames) * (long double)ratio * (long double)stretch;
    return uint32_t(
        std::min<long double>(std::round(total), std::numeric_limits<uint32_t>::max() / 2));
}

void AudioBuffer::close()
{
    if (m_thread) {
        m_thread->stop();
        m_thread.reset();
    }
    m_reader.close();
    if (m_file) {
        m_file->close();
        m_file.reset();
    }
    m_ring.clear();
    freeReadBuffers();
    m_stretchBuffers.clear();
    m_stretchPointers.clear();
    m_ready.store(false, std::memory_order_release);
    m_wholeHeld.store(false, std::memory_order_release);
    m_channels = 0;
    m_fileRate = 0;
    m_ratio = 1.0;
    m_stretcherActive = false;
}

void AudioBuffer::freeReadBuffers()
{
    m_readBuffers.clear();
    m_readBuffers.shrink_to_fit();
    m_readPointers.clear();
}

// ---------------------------------------------------------------------------------------------
// Fills (buffer thread)

bool AudioBuffer::firstFill()
{
    if (!seekFile(0))
        return false;
    m_filePosition = 0;
    // A clip that fits is read whole, ignoring any loop: loops then only move the read index.
    const bool holdsWhole = m_length <= m_layout.size;
    if (holdsWhole) {
        while (m_filePosition < m_length) {
            const uint32_t want = std::min(m_layout.chunk, m_length - m_filePosition);
            if (readBlock(want) == 0 && m_fileEnded)
                break;
        }
        m_wholeHeld.store(true, std::memory_order_release);
        m_fillDone.store(true, std::memory_order_release);
        freeReadBuffers();
        m_reader.close();
        m_file->close();
    } else {
        fill();
    }
    m_ready.store(true, std::memory_order_release);
    return true;
}

bool AudioBuffer::wantsSync() const
{
    if (isSeekPending())
        return true;
    if (isWholeFileHeld() || m_fillDone.load(std::memory_order_relaxed))
        return false;
    const uint32_t held =
        m_writeIndex.load(std::memory_order_relaxed) - m_readIndex.load(std::memory_order_acquire);
    return m_layout.size - held > m_layout.threshold;
}

void AudioBuffer::sync()
{
    serveSeeks();
    if (!isWholeFileHeld())
        fill();
}

void AudioBuffer::serveSeeks()
{
    const uint32_t requests = m_seekRequests.load(std::memory_order_acquire);
    if (requests == m_seeksServed.load(std::memory_order_relaxed))
        return;
    const uint32_t target = m_seekTarget.load(std::memory_order_relaxed);
    if (!isWholeFileHeld()) {
        // The consumer does not touch its index while a seek is pending: empty the ring there.
        m_writeIndex.store(m_readIndex.load(std::memory_order_acquire), std::memory_order_release);
        seekFile(target);
        m_filePosition = target;
        m_fillDone.store(false, std::memory_order_relaxed);
    }
    m_seeksServed.store(requests, std::memory_order_release);
}

// The clip frame the fill may not pass: the loop end while inside the loop, else the clip end.
uint32_t AudioBuffer::readEnd() const
{
    if (isLooping() && m_filePosition < loopEnd())
        return std::min(loopEnd(), m_length);
    return m_length;
}

void AudioBuffer::fill()
{
    for (;;) {
        // A seek that arrived meanwhile is served first: what would be read now is wasted.
        if (isSeekPending())
            return;
        const uint32_t held = m_writeIndex.load(std::memory_order_relaxed) -
                              m_readIndex.load(std::memory_order_acquire);
        const uint32_t space = m_layout.size - held;
        if (space == 0)
            return;
        if (isLooping() && m_filePosition == loopEnd() && loopEnd() <= m_length) {
            seekFile(loopStart());
            m_filePosition = loopStart();
            continue;
        }
        const uint32_t end = readEnd();
        if (m_filePosition >= end) {
            m_fillDone.store(true, std::memory_order_release);
            return;
        }
        const uint32_t want = std::min({m_layout.chunk, space, end - m_filePosition});
        if (readBlock(want) == 0 && m_fileEnded)
            return;
    }
}

// Reads one block of at most `wanted` frames into the ring: converted, then stretched, and
// padded with silence once the file ends before the clip does. Returns the frames written.
uint32_t AudioBuffer::readBlock(uint32_t wanted)
{
    if (!m_stretcherActive) {
        const long long got = m_reader.read(m_readPointers.data(), wanted);
        if (got > 0)
            return writeToRing(m_readPointers.data(), uint32_t(got));
        m_fileEnded = true;
        writeSilence(wanted);
        return wanted;
    }
    if (m_stretcher.available() == 0 && !m_fileEnded) {
        const long long got = m_reader.read(m_readPointers.data(), m_layout.chunk);
        if (got > 0) {
            m_stretcher.put(m_readPointers.data(), int(got));
        } else {
            m_fileEnded = true;
            m_stretcher.flush();
        }
    }
    const int taken = m_stretcher.take(m_stretchPointers.data(), int(wanted));
    if (taken > 0)
        return writeToRing(m_stretchPointers.data(), uint32_t(taken));
    if (m_fileEnded) {
        writeSilence(wanted);
        return wanted;
    }
    return 0; // the stretcher holds its input back until a whole sequence is in
}

uint32_t AudioBuffer::writeToRing(const float* const* samples, uint32_t frames)
{
    const uint32_t start = m_writeIndex.load(std::memory_order_relaxed);
    for (int c = 0; c < m_channels; ++c) {
        float* ring = m_ring[size_t(c)].data();
        const float* in = samples[c];
        for (uint32_t k = 0; k < frames; ++k)
            ring[(start + k) & m_mask] = in[k];
    }
    // The frames are in place before the index that shows them to the consumer.
    m_writeIndex.store(start + frames, std::memory_order_release);
    m_filePosition += frames;
    return frames;
}

void AudioBuffer::writeSilence(uint32_t frames)
{
    const uint32_t start = m_writeIndex.load(std::memory_order_relaxed);
    for (int c = 0; c < m_channels; ++c) {
        float* ring = m_ring[size_t(c)].data();
        for (uint32_t k = 0; k < frames; ++k)
            ring[(start + k) & m_mask] = 0.0f;
    }
    m_writeIndex.store(start + frames, std::memory_order_release);
    m_filePosition += frames;
}

// Positions the file so that the next frame read is clip frame p: p ÷ ratio ÷ stretch
// (truncated) frames after the offset's file frame.
bool AudioBuffer::seekFile(uint32_t p)
{
    const auto frame = (long long)((double(m_offset) + double(p)) / m_ratio / m_fileStretch);
    m_fileEnded = false;
    m_reader.reset();
    if (m_stretcherActive)
        m_stretcher.clear();
    if (!m_file || !m_file->seek(frame)) {
        // Past the end (or unseekable): the fill pads with silence up to the clip's end.
        m_fileEnded = true;
        return frame > 0;
    }
    return true;
}
