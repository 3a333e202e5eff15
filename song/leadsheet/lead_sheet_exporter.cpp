#include "lead_sheet_exporter.h"

#include "key_names.h"
#include "lane_events.h"
#include "lead_sheet_quantizer.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "music_xml_writer.h"
#include "session.h"
#include "song_state.h"
#include "time_scale.h"

#include <QFileInfo>
#include <cmath>

namespace {

// The song's meters and tempos, at ticks of the melody's resolution.
void readMeters(TimeScale& scale, uint16_t resolution, LeadSheetSong& song)
{
    for (const TempoNode* node = scale.firstNode(); node; node = node->next) {
        LeadSheetSong::Meter meter;
        meter.tick = MidiSequence::convert(node->tick, resolution, scale.ticksPerBeat());
        meter.beats = node->beatsPerBar;
        meter.unit = node->beatUnit;
        // The scale counts its tempo in tempoUnit notes.
        meter.quartersPerMinute = std::ldexp(double(node->tempo), 2 - int(node->tempoUnit));
        song.meters.push_back(meter);
    }
}

} // namespace

LeadSheetSong LeadSheetExporter::readSong(Session& session, const MidiClip& melody,
                                          const QString& title)
{
    LeadSheetSong song;
    song.title = title;
    const MidiSequence& sequence = melody.sequence();
    song.ticksPerQuarter = std::max<int>(sequence.resolution(), 1);
    const ParsedKey key = parseKey(SongState::of(&session)->key);
    song.keySignature = key.signature;
    song.minor = key.minor;
    readMeters(session.scale(), sequence.resolution(), song);

    const uint32_t start = MidiSequence::convert(melody.startTick(), sequence.resolution(),
                                                 session.scale().ticksPerBeat());
    for (const MidiEvent* e = sequence.first(); e; e = e->next()) {
        const uint32_t tick = start + e->time;
        if (e->isNote())
            song.notes.push_back({tick, tick + e->duration, e->data1});
        else if (laneKind(e) == ChordLane)
            song.chords.push_back({tick, laneText(e)});
        else if (laneKind(e) == SectionLane)
            song.sections.push_back({tick, laneText(e)});
    }
    return song;
}

bool LeadSheetExporter::exportSong(Session& session, const MidiClip& melody, const QString& title,
                                   const QString& path, QString& error)
{
    if (!MusicXmlWriter::isLeadSheetPath(path)) {
        error = QStringLiteral("A lead sheet is a .musicxml or .mxl file: %1").arg(path);
        return false;
    }
    const LeadSheet sheet = LeadSheetQuantizer::quantize(readSong(session, melody, title));
    if (sheet.isCut) {
        error = QStringLiteral("The song is too long for a lead sheet: it has more than %1 bars.")
                    .arg(LeadSheet::kMaxMeasures);
        return false;
    }
    return MusicXmlWriter::writeFile(sheet, path, error);
}

QString LeadSheetExporter::titleOf(const QString& songPath)
{
    return QFileInfo(songPath).completeBaseName();
}
