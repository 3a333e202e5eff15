#include "track_detector.h"

#include "partial_tracker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kWindow = 12;                  // frames every detector but the body looks back
constexpr float kSlope = 40.0f / 43.0f;      // 0.9302326 dB per frame, stored as this float
constexpr float kAttackStep = 5.0f * kSlope; // 4.6511626 dB: a steep step of the attack
constexpr float kOnsetRise = -4.0f;          // onset: present above the past by 4 dB + slope
constexpr float kAttackTurn = 4.0f;          // attack: past above the rising line by 4 dB
constexpr float kDecayFall = 4.5f;           // decay: past above the falling line by 4.5 dB
constexpr float kReleaseFlat = -4.5f;        // release: past below the falling line by 4.5 dB
constexpr float kStableRange = 2.0f;         // semitones a body's pitch may span
constexpr float kBodyDeviation = 1.2f;       // semitones from the body's mean that end it
// A body age past this many frames is out of any track's reach; it also keeps a tiny
// prominence (2000 ÷ e² enormous) from overflowing the integer conversion.
constexpr float kLongestAge = 1.0e6f;

bool isSet(int frame)
{
    return TrackMarkers::isSet(frame);
}

// The largest of the frames, unset ones counting as TrackMarkers::kUnset.
int latest(std::initializer_list<int> frames)
{
    return std::max(frames);
}

double erfTerm(double decibels)
{
    return 1.0 + std::erf(decibels / (10.0 * std::numbers::sqrt2));
}

} // namespace

void TrackDetector::configure(const AnalysisParameters& parameters, PartialTracker* tracker)
{
    parameters_ = parameters;
    tracker_ = tracker;
}

int TrackDetector::slopeSearch(const PartialTrack& track, int lo, int a, float slope,
                               float threshold)
{
    lo = std::max(lo, track.startFrame());
    const float present = track.level(a);
    for (int i = a - 1; i >= lo; --i) {
        const float deviation = track.level(i) - (present - slope * static_cast<float>(a - i));
        if (threshold < 0.0f ? deviation < threshold : deviation > threshold)
            return i;
    }
    return kNone;
}

// Onset, attack, body, body end and decay are tried in this order and the step starts over
// after any change; release is tried only when none of them changed anything. Every change
// sets a marker that was unset or ends the track by a split, so the loop is short.
void TrackDetector::step(PartialTrack& track, int frame, std::span<SpectralPeak> peaks)
{
    for (;;) {
        if (track.hasEnded() || track.length() < 2 || !track.isActiveAt(frame - 1) ||
            !track.isActiveAt(frame))
            return;
        if (onset(track, frame, peaks) || attack(track, frame) || body(track, frame, peaks) ||
            bodyEnd(track, frame) || decay(track, frame))
            continue;
        if (!release(track, frame))
            return;
    }
}

bool TrackDetector::onset(PartialTrack& track, int a, std::span<SpectralPeak> peaks)
{
    TrackMarkers& m = track.markers();
    if (isSet(m.onsetFrame) && !isSet(m.peakFrame))
        return false; // an onset is waiting for its peak
    if (isSet(m.decayFrame) && !isSet(m.releaseFrame))
        return false; // a decay is waiting for its release
    const int lo = std::max(a - kWindow, isSet(m.peakFrame) ? m.peakFrame : track.startFrame());
    const int i = slopeSearch(track, lo, a, kSlope, kOnsetRise);
    if (i == kNone)
        return false;
    if (!isSet(m.onsetFrame) && !isSet(m.bodyStartFrame)) {
        m.onsetFrame = i;
        return true;
    }
    split(track, i, peaks).markers().onsetFrame = i;
    return true;
}

// The peak is where the rise stopped: the frame found, or the local maximum just before it.
// The attack is the frame after the last steep step on the way up to the peak.
bool TrackDetector::attack(PartialTrack& track, int a) const
{
    TrackMarkers& m = track.markers();
    if (isSet(m.peakFrame))
        return false;
    const int lo = latest({a - kWindow, track.startFrame(), m.onsetFrame});
    const int f = slopeSearch(track, lo, a, kSlope, kAttackTurn);
    if (f == kNone)
        return false;
    int p = f;
    if (f - 1 >= lo && track.level(f - 1) > track.level(f)) {
        p = f - 1;
        while (p - 1 >= lo && track.level(p - 1) > track.level(p))
            --p;
    }
    m.peakFrame = p;
    if (p - 1 < lo) {
        m.attackFrame = p;
        return true;
    }
    int g = p;
    if (track.level(p) - track.level(p - 1) < kAttackStep) {
        g = p - 1;
        while (g - 1 >= lo && track.level(g) - track.level(g - 1) < kAttackStep)
            --g;
    }
    m.attackFrame = g;
    return true;
}

