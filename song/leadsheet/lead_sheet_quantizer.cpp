#include "lead_sheet_quantizer.h"

#include "note_values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kShortestUnit = 6; // 4/64 is the shortest beat a meter may count

int unitOf(int unit)
{
    return std::clamp(unit, 0, kShortestUnit);
}

/** Sum of the distances of the points to the nearest step of a grid starting at 0. */
double gridError(const std::vector<double>& points, double step, double length)
{
    double error = 0;
    for (double p : points)
        error += std::abs(p - std::min(std::round(p / step) * step, length));
    return error;
}

} // namespace

LeadSheet LeadSheetQuantizer::quantize(const LeadSheetSong& song)
{
    LeadSheetQuantizer quantizer(song);
    return quantizer.build();
}

int LeadSheetQuantizer::divisionsFor(const LeadSheetSong& song)
{
    int shortest = 2;
    for (const LeadSheetSong::Meter& meter : song.meters)
        shortest = std::max(shortest, unitOf(meter.unit));
    // A sixteenth grid and an eighth triplet need 12 per quarter; shorter beats need more.
    return 12 << std::max(0, shortest - 4);
}

LeadSheetQuantizer::LeadSheetQuantizer(const LeadSheetSong& song)
    : m_song(song), m_divisions(divisionsFor(song))
{
    makeBars();
    chooseGrids();
    makeMelodyLine();
    m_chords = placeMarks(song.chords);
    m_sections = placeMarks(song.sections);
}

double LeadSheetQuantizer::toDivisions(uint32_t tick) const
{
    return double(tick) * m_divisions / std::max(m_song.ticksPerQuarter, 1);
}

// Where the last note ends or the last mark stands (a mark needs the bar it starts).
double LeadSheetQuantizer::songEnd() const
{
    double end = toDivisions(m_song.endTick);
    for (const LeadSheetSong::Note& note : m_song.notes)
        end = std::max(end, toDivisions(std::max(note.end, note.start)));
    for (const auto* marks : {&m_song.chords, &m_song.sections})
        for (const LeadSheetSong::Mark& mark : *marks)
            end = std::max(end, toDivisions(mark.tick) + 0.5);
    return end;
}

void LeadSheetQuantizer::makeBars()
{
    std::vector<LeadSheetSong::Meter> meters = m_song.meters;
    if (meters.empty() || meters.front().tick != 0)
        meters.insert(meters.begin(), meters.empty() ? LeadSheetSong::Meter{} : meters.front());
    meters.front().tick = 0;
    const double end = songEnd();
    for (size_t i = 0; i < meters.size(); ++i) {
        const LeadSheetSong::Meter& meter = meters[i];
        const int from = int(std::lround(toDivisions(meter.tick)));
        const double until = i + 1 < meters.size() ? std::round(toDivisions(meters[i + 1].tick))
                                                   : std::numeric_limits<double>::max();
        if (!m_bars.empty() && from < m_bars.back().start + m_bars.back().length)
            continue; // a meter that does not move forward
        const int length =
            std::max(std::max(meter.beats, 1) * 4 * m_divisions >> unitOf(meter.unit), 1);
        for (int at = from; at < until && (at < end || m_bars.empty()); at += length) {
            if (int(m_bars.size()) == LeadSheet::kMaxMeasures) {
                m_isCut = true;
                return;
            }
            // A meter changing inside a bar cuts that bar short.
            const int barLength = int(std::min<double>(length, until - at));
            m_bars.push_back({at, barLength, std::max(meter.beats, 1), unitOf(meter.unit),
                              meter.quartersPerMinute, false});
        }
    }
}

// Each bar in quarter-note beats takes the grid its note starts and ends fit better.
void LeadSheetQuantizer::chooseGrids()
{
    std::vector<std::vector<double>> points(m_bars.size());
    for (const LeadSheetSong::Note& note : m_song.notes) {
        for (const uint32_t tick : {note.start, note.end}) {
            const double position = toDivisions(tick);
            const size_t bar = barIndexAt(position);
            points[bar].push_back(position - m_bars[bar].start);
        }
    }
    for (size_t i = 0; i < m_bars.size(); ++i) {
        Bar& bar = m_bars[i];
        if (bar.unit != 2 || points[i].empty())
            continue;
        const double straight = gridError(points[i], m_divisions / 4.0, bar.length);
        const double triplet = gridError(points[i], m_divisions / 3.0, bar.length);
        // Sung melodies are mostly straight: triplets must fit clearly better, by a quarter.
        bar.triplets = triplet < 0.75 * straight;
    }
}

