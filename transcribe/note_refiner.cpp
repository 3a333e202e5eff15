#include "note_refiner.h"

#include "melody_shaper.h"
#include "pitch.h"
#include "singer_tuning.h"

#include <algorithm>
#include <cmath>

namespace {

// Sharps (positive) or flats (negative) of the major key on each pitch class, C to B.
constexpr std::array<int, 12> kKeyOfPitchClass = {0, -5, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};

// The tuning offsets tried: −0.5 and ten steps of the single-precision 0.1, summed in extended
// precision (exact rule: the sums differ slightly from decimal tenths, which decides ties).
constexpr int kTuningCandidates = 11;
constexpr float kTuningStep = 0.1f;
// Relative error difference below which two offsets fit equally well: well above the rounding
// of single-precision frequencies (about 1e-6 semitone), well below what one step of 0.1 does.
constexpr long double kTuningTolerance = 1.0e-4L;

} // namespace

NoteRefiner::NoteRefiner(TranscriptionResult& result) : result_(result) {}

void NoteRefiner::refine(TranscriptionResult& result, Tuning tuning)
{
    NoteRefiner refiner(result);
    refiner.findPartners();
    if (refiner.noteOns_.empty())
        return;
    refiner.measureDurations();
    if (tuning == Tuning::FollowSinger)
        refiner.followSinger();
    else
        refiner.chooseTuning();
    refiner.estimateKey();
}

// Shapes the notes as one voice sings them, weighs them by their new lengths, rounds them
// against the singer's drifting reference and writes them back in time order.
void NoteRefiner::followSinger()
{
    SungNotes notes = pairedNotes();
    MelodyShaper::shape(notes);
    double total = 0.0;
    for (const SungNote& note : notes)
        total += note.duration();
    const double mean = notes.empty() ? 0.0 : total / static_cast<double>(notes.size());
    weights_.clear();
    for (const SungNote& note : notes)
        weights_.push_back(mean > 0.0 ? note.duration() / mean : 1.0);
    result_.tuningOffset = static_cast<float>(SingerTuning::assign(notes, weights_));
    result_.meanDuration = mean;
    writeNotes(notes);
}

SungNotes NoteRefiner::pairedNotes() const
{
    SungNotes notes;
    notes.reserve(noteOns_.size());
    for (int index : noteOns_) {
        const TranscribedEvent& on = result_.events[static_cast<std::size_t>(index)];
        SungNote note;
        note.onset = on.time;
        note.end = on.time + on.duration;
        note.frequency = on.frequency;
        note.velocity = on.velocity;
        note.pitch = pitchOf(on.frequency);
        notes.push_back(note);
    }
    return notes;
}

// Each note-on is followed by its note-off; as the notes do not overlap, the list is in time
// order. The note-ons are then every other event.
void NoteRefiner::writeNotes(const SungNotes& notes)
{
    auto& events = result_.events;
    events.clear();
    noteOns_.clear();
    partners_.clear();
    for (const SungNote& note : notes) {
        TranscribedEvent on;
        on.time = note.onset;
        on.duration = note.duration();
        on.status = TranscribedEvent::kNoteOn;
        on.note = note.note;
        on.velocity = note.velocity;
        on.frequency = note.frequency;
        TranscribedEvent off = on;
        off.time = note.end;
        off.status = TranscribedEvent::kNoteOff;
        off.velocity = 0;
        noteOns_.push_back(static_cast<int>(events.size()));
        partners_.push_back(static_cast<int>(events.size()) + 1);
        events.push_back(on);
        events.push_back(off);
    }
    result_.noteCount = static_cast<int32_t>(notes.size());
}

// The partner of a note-on is the first note-off after it with the same frequency.
void NoteRefiner::findPartners()
{
    const auto& events = result_.events;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (!events[i].isNoteOn())
            continue;
        int partner = -1;
        for (std::size_t j = i + 1; j < events.size(); ++j) {
            if (!events[j].isNoteOn() && events[j].frequency == events[i].frequency) {
                partner = static_cast<int>(j);
                break;
            }
        }
        noteOns_.push_back(static_cast<int>(i));
        partners_.push_back(partner);
    }
    result_.noteCount = static_cast<int32_t>(noteOns_.size());
}

