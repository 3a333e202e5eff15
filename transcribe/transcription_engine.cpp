#include "transcription_engine.h"

#include "error_log.h"
#include "transcription_observer.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// Events (note-ons and note-offs) a run can hold before its list grows: about twenty minutes
// of quick singing.
constexpr std::size_t kReservedEvents = 8192;

} // namespace

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
    notes_.configure(parameters, &tracker_);
    result_.clear();
    result_.events.reserve(kReservedEvents);
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
    if (!result_.events.empty())
        NoteRefiner::refine(result_, tuning_);
    running_ = false;
    return true;
}

double TranscriptionEngine::frameTime(int frame) const
{
    return parameters_.frameTime(frame);
}

double TranscriptionEngine::eventTime(int frame) const
{
    return parameters_.eventTime(frame);
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

// Note building sees the tracks extended to this frame; the overall level it needs is that of
// the emission frame, still inside the level ring.
void TranscriptionEngine::buildNotes()
{
    notes_.run(frame_, analyser_.peaks(), frameLevel(frame_ - parameters_.emissionLag), result_);
}
