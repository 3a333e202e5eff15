#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

/**
 * TimeStretcher: changes the length of planar float audio without changing its pitch (and, when
 * asked, its pitch without changing its length), for one audio buffer.
 *
 * It is the overlap-add of the best-matching segment: every sequence of the input is
 * cross-faded into the output at the offset, within a seek window, where it best matches what
 * was written last. The work is libsoundtouch's; this class gives it the parameters the program
 * uses, all derived from the tempo (1 ÷ the stretch factor, so a factor of 2.0 plays twice as
 * long): sequence = clamp(150 − 50 × tempo, 50, 125) ms, seek window =
 * clamp(28.333334 − 6.6666665 × tempo, 15, 25) ms, overlap 8 ms; the offset search probes every
 * offset of the window unless quick seek is on.
 *
 * All buffers are made in configure(); the audio buffer thread alone uses an object.
 */
class TimeStretcher
{
public:
    /** A factor counts only inside (0.1, 0.999) or (1.001, 4.0); anything else means none. */
    static bool isActiveFactor(float factor);

    TimeStretcher();
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    /**
     * Prepares for `channels` channels at `sampleRate` with a stretch factor and a pitch
     * factor (1 = unchanged), taking blocks of at most maxBlock frames. False when the channel
     * count or the rate cannot be used.
     */
    bool configure(int channels, int sampleRate, float stretch, float pitch, bool quickSeek,
                   int maxBlock);

    /** Sequence and seek window in milliseconds for a tempo, rounded half up inside the range. */
    static int sequenceMs(double tempo);
    static int seekWindowMs(double tempo);
    static constexpr int kOverlapMs = 8;

    int channels() const { return m_channels; }
    /** Feeds `frames` frames (at most maxBlock), one buffer per channel. */
    void put(const float* const* input, int frames);
    /** Takes up to `frames` finished frames into one buffer per channel; returns how many. */
    int take(float* const* output, int frames);
    /** Frames ready to be taken. */
    int available() const;
    /** At the end of the input: pushes out what is still held (then take() the rest). */
    void flush();
    /** Forgets every frame held (after a seek). */
    void clear();

private:
    std::unique_ptr<soundtouch::SoundTouch> m_touch;
    std::vector<float> m_interleaved;
    int m_channels = 0;
    int m_maxBlock = 0;
};
