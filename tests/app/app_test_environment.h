#pragma once

#include "main_window.h"
#include "settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

/**
 * Keeps GUI tests away from the user's real settings and devices: the settings store lives in
 * a temporary folder, the program's folder is a temporary folder too, and the recommended
 * latencies are fixed values instead of the sound card's.
 */
class AppTestEnvironment
{
public:
    static constexpr double kPlaybackLatency = 0.05;
    static constexpr double kRecordingLatency = 0.12;

    AppTestEnvironment()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
        Settings::setProgramDir(m_programDir.path());
        MainWindow::setLatencySource(
            [] { return std::pair<double, double>(kPlaybackLatency, kRecordingLatency); });
    }
    ~AppTestEnvironment()
    {
        MainWindow::setLatencySource({});
        Settings::setProgramDir(QString());
    }

    /** Empties the settings store, as on a first start. */
    void clearSettings()
    {
        QSettings store(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
        store.clear();
        store.sync();
    }
    QString settingsDir() const { return m_settingsDir.path(); }
    QString programDir() const { return m_programDir.path(); }

private:
    QTemporaryDir m_settingsDir;
    QTemporaryDir m_programDir;
};
