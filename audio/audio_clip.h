#pragma once

#include "clip.h"

#include <memory>

class AudioBuffer;
class AudioRecorder;

/**
 * AudioClip: a clip of the audio track, playing a stretch of an audio file.
 *
 * The clip owns an AudioBuffer on its file while open; the buffer reads ahead on its own
 * thread, converting the file to the engine's rate and stretching it by the clip's factor. A
 * clip whose file cannot be opened has no buffer and stays silent.
 *
 * A record clip writes its file instead: openRecording() gives it an AudioRecorder, which the
 * process cycle feeds with the input while the session records; it neither plays nor seeks.
 *
 * Threads: everything on the GUI thread, under the session's edit lock while the clip is on a
 * track of a running session, except process(), seek() and rewind(), which also run in the
 * audio callback (the play head's cursor calls them) and never lock, allocate or log.
 */
class AudioClip : public Clip
{
public:
    /** sampleRate is used while the clip is on no track; on a track the session's rate counts. */
    explicit AudioClip(int sampleRate = 44100);
    ~AudioClip() override;

    /** Opens a buffer on the file; a clip of length 0 takes the length the file gives. */
    bool open() override;
    void close(bool removeIfEmpty) override;
    void seek(uint32_t position) override;
    void rewind(bool loopSet) override;
    void setLoopWindow(uint32_t in, uint32_t out) override;
    /**
     * Audio callback: mixes the part of [first, last) the clip covers into its track's output
     * bus, scaled by the clip's gain envelope and the track's gain and pan. A buffer not at the
     * clip's position seeks there and the clip is silent for this call.
     */
    void process(uint32_t first, uint32_t last) override;
    QString toolTip() const override;

    /** Time stretch (2 plays twice as long); outside the active ranges it is 1. Rescales the
     * clip's length and offset. */
    float stretchFactor() const override { return m_stretch; }
    void setStretchFactor(float factor) override;
    /** Pitch factor (1 = unchanged); outside the active ranges it is 1. */
    float pitchShift() const override { return m_pitch; }
    void setPitchShift(float factor) override;
    bool needsTranscription() const override { return m_needsTranscription; }
    void setNeedsTranscription(bool on) override { m_needsTranscription = on; }

    /**
     * Makes this the record clip of a take: creates its file for writing with `channels`
     * channels at `sampleRate` in the registry's write format. False, with the reason in the
     * error log, when the file cannot be made.
     */
    bool openRecording(int channels, int sampleRate);
    /** The take's writer while recording; none otherwise. */
    AudioRecorder* recorder() const { return m_recorder.get(); }
    bool isRecording() const { return m_recorder != nullptr; }

    /** The open buffer, none when the file could not be opened or the clip is closed. */
    AudioBuffer* buffer() const { return m_buffer.get(); }
    /** The open file's channels and sample rate; 0 when closed. */
    int channels() const;
    int fileSampleRate() const;

private:
    int engineRate() const;

    std::unique_ptr<AudioBuffer> m_buffer;
    std::unique_ptr<AudioRecorder> m_recorder;
    int m_sampleRate;
    float m_stretch = 1.0f;
    float m_pitch = 1.0f;
    bool m_needsTranscription = true;
};
