#include "style_audition.h"

#include "arrangement.h"
#include "lane_events.h"
#include "song_making.h"
#include "song_tracks.h"
#include "style_catalog.h"
#include "style_loader.h"

#include "midi_clip.h"
#include "session.h"
#include "time_scale.h"

MidiClip* auditionStyle(Session& session, const QString& stylePath, const QStringList& chords)
{
    const std::optional<StyleCatalog::Entry> style = StyleCatalog::describe(stylePath);
    if (!style)
        return nullptr;
    const SongTracks tracks = SongTracks::addTo(session);
    session.setMeter(2, style->beats, style->beatUnit);
    session.setTempo(float(style->tempo));
    session.scale().recompute();
    if (!openStyle(session, stylePath))
        return nullptr;
    const uint32_t bar = songBarTicks(session);
    MidiSequence& melody = tracks.melody->sequence();
    for (int i = 0; i < chords.size(); ++i)
        setLaneEvent(melody, uint32_t(i) * bar, ChordLane, chords[i]);
    setLaneEvent(melody, 0, SectionLane, QStringLiteral("Main A"));
    melody.setLength(uint32_t(chords.size()) * bar);
    fitClipToEvents(session, *tracks.melody);
    Arrangement(session, melody).arrangeRange(nullptr, 0, melody.length(), SectionLane);
    return tracks.melody;
}
