#include "midi_export.h"

#include "engine.h"
#include "error_log.h"
#include "midi_clip.h"
#include "midi_file.h"
#include "session.h"
#include "track.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

bool refuse(const QString& path, const QString& reason)
{
    ErrorLog::add(QStringLiteral("exportMidi: %1: %2").arg(path, reason));
    return false;
}

// A track plays through bus when its resolved output bus is that bus; a track that was never
// attached goes by the bus name it asks for, or by the first output bus attach() would give it.
bool routesTo(const Track* track, const Bus* bus, const Engine* engine)
{
    if (!bus)
        return true;
    if (track->outputBus())
        return track->outputBus() == bus;
    const QString& name = track->properties().outputBus;
    if (!name.isEmpty())
        return name == bus->name();
    return engine && bus == engine->firstBus(Bus::Output);
}

// The end of the song: the session's end, or later when a MIDI clip's material ends later
// (a clip whose length was not set yet still has notes to save).
uint32_t songEnd(Session* session)
{
    uint32_t end = session->endFrame();
    TimeScale& scale = session->scale();
    for (Track* track : session->tracks()) {
        for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
            auto* midi = dynamic_cast<MidiClip*>(clip);
            if (midi && clip->length() == 0) {
                const uint32_t startTick = scale.frameToTick(clip->start());
                end = std::max(end, scale.tickToFrame(startTick + midi->sequence().end()));
            }
            end = std::max(end, clip->end());
        }
    }
    return end;
}

struct Range
{
    uint32_t from, to; // frames
    uint32_t fromTick, toTick;
};

class TrackCopier
{
public:
    TrackCopier(Session* session, const Range& range) : m_scale(session->scale()), m_range(range) {}

    void copyClip(const MidiClip& clip, MidiSequence& into)
    {
        if (clip.start() >= m_range.to || (clip.length() > 0 && clip.end() <= m_range.from))
            return;
        const uint32_t startTick = m_scale.frameToTick(clip.start());
        // Events past the end of a clip with a length are not played, so not exported.
        const uint64_t clipEnd = clip.length() > 0 ? m_scale.frameToTick(clip.end()) : UINT64_MAX;
        const MidiSequence& source = clip.sequence();
        // The track lasts as long as its clip, past its last event: a song's ending is saved.
        if (clip.length() > 0) {
            const uint64_t end = std::min<uint64_t>(clipEnd, m_range.toTick);
            if (end > m_range.fromTick)
                into.setLength(std::max<uint32_t>(into.length(), uint32_t(end - m_range.fromTick)));
        }
        for (const MidiEvent* e = source.first(); e; e = e->next()) {
            const uint64_t tick =
                uint64_t(startTick) +
                MidiSequence::convert(e->time, into.resolution(), source.resolution());
            if (tick < m_range.fromTick || tick >= m_range.toTick || tick >= clipEnd)
                continue;
            auto copy = e->clone();
            copy->time = uint32_t(tick - m_range.fromTick);
            if (copy->isNote())
                shapeNote(clip, *copy, tick, source.resolution(), into.resolution());
            into.insert(std::move(copy));
        }
    }

private:
    void shapeNote(const MidiClip& clip, MidiEvent& note, uint64_t tick, uint16_t from, uint16_t to)
    {
        const uint64_t duration = MidiSequence::convert(note.duration, to, from);
        note.duration = uint32_t(std::min<uint64_t>(duration, m_range.toTick - tick));
        const uint32_t frame = m_scale.tickToFrame(uint32_t(tick));
        const float gain = clip.length() > 0 ? clip.gainAt(frame - clip.start()) : clip.gain();
        // Truncated, then held to the 7-bit range (a gain above 1 must not wrap to a soft note).
        const long velocity = long(double(gain) * note.data2);
        note.data2 = uint8_t(std::clamp<long>(velocity, 0, 127));
    }

    TimeScale& m_scale;
    Range m_range;
};

std::vector<Track*> exportedTracks(Session* session, const Bus* bus, const Track* first)
{
    std::vector<Track*> tracks;
    const Engine* engine = session->midiEngine();
    for (Track* track : session->tracks()) {
        if (track->isMidi() && routesTo(track, bus, engine))
            tracks.push_back(track);
    }
    auto it = std::find(tracks.begin(), tracks.end(), first);
    if (it != tracks.end())
        std::rotate(tracks.begin(), it, it + 1);
    return tracks;
}

} // namespace

bool exportMidi(Session* session, const QString& path, uint32_t from, uint32_t to, Bus* bus,
                const MidiExportOptions& options)
{
    if (!session)
        return refuse(path, QStringLiteral("no session"));
    const Engine* engine = session->midiEngine();
    if (engine && engine->isPlaying())
        return refuse(path, QStringLiteral("the MIDI engine is playing"));
    if (from >= to) {
        to = songEnd(session);
        if (from >= to)
            return refuse(path, QStringLiteral("nothing to export"));
    }
    if (!bus && engine && !engine->buses().empty())
        bus = engine->buses().front().get();

    TimeScale& scale = session->scale();
    const uint16_t resolution = scale.ticksPerBeat();
    const Range range{from, to, scale.frameToTick(from), scale.frameToTick(to)};
    const bool format0 = options.format == 0;
    const QString baseName = QFileInfo(path).completeBaseName();

    std::vector<std::unique_ptr<MidiSequence>> owned;
    if (format0) {
        for (uint16_t channel = 0; channel < 16; ++channel)
            owned.push_back(std::make_unique<MidiSequence>(QString(), channel, resolution));
    }
    // The setup messages lead the first track; in format 1 they need a track of their own.
    std::unique_ptr<MidiSequence> setup;
    if (!options.setupMessages.isEmpty()) {
        MidiSequence* first = format0 ? owned.front().get() : nullptr;
        if (!first) {
            setup = std::make_unique<MidiSequence>(baseName, 0, resolution);
            first = setup.get();
        }
        for (const QByteArray& message : options.setupMessages)
            first->insert(MidiEvent::sysex(0, message));
    }

    TrackCopier copier(session, range);
    for (Track* track : exportedTracks(session, bus, options.firstTrack)) {
        const Track::Properties& props = track->properties();
        MidiSequence* into = nullptr;
        if (format0) {
            into = owned[props.channel & 0x0F].get();
            into->setName(into->name().isEmpty()
                              ? props.name
                              : into->name() + QStringLiteral("; ") + props.name);
        } else {
            owned.push_back(std::make_unique<MidiSequence>(props.name, props.channel, resolution));
            into = owned.back().get();
        }
        if (into->bank() < 0)
            into->setBank(props.bank);
        if (into->program() < 0)
            into->setProgram(props.program);
        for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
            if (auto* midi = dynamic_cast<MidiClip*>(clip))
                copier.copyClip(*midi, *into);
        }
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    std::vector<MidiSequence*> sequences;
    if (!format0)
        sequences.push_back(setup.get()); // none: the conductor track
    for (const auto& sequence : owned)
        sequences.push_back(sequence.get());

    MidiFile file;
    if (!file.open(path, MidiFile::Write))
        return false;
    const uint16_t tracks = format0 ? 1 : uint16_t(sequences.size());
    if (!file.writeHeader(format0 ? 0 : 1, tracks, resolution))
        return false;
    file.setSongStructure(options.songStructure);
    file.tempoMap()->fromScale(scale, range.fromTick);
    if (!file.writeTracks(sequences)) {
        file.discard();
        return false;
    }
    return file.close();
}
