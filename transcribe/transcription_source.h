#pragma once

/**
 * Where the audio of one transcription run comes from, already at the analysis rate: an audio
 * file read through a converter (the command line), or the audio clip's buffer (Audio to MIDI).
 * Read on the thread that runs the transcription.
 */
class TranscriptionSource
{
public:
    virtual ~TranscriptionSource() = default;

    virtual int channelCount() const = 0;
    /** Frames read per step; also the size of each channel buffer handed to read(). */
    virtual int blockSize() const = 0;
    /**
     * Reads up to `frames` (at most blockSize()) frames, one buffer per channel. Returns the
     * frames delivered; less than 1 at the end of the audio or on failure.
     */
    virtual long long read(float* const* channels, int frames) = 0;
};
