#include "piano_roll.h"

#include "song_lanes.h"

#include "key_names.h"
#include "lane_editing.h"
#include "lane_events.h"
#include "make_chords.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "session.h"
#include "song_state.h"
#include "track.h"

#include <QMouseEvent>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

PianoRoll::PianoRoll(Session* session, QWidget* parent)
    : NoteEditor(session, parent), m_lanes(std::make_unique<SongLanes>(this))
{
    setObjectName(QStringLiteral("PianoRoll"));
    connect(this, &NoteEditor::selectNotifySignal, this, &PianoRoll::selectionChanged);
    connect(this, &NoteEditor::changeNotifySignal, this, &PianoRoll::contentsChanged);
    connect(this, &NoteEditor::sendNoteSignal, this, &PianoRoll::sendNote);
    connect(song(), &SongState::keyChanged, this, [this] {
        updateKeyButton();
        redraw();
    });
    setSoundOn(true);
    setFollowPlayPosition(true);
    setNoteEventType(kNoteEvents);
    setLaneEventType(kSongLanes);
    refresh();
}

PianoRoll::~PianoRoll() = default;

SongState* PianoRoll::song() const
{
    return SongState::of(session());
}

void PianoRoll::addToolWidgets(QToolBar* bar)
{
    m_keyButton = new QToolButton(bar);
    m_keyButton->setObjectName(QStringLiteral("KeyButton"));
    m_keyButton->setIcon(QIcon(QStringLiteral(":/images/sharp.png")));
    m_keyButton->setMinimumSize(80, 26);
    m_keyButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_keyButton->setCheckable(false);
    m_keyButton->setToolTip(tr("Key Signature"));
    connect(m_keyButton, &QToolButton::clicked, this, &PianoRoll::keySetSlot);
    bar->addWidget(m_keyButton);

    m_transposeButton = new QToolButton(bar);
    m_transposeButton->setObjectName(QStringLiteral("TransposeButton"));
    m_transposeButton->setIcon(QIcon(QStringLiteral(":/images/transpose.png")));
    m_transposeButton->setCheckable(false);
    m_transposeButton->setToolTip(tr("Transpose piano-roll view to Cmaj/Amin key"));
    connect(m_transposeButton, &QToolButton::clicked, this, &PianoRoll::setTransposeSlot);
    bar->addWidget(m_transposeButton);

    m_transposeSpin = new QSpinBox(bar);
    m_transposeSpin->setObjectName(QStringLiteral("TransposeSpinBox"));
    m_transposeSpin->setRange(-6, 6);
    m_transposeSpin->setSingleStep(1);
    m_transposeSpin->setValue(song()->transpose);
    m_transposeSpin->setMinimumSize(50, 26);
    m_transposeSpin->setAlignment(Qt::AlignCenter);
    m_transposeSpin->setToolTip(tr("Transpose piano-roll view (semitones)"));
    connect(m_transposeSpin, &QSpinBox::valueChanged, this, &PianoRoll::transposeViewSetSlot);
    bar->addWidget(m_transposeSpin);

    m_styleButton = new QToolButton(bar);
    m_styleButton->setObjectName(QStringLiteral("StyleButton"));
    m_styleButton->setIcon(QIcon(QStringLiteral(":/images/open-style.png")));
    m_styleButton->setMinimumSize(100, 26);
    m_styleButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_styleButton->setCheckable(false);
    m_styleButton->setToolTip(tr("Open arrangement style file"));
    bar->addWidget(m_styleButton);
    refresh();
}

void PianoRoll::refresh()
{
    SongState* s = song();
    if (s->transpose != viewTranspose())
        NoteEditor::setViewTranspose(s->transpose);
    if (m_transposeSpin && m_transposeSpin->value() != s->transpose) {
        const QSignalBlocker block(m_transposeSpin);
        m_transposeSpin->setValue(s->transpose);
    }
    updateKeyButton();
    updateStyleButton();
    NoteEditor::refresh();
}

void PianoRoll::updateKeyButton()
{
    SongState* s = song();
    const QString shown = s->displayedKey();
    const ParsedKey key = parseKey(shown);
    setKeySignature(key.signature, key.minor, true);
    if (!m_keyButton)
        return;
    m_keyButton->setText(shown);
    QFont font = m_keyButton->font();
    font.setBold(s->keyFixed);
    m_keyButton->setFont(font);
}

