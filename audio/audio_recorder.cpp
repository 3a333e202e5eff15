#include "audio_recorder.h"

#include "audio_file.h"
#include "audio_format_registry.h"
#include "audio_peak.h"
#include "error_log.h"

#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// More channels than a take needs; refusing them bounds the ring's memory.
constexpr int kMaxChannels = 8;
constexpr quint16 kFramesPerPeakRecord = 1024;

AudioRecorder::FileFactory& fileFactory()
{
    static AudioRecorder::FileFactory factory;
    return factory;
}

uint32_t powerOfTwoAtLeast(uint32_t frames)
{
    uint32_t size = 1024;
    while (size < frames && size < (1u << 28))
        size <<= 1;
    return size;
}

} // namespace

AudioRecorder::Window AudioRecorder::window(uint32_t first, uint32_t last, bool punching,
                                            uint32_t punchIn, uint32_t punchOut)
{
    if (!punching)
        return {last > first ? last - first : 0, 0};
    const uint32_t from = std::max(first, punchIn);
    const uint32_t to = std::min(last, punchOut);
    if (to <= from)
        return {};
    return {to - from, from - first};
}

void AudioRecorder::setFileFactory(FileFactory factory)
{
    fileFactory() = std::move(factory);
}

AudioRecorder::AudioRecorder(int channels, int sampleRate, uint32_t ringFrames)
    : m_channels(std::clamp(channels, 1, kMaxChannels)), m_sampleRate(sampleRate),
      m_size(powerOfTwoAtLeast(ringFrames)), m_mask(m_size - 1), m_chunk(m_size / 16)
{
}

AudioRecorder::~AudioRecorder()
{
    close();
}

bool AudioRecorder::open(const QString& path)
{
    close();
    m_path = path;
    m_file = fileFactory()
                 ? fileFactory()(path, m_channels, m_sampleRate)
                 : AudioFormatRegistry::instance().create(path, m_channels, m_sampleRate, m_chunk);
    if (!m_file) {
        ErrorLog::add(QStringLiteral("AudioRecorder::open: no format writes %1").arg(path));
        return false;
    }
    // The file reports why it could not be opened (format rejected, folder not writable).
    if (!m_file->open(path, AudioFile::Writing)) {
        m_file.reset();
        return false;
    }
    m_ring.assign(size_t(m_channels), std::vector<float>(m_size, 0.0f));
    m_silence.assign(m_chunk, 0.0f);
    m_pointers.assign(size_t(m_channels), nullptr);
    m_lostSpans.clear();
    m_writeIndex.store(0);
    m_readIndex.store(0);
    m_gapWrite.store(0);
    m_gapRead.store(0);
    m_position.store(0);
    m_written.store(0);
    m_lost.store(0);
    m_pendingGap.store(0);
    m_pendingStart.store(0);
    m_diskFull.store(false);
    openPeaks();
    m_thread = std::make_unique<AudioBufferThread>(this);
    m_thread->start(QThread::HighPriority);
    return true;
}

void AudioRecorder::close()
{
    if (!m_thread)
        return;
    m_thread->stop();
    m_thread.reset();
    // No cycle writes any more and the thread has ended: the rest goes to the file here.
    sync();
    const uint64_t pending = m_pendingGap.exchange(0);
    if (pending > 0 && !isDiskFull())
        writeSilence(m_pendingStart.load(), pending);
    closePeaks();
    m_file->close();
    m_file.reset();
    m_ring.clear();
}

// ---------------------------------------------------------------------------------------------
// The cycle's side

void AudioRecorder::write(const float* const* input, int inputChannels, uint32_t frames,
                          uint32_t inputOffset)
{
    if (frames == 0 || inputChannels < 1 || !m_thread || m_diskFull.load(std::memory_order_acquire))
        return;
    const uint32_t w = m_writeIndex.load(std::memory_order_relaxed);
    const uint32_t r = m_readIndex.load(std::memory_order_acquire);
    const uint32_t room = m_size - (w - r);
    const uint64_t position = m_position.load(std::memory_order_relaxed);
    if (room < frames || !publishPendingGap(w)) {
        // The drain is behind: these frames are lost, and their place stays silent.
        if (m_pendingGap.load(std::memory_order_relaxed) == 0)
            m_pendingStart.store(position, std::memory_order_relaxed);
        m_pendingGap.fetch_add(frames, std::memory_order_relaxed);
        m_lost.fetch_add(frames, std::memory_order_release);
    } else {
        fold(input, inputChannels, frames, inputOffset, w);
        m_writeIndex.store(w + frames, std::memory_order_release);
    }
    m_position.store(position + frames, std::memory_order_release);
    if (w + frames - r >= m_chunk)
        m_thread->wake();
}

