#include "note_builder.h"

#include "partial_track.h"
#include "partial_tracker.h"
#include "pitch.h"

#include <algorithm>
#include <cmath>

namespace {

bool isSet(int frame)
{
    return TrackMarkers::isSet(frame);
}

// Scratch sizes that cover ordinary singing; larger frames grow them once.
constexpr std::size_t kTracks = 512;
constexpr std::size_t kCandidates = 64;
constexpr std::size_t kMembers = 2048;
constexpr std::size_t kSounding = 64;
constexpr std::size_t kBodyFrames = 256;

constexpr float kLowestScore = -60.0f;    // dB a chosen group must exceed in any case
constexpr float kAboveFrameLevel = 10.0f; // dB a chosen group must exceed the frame's level
constexpr double kSilence = -150.0;       // score of a group with nothing to sound

// Exact rule: −90 dB maps to 0 and 0 dB to 126 (floor of x + 0.5); 126 is the highest.
uint8_t velocityOf(float level)
{
    const double v = std::floor((level + 90.0) * 126.0 / 90.0 + 0.5);
    return static_cast<uint8_t>(std::min(126.0, std::max(0.0, v)));
}

} // namespace

void NoteBuilder::configure(const AnalysisParameters& parameters, PartialTracker* tracker)
{
    parameters_ = parameters;
    tracker_ = tracker;
    detector_.configure(parameters, tracker);
    sounding_.reserve(kSounding);
    candidates_.reserve(kCandidates);
    members_.reserve(kMembers);
    strength_.reserve(kTracks);
    claimedTrack_.reserve(kTracks);
    bodyFrequencies_.reserve(kBodyFrames);
    reset();
}

void NoteBuilder::reset()
{
    sounding_.clear();
    candidates_.clear();
    members_.clear();
}

// The order is fixed: every track's detectors and note-start decision first (tracks split off
// in this pass are reached too, so the loop goes by index), then note-offs, then the note-ons,
// so a note ending and another starting in the same frame are emitted off before on.
void NoteBuilder::run(int frame, std::span<SpectralPeak> peaks, float emissionLevel,
                      TranscriptionResult& result)
{
    for (std::size_t i = 0; i < tracker_->activeTracks().size(); ++i) {
        PartialTrack& track = *tracker_->activeTracks()[i];
        detector_.step(track, frame, peaks);
        detector_.decideNoteStart(track, frame);
    }
    emitNoteOffs(frame, result);

    const int emission = frame - parameters_.emissionLag;
    if (!someNoteStartsAt(emission))
        return;
    makeCandidates(emission);
    chooseGroups(emissionLevel);
    // Chosen groups of notes that started earlier only held on to their tracks.
    for (const HarmonicGroup& group : candidates_) {
        if (group.rank != HarmonicGroup::kNotChosen &&
            group.fundamental->markers().noteStartFrame == emission)
            emitNoteOn(*group.fundamental, frame, result);
    }
    candidates_.clear();
    members_.clear();
}

// The note-off frame is the release's last frame, or the track's last frame once it has ended.
int NoteBuilder::noteEnd(const PartialTrack& track)
{
    const TrackMarkers& m = track.markers();
    if (isSet(m.releaseLastFrame))
        return m.releaseLastFrame;
    return track.hasEnded() ? track.lastFrame() : TrackMarkers::kUnset;
}

// A note-off is due when its frame reaches the emission frame. A note whose end only became
// known after that frame had passed (a split cut its track further back) is closed at once
// rather than left sounding.
void NoteBuilder::emitNoteOffs(int frame, TranscriptionResult& result)
{
    const int emission = frame - parameters_.emissionLag;
    std::size_t kept = 0;
    for (const SoundingNote& note : sounding_) {
        const int end = noteEnd(*note.fundamental);
        if (isSet(end) && end <= emission) {
            appendNoteOff(note, end, result);
            note.fundamental->setKept(false);
        } else {
            sounding_[kept++] = note;
        }
    }
    sounding_.resize(kept);
}

void NoteBuilder::appendNoteOff(const SoundingNote& note, int endFrame,
                                TranscriptionResult& result) const
{
    TranscribedEvent off;
    // A release found just before the attack must not end the note before it starts.
    off.time = std::max(parameters_.eventTime(endFrame), note.onTime);
    off.status = TranscribedEvent::kNoteOff;
    off.note = static_cast<uint8_t>(noteNumberOf(pitchOf(note.frequency)));
    off.velocity = 0;
    off.frequency = note.frequency;
    result.events.push_back(off);
}

bool NoteBuilder::someNoteStartsAt(int emission) const
{
    for (const PartialTrack* track : tracker_->activeTracks()) {
        if (track->markers().noteStartFrame == emission)
            return true;
    }
    return false;
}

// Every track with a note (new or still sounding) proposes itself as a fundamental; every
// other track near one of its harmonics joins with a weight that falls with the harmonic
// number and with the distance from the exact harmonic.
void NoteBuilder::makeCandidates(int emission)
{
    const auto tracks = tracker_->activeTracks();
    candidates_.clear();
    members_.clear();
    strength_.assign(tracks.size(), 0.0);
    claimedTrack_.assign(tracks.size(), 0);
    for (std::size_t i = 0; i < tracks.size(); ++i)
        strength_[i] = trackStrength(*tracks[i], emission);

    for (std::size_t r = 0; r < tracks.size(); ++r) {
        PartialTrack& root = *tracks[r];
        if (!root.isActiveAt(emission) || !isSet(root.markers().noteStartFrame))
            continue;
        HarmonicGroup group;
        group.fundamental = &root;
        group.firstMember = static_cast<int>(members_.size());
        const int index = static_cast<int>(candidates_.size());
        members_.push_back({1, 1.0f, 1.0f, index, static_cast<int>(r)});
        const float base = root.frequency(emission);
        for (std::size_t s = 0; s < tracks.size(); ++s) {
            if (s == r || !tracks[s]->isActiveAt(emission))
                continue;
            int harmonic = 0;
            const float weight = harmonicWeight(tracks[s]->frequency(emission) / base, &harmonic);
            if (weight > 0.0f)
                members_.push_back({harmonic, weight, 1.0f, index, static_cast<int>(s)});
        }
        group.memberCount = static_cast<int>(members_.size()) - group.firstMember;
        candidates_.push_back(group);
    }
}

