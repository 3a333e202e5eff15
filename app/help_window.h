#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>

class QTextBrowser;
class QToolButton;

/**
 * HelpWindow: the help pages inside the program, for a desktop where no web browser opens.
 *
 * A text browser over the pages beside the program: links between the pages and to their
 * sections work, Back and Forward go through the pages read, and links to the web go to the
 * desktop. The main window tries the desktop's browser first (openInBrowser) and shows this
 * window when that fails. GUI thread only.
 */
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    /** Opens a URL in the desktop's browser; true when one took it. */
    using Browser = std::function<bool(const QUrl&)>;

    explicit HelpWindow(QWidget* parent = nullptr);

    /** Shows the page (a local file) and brings the window up. */
    void showPage(const QString& path);
    /** The page shown, as a URL. */
    QUrl source() const;
    QTextBrowser* browser() const { return m_browser; }

    /** Asks the desktop's browser to open the URL (tests replace the desktop). */
    static bool openInBrowser(const QUrl& url);
    static void setBrowser(Browser browser);

private:
    QTextBrowser* m_browser;
    QToolButton* m_back;
    QToolButton* m_forward;
};
