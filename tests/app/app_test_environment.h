#pragma once

#include "main_window.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "settings.h"

#include <QAction>
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

// Helpers of the window tests.

/** The window's action of that object name; a missing one ends the test run. */
inline QAction* act(QWidget& form, const char* name)
{
    auto* action = form.findChild<QAction*>(QLatin1String(name));
    if (!action)
        qFatal("no action %s", name);
    return action;
}

/** The window's melody clip. */
inline MidiClip* melody(MainWindow& form)
{
    return dynamic_cast<MidiClip*>(form.melodyClip());
}

/** One note in the melody, marked modified, as the piano roll's change notice leaves it. */
inline void giveMelodyANote(MainWindow& form)
{
    melody(form)->sequence().insert(MidiEvent::note(0, 60, 100, 960));
    melody(form)->setModified(true);
    form.stabilizeForm();
}