size_t LeadSheetQuantizer::barIndexAt(double position) const
{
    const auto after = std::upper_bound(m_bars.begin(), m_bars.end(), position,
                                        [](double p, const Bar& bar) { return p < bar.start; });
    return after == m_bars.begin() ? 0 : size_t(after - m_bars.begin() - 1);
}

int LeadSheetQuantizer::quantize(double position) const
{
    const Bar& bar = m_bars[barIndexAt(position)];
    const int step = bar.triplets ? m_divisions / 3 : m_divisions / 4;
    // Positions are never negative, so rounding half up is rounding half away from zero.
    const double steps = std::floor((position - bar.start) / step + 0.5);
    return bar.start + int(std::clamp(steps * step, 0.0, double(bar.length)));
}

void LeadSheetQuantizer::makeMelodyLine()
{
    const int end = m_bars.back().start + m_bars.back().length;
    for (const LeadSheetSong::Note& note : m_song.notes) {
        const int start = quantize(toDivisions(note.start));
        if (start < end)
            m_notes.push_back(
                {start, quantize(toDivisions(std::max(note.end, note.start))), note.key});
    }
    // One voice: of notes starting together the highest is the melody.
    std::sort(m_notes.begin(), m_notes.end(), [](const Note& a, const Note& b) {
        return a.start != b.start ? a.start < b.start : a.key > b.key;
    });
    m_notes.erase(std::unique(m_notes.begin(), m_notes.end(),
                              [](const Note& a, const Note& b) { return a.start == b.start; }),
                  m_notes.end());
    for (size_t i = 0; i < m_notes.size(); ++i) {
        Note& note = m_notes[i];
        const int next = i + 1 < m_notes.size() ? m_notes[i + 1].start : end;
        const Bar& bar = m_bars[barIndexAt(note.start)];
        // A note shorter than half a step still sounds: it keeps one step.
        const int step = bar.triplets ? m_divisions / 3 : m_divisions / 4;
        note.end = std::min(std::max(note.end, note.start + step), next);
        // A singer breathes or re-attacks between notes: a gap of one step after a note of
        // two steps or more is the note's, so the sheet shows no sixteenth rests after every
        // repeated note.
        if (next - note.end <= step && note.end - note.start >= 2 * step && i + 1 < m_notes.size())
            note.end = next;
    }
}

std::vector<LeadSheetQuantizer::PlacedMark>
LeadSheetQuantizer::placeMarks(const std::vector<LeadSheetSong::Mark>& marks) const
{
    const int end = m_bars.back().start + m_bars.back().length;
    std::vector<PlacedMark> placed;
    for (const LeadSheetSong::Mark& mark : marks) {
        const int position = quantize(toDivisions(mark.tick));
        if (position < end && !mark.text.isEmpty())
            placed.push_back({position, mark.text});
    }
    // Of marks that land together the later one in the song stays.
    std::stable_sort(placed.begin(), placed.end(), [](const PlacedMark& a, const PlacedMark& b) {
        return a.position < b.position;
    });
    std::vector<PlacedMark> unique;
    for (PlacedMark& mark : placed) {
        if (!unique.empty() && unique.back().position == mark.position)
            unique.back() = std::move(mark);
        else
            unique.push_back(std::move(mark));
    }
    return unique;
}

// The first note's start when the first bar is a pickup, else -1.
int LeadSheetQuantizer::pickupStart() const
{
    if (m_bars.size() < 2 || m_notes.empty())
        return -1;
    const Bar& first = m_bars.front();
    const int start = m_notes.front().start;
    const int beat = NoteValues::beatOf(first.beats, first.unit, m_divisions);
    if (start - first.start < beat || start >= first.start + first.length)
        return -1;
    return start;
}

bool LeadSheetQuantizer::isLowVoice() const
{
    if (m_notes.empty())
        return false;
    const auto [lowest, highest] = std::minmax_element(
        m_notes.begin(), m_notes.end(), [](const Note& a, const Note& b) { return a.key < b.key; });
    // The middle of the range below middle C: the notes would hang below the treble staff.
    return lowest->key + highest->key < 2 * 60;
}

