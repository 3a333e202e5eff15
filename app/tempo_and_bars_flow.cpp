#include "tempo_and_bars_flow.h"

#include "bar_placement.h"

#include "clip.h"
#include "clip_command.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_undo_step.h"
#include "time_scale.h"
#include "transcription_mark_command.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("TempoAndBarsFlow", text);
}

/** An event of the melody with where it sounds, in frames, so it can be put back there. */
struct Placed
{
    std::unique_ptr<MidiEvent> event;
    double start = 0.0; // frames
    double end = 0.0;   // frames; the start for an event without length
};

/** Takes every event out of the melody; the last one is the melody's length, with no event. */
std::vector<Placed> takeEvents(TimeScale& scale, MidiClip& melody)
{
    const uint32_t clipTick = scale.frameToTick(melody.start());
    MidiSequence& sequence = melody.sequence();
    std::vector<Placed> placed;
    while (MidiEvent* e = sequence.first()) {
        Placed p;
        p.start = scale.tickToFrame(clipTick + e->time);
        p.end = scale.tickToFrame(clipTick + e->endTime());
        p.event = sequence.take(e);
        placed.push_back(std::move(p));
    }
    Placed length;
    length.start = length.end = scale.tickToFrame(clipTick + sequence.length());
    placed.push_back(std::move(length));
    return placed;
}

void putBack(TimeScale& scale, MidiClip& melody, std::vector<Placed>& placed, double shiftFrames)
{
    const uint32_t clipTick = scale.frameToTick(melody.start());
    auto tickAt = [&](double frame) {
        const double moved = std::clamp(frame + shiftFrames, 0.0, double(UINT32_MAX));
        const uint32_t tick = scale.frameToTick(uint32_t(std::llround(moved)));
        return tick > clipTick ? tick - clipTick : 0u;
    };
    MidiSequence& sequence = melody.sequence();
    for (Placed& p : placed) {
        const uint32_t start = tickAt(p.start);
        if (!p.event) {
            sequence.setLength(start);
            continue;
        }
        if (p.event->isNote())
            p.event->duration = std::max(tickAt(p.end), start + 1) - start;
        p.event->time = start;
        sequence.insert(std::move(p.event));
    }
}

std::vector<BarFinder::Note> notesOf(TimeScale& scale, MidiClip& melody)
{
    const double rate = scale.sampleRate();
    const uint32_t clipTick = scale.frameToTick(melody.start());
    std::vector<BarFinder::Note> notes;
    for (const MidiEvent* e = melody.sequence().first(); e; e = e->next()) {
        if (!e->isNote())
            continue;
        const double start = scale.tickToFrame(clipTick + e->time) / rate;
        const double end = scale.tickToFrame(clipTick + e->endTime()) / rate;
        notes.push_back({start, end - start, e->data1});
    }
    return notes;
}

} // namespace

TempoAndBarsFlow::TempoAndBarsFlow(Session& session, MidiClip& melody, Clip* recording)
    : m_session(session), m_melody(melody), m_recording(recording)
{
}

QString TempoAndBarsFlow::foundText(const BarGrid& grid)
{
    if (!grid.valid)
        return tr("Too few notes to find the tempo and bars of the melody.");
    return tr("Found %1 beats per minute in %2/%3, first downbeat at %4 s (confidence %5%)%6")
        .arg(std::lround(grid.tempo))
        .arg(grid.beatsPerBar)
        .arg(grid.beatUnit)
        .arg(QString::number(grid.firstDownbeat, 'f', 2))
        .arg(std::lround(grid.confidence * 100.0))
        .arg(grid.drifts ? tr(", a tempo per bar") : QString());
}

BarGrid TempoAndBarsFlow::run()
{
    TimeScale& scale = m_session.scale();
    const std::vector<BarFinder::Note> notes = notesOf(scale, m_melody);
    BarGrid grid = BarPlacement::find(notes);
    if (!grid.valid)
        return grid;
    SongUndoStep step(m_session, tr("Find Tempo and Bars"));
    std::vector<Placed> placed = takeEvents(scale, m_melody);
    // The recording keeps its sound: the new tempo must not stretch it.
    const bool stretch = m_session.stretchAudio();
    m_session.setStretchAudio(false);
    const double shift = BarPlacement::apply(m_session, grid, BarPlacement::firstOnset(notes));
    m_session.setStretchAudio(stretch);
    putBack(scale, m_melody, placed, shift * scale.sampleRate());
    moveRecording(shift);
    m_melody.setModified(true);
    return grid;
}

// A positive shift starts the recording later; a negative one cuts that much from its start.
void TempoAndBarsFlow::moveRecording(double shift)
{
    if (!m_recording)
        return;
    const auto moved = uint32_t(std::min<double>(
        std::llround(std::abs(shift) * m_session.scale().sampleRate()), UINT32_MAX));
    uint32_t start = m_recording->start(), offset = m_recording->offset();
    uint32_t length = m_recording->length();
    if (shift >= 0.0) {
        start = uint32_t(std::min<uint64_t>(uint64_t(start) + moved, UINT32_MAX));
    } else {
        const uint32_t back = std::min(start, moved);
        const uint32_t cut = std::min(moved - back, length);
        start -= back;
        offset += cut;
        length -= cut;
    }
    if (moved > 0) {
        auto command = std::make_unique<ClipCommand>(&m_session, tr("Find Tempo and Bars"));
        command->resize(m_recording, start, offset, length);
        ClipCommand::push(&m_session, std::move(command));
    }
    // The melody sits on the recording as it sounds: no need to transcribe it again. A command,
    // so that undo gives back the mark the tempo change took away.
    m_session.push(std::make_unique<TranscriptionMarkCommand>(m_recording, false));
}
