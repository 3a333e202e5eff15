#include "transcription_engine.h"

#include "error_log.h"
#include "transcription_observer.h"

#include <algorithm>
#include <bit>
#include <cmath>

bool TranscriptionEngine::configure(float sampleRate)
{
    running_ = false;
    const AnalysisParameters parameters = AnalysisParameters::forSampleRate(sampleRate);
    if (!parameters.isUsable()) {
        ErrorLog::add(QStringLiteral("TranscriptionEngine::configure: unsupported sample rate %1")
                          .arg(static_cast<double>(sampleRate)));
        return false;
    }
    if (!analyser_.configure(parameters))
        return false;
    parameters_ = parameters;
    analyser_.reset();
    tracker_.configure(parameters);
    input_.assign(static_cast<size_t>(parameters.frameSize), 0.0f);
    const auto history =
        std::bit_ceil(static_cast<unsigned>(parameters.emissionLag + parameters.decisionLag + 1));
    frameLevels_.assign(history, SpectrumAnalyser::kFloor);
    // TODO: reset the transcription result and release the harmonic groups (note building).
    fill_ = 0;
    frame_ = 0;
    levelCount_ = 0;
    running_ = true;
    return true;
}

bool TranscriptionEngine::feed(const float* const* channels, long long count)
{
    if (!running_) {
        ErrorLog::add(QStringLiteral("TranscriptionEngine::feed: no transcription run is open"));
        return false;
    }
    const float* source = channels ? channels[0] : nullptr;
    const int hop = parameters_.hop;
    float* hopStart = input_.data() + (parameters_.frameSize - hop);
    while (count > 0) {
        const int n = static_cast<int>(std::min<long long>(hop - fill_, count));
        if (source) {
            std::copy(source, source + n, hopStart + fill_);
            source += n;
        } else {
            std::fill(hopStart + fill_, hopStart + fill_ + n, 0.0f);
        }
        fill_ += n;
        count -= n;
        if (fill_ == hop) {
            analyseFrame();
            std::copy(input_.begin() + hop, input_.end(), input_.begin());
            fill_ = 0;
            ++frame_;
        }
    }
    return true;
}

bool TranscriptionEngine::finish()
{
    if (!running_) {
        ErrorLog::add(QStringLiteral("TranscriptionEngine::finish: no transcription run is open"));
        return false;
    }
    feed(nullptr, parameters_.flushLength());
    // TODO: post-process the notes: durations, tuning offset and key estimate.
    running_ = false;
    return true;
}

double TranscriptionEngine::frameTime(int frame) const
{
    return (static_cast<double>(frame) * parameters_.hop - parameters_.binCount) /
           parameters_.sampleRate;
}

double TranscriptionEngine::eventTime(int frame) const
{
    return std::max(0.0, frameTime(frame));
}

float TranscriptionEngine::frameLevel(int frame) const
{
    const int history = levelHistory();
    if (frame < 0 || frame >= levelCount_ || frame < levelCount_ - history)
        return SpectrumAnalyser::kFloor;
    return frameLevels_[static_cast<size_t>(frame & (history - 1))];
}

void TranscriptionEngine::analyseFrame()
{
    analyser_.analyse(input_);
    frameLevels_[static_cast<size_t>(frame_ & (levelHistory() - 1))] = analyser_.frameLevel();
    levelCount_ = frame_ + 1;
    trackStep();
    if (observer_)
        observer_->frameAnalysed(*this, frame_);
}

// The order is fixed: note building sees every running track extended to this frame, and
// the tracks born from this frame's leftover peaks only from the next frame on.
void TranscriptionEngine::trackStep()
{
    tracker_.dropEnded(frame_);
    tracker_.continueTracks(frame_, analyser_.peaks());
    buildNotes();
    tracker_.startTracks(frame_, analyser_.peaks());
}

// Note building runs here once per frame, after every running track has been extended:
// 1. for each track of tracker_.activeTracks() in list order, by index, since a split appends
//    its second half (tracker_.newTrack()) during this pass and the pass must reach it: the
//    onset, attack, body, body-end, decay and release detectors, then the note-start decision
//    at frame_ − decisionLag;
// 2. note-offs of sounding notes whose fundamental ended at frame_ − emissionLag;
// 3. harmonic grouping and note-ons at frame_ − emissionLag, using frameLevel() of that frame.
// Member tracks of a chosen group must be marked keepUntilReset() so they are not recycled.
void TranscriptionEngine::buildNotes()
{
    // TODO: note building (track detectors, note-start decisions, note-offs, grouping and
    // note-ons into the transcription result).
}