LeadSheet LeadSheetQuantizer::build() const
{
    LeadSheet sheet;
    sheet.title = m_song.title;
    sheet.divisions = m_divisions;
    sheet.keySignature = std::clamp(m_song.keySignature, -7, 7);
    sheet.minor = m_song.minor;
    sheet.octaveBelow = isLowVoice();
    sheet.isCut = m_isCut;
    const int pickup = pickupStart();
    for (size_t i = 0; i < m_bars.size(); ++i) {
        LeadSheetMeasure measure =
            makeMeasure(i, i == 0 && pickup >= 0 ? pickup - m_bars.front().start : 0);
        measure.number = int(i) + (pickup >= 0 ? 0 : 1);
        sheet.measures.push_back(std::move(measure));
    }
    sheet.measures.back().isLast = true;
    return sheet;
}

LeadSheetMeasure LeadSheetQuantizer::makeMeasure(size_t index, int firstPosition) const
{
    const Bar& bar = m_bars[index];
    const Bar* previous = index > 0 ? &m_bars[index - 1] : nullptr;
    LeadSheetMeasure measure;
    measure.isPickup = firstPosition > 0;
    measure.firstPosition = firstPosition;
    measure.length = bar.length;
    measure.beats = bar.beats;
    measure.beatType = 1 << bar.unit;
    measure.hasMeter = !previous || previous->beats != bar.beats || previous->unit != bar.unit;
    measure.quartersPerMinute = bar.quartersPerMinute;
    measure.hasTempo = !previous || previous->quartersPerMinute != bar.quartersPerMinute;
    addNotes(measure, bar, firstPosition);
    addMarks(bar, firstPosition, m_chords, measure.chords);
    addMarks(bar, firstPosition, m_sections, measure.sections);
    return measure;
}

void LeadSheetQuantizer::addNotes(LeadSheetMeasure& measure, const Bar& bar, int from) const
{
    const int begin = bar.start + from;
    const int end = bar.start + bar.length;
    const NoteValues values(m_divisions, NoteValues::beatOf(bar.beats, bar.unit, m_divisions),
                            bar.triplets);
    auto note = std::lower_bound(m_notes.begin(), m_notes.end(), begin,
                                 [](const Note& n, int at) { return n.end <= at; });
    if (note == m_notes.end() || note->start >= end) {
        LeadSheetItem rest;
        rest.isMeasureRest = true;
        rest.position = from;
        rest.duration = bar.length - from;
        measure.items.push_back(rest);
        return;
    }
    auto addPieces = [&](int a, int b, const Note* n) {
        const std::vector<NoteValues::Piece> pieces = values.split(a - bar.start, b - bar.start);
        for (size_t k = 0; k < pieces.size(); ++k) {
            const NoteValues::Piece& piece = pieces[k];
            LeadSheetItem item;
            item.isRest = n == nullptr;
            item.key = n ? n->key : 60;
            item.position = piece.position;
            item.duration = piece.duration;
            item.type = piece.type;
            item.dots = piece.dots;
            item.isTriplet = piece.isTriplet;
            item.tieFromPrevious = n && (k > 0 || n->start < a);
            item.tieToNext = n && (k + 1 < pieces.size() || n->end > b);
            measure.items.push_back(item);
        }
    };
    int at = begin;
    for (; note != m_notes.end() && note->start < end; ++note) {
        const int start = std::max(note->start, begin);
        if (start > at)
            addPieces(at, start, nullptr);
        at = std::min(note->end, end);
        addPieces(start, at, &*note);
    }
    if (at < end)
        addPieces(at, end, nullptr);
    // A bracket over each beat of triplets.
    const int beat = m_divisions;
    for (size_t k = 0; k < measure.items.size(); ++k) {
        LeadSheetItem& item = measure.items[k];
        if (!item.isTriplet)
            continue;
        const int group = item.position / beat;
        item.startsTuplet = k == 0 || !measure.items[k - 1].isTriplet ||
                            measure.items[k - 1].position / beat != group;
        item.endsTuplet = k + 1 == measure.items.size() || !measure.items[k + 1].isTriplet ||
                          measure.items[k + 1].position / beat != group;
    }
}

void LeadSheetQuantizer::addMarks(const Bar& bar, int from, const std::vector<PlacedMark>& marks,
                                  std::vector<LeadSheetMark>& into)
{
    auto mark =
        std::lower_bound(marks.begin(), marks.end(), bar.start,
                         [](const PlacedMark& m, int position) { return m.position < position; });
    for (; mark != marks.end() && mark->position < bar.start + bar.length; ++mark) {
        // Marks over a pickup's silence (the first bar's chord, its section) move to its start.
        const int position = std::max(mark->position - bar.start, from);
        if (!into.empty() && into.back().position == position)
            into.back().text = mark->text;
        else
            into.push_back({position, mark->text});
    }
}
