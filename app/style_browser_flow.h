#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class MainWindow;
class MidiSequence;
class QAction;
class StyleBrowser;

/**
 * StyleBrowserFlow: Make > Style Browser. Shows the style browser on the style folder, plays
 * the preview of the style selected there (its Main A over the song's first chords, rendered
 * through the built-in synthesizer and played on the audio engine's preview player) and loads
 * the chosen style as Open Style does, one undo step. Owned by the main window. GUI thread only.
 */
class StyleBrowserFlow : public QObject
{
    Q_OBJECT

public:
    explicit StyleBrowserFlow(MainWindow* window);

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

    /** Renders and starts the preview of a style; false when it could not be played. */
    bool preview(const QString& stylePath);
    void stopPreview();

private:
    QStringList songChords() const;

    MainWindow* m_window;
    QAction* m_action;
    StyleBrowser* m_browser = nullptr;
    QTemporaryDir m_previews;
    int m_previewCount = 0;
};