bool TrackDetector::body(PartialTrack& track, int a, std::span<SpectralPeak> peaks)
{
    TrackMarkers& m = track.markers();
    if (!isSet(m.peakFrame))
        return false;
    if (isSet(m.bodyStartFrame) && !isSet(m.bodyEndFrame))
        return false; // a body is open
    if (isSet(m.decayFrame) && !isSet(m.releaseFrame))
        return false;
    const int c = latest({m.bodyEndFrame, m.peakFrame, m.releaseFrame});
    const int d = requiredBodyStart(track, a, c);
    if (d < track.startFrame() || (isSet(m.bodyEndFrame) && d < m.bodyEndFrame) ||
        (isSet(m.releaseFrame) && d < m.releaseFrame))
        return false;

    // The stable stretch [o, a]: its pitch spans at most 2 semitones.
    const int lowest = std::min(c, d);
    int o = a;
    float low = track.pitch(a);
    float high = low;
    while (o > lowest) {
        const float p = track.pitch(o - 1);
        if (std::max(high, p) - std::min(low, p) > kStableRange)
            break;
        low = std::min(low, p);
        high = std::max(high, p);
        --o;
    }
    if (d < o)
        return false; // not stable for long enough yet
    if (isSet(m.bodyStartFrame) || isSet(m.decayFrame)) {
        split(track, o, peaks);
        return true;
    }
    double sum = 0.0;
    for (int i = o; i <= a; ++i)
        sum += track.pitch(i);
    m.bodyStartFrame = o;
    m.bodyPitch = static_cast<float>(sum / (a - o + 1));
    return true;
}

// The frame the stable stretch must reach back to: the decision lag behind the present, or
// less for a prominent partial. Walking back from a over the frames that stand above their
// local level by e dB, each allows a body age of truncate(2000 ÷ e² + 1) frames. A frame with
// e = 0 (an infinite age) ends the walk, like one below its local level.
int TrackDetector::requiredBodyStart(const PartialTrack& track, int a, int from) const
{
    int d = a - parameters_.decisionLag;
    for (int i = a; i >= from; --i) {
        const float e = track.level(i) - track.localLevel(i);
        if (!(e > 0.0f))
            break;
        const float age = 2000.0f / (e * e) + 1.0f;
        if (age < kLongestAge)
            d = std::max(d, i - static_cast<int>(age));
    }
    return d;
}

bool TrackDetector::bodyEnd(PartialTrack& track, int a) const
{
    TrackMarkers& m = track.markers();
    if (!isSet(m.bodyStartFrame) || isSet(m.bodyEndFrame))
        return false;
    const bool onsetPending = isSet(m.onsetFrame) && !isSet(m.peakFrame);
    const bool decayPending = isSet(m.decayFrame) && !isSet(m.releaseFrame);
    if (!onsetPending && !decayPending && std::abs(track.pitch(a) - m.bodyPitch) < kBodyDeviation)
        return false;
    m.bodyEndFrame = a;
    return true;
}

bool TrackDetector::decay(PartialTrack& track, int a) const
{
    TrackMarkers& m = track.markers();
    if (isSet(m.decayFrame))
        return false;
    if (!isSet(m.onsetFrame) ? !isSet(m.bodyStartFrame) : !isSet(m.peakFrame))
        return false;
    const int lo = latest({a - kWindow, track.startFrame(), m.bodyStartFrame, m.peakFrame});
    const int i = slopeSearch(track, lo, a, -kSlope, kDecayFall);
    if (i == kNone)
        return false;
    m.decayFrame = i;
    return true;
}

bool TrackDetector::release(PartialTrack& track, int a) const
{
    TrackMarkers& m = track.markers();
    if (!isSet(m.decayFrame) || isSet(m.releaseFrame))
        return false;
    const int lo =
        std::max(a - kWindow < m.decayFrame ? m.decayFrame : a - kWindow, track.startFrame());
    const int i = slopeSearch(track, lo, a, -kSlope, kReleaseFlat);
    if (i == kNone)
        return false;
    m.releaseFrame = i;
    m.releaseLastFrame = i - 1;
    return true;
}

// The second half takes the series from the split frame on and starts without markers; the
// first half ends there and forgets the markers of the part it lost. noteStartFrame,
// releaseFrame and bodyPitch stay: a note already decided on this track still belongs to it.
PartialTrack& TrackDetector::split(PartialTrack& track, int frame, std::span<SpectralPeak> peaks)
{
    PartialTrack& next = tracker_->newTrack(frame);
    for (int f = frame; f < track.stopFrame(); ++f)
        next.append(track.at(f));
    next.setSplitFrom(track.id());
    track.cutAt(frame);
    TrackMarkers& m = track.markers();
    for (int* marker : {&m.attackFrame, &m.releaseLastFrame, &m.onsetFrame, &m.peakFrame,
                        &m.bodyStartFrame, &m.bodyEndFrame, &m.decayFrame}) {
        if (*marker >= frame)
            *marker = TrackMarkers::kUnset;
    }
    for (SpectralPeak& peak : peaks) {
        if (peak.owner == &track)
            peak.owner = &next;
    }
    return next;
}

void TrackDetector::decideNoteStart(PartialTrack& track, int frame) const
{
    TrackMarkers& m = track.markers();
    const int decision = frame - parameters_.decisionLag;
    if (isSet(m.noteStartFrame) || !isSet(m.peakFrame) ||
        m.peakFrame < frame - parameters_.emissionLag)
        return;
    if (!isSet(m.bodyStartFrame) || m.bodyStartFrame > decision || m.peakFrame > decision ||
        !track.isActiveAt(decision))
        return;
    const TrackPoint& p = track.at(decision);
    // Unmasked and well above the local level: each factor is 1 at the border, 2 far above.
    if (erfTerm(p.level - p.maskLevel) * erfTerm(p.level - p.localLevel - 20.0f) > 1.0)
        m.noteStartFrame = decision;
}
