#pragma once

#include <QObject>
#include <QString>

class QMenu;
class Settings;

/**
 * RecentFiles: the File menu's "Open Recent" list.
 *
 * Keeps the last eight files the user opened or saved (songs, recordings, styles), newest
 * first, in the settings ("/RecentFiles"). Files that are gone are dropped when the menu is
 * shown or chosen, so the list never offers what cannot be opened. GUI thread only.
 */
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxFiles = 8;

    /** Fills `menu` (owned by the caller) from the settings, which outlive this object. */
    RecentFiles(Settings* settings, QMenu* menu, QObject* parent = nullptr);

    /** Puts the file first (once) and stores the list. */
    void add(const QString& path);
    /** The files the menu offers, newest first. */
    QStringList files() const;
    QMenu* menu() const { return m_menu; }

Q_SIGNALS:
    /** The user chose a file of the menu. */
    void openRequested(const QString& path);

private:
    void dropMissing();
    void rebuildMenu();

    Settings* m_settings;
    QMenu* m_menu;
};
