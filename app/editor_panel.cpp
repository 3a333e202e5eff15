#include "editor_panel.h"

#include "settings.h"

#include "midi_clip.h"
#include "note_view.h"
#include "piano_roll.h"
#include "session.h"
#include "tracks_view.h"

#include <QAction>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <cmath>

namespace {
constexpr int kFollowMs = 66;
} // namespace

EditorPanel::EditorPanel(QWidget* window, Session* session, Settings* settings,
                         TracksView* tracksView, QToolBar* toolbar)
    : QSplitter(Qt::Vertical, window), m_session(session), m_settings(settings),
      m_tracksView(tracksView), m_roll(new PianoRoll(session, this))
{
    setObjectName(QStringLiteral("EditorSplitter"));
    addWidget(tracksView);
    addWidget(m_roll);
    setStretchFactor(0, 1);
    setStretchFactor(1, 2);
    setChildrenCollapsible(false);
    m_settings->restoreSplitter(this);
    connect(this, &QSplitter::splitterMoved, this, [this] { m_settings->saveSplitter(this); });

    // Note editing follows the window's action, which starts as the setting says.
    m_roll->setEditMode(m_settings->noteEditMode);
    if (auto* action = window->findChild<QAction*>(QStringLiteral("editMidiModeAction"))) {
        action->setChecked(m_settings->noteEditMode);
        connect(action, SIGNAL(triggered(bool)), m_roll, SLOT(editModeOn()));
    }
    m_roll->addToolWidgets(toolbar);
    connect(m_roll->styleButton(), SIGNAL(clicked()), window, SLOT(fileOpenStyle()));
    connect(m_roll, SIGNAL(selectNotifySignal(NoteEditor*)), window,
            SLOT(selectionNotifySlot(NoteEditor*)));
    connect(m_roll, SIGNAL(changeNotifySignal(NoteEditor*)), window,
            SLOT(changeNotifySlot(NoteEditor*)));
    connect(m_roll, SIGNAL(updateNotifySignal(bool)), window, SLOT(updateNotifySlot(bool)));
    connect(m_roll, SIGNAL(locateRequested(unsigned long)), window,
            SLOT(transportTimeChanged(unsigned long)));

    m_roll->copySessionScale();
    m_roll->setTimeZoom(m_session->scale().timeZoom());
    m_roll->setHeightZoom(m_settings->noteZoom);
    connect(m_roll, &PianoRoll::heightZoomChanged, this,
            [this](int percent) { m_settings->noteZoom = percent; });
    connectZoomAndScrolling();

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &EditorPanel::followPlayPosition);
    m_timer->start(kFollowMs);
}

EditorPanel::~EditorPanel()
{
    m_settings->noteZoom = m_roll->heightZoom();
}

void EditorPanel::connectZoomAndScrolling()
{
    // The roll's horizontal zoom buttons zoom the tracks view, and the roll follows it.
    auto rewire = [this](const char* name, auto slot) {
        QToolButton* button = m_roll->zoomButton(name);
        disconnect(button, nullptr, m_roll, nullptr);
        connect(button, &QToolButton::clicked, m_tracksView, slot);
    };
    rewire("HorizontalZoomIn", &TracksView::zoomIn);
    rewire("HorizontalZoomOut", &TracksView::zoomOut);
    rewire("HorizontalZoomReset", [this] { m_tracksView->setTimeZoom(100); });
    connect(m_tracksView, &TracksView::timeZoomChanged, this, [this](int percent) {
        ++m_syncing;
        m_roll->setTimeZoom(percent);
        --m_syncing;
        followTracksView(m_tracksView->xOffset());
    });

    // Both scroll together horizontally. The tracks view reports its scrolling only through
    // its scroll bar (the horizontal one of its own).
    connect(m_roll, &NoteEditor::contentsMoving, this, [this](int x, int) {
        if (m_syncing)
            return;
        ++m_syncing;
        m_tracksView->scrollToFrame(m_roll->scale().pixelToFrame(uint32_t(std::max(0, x))));
        --m_syncing;
    });
    for (QScrollBar* bar : m_tracksView->findChildren<QScrollBar*>(Qt::FindDirectChildrenOnly)) {
        if (bar->orientation() != Qt::Horizontal)
            continue;
        connect(bar, &QScrollBar::valueChanged, this, [this](int x) {
            if (!m_syncing)
                followTracksView(x);
        });
    }
}

void EditorPanel::followTracksView(int trackX)
{
    // Through both scales: the same frame stands at the left edge of both views.
    const uint32_t frame = m_session->scale().pixelToFrame(uint32_t(std::max(0, trackX)));
    ++m_syncing;
    m_roll->contentsXMovingSlot(int(m_roll->scale().frameToPixel(frame)), 0);
    --m_syncing;
}

void EditorPanel::showMelody(MidiClip* melody)
{
    m_roll->copySessionScale();
    // A new song sets the session's zoom without the tracks view reporting it.
    if (m_roll->timeZoom() != m_session->scale().timeZoom()) {
        ++m_syncing;
        m_roll->setTimeZoom(m_session->scale().timeZoom());
        --m_syncing;
    }
    // A new melody clip, or notes arriving in an empty one (a song opened, a transcription),
    // is shown from its start with its notes in view.
    const bool hasNotes = melody && !melody->sequence().isEmpty();
    const bool fresh = melody != m_shownClip || (hasNotes && !m_shownHadNotes);
    m_shownClip = melody;
    m_shownHadNotes = hasNotes;
    m_roll->setClip(melody);
    if (fresh)
        scrollToStart();
    // Set-up, once the first melody clip is there: the clip ends with its last note.
    if (melody && !m_setUp) {
        m_setUp = true;
        m_roll->adjustClipLength();
    }
}

void EditorPanel::scrollToStart()
{
    followTracksView(m_tracksView->xOffset());
    // A melody's notes stand in the middle of the view; without notes, a third down the keys.
    int y = m_roll->contentHeight() / 3;
    if (MidiClip* melody = m_roll->clip(); melody && !melody->sequence().isEmpty()) {
        const MidiSequence& notes = melody->sequence();
        if (notes.highestKey() >= notes.lowestKey() && notes.highestKey() > 0) {
            const int middle = (m_roll->displayedNote(notes.highestKey()) +
                                m_roll->displayedNote(notes.lowestKey())) /
                               2;
            y = m_roll->rowTop(middle) + m_roll->yOffset() - m_roll->noteView()->height() / 2;
        }
    }
    m_roll->scrollToY(y);
    m_roll->setPlayHead(m_session->playHead());
    m_roll->setLoop(m_session->loopIn(), m_session->loopOut());
    m_roll->noteView()->setFocus();
}

bool EditorPanel::deleteSelectedNotes()
{
    return m_roll->deleteSelected();
}

void EditorPanel::followPlayPosition()
{
    m_roll->setPlayHead(m_session->playHead());
    m_roll->setLoop(m_session->loopIn(), m_session->loopOut());
}
