#include "recent_files.h"

#include "settings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

RecentFiles::RecentFiles(Settings* settings, QMenu* menu, QObject* parent)
    : QObject(parent), m_settings(settings), m_menu(menu)
{
    m_menu->setObjectName(QStringLiteral("recentFilesMenu"));
    // The list is read again each time the menu opens: a file may have gone meanwhile.
    connect(m_menu, &QMenu::aboutToShow, this, &RecentFiles::rebuildMenu);
    rebuildMenu();
}

void RecentFiles::add(const QString& path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    QStringList& list = m_settings->recentFiles;
    list.removeAll(file);
    list.prepend(file);
    while (list.size() > kMaxFiles)
        list.removeLast();
    m_settings->save();
    rebuildMenu();
}

QStringList RecentFiles::files() const
{
    return m_settings->recentFiles;
}

void RecentFiles::dropMissing()
{
    QStringList& list = m_settings->recentFiles;
    QStringList kept;
    for (const QString& file : list)
        if (QFileInfo(file).isFile() && !kept.contains(file) && kept.size() < kMaxFiles)
            kept.append(file);
    if (kept != list) {
        list = kept;
        m_settings->save();
    }
}

void RecentFiles::rebuildMenu()
{
    dropMissing();
    // Later, not now: the entry being triggered may be the one asking for the rebuild.
    for (QAction* old : m_menu->actions()) {
        m_menu->removeAction(old);
        old->deleteLater();
    }
    const QStringList& list = m_settings->recentFiles;
    for (int i = 0; i < list.size(); ++i) {
        const QString file = list.at(i);
        // "&1 song.mid" gives the first eight entries a key; the tip shows where the file is.
        QAction* action =
            m_menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
        action->setToolTip(QDir::toNativeSeparators(file));
        action->setStatusTip(QDir::toNativeSeparators(file));
        // A file gone meanwhile is still handed on: opening it says plainly what is missing.
        connect(action, &QAction::triggered, this, [this, file] { Q_EMIT openRequested(file); });
    }
    m_menu->setEnabled(!list.isEmpty());
}