// A note-on without a partner lasts until the latest event of the run. When every note lasts
// 0 s the mean is 0, and each note then weighs 1 instead of 0 ÷ 0.
void NoteRefiner::measureDurations()
{
    auto& events = result_.events;
    double lastTime = 0.0;
    for (const TranscribedEvent& e : events)
        lastTime = std::max(lastTime, e.time);
    double total = 0.0;
    for (std::size_t n = 0; n < noteOns_.size(); ++n) {
        TranscribedEvent& on = events[static_cast<std::size_t>(noteOns_[n])];
        const int partner = partners_[n];
        const double end = partner >= 0 ? events[static_cast<std::size_t>(partner)].time : lastTime;
        on.duration = end - on.time;
        if (partner >= 0)
            events[static_cast<std::size_t>(partner)].duration = on.duration;
        total += on.duration;
    }
    const double count = static_cast<double>(noteOns_.size());
    result_.meanDuration = total / count;
    weights_.clear();
    for (int index : noteOns_) {
        const double duration = events[static_cast<std::size_t>(index)].duration;
        weights_.push_back(result_.meanDuration > 0.0 ? duration / result_.meanDuration : 1.0);
    }
}

// Exact rule: note = floor(offset + pitch + 0.5) in extended precision.
void NoteRefiner::assign(long double offset)
{
    auto& events = result_.events;
    for (std::size_t n = 0; n < noteOns_.size(); ++n) {
        TranscribedEvent& on = events[static_cast<std::size_t>(noteOns_[n])];
        const long double note = std::floor(offset + pitchOf(on.frequency) + 0.5L);
        on.note = static_cast<uint8_t>(std::clamp(note, 0.0L, 127.0L));
        if (partners_[n] >= 0)
            events[static_cast<std::size_t>(partners_[n])].note = on.note;
    }
    result_.tuningOffset = static_cast<float>(offset);
}

long double NoteRefiner::tuningError(long double offset) const
{
    long double sum = 0.0L;
    for (std::size_t n = 0; n < noteOns_.size(); ++n) {
        const TranscribedEvent& on = result_.events[static_cast<std::size_t>(noteOns_[n])];
        const long double miss = (pitchOf(on.frequency) + offset - on.note) * weights_[n];
        sum += miss * miss;
    }
    return std::sqrt(sum) / static_cast<long double>(noteOns_.size());
}

// The first candidate is taken; a later one replaces it only with a clearly smaller error.
// −0.5 and +0.5 put the notes on the same grid one semitone apart and their errors differ only
// by the rounding of the frequencies and of the offsets; a plain "smaller" let that noise move
// a whole melody up a semitone (60.3 sung, 61 written), so a later candidate must win by more
// than kTuningTolerance of the error.
void NoteRefiner::chooseTuning()
{
    long double offset = -0.5L;
    long double best = offset;
    long double bestError = 0.0L;
    for (int i = 0; i < kTuningCandidates; ++i) {
        assign(offset);
        const long double error = tuningError(offset);
        if (i == 0 || error < bestError * (1.0L - kTuningTolerance)) {
            best = offset;
            bestError = error;
        }
        offset += kTuningStep;
    }
    assign(best);
}

void NoteRefiner::estimateKey()
{
    std::array<double, 12> weights{};
    const auto& events = result_.events;
    for (std::size_t n = 0; n < noteOns_.size(); ++n)
        weights[events[static_cast<std::size_t>(noteOns_[n])].note % 12] += weights_[n];
    const int last = events[static_cast<std::size_t>(noteOns_.back())].note;
    estimateKey(weights, last, static_cast<double>(noteOns_.size()), &result_.key, &result_.minor);
}

// The key detection rule of song making, with weights in place of note counts.
void NoteRefiner::estimateKey(const std::array<double, 12>& weights, int lastNote, double total,
                              int32_t* key, uint8_t* minor)
{
    // v[b]: the weight of the five pitch classes outside the major scale on b.
    std::array<double, 12> outside{};
    for (int b = 0; b < 12; ++b) {
        outside[b] = weights[(b + 1) % 12] + weights[(b + 3) % 12] + weights[(b + 6) % 12] +
                     weights[(b + 8) % 12] + weights[(b + 10) % 12];
    }
    int best = 0;
    double bound = total;
    for (int b = 0; b < 12; ++b) {
        if (outside[b] < bound) {
            best = b;
            bound = outside[b];
        }
    }
    const int h = lastNote % 12;
    int g = (lastNote + 3) % 12; // the relative major of a minor key on the last note
    *minor = 0;
    if (g == best || outside[best] == outside[g])
        *minor = 1;
    else
        g = best;
    int root = g;
    if (h != g && outside[g] == outside[h]) {
        *minor = 0;
        root = h;
    }
    *key = kKeyOfPitchClass[static_cast<std::size_t>(root)];
}
