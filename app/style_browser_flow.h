#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <future>

class AudioEngine;
class MainWindow;
class MidiSequence;
class QAction;
class StyleBrowser;

/**
 * StyleBrowserFlow: Make > Style Browser. Shows the style browser on the style folder, plays
 * the preview of the style selected there (its Main A over the song's first chords, rendered
 * through the built-in synthesizer and played on the audio engine's preview player) and loads
 * the chosen style as Open Style does, one undo step. Owned by the main window; its functions
 * run on the GUI thread.
 *
 * A preview renders on a thread of its own (about half a second of synthesis): the window and
 * the browser stay responsive while the user moves through the list. One render runs at a
 * time; when it ends, only the style chosen last plays, and choices made meanwhile are skipped.
 */
class StyleBrowserFlow : public QObject
{
    Q_OBJECT

public:
    explicit StyleBrowserFlow(MainWindow* window);
    ~StyleBrowserFlow() override;

    /** The menu action ("styleBrowserAction"). */
    QAction* action() const { return m_action; }
    /** The browser, made on first use. */
    StyleBrowser* browser();
    /** Shows the browser on the style folder with the song's style selected. */
    void show();

    /** The chords a preview plays: those at the song's first four bars with chords, else C F G C.
     */
    static QStringList previewChords(const MidiSequence* melody, uint32_t barTicks);
    /**
     * Plays the style's Main A over the chords, one bar each, at the style's meter and tempo,
     * into an audio file at wav. False with the reason in the error log.
     */
    static bool renderPreview(const QString& stylePath, const QStringList& chords,
                              const QString& wav);

    /**
     * Asks for the preview of a style: it plays once rendered, unless another style is chosen
     * or the preview is stopped first. False when nothing can be played (no audio output).
     */
    bool preview(const QString& stylePath);
    void stopPreview();
    /** Whether a preview is being rendered. */
    bool isRendering() const { return m_render.valid(); }

private:
    QStringList songChords() const;
    void startRender();
    void renderEnded();
    AudioEngine* audioEngine() const;

    MainWindow* m_window;
    QAction* m_action;
    StyleBrowser* m_browser = nullptr;
    QTemporaryDir m_previews;
    int m_previewCount = 0;
    QString m_wanted;      // the style to play once rendered; empty after Stop
    QString m_renderStyle; // the style and the file being rendered
    QString m_renderWav;
    QString m_playingWav;       // the file the preview player reads
    std::future<bool> m_render; // the running render; its end is polled by m_poll
    QTimer m_poll;
};
