#include "lane_editing.h"

#include "arrangement.h"
#include "chord_edit_dialog.h"
#include "chord_text.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "section_edit_dialog.h"
#include "song_state.h"
#include "song_undo_step.h"

#include <QCoreApplication>

#include <algorithm>
#include <optional>

namespace {

LaneEdit editOf(int answer)
{
    if (answer == QDialog::Accepted)
        return LaneEdit::Stored;
    return answer == ChordEditDialog::Deleted ? LaneEdit::Deleted : LaneEdit::Cancelled;
}

// The end of the track's last event: a note lasts its length, other events take no time.
uint32_t lastEventEnd(const MidiSequence& track)
{
    uint32_t end = 0;
    for (const MidiEvent* e = track.first(); e; e = e->next())
        end = std::max(end, e->endTime());
    return end;
}

} // namespace

LaneEdit editChordLane(QWidget* parent, SongState& song, MidiClip& melody, uint32_t tick,
                       uint32_t beatEnd)
{
    MidiSequence& track = melody.sequence();
    const MidiEvent* current = findLaneEvent(track, tick, ChordLane);
    ChordEditDialog form(parent);
    form.setChord(transposeChordText(laneText(current), song.transpose), isFixedChord(current));
    const LaneEdit edit = editOf(form.exec());
    if (edit == LaneEdit::Cancelled)
        return edit;
    std::optional<SongUndoStep> step;
    if (song.session())
        step.emplace(*song.session(), QCoreApplication::translate("laneEditing", "Chord Edit"));
    const QString chord =
        edit == LaneEdit::Stored ? transposeChordText(form.chord(), -song.transpose) : QString();
    setLaneEvent(track, tick, ChordLane, chord, form.isFixed());
    finishLaneEdit(song, melody, tick, edit, beatEnd, ChordLane);
    return edit;
}

LaneEdit editSectionLane(QWidget* parent, SongState& song, MidiClip& melody, uint32_t tick,
                         uint32_t barEnd)
{
    MidiSequence& track = melody.sequence();
    SectionEditDialog form(parent);
    form.setSection(laneText(findLaneEvent(track, tick, SectionLane)), song.sectionsFixed);
    const LaneEdit edit = editOf(form.exec());
    if (edit == LaneEdit::Cancelled)
        return edit;
    std::optional<SongUndoStep> step;
    if (song.session())
        step.emplace(*song.session(), QCoreApplication::translate("laneEditing", "Section Edit"));
    setLaneEvent(track, tick, SectionLane, edit == LaneEdit::Stored ? form.section() : QString());
    if (edit == LaneEdit::Stored)
        song.sectionsFixed = form.sectionsFixed();
    finishLaneEdit(song, melody, tick, edit, barEnd, SectionLane);
    return edit;
}

void finishLaneEdit(SongState& song, MidiClip& melody, uint32_t tick, LaneEdit edit,
                    uint32_t unitEnd, int kind)
{
    MidiSequence& track = melody.sequence();
    if (edit == LaneEdit::Stored) {
        track.setLength(std::max(track.length(), unitEnd));
    } else if (edit == LaneEdit::Deleted) {
        if (track.isEmpty() || tick >= lastEventEnd(track))
            track.setLength(tick);
    }
    if (Session* session = song.session()) {
        // A deleted event leaves no event to start from: the span then starts at its tick.
        const MidiEvent* edited = findLaneEvent(track, tick, kind);
        Arrangement(*session, track).arrangeRange(edited, tick, 0, kind);
    }
    melody.setModified(true);
    song.chordsChanged = true;
}