void PianoRoll::updateStyleButton()
{
    if (m_styleButton)
        m_styleButton->setText(song()->styleName);
}

// ---------------------------------------------------------------------------------------------
// Slots

void PianoRoll::editModeOn()
{
    setEditMode(!isEditMode());
}

void PianoRoll::sendNote(int note, int velocity)
{
    auto* engine = dynamic_cast<MidiEngine*>(session()->midiEngine());
    Track* melody = track();
    if (!engine || !melody)
        return;
    // The engine sends only while the track's bus is open; a note-off leaves the meters.
    engine->playNote(melody, note, std::max(0, velocity));
}

void PianoRoll::keySetSlot()
{
    MidiClip* melody = clip();
    if (!melody)
        return;
    if (editKey(this, *session(), *melody))
        emit changeNotifySignal(this);
    refresh();
}

void PianoRoll::transposeViewSetSlot(int shift)
{
    song()->transpose = shift;
    NoteEditor::setViewTranspose(shift);
    updateKeyButton();
    redraw();
}

void PianoRoll::setTransposeSlot()
{
    const QString shown = m_keyButton ? m_keyButton->text() : song()->displayedKey();
    const ParsedKey key = parseKey(shown);
    int value = song()->transpose - keyInterval(0, key.signature);
    if (value > 6)
        value -= 12;
    else if (value < -6)
        value += 12;
    if (m_transposeSpin)
        m_transposeSpin->setValue(value); // runs transposeViewSetSlot
    else
        transposeViewSetSlot(value);
}

void PianoRoll::selectionChanged(NoteEditor* editor)
{
    (void)editor;
    updateKeyButton();
}

void PianoRoll::contentsChanged(NoteEditor* editor)
{
    if (MidiClip* melody = clip()) {
        melody->setModified(true);
        growClipToNotes();
    }
    ++m_changeCount;
    selectionChanged(editor);
}

// ---------------------------------------------------------------------------------------------
// Clip length

namespace {
uint32_t lastNoteEnd(const MidiSequence& sequence)
{
    uint32_t end = 0;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        if (e->isNote())
            end = std::max(end, e->endTime());
    return end;
}
} // namespace

void PianoRoll::adjustClipLength()
{
    MidiClip* melody = clip();
    if (!melody)
        return;
    const uint32_t end = lastNoteEnd(melody->sequence());
    if (end > 0) {
        const uint32_t frame = session()->scale().tickToFrame(sessionTick(end));
        melody->setLength(frame > melody->start() ? frame - melody->start() : 0);
        session()->updateEnd(0);
    }
    refresh();
    emit updateNotifySignal(true);
}

void PianoRoll::growClipToNotes()
{
    // A note drawn after the clip's end would never play: the clip grows to hold it.
    MidiClip* melody = clip();
    const uint32_t end = lastNoteEnd(melody->sequence());
    const uint32_t frame = session()->scale().tickToFrame(sessionTick(end));
    if (frame > melody->end()) {
        melody->setLength(frame - melody->start());
        session()->updateEnd(0);
    }
}

// ---------------------------------------------------------------------------------------------
// The song lanes

int PianoRoll::laneHeight() const
{
    return laneEventType() == kSongLanes ? SongLanes::kHeight : NoteEditor::laneHeight();
}

bool PianoRoll::paintLane(QPainter& p, const QRect& rect)
{
    if (laneEventType() != kSongLanes)
        return false;
    m_lanes->paint(p, rect);
    return true;
}

bool PianoRoll::paintLaneScale(QPainter& p, const QRect& rect)
{
    if (laneEventType() != kSongLanes)
        return false;
    m_lanes->paintScale(p, rect);
    return true;
}

bool PianoRoll::lanePressed(QMouseEvent* event)
{
    if (laneEventType() != kSongLanes || event->button() != Qt::LeftButton)
        return false;
    const SongLanes::Target target = m_lanes->targetAt(event->position().toPoint());
    MidiClip* melody = clip();
    if (!melody || target.kind == 0)
        return true;
    LaneEdit edit = LaneEdit::Cancelled;
    if (target.kind == ChordLane)
        edit = editChordLane(this, *song(), *melody, target.tick, target.unitEnd);
    else
        edit = editSectionLane(this, *song(), *melody, target.tick, target.unitEnd);
    if (edit != LaneEdit::Cancelled) {
        refresh();
        emit changeNotifySignal(this);
    }
    return true;
}
