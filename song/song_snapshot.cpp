#include "song_snapshot.h"

#include "command.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_state.h"
#include "track.h"

namespace {

bool sameEvent(const MidiEvent& a, const MidiEvent& b)
{
    return a.time == b.time && a.status == b.status && a.metaType == b.metaType &&
           a.data1 == b.data1 && a.data2 == b.data2 && a.duration == b.duration &&
           a.data() == b.data();
}

} // namespace

/** A sequence's events in order and the fields that a file or the engines read. */
struct SongSnapshot::Sequence
{
    QString name;
    uint16_t channel = 0;
    uint16_t resolution = 960;
    uint32_t begin = 0;
    uint32_t length = 0;
    uint32_t end = 0;
    int bank = -1;
    int program = -1;
    std::vector<std::unique_ptr<MidiEvent>> events;

    explicit Sequence(const MidiSequence& s)
        : name(s.name()), channel(s.channel()), resolution(s.resolution()), begin(s.begin()),
          length(s.length()), end(s.end()), bank(s.bank()), program(s.program())
    {
        for (const MidiEvent* e = s.first(); e; e = e->next())
            events.push_back(e->clone());
    }

    void restoreInto(MidiSequence& s) const
    {
        s.clearEvents();
        // Events go back in their order; insert() keeps events of one time in insertion order.
        for (const auto& e : events)
            s.insert(e->clone());
        s.setName(name);
        s.setChannel(channel);
        s.setResolution(resolution);
        s.setBegin(begin);
        s.setLength(length);
        s.setEnd(end);
        s.setBank(bank);
        s.setProgram(program);
    }

    std::unique_ptr<MidiSequence> copy() const
    {
        auto s = std::make_unique<MidiSequence>(name, channel, resolution);
        restoreInto(*s);
        return s;
    }

    bool sameAs(const Sequence& o) const
    {
        if (name != o.name || channel != o.channel || resolution != o.resolution ||
            begin != o.begin || length != o.length || end != o.end || bank != o.bank ||
            program != o.program || events.size() != o.events.size())
            return false;
        for (size_t i = 0; i < events.size(); ++i)
            if (!sameEvent(*events[i], *o.events[i]))
                return false;
        return true;
    }
};

struct SongSnapshot::ClipCopy
{
    MidiClip* clip;
    uint32_t start, offset, length;
    bool modified;
    Sequence sequence;

    explicit ClipCopy(MidiClip* c)
        : clip(c), start(c->start()), offset(c->offset()), length(c->length()),
          modified(c->isModified()), sequence(c->sequence())
    {
    }

    bool sameAs(const ClipCopy& o) const
    {
        return clip == o.clip && start == o.start && offset == o.offset && length == o.length &&
               modified == o.modified && sequence.sameAs(o.sequence);
    }
};

struct SongSnapshot::SongFields
{
    QString suggestedKey, key;
    bool keyFixed, sectionsFixed, chordsChanged, arrangementOff;
    SongState::SectionPlacement sectionPlacement;
    int transpose;
    QString styleName, stylePath;
    uint16_t styleBeats, styleBeatUnit;
    std::vector<std::unique_ptr<Sequence>> styleTracks;
    std::vector<Track*> arrangedTracks;

    explicit SongFields(const SongState& s)
        : suggestedKey(s.suggestedKey), key(s.key), keyFixed(s.keyFixed),
          sectionsFixed(s.sectionsFixed), chordsChanged(s.chordsChanged),
          arrangementOff(s.arrangementOff), sectionPlacement(s.sectionPlacement),
          transpose(s.transpose), styleName(s.styleName), stylePath(s.stylePath),
          styleBeats(s.styleBeats), styleBeatUnit(s.styleBeatUnit), arrangedTracks(s.arrangedTracks)
    {
        for (const auto& track : s.styleTracks)
            styleTracks.push_back(std::make_unique<Sequence>(*track));
    }

    void restoreInto(SongState& s) const
    {
        s.suggestedKey = suggestedKey;
        s.key = key;
        s.keyFixed = keyFixed;
        s.sectionsFixed = sectionsFixed;
        s.chordsChanged = chordsChanged;
        s.arrangementOff = arrangementOff;
        s.sectionPlacement = sectionPlacement;
        s.transpose = transpose;
        s.styleName = styleName;
        s.stylePath = stylePath;
        s.styleBeats = styleBeats;
        s.styleBeatUnit = styleBeatUnit;
        s.styleTracks.clear();
        for (const auto& track : styleTracks)
            s.styleTracks.push_back(track->copy());
        s.arrangedTracks = arrangedTracks;
    }

    bool sameAs(const SongFields& o) const
    {
        if (suggestedKey != o.suggestedKey || key != o.key || keyFixed != o.keyFixed ||
            sectionsFixed != o.sectionsFixed || chordsChanged != o.chordsChanged ||
            arrangementOff != o.arrangementOff || sectionPlacement != o.sectionPlacement ||
            transpose != o.transpose || styleName != o.styleName || stylePath != o.stylePath ||
            styleBeats != o.styleBeats || styleBeatUnit != o.styleBeatUnit ||
            arrangedTracks != o.arrangedTracks || styleTracks.size() != o.styleTracks.size())
            return false;
        for (size_t i = 0; i < styleTracks.size(); ++i)
            if (!styleTracks[i]->sameAs(*o.styleTracks[i]))
                return false;
        return true;
    }
};

SongSnapshot::SongSnapshot(Session& session) : m_session(session)
{
    for (Track* track : session.tracks())
        for (Clip* clip = track->firstClip(); clip; clip = clip->next())
            if (auto* midi = dynamic_cast<MidiClip*>(clip))
                m_clips.push_back(std::make_unique<ClipCopy>(midi));
    m_song = std::make_unique<SongFields>(*SongState::of(&session));
}

SongSnapshot::~SongSnapshot() = default;

void SongSnapshot::restore() const
{
    {
        Command::EditLock lock(&m_session);
        for (const auto& copy : m_clips) {
            copy->sequence.restoreInto(copy->clip->sequence());
            copy->clip->setStart(copy->start);
            copy->clip->setOffset(copy->offset);
            copy->clip->setLength(copy->length);
            copy->clip->setModified(copy->modified);
        }
    }
    m_song->restoreInto(*SongState::of(&m_session));
    m_session.updateEnd(0);
}

bool SongSnapshot::sameAs(const SongSnapshot& other) const
{
    if (m_clips.size() != other.m_clips.size() || !m_song->sameAs(*other.m_song))
        return false;
    for (size_t i = 0; i < m_clips.size(); ++i)
        if (!m_clips[i]->sameAs(*other.m_clips[i]))
            return false;
    return true;
}