// Greedy choice: the strongest remaining group (the first of equals) is chosen while it stands
// out above both −60 dB and 10 dB over the frame's level; each choice claims its tracks from
// every group not chosen, so a harmonic heard in one note does not make another.
void NoteBuilder::chooseGroups(float emissionLevel)
{
    const double threshold = std::max(kLowestScore, emissionLevel + kAboveFrameLevel);
    int rank = 0;
    for (;;) {
        int best = -1;
        double bestScore = 0.0;
        for (std::size_t i = 0; i < candidates_.size(); ++i) {
            if (candidates_[i].rank != HarmonicGroup::kNotChosen)
                continue;
            const double score = groupScore(candidates_[i]);
            if (best < 0 || score > bestScore) {
                best = static_cast<int>(i);
                bestScore = score;
            }
        }
        if (best < 0 || !(bestScore > threshold))
            return;
        candidates_[static_cast<std::size_t>(best)].rank = ++rank;
        claimTracksOf(candidates_[static_cast<std::size_t>(best)]);
    }
}

double NoteBuilder::groupScore(const HarmonicGroup& group) const
{
    double sum = 0.0;
    for (int i = 0; i < group.memberCount; ++i) {
        const HarmonicGroup::Member& m = members_[static_cast<std::size_t>(group.firstMember + i)];
        sum += strength_[static_cast<std::size_t>(m.track)] * m.weight * m.claim;
    }
    if (group.memberCount == 0 || !(sum > 0.0))
        return kSilence;
    return 20.0 * std::log10(sum);
}

void NoteBuilder::claimTracksOf(const HarmonicGroup& chosen)
{
    for (int i = 0; i < chosen.memberCount; ++i)
        claimedTrack_[static_cast<std::size_t>(members_[chosen.firstMember + i].track)] = 1;
    for (HarmonicGroup::Member& m : members_) {
        if (claimedTrack_[static_cast<std::size_t>(m.track)] &&
            candidates_[static_cast<std::size_t>(m.group)].rank == HarmonicGroup::kNotChosen)
            m.claim = 0.0f;
    }
    for (int i = 0; i < chosen.memberCount; ++i)
        claimedTrack_[static_cast<std::size_t>(members_[chosen.firstMember + i].track)] = 0;
}

// The note takes the median frequency of its body up to the decision frame and the level at
// the body's start. A fundamental that already ended at or before the emission frame gets its
// note-off at once, since the note-off pass of this frame has run.
void NoteBuilder::emitNoteOn(PartialTrack& fundamental, int frame, TranscriptionResult& result)
{
    const TrackMarkers& m = fundamental.markers();
    const int emission = frame - parameters_.emissionLag;
    const int body = fundamental.isActiveAt(m.bodyStartFrame) ? m.bodyStartFrame : m.noteStartFrame;
    const int attack = isSet(m.attackFrame) ? m.attackFrame : body;

    SoundingNote note;
    note.fundamental = &fundamental;
    note.frequency = medianBodyFrequency(fundamental, body, frame);
    note.onTime = parameters_.eventTime(attack);

    TranscribedEvent on;
    on.time = note.onTime;
    on.status = TranscribedEvent::kNoteOn;
    on.note = static_cast<uint8_t>(noteNumberOf(pitchOf(note.frequency)));
    on.velocity = velocityOf(fundamental.level(body));
    on.frequency = note.frequency;
    result.events.push_back(on);
    ++result.noteCount;

    const int end = noteEnd(fundamental);
    if (isSet(end) && end <= emission) {
        appendNoteOff(note, end, result);
        return;
    }
    fundamental.setKept(true);
    sounding_.push_back(note);
}

// Median over [body, e) with e the decision frame, or the body's end, the release's last frame
// or the track's last frame when that comes first; for an even count the lower middle value.
// An empty span gives the frequency at the body's start.
float NoteBuilder::medianBodyFrequency(const PartialTrack& track, int body, int frame)
{
    const TrackMarkers& m = track.markers();
    int e = frame - parameters_.decisionLag;
    int end = TrackMarkers::kUnset;
    if (isSet(m.bodyEndFrame))
        end = m.bodyEndFrame;
    else if (isSet(m.releaseLastFrame))
        end = m.releaseLastFrame;
    else if (track.hasEnded())
        end = track.lastFrame();
    if (isSet(end) && e >= end)
        e = end;
    e = std::min(e, track.stopFrame());
    if (e <= body)
        return track.frequency(body);
    bodyFrequencies_.clear();
    for (int f = body; f < e; ++f)
        bodyFrequencies_.push_back(track.frequency(f));
    const auto middle = bodyFrequencies_.begin() + (bodyFrequencies_.size() - 1) / 2;
    std::nth_element(bodyFrequencies_.begin(), middle, bodyFrequencies_.end());
    return *middle;
}
