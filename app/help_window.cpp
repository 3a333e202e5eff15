#include "help_window.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

HelpWindow::Browser& browserOverride()
{
    static HelpWindow::Browser browser;
    return browser;
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this)), m_back(new QToolButton(this)),
      m_forward(new QToolButton(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Help") + QStringLiteral(" - Cantova"));
    resize(760, 620);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    // Pages and sections open here; only links to the web leave for the desktop.
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(true);
    m_back->setText(tr("Back"));
    m_back->setObjectName(QStringLiteral("helpBackButton"));
    m_forward->setText(tr("Forward"));
    m_forward->setObjectName(QStringLiteral("helpForwardButton"));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? tr("Help") + QStringLiteral(" - Cantova") : title);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_back);
    buttons->addWidget(m_forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
}

void HelpWindow::showPage(const QString& path)
{
    m_browser->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::source() const
{
    return m_browser->source();
}

bool HelpWindow::openInBrowser(const QUrl& url)
{
    if (browserOverride())
        return browserOverride()(url);
    return QDesktopServices::openUrl(url);
}

void HelpWindow::setBrowser(Browser browser)
{
    browserOverride() = std::move(browser);
}
