#include "style_loader.h"

#include "clip_command.h"
#include "error_log.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_making.h"
#include "song_state.h"
#include "style_reader.h"
#include "track.h"
#include "track_command.h"
#include "track_state_command.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

constexpr uint16_t kDefaultStyleChannel = 8;

std::unique_ptr<Track> makeArrangedTrack(Session& session, const MidiSequence& style)
{
    auto track = std::make_unique<Track>(&session, Track::MidiTrack);
    Track::Properties props = track->properties();
    props.name = style.name();
    props.channel = style.channel();
    props.program = style.program();
    props.bank = style.bank();
    // Arranged tracks stand apart from the melody: white on dark red.
    props.foreground = Qt::white;
    props.background = Qt::darkRed;
    track->setProperties(props);
    return track;
}

std::unique_ptr<MidiClip> makeArrangeClip(Session& session, const MidiSequence& style)
{
    auto clip = std::make_unique<MidiClip>(&session);
    clip->setName(style.name());
    MidiSequence& events = clip->sequence();
    events.setResolution(session.scale().ticksPerBeat());
    events.setChannel(style.channel());
    events.setProgram(style.program());
    events.setBank(style.bank());
    return clip;
}

// The default piano style's one bar of C major seventh: C E G B on every beat of the meter.
void addDefaultPattern(MidiSequence& track, uint32_t barTicks, uint32_t beats)
{
    static constexpr uint8_t kChord[] = {48, 52, 55, 59};
    const uint32_t beatTicks = barTicks / beats;
    for (uint32_t bar = 1; bar <= 4; ++bar) {
        for (uint32_t beat = 0; beat < beats; ++beat) {
            const uint32_t tick = beatTicks * beat + barTicks * bar;
            for (uint8_t key : kChord)
                track.insert(MidiEvent::note(tick, key, beat == 0 ? 90 : 70, beatTicks));
        }
    }
}

} // namespace

bool styleMainSectionPlays(const SongState& song)
{
    if (song.styleTracks.empty())
        return false;
    const StyleSectionSpan span =
        styleSectionSpan(*song.styleTracks.front(), QStringLiteral("Main A"));
    if (!span.found)
        return false;
    for (const auto& track : song.styleTracks) {
        for (const MidiEvent* e = track->first(); e && e->time < span.end; e = e->next())
            if (e->isNote() && e->time >= span.start)
                return true;
    }
    return false;
}

QString silentStyleMessage(const QString& styleName)
{
    return QCoreApplication::translate("styleLoader",
                                       "The style \"%1\" has no \"Main A\" section that plays "
                                       "notes:\nthe song has no accompaniment.")
        .arg(styleName);
}

bool closeStyle(Session& session, bool removeTracks)
{
    SongState& song = *SongState::of(&session);
    bool ok = true;
    if (removeTracks) {
        for (Track* track : song.arrangedTracks) {
            if (session.indexOf(track) < 0) {
                ErrorLog::add(QStringLiteral("closeStyle: track removing error"));
                ok = false;
                continue;
            }
            session.push(std::make_unique<RemoveTrackCommand>(&session, track));
        }
    }
    song.closeStyle();
    return ok;
}

void createArrangedTracks(Session& session)
{
    SongState& song = *SongState::of(&session);
    song.arrangedTracks.clear();
    for (const auto& style : song.styleTracks) {
        // Style sequences are kept in time order by every insertion, so there is nothing to sort.
        auto owned = makeArrangedTrack(session, *style);
        Track* track = owned.get();
        session.push(std::make_unique<AddTrackCommand>(&session, std::move(owned)));
        song.arrangedTracks.push_back(track);
        // Only a change is pushed: an unmuted new track needs no "track mute" entry.
        if (song.arrangementOff)
            session.push(std::make_unique<TrackStateCommand>(&session, std::vector<Track*>{track},
                                                             TrackStateCommand::Mute, true));
        auto clips = std::make_unique<ClipCommand>(&session, QStringLiteral("Arrange"));
        clips->addClip(makeArrangeClip(session, *style), track);
        ClipCommand::push(&session, std::move(clips));
    }
}

void loadDefaultStyle(Session& session)
{
    closeStyle(session, true);
    SongState& song = *SongState::of(&session);
    const TempoNode* meter = session.scale().firstNode();
    song.styleBeats = meter ? meter->beatsPerBar : 4;
    song.styleBeatUnit = meter ? meter->beatUnit : 2;

    const uint32_t tpq = session.scale().ticksPerBeat();
    const uint32_t beats = std::max<uint32_t>(song.styleBeats, 1);
    // A bar counts beats of the meter's unit: six eighths in 6/8, four quarters in 4/4.
    const uint32_t bar = meterBarTicks(beats, song.styleBeatUnit, tpq);
    auto track = std::make_unique<MidiSequence>(QStringLiteral("Arranged Track %1").arg(1),
                                                kDefaultStyleChannel, uint16_t(tpq));
    track->setProgram(0);
    track->setBank(0);
    setLaneEvent(*track, bar, SectionLane, QStringLiteral("Main A"));
    setLaneEvent(*track, bar, ChordLane, QStringLiteral("CMaj7"));
    addDefaultPattern(*track, bar, beats);
    track->setLength(bar * 5); // bar 0 empty, bars 1 to 4 the pattern
    song.styleTracks.push_back(std::move(track));
    song.styleRules.assign(1, StylePartRules());
    createArrangedTracks(session);
}

bool openStyle(Session& session, const QString& path)
{
    closeStyle(session, true);
    if (path.isEmpty()) {
        loadDefaultStyle(session);
        return true;
    }
    StyleReader reader;
    if (!reader.readFile(path)) {
        loadDefaultStyle(session);
        return false;
    }
    SongState& song = *SongState::of(&session);
    StyleReader::Style style = reader.takeStyle();
    song.styleTracks = std::move(style.tracks);
    song.styleRules = std::move(style.rules);
    song.styleBeats = style.beats;
    song.styleBeatUnit = style.beatUnit;
    createArrangedTracks(session);
    song.styleName = QFileInfo(path).completeBaseName();
    song.stylePath = path;
    return true;
}
