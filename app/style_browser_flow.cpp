#include "style_browser_flow.h"

#include "audio_engine.h"
#include "chord_text.h"
#include "data_paths.h"
#include "error_log.h"
#include "lane_events.h"
#include "main_window.h"
#include "midi_clip.h"
#include "settings.h"
#include "song_making.h"
#include "song_renderer.h"
#include "song_state.h"
#include "style_audition.h"
#include "style_browser.h"
#include "style_catalog.h"

#include "session.h"

#include <QAction>
#include <QFile>

namespace {

constexpr int kPreviewBars = 4;
// How often the window looks whether a preview's render has ended: short beside the render.
constexpr int kRenderPollMs = 20;

QStringList defaultChords()
{
    return {QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("G"), QStringLiteral("C")};
}

bool playable(const QString& chord)
{
    return !chord.isEmpty() && !isDrumsChord(chord) && !isEmptyChord(chord);
}

} // namespace

StyleBrowserFlow::StyleBrowserFlow(MainWindow* window)
    : QObject(window), m_window(window), m_action(new QAction(tr("Style &Browser..."), window))
{
    m_action->setObjectName(QStringLiteral("styleBrowserAction"));
    m_action->setStatusTip(tr("Choose a style by genre, hear it and load it"));
    connect(m_action, &QAction::triggered, this, &StyleBrowserFlow::show);
    m_poll.setInterval(kRenderPollMs);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (m_render.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            renderEnded();
    });
}

StyleBrowserFlow::~StyleBrowserFlow()
{
    // The render's thread writes into the preview folder: let it end before the folder goes.
    if (m_render.valid())
        m_render.wait();
}

StyleBrowser* StyleBrowserFlow::browser()
{
    if (!m_browser) {
        m_browser = new StyleBrowser(m_window);
        connect(m_browser, &StyleBrowser::previewRequested, this, &StyleBrowserFlow::preview);
        connect(m_browser, &StyleBrowser::stopRequested, this, &StyleBrowserFlow::stopPreview);
        connect(m_browser, &StyleBrowser::loadRequested, this, [this](const QString& path) {
            m_window->openFile(path); // as Open Style: one undo step, the meters reconciled
        });
    }
    return m_browser;
}

void StyleBrowserFlow::show()
{
    StyleBrowser* b = browser();
    // The style folder the user last opened a style from, else the shipped styles.
    QString folder = m_window->settings()->styleDir;
    if (folder.isEmpty() || StyleCatalog::scan(folder).empty())
        folder = DataPaths::path(QStringLiteral("Styles"));
    b->setFolder(folder, m_window->stylePath());
    b->setPreviewChords(songChords());
    b->show();
    b->raise();
    b->activateWindow();
}

QStringList StyleBrowserFlow::previewChords(const MidiSequence* melody, uint32_t barTicks)
{
    if (!melody || barTicks == 0)
        return defaultChords();
    // The song proper: from its first main part (the intro only holds the tonic), else from
    // its first chord.
    const MidiEvent* main = nullptr;
    for (const MidiEvent* e = melody->first(); e && !main; e = e->next())
        if (laneKind(e) == SectionLane && laneText(e).startsWith(QLatin1String("Main")))
            main = e;
    const MidiEvent* first = nullptr;
    for (const MidiEvent* e = melody->first(); e && !first; e = e->next())
        if (laneKind(e) == ChordLane && playable(laneText(e)) && (!main || e->time >= main->time))
            first = e;
    if (!first)
        return defaultChords();
    QStringList chords;
    const uint32_t start = (main ? main->time : first->time) / barTicks * barTicks;
    for (int bar = 0; bar < kPreviewBars; ++bar) {
        const MidiEvent* c =
            lastLaneEventAtOrBefore(*melody, start + uint32_t(bar) * barTicks, ChordLane);
        const QString text = c ? laneText(c) : QString();
        chords << (playable(text) && (!main || c->time >= main->time) ? text : laneText(first));
    }
    return chords;
}

QStringList StyleBrowserFlow::songChords() const
{
    auto* melody = dynamic_cast<MidiClip*>(m_window->melodyClip());
    return previewChords(melody ? &melody->sequence() : nullptr,
                         songBarTicks(*m_window->session()));
}

bool StyleBrowserFlow::renderPreview(const QString& stylePath, const QStringList& chords,
                                     const QString& wav)
{
    SongRenderer renderer;
    Session session(renderer.engines());
    return auditionStyle(session, stylePath, chords) && renderer.render(session, wav, nullptr);
}

AudioEngine* StyleBrowserFlow::audioEngine() const
{
    auto* audio = dynamic_cast<AudioEngine*>(m_window->session()->audioEngine());
    return audio && audio->isInitialized() ? audio : nullptr;
}

bool StyleBrowserFlow::preview(const QString& stylePath)
{
    if (!audioEngine() || !m_previews.isValid())
        return false;
    m_wanted = stylePath;
    if (!isRendering())
        startRender();
    return true;
}

void StyleBrowserFlow::startRender()
{
    // A new file each time: the player may still be reading the one before.
    m_renderStyle = m_wanted;
    m_renderWav = m_previews.filePath(QStringLiteral("preview-%1.wav").arg(++m_previewCount));
    m_render = std::async(std::launch::async, &StyleBrowserFlow::renderPreview, m_renderStyle,
                          songChords(), m_renderWav);
    m_poll.start();
}

void StyleBrowserFlow::renderEnded()
{
    m_poll.stop();
    const bool rendered = m_render.get();
    if (m_renderStyle != m_wanted) {
        // Another style was chosen meanwhile, or Stop pressed: this one is not heard.
        QFile::remove(m_renderWav);
        if (!m_wanted.isEmpty())
            startRender();
        return;
    }
    m_wanted.clear();
    if (!rendered) {
        QFile::remove(m_renderWav);
        m_window->showErrorBox();
        return;
    }
    AudioEngine* audio = audioEngine();
    if (!audio || !audio->previewFile(m_renderWav)) {
        QFile::remove(m_renderWav);
        return;
    }
    if (!m_playingWav.isEmpty())
        QFile::remove(m_playingWav);
    m_playingWav = m_renderWav;
}

void StyleBrowserFlow::stopPreview()
{
    m_wanted.clear();
    if (AudioEngine* audio = audioEngine())
        audio->stopPreview();
}
