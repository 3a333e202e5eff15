#include "bar_placement.h"

#include "session.h"
#include "session_command.h"
#include "time_scale.h"
#include "time_scale_command.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

void setMeterAndTempo(Session& session, float tempo, uint16_t beats, uint16_t unit)
{
    auto command = std::make_unique<TempoCommand>(&session, tempo, 0, beats, unit);
    if (!command->isEmpty())
        session.push(std::move(command));
}

} // namespace

BarGrid BarPlacement::find(const std::vector<BarFinder::Note>& notes)
{
    return BarFinder::find(notes);
}

double BarPlacement::firstOnset(const std::vector<BarFinder::Note>& notes)
{
    if (notes.empty())
        return 0.0;
    double first = notes.front().onset;
    for (const BarFinder::Note& n : notes)
        first = std::min(first, n.onset);
    return first;
}

QString BarPlacement::describe(const BarGrid& grid)
{
    return QStringLiteral("tempo %1, meter %2/%3, first downbeat %4 s, confidence %5%6")
        .arg(QString::number(grid.tempo, 'f', 2))
        .arg(grid.beatsPerBar)
        .arg(grid.beatUnit)
        .arg(QString::number(grid.firstDownbeat, 'f', 3))
        .arg(QString::number(grid.confidence, 'f', 2))
        .arg(grid.drifts ? QStringLiteral(", drifting") : QString());
}

double BarPlacement::apply(Session& session, BarGrid& grid, double firstOnset)
{
    const uint16_t unit = grid.beatUnit == 8 ? 3 : 2;
    // Song files keep whole beats per minute; the song uses what it will reopen with.
    grid.tempo = std::round(grid.tempo);
    setMeterAndTempo(session, float(grid.tempo), uint16_t(grid.beatsPerBar), unit);
    const double shift = grid.shiftToBarLine(std::min(firstOnset, grid.firstDownbeat));
    if (grid.drifts)
        followTheSinger(session, grid, shift, unit);
    return shift;
}

/**
 * A take whose tempo drifts gets a tempo node on every bar from its first downbeat, so that the
 * bar lines follow the singer (shift: how far the take moves). Each bar's tempo is in whole beats
 * per minute, as song files keep them, chosen to bring the next bar line nearest the sung one.
 */
void BarPlacement::followTheSinger(Session& session, const BarGrid& grid, double shift,
                                   uint16_t unit)
{
    TimeScale& scale = session.scale();
    const double rate = double(scale.sampleRate());
    const long first = std::lround((grid.firstDownbeat + shift) / grid.barSeconds());
    const auto beats = uint16_t(grid.beatsPerBar);
    for (size_t b = 0; b + 1 < grid.barLines.size(); ++b) {
        const uint32_t start = scale.meterBeatToFrame(uint32_t(first + long(b)) * beats);
        const double seconds = grid.barLines[b + 1] + shift - double(start) / rate;
        if (seconds <= 0.0)
            continue;
        const double tempo = std::round(60.0 * grid.quartersPerBar() / seconds);
        session.push(std::make_unique<AddTempoNodeCommand>(
            &session, start, float(std::clamp(tempo, 20.0, 400.0)), 2, beats, unit));
    }
}

void BarPlacement::setMeter(Session& session, uint16_t beatsPerBar, uint16_t beatUnit)
{
    setMeterAndTempo(session, 0.0f, beatsPerBar, beatUnit);
    // Each update moves the later nodes (they keep their bars), so every node is looked up anew.
    for (int index = 1;; ++index) {
        const TempoNode* node = session.scale().firstNode();
        for (int i = 0; node && i < index; ++i)
            node = node->next;
        if (!node)
            return;
        if (node->beatsPerBar == beatsPerBar && node->beatUnit == beatUnit)
            continue;
        session.push(std::make_unique<UpdateTempoNodeCommand>(
            &session, node->frame, node->tempo, node->tempoUnit, beatsPerBar, beatUnit));
    }
}