bool AudioRecorder::publishPendingGap(uint32_t writeIndex)
{
    const uint64_t pending = m_pendingGap.load(std::memory_order_relaxed);
    if (pending == 0)
        return true;
    const uint32_t slot = m_gapWrite.load(std::memory_order_relaxed);
    if (slot - m_gapRead.load(std::memory_order_acquire) >= kGapSlots)
        return false; // no slot: the gap grows until the thread frees one
    m_gaps[slot % kGapSlots] =
        Gap{writeIndex, pending, m_pendingStart.load(std::memory_order_relaxed)};
    m_gapWrite.store(slot + 1, std::memory_order_release);
    m_pendingGap.store(0, std::memory_order_relaxed);
    return true;
}

void AudioRecorder::fold(const float* const* input, int inputChannels, uint32_t frames,
                         uint32_t inputOffset, uint32_t at)
{
    const uint32_t begin = at & m_mask;
    const uint32_t first = std::min(frames, m_size - begin);
    for (int c = 0; c < std::max(m_channels, inputChannels); ++c) {
        const float* in = input[c % inputChannels] + inputOffset;
        float* out = m_ring[size_t(c % m_channels)].data();
        if (c < m_channels) {
            std::copy(in, in + first, out + begin);
            std::copy(in + first, in + frames, out);
        } else {
            for (uint32_t k = 0; k < first; ++k)
                out[begin + k] += in[k];
            for (uint32_t k = first; k < frames; ++k)
                out[k - first] += in[k];
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The thread's side

bool AudioRecorder::wantsSync() const
{
    if (isDiskFull())
        return false;
    const uint32_t held =
        m_writeIndex.load(std::memory_order_acquire) - m_readIndex.load(std::memory_order_relaxed);
    return held >= m_chunk;
}

void AudioRecorder::sync()
{
    while (!isDiskFull()) {
        const uint32_t r = m_readIndex.load(std::memory_order_relaxed);
        uint32_t until = m_writeIndex.load(std::memory_order_acquire);
        const uint32_t gapSlot = m_gapRead.load(std::memory_order_relaxed);
        const bool gap = gapSlot != m_gapWrite.load(std::memory_order_acquire);
        if (gap)
            until = m_gaps[gapSlot % kGapSlots].at;
        if (until != r) {
            if (!drainFrames(std::min(until - r, m_chunk)))
                return;
        } else if (gap) {
            const Gap g = m_gaps[gapSlot % kGapSlots];
            m_gapRead.store(gapSlot + 1, std::memory_order_release);
            if (!writeSilence(g.position, g.frames))
                return;
        } else {
            return;
        }
        if (const int delay = m_drainDelayUs.load(std::memory_order_relaxed); delay > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
    }
}

bool AudioRecorder::drainFrames(uint32_t frames)
{
    const uint32_t r = m_readIndex.load(std::memory_order_relaxed);
    const uint32_t begin = r & m_mask;
    const uint32_t part = std::min(frames, m_size - begin); // up to the ring's end
    for (int c = 0; c < m_channels; ++c)
        m_pointers[size_t(c)] = m_ring[size_t(c)].data() + begin;
    if (!writeToFile(m_pointers.data(), part))
        return false;
    m_readIndex.store(r + part, std::memory_order_release);
    return true;
}

bool AudioRecorder::writeSilence(uint64_t position, uint64_t frames)
{
    if (!m_lostSpans.empty() && m_lostSpans.back().position + m_lostSpans.back().frames == position)
        m_lostSpans.back().frames += frames;
    else
        m_lostSpans.push_back({position, frames});
    for (int c = 0; c < m_channels; ++c)
        m_pointers[size_t(c)] = m_silence.data();
    for (uint64_t done = 0; done < frames;) {
        const uint32_t n = uint32_t(std::min<uint64_t>(frames - done, m_chunk));
        if (!writeToFile(m_pointers.data(), n))
            return false;
        done += n;
    }
    return true;
}

bool AudioRecorder::writeToFile(const float* const* samples, uint32_t frames)
{
    const long long got = m_file->write(samples, frames);
    const uint32_t kept = uint32_t(std::clamp<long long>(got, 0, frames));
    if (m_peaks && kept > 0) {
        m_peaks->add(samples, kept, m_peakBatch);
        m_peakFile.write(m_peakBatch);
        m_peakBatch.clear();
    }
    m_written.fetch_add(kept, std::memory_order_release);
    if (kept == frames)
        return true;
    m_diskFull.store(true, std::memory_order_release);
    return false;
}

void AudioRecorder::openPeaks()
{
    m_peaks.reset();
    m_peakFile.setFileName(AudioPeak::peakPath(m_path, 1.0));
    if (!m_peakFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return; // the waveform is built from the file later instead
    const quint16 header[2] = {qToLittleEndian(kFramesPerPeakRecord),
                               qToLittleEndian(quint16(m_channels))};
    m_peakFile.write(reinterpret_cast<const char*>(header), sizeof header);
    m_peaks = std::make_unique<PeakAccumulator>(m_channels, kFramesPerPeakRecord);
}

void AudioRecorder::closePeaks()
{
    if (!m_peaks)
        return;
    m_peaks->finish(m_peakBatch);
    m_peakFile.write(m_peakBatch);
    m_peakBatch.clear();
    m_peakFile.close();
    m_peaks.reset();
}
