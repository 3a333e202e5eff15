#pragma once

#include "chord_finder_setting.h"

#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>

class QSplitter;

/**
 * Settings: the program's per-user settings, loaded once at start and saved at exit.
 *
 * Owns the settings store (organisation "Orvane", application "Cantova"; every key begins with
 * "/"). load() reads every key with its default, save() writes them back. Values without a key
 * (metronome routing, file formats, tempo stretch) are fixed when loading. GUI thread only.
 */
class Settings
{
public:
    /** Metronome routing and notes, handed to the engines (fixed, no key). */
    struct Metronome
    {
        bool audio = false;
        bool midi = true;
        int channel = 9;
        int barNote = 36;
        int beatNote = 38;
        int barVelocity = 96;
        int beatVelocity = 64;
        int barLength = 48; // ticks
        int beatLength = 24;
        int further[3] = {127, 3, 3};
    };

    /** The audio file type used when saving (fixed, no key). */
    struct AudioSaveType
    {
        QString extension = QStringLiteral("wav");
        int majorFormat = 0x10000;
        int values[4] = {0, 4, 2, 0};
    };

    static constexpr int kUnsetPosition = -123;

    Settings();
    /** Saves the settings. */
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    /** Reads every key; absent keys take their defaults. */
    void load();
    /** Writes every key and flushes the store. */
    void save();

    /** The store itself, for keys other folders own (the MIDI output choice). */
    QSettings& store() { return m_store; }

    /** Pane sizes of a splitter under "<objectName>/Sizes"; nothing happens without a value. */
    void restoreSplitter(QSplitter* splitter);
    void saveSplitter(const QSplitter* splitter);

    /** The program's data folder (DataPaths), where the "Styles" folder and the help pages live. */
    static QString programDir();
    /** Replaces the data folder (tests); an empty text restores it. */
    static void setProgramDir(const QString& dir);

    // Persistent keys (see load() for their names and defaults).
    bool metronome = true;
    QString audioDir;
    QString midiDir;
    /** "/RecentFiles": the songs, recordings and styles opened or saved last, newest first. */
    QStringList recentFiles;
    double tempo = 120.0;
    int beatsPerBar = 4;
    int beatDivisor = 2;
    bool noteEditMode = false;
    int noteZoom = 130;
    int timeZoom = 100;
    QString styleDir;
    double audioLatency = -1.0;
    double audioRecordLatency = -1.0;
    int mainWinX = kUnsetPosition;
    int mainWinY = kUnsetPosition;
    int mainWinWidth = -1;
    int mainWinHeight = -1;
    bool mainWinVisible = false;
    QString midiOutput; // the devices layer reads it under its own key
    /** The chord finder of Make Chords; song making reads it under its own key. */
    ChordFinderKind chordFinder = ChordFinderKind::Progression;
    /** A tempo change time-stretches the recording to follow it (off: the recording keeps its
     * length). */
    bool stretchAudio = false;

    // Fixed at load.
    Metronome metronomeRouting;
    AudioSaveType audioSaveType;
    int midiFileFormat = 1;
    int snapIndex = 0;

private:
    QSettings m_store;
};
