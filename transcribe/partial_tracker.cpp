#include "partial_tracker.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kSemitone = 1.0594631f;        // 2^(1/12)
constexpr float kSixteenthOctave = 1.0442737f; // 2^(1/16)
constexpr float kWindowBins = 3.0f;            // smallest continuation half-width, in bins

} // namespace

void PartialTracker::configure(const AnalysisParameters& parameters)
{
    parameters_ = parameters;
    reset();
}

void PartialTracker::reset()
{
    active_.clear();
    free_.clear();
    for (auto& track : storage_)
        free_.push_back(track.get());
    nextId_ = 0;
}

void PartialTracker::dropEnded(int frame)
{
    const int limit = frame - parameters_.emissionLag;
    size_t kept = 0;
    for (PartialTrack* track : active_) {
        if (track->hasEnded() && track->stopFrame() <= limit) {
            if (!track->isKept())
                free_.push_back(track); // within the capacity reserved at birth
        } else {
            active_[kept++] = track;
        }
    }
    active_.resize(kept);
}

void PartialTracker::continueTracks(int frame, std::span<SpectralPeak> peaks)
{
    sortByLoudness(frame - 1);
    for (size_t index : order_)
        extend(*active_[index], frame, peaks);
}

void PartialTracker::startTracks(int frame, std::span<SpectralPeak> peaks)
{
    for (SpectralPeak& peak : peaks) {
        if (peak.owner)
            continue;
        PartialTrack& track = newTrack(frame);
        track.append(peak);
        peak.owner = &track;
    }
}

PartialTrack& PartialTracker::newTrack(int startFrame)
{
    PartialTrack* track;
    if (free_.empty()) {
        storage_.push_back(std::make_unique<PartialTrack>());
        track = storage_.back().get();
        free_.reserve(storage_.capacity());
    } else {
        track = free_.back();
        free_.pop_back();
    }
    track->restart(nextId_++, startFrame);
    active_.push_back(track);
    order_.reserve(active_.capacity());
    amplitude_.resize(active_.capacity());
    return *track;
}

// The loudest running track is served first; among equal amplitudes the earlier one in the
// list. The amplitudes are fixed for the frame, so one sort gives the order of repeated picks.
void PartialTracker::sortByLoudness(int previousFrame)
{
    order_.clear();
    for (size_t i = 0; i < active_.size(); ++i) {
        if (active_[i]->hasEnded())
            continue;
        amplitude_[i] = std::pow(10.0f, active_[i]->level(previousFrame) / 20.0f);
        order_.push_back(i);
    }
    std::sort(order_.begin(), order_.end(), [this](size_t a, size_t b) {
        return amplitude_[a] != amplitude_[b] ? amplitude_[a] > amplitude_[b] : a < b;
    });
}

// The window around the last frequency D reaches a semitone, the predicted frequency
// 2D − (the frequency before) ± 1/16 octave, and 3 bins, whichever is wider. Within it the
// loudest free peak wins; a peak taken by a track that was higher in the last frame closes the
// window, one taken by a lower track discards what lies below it, so tracks never cross.
void PartialTracker::extend(PartialTrack& track, int frame, std::span<SpectralPeak> peaks) const
{
    const int previous = frame - 1;
    const float last = track.frequency(previous);
    const float predicted =
        track.length() >= 2 ? 2.0f * last - track.frequency(previous - 1) : last;
    const float zone = kWindowBins * parameters_.binWidth;
    const float upper = std::max({last * kSemitone, predicted * kSixteenthOctave, last + zone});
    const float lower = std::min({last / kSemitone, predicted / kSixteenthOctave, last - zone});

    auto it = std::lower_bound(peaks.begin(), peaks.end(), lower,
                               [](const SpectralPeak& p, float f) { return p.frequency < f; });
    SpectralPeak* choice = nullptr;
    for (; it != peaks.end() && it->frequency <= upper; ++it) {
        if (it->owner) {
            if (it->owner->frequency(previous) > last)
                break;
            choice = nullptr;
        } else if (!choice || it->level > choice->level) {
            choice = &*it;
        }
    }
    if (!choice) {
        track.end();
        return;
    }
    choice->owner = &track;
    track.append(*choice);
}
