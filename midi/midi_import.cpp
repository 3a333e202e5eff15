#include "midi_import.h"

#include "general_midi.h"
#include "midi_event.h"
#include "midi_file.h"
#include "midi_sequence.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <limits>

namespace {

// The notes of one channel of a chunk: how many, their range and how chordal they are.
MidiImport::Candidate measure(const MidiSequence& channel)
{
    MidiImport::Candidate c;
    // Onsets this close are played together (a strummed or sloppy chord).
    const uint32_t together = std::max<uint32_t>(1, channel.resolution() / 32u);
    // A note may overlap the next this much and still be a legato line, not two voices.
    const uint32_t legato = channel.resolution() / 8u;
    uint32_t lastOnset = 0;
    uint64_t soundingUntil = 0;
    long long keySum = 0;
    int chordal = 0;
    c.lowestKey = 127;
    for (const MidiEvent* e = channel.first(); e; e = e->next()) {
        if (!e->isNote())
            continue;
        if (c.notes > 0 &&
            (e->time - lastOnset <= together || soundingUntil > uint64_t(e->time) + legato))
            ++chordal;
        ++c.notes;
        keySum += e->data1;
        c.lowestKey = std::min<int>(c.lowestKey, e->data1);
        c.highestKey = std::max<int>(c.highestKey, e->data1);
        lastOnset = e->time;
        soundingUntil = std::max<uint64_t>(soundingUntil, uint64_t(e->time) + e->duration);
    }
    if (c.notes > 0) {
        c.meanKey = double(keySum) / c.notes;
        c.polyphony = double(chordal) / c.notes;
    }
    return c;
}

// How much a candidate looks like the tune: the highest line wins, a part that plays chords
// loses three octaves' worth, and a handful of stray notes (a count-in, one hit) is no tune.
double melodyScore(const MidiImport::Candidate& c, int mostNotes)
{
    double score = c.meanKey - 36.0 * c.polyphony;
    if (c.notes * 10 < mostNotes)
        score -= 48.0;
    return score;
}

// What of a file's track stays in a song's melody (see readMelody).
bool belongsToMelody(const MidiEvent& e)
{
    if (e.isMeta())
        return e.metaType == MidiEvent::MetaLyric;
    return !e.isSysEx();
}

} // namespace

bool MidiImport::Candidate::isDrums() const
{
    return channel == GeneralMidi::DrumChannel;
}

QString MidiImport::Candidate::instrument() const
{
    if (isDrums())
        return QCoreApplication::translate("MidiImport", "Drums");
    return GeneralMidi::instrumentName(program);
}

bool MidiImport::scan(MidiFile& file)
{
    m_candidates.clear();
    m_preselected = -1;
    m_failedTrack = -1;
    m_keySignature.clear();
    // Format 1 plays its chunks together; format 0 has one, format 2 plays them one after
    // another as separate patterns, of which the first is taken.
    const size_t chunks =
        file.format() == 1 ? file.tracks().size() : std::min<size_t>(1, file.tracks().size());
    uint32_t keyTime = std::numeric_limits<uint32_t>::max();
    for (size_t track = 0; track < chunks; ++track) {
        if (!scanChunk(file, int(track), keyTime)) {
            m_failedTrack = int(track);
            m_candidates.clear();
            return false;
        }
    }
    preselect();
    return true;
}

bool MidiImport::scanChunk(MidiFile& file, int track, uint32_t& keyTime)
{
    std::array<MidiSequence, 16> channels;
    std::array<MidiSequence*, 16> destinations{};
    for (size_t i = 0; i < channels.size(); ++i) {
        channels[i].setResolution(file.division());
        destinations[i] = &channels[i];
    }
    if (!file.readChunk(track, destinations))
        return false;
    // Meta events, the track name among them, are read into the first channel's sequence.
    for (const MidiEvent* e = channels[0].first(); e && e->time < keyTime; e = e->next()) {
        if (e->isMeta() && e->metaType == MidiEvent::MetaKeySignature && e->length() >= 2) {
            m_keySignature = e->data();
            keyTime = e->time;
        }
    }
    for (int channel = 0; channel < int(channels.size()); ++channel) {
        Candidate c = measure(channels[size_t(channel)]);
        if (c.notes == 0)
            continue;
        c.track = track;
        c.channel = channel;
        c.name = channels[0].name();
        c.program = channels[size_t(channel)].program();
        m_candidates.push_back(c);
    }
    return true;
}

void MidiImport::preselect()
{
    int mostNotes = 0;
    for (const Candidate& c : m_candidates) {
        if (!c.isDrums())
            mostNotes = std::max(mostNotes, c.notes);
    }
    double best = 0;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const Candidate& c = m_candidates[i];
        if (c.isDrums())
            continue;
        const double score = melodyScore(c, mostNotes);
        // Equal scores keep the earlier candidate, so the choice follows the file's order.
        if (m_preselected < 0 || score > best) {
            m_preselected = int(i);
            best = score;
        }
    }
}

bool MidiImport::readMelody(MidiFile& file, int index, MidiSequence& melody) const
{
    if (index < 0 || size_t(index) >= m_candidates.size())
        return false;
    const Candidate& c = m_candidates[size_t(index)];
    MidiSequence* one[1] = {&melody};
    if (!file.readChunk(c.track, one, c.channel))
        return false;
    for (MidiEvent* e = melody.first(); e;) {
        MidiEvent* next = e->next();
        if (!belongsToMelody(*e))
            melody.take(e);
        e = next;
    }
    melody.setName(c.name);
    melody.setChannel(uint16_t(c.channel));
    return true;
}
