#pragma once

#include "analysis_parameters.h"
#include "note_builder.h"
#include "note_refiner.h"
#include "partial_tracker.h"
#include "spectrum_analyser.h"
#include "transcription_result.h"

#include <span>
#include <vector>

class TranscriptionObserver;

/**
 * Transcribes a sung or played mono melody: cuts the signal into overlapping frames, finds the
 * spectral peaks of each frame and follows them as partial tracks, from which note building
 * makes the notes; at the end of a run the notes are tuned and the key is estimated.
 *
 * One engine serves the whole program. A run is configure(), any number of feed() calls and
 * finish(), after which result() holds the notes. All buffers and the FFT plan are made in
 * configure(); a frame allocates nothing except when a partial track is born or a scratch or
 * result list outgrows what configure() reserved. GUI thread only (or any single thread at a
 * time).
 */
class TranscriptionEngine
{
public:
    TranscriptionEngine() = default;
    TranscriptionEngine(const TranscriptionEngine&) = delete;
    TranscriptionEngine& operator=(const TranscriptionEngine&) = delete;

    /**
     * Starts a new run at a sample rate (the driver always uses 11025 Hz), forgetting every
     * track and frame of the previous run. Returns false, with the reason in the error log,
     * for a rate the analysis cannot use; the engine then refuses feed() until a
     * configure() succeeds.
     */
    bool configure(float sampleRate);

    /**
     * Analyses `count` samples of the first channel; a null `channels` (or first channel)
     * stands for zeros. Returns false, doing nothing, when no run is open: before a
     * successful configure() or after finish().
     */
    bool feed(const float* const* channels, long long count);

    /**
     * Flushes the run with zeros so every pending decision and note-off is reached, measures
     * the notes, tunes them and estimates the key, and closes the run.
     */
    bool finish();

    /** The notes of the run: complete after finish(), valid until the next configure(). */
    const TranscriptionResult& result() const { return result_; }

    bool isRunning() const { return running_; }
    const AnalysisParameters& parameters() const { return parameters_; }

    /** Frames analysed in this run; the next frame gets this number. */
    int frameCount() const { return frame_; }

    /**
     * Time of a frame in seconds from the first sample: (frame × hop − B) ÷ rate, where B is
     * half the frame size. Negative for the first frames.
     */
    double frameTime(int frame) const;

    /** A frame's time as events carry it: never before the first sample. */
    double eventTime(int frame) const;

    /**
     * Overall level of a recent frame in dB: one of the last levelHistory() frames up to the
     * frame being tracked, which covers every frame note building looks at. Older frames read
     * as silence.
     */
    float frameLevel(int frame) const;
    int levelHistory() const { return static_cast<int>(frameLevels_.size()); }

    const SpectrumAnalyser& spectrum() const { return analyser_; }
    const PartialTracker& tracker() const { return tracker_; }

    /**
     * How finish() tunes and times the notes; kept across runs. FollowSinger unless set.
     */
    void setTuning(NoteRefiner::Tuning tuning) { tuning_ = tuning; }
    NoteRefiner::Tuning tuning() const { return tuning_; }

    /** Reports every analysed frame to the observer (or to nobody with nullptr). */
    void setObserver(TranscriptionObserver* observer) { observer_ = observer; }

private:
    void analyseFrame();
    void trackStep();
    void buildNotes();

    AnalysisParameters parameters_;
    SpectrumAnalyser analyser_;
    PartialTracker tracker_;
    NoteBuilder notes_;
    TranscriptionResult result_;
    std::vector<float> input_;       // the frame being filled, oldest sample first
    std::vector<float> frameLevels_; // ring of recent frame levels, indexed by frame
    TranscriptionObserver* observer_ = nullptr;
    NoteRefiner::Tuning tuning_ = NoteRefiner::Tuning::FollowSinger;
    int fill_ = 0; // samples of the current hop already in input_
    int frame_ = 0;
    int levelCount_ = 0; // frames whose level is in frameLevels_
    bool running_ = false;
};
