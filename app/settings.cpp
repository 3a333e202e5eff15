#include "settings.h"

#include "data_paths.h"
#include "midi_outputs.h"

#include <QCoreApplication>
#include <QSplitter>

namespace {
const QString kVersion = QStringLiteral("3.0");

} // namespace

Settings::Settings() : m_store(QStringLiteral("Orvane"), QStringLiteral("Cantova"))
{
    load();
}

Settings::~Settings()
{
    save();
}

QString Settings::programDir()
{
    return DataPaths::dataDir();
}

void Settings::setProgramDir(const QString& dir)
{
    DataPaths::setOverride(dir);
}

void Settings::load()
{
    QSettings& s = m_store;
    metronome = s.value(QStringLiteral("/Metronome"), true).toBool();
    audioDir = s.value(QStringLiteral("/AudioDir")).toString();
    midiDir = s.value(QStringLiteral("/MidiDir")).toString();
    recentFiles = s.value(QStringLiteral("/RecentFiles")).toStringList();
    tempo = s.value(QStringLiteral("/Tempo"), 120.0).toDouble();
    beatsPerBar = s.value(QStringLiteral("/BeatsPerBar"), 4).toInt();
    beatDivisor = s.value(QStringLiteral("/BeatDivisor"), 2).toInt();
    noteEditMode = s.value(QStringLiteral("/NoteEditMode"), false).toBool();
    noteZoom = s.value(QStringLiteral("/NoteZoom"), 130).toInt();
    timeZoom = s.value(QStringLiteral("/TimeZoom"), 100).toInt();
    styleDir =
        s.value(QStringLiteral("/StyleDir"), programDir() + QStringLiteral("/Styles")).toString();
    audioLatency = s.value(QStringLiteral("/AudioLatency"), -1.0).toDouble();
    audioRecordLatency = s.value(QStringLiteral("/AudioRecordLatency"), -1.0).toDouble();
    mainWinX = s.value(QStringLiteral("/MainWinX"), kUnsetPosition).toInt();
    mainWinY = s.value(QStringLiteral("/MainWinY"), kUnsetPosition).toInt();
    mainWinWidth = s.value(QStringLiteral("/MainWinWidth"), -1).toInt();
    mainWinHeight = s.value(QStringLiteral("/MainWinHeight"), -1).toInt();
    mainWinVisible = s.value(QStringLiteral("/MainWinVisible"), false).toBool();
    midiOutput = s.value(QString::fromLatin1(MidiOutputs::kSettingsKey)).toString();
    chordFinder = ChordFinderSetting::read(s);
    stretchAudio = s.value(QStringLiteral("/StretchAudio"), false).toBool();
    // Read for compatibility with older settings; the control surface bus is not used.
    (void)s.value(QStringLiteral("/ControlBus"));

    // A tempo of 0 or less, or a meter of 0 beats, would give the next song no time at all.
    if (!(tempo >= 10.0 && tempo <= 1000.0))
        tempo = 120.0;
    if (beatsPerBar < 1 || beatsPerBar > 64)
        beatsPerBar = 4;
    if (beatDivisor < 0 || beatDivisor > 6)
        beatDivisor = 2;
    if (timeZoom < 1 || timeZoom > 10000)
        timeZoom = 100;

    metronomeRouting = Metronome();
    audioSaveType = AudioSaveType();
    midiFileFormat = 1;
    snapIndex = 0;
}

void Settings::save()
{
    QSettings& s = m_store;
    s.setValue(QStringLiteral("/Version"), kVersion);
    s.setValue(QStringLiteral("/Metronome"), metronome);
    s.setValue(QStringLiteral("/AudioDir"), audioDir);
    s.setValue(QStringLiteral("/MidiDir"), midiDir);
    s.setValue(QStringLiteral("/RecentFiles"), recentFiles);
    s.setValue(QStringLiteral("/Tempo"), tempo);
    s.setValue(QStringLiteral("/BeatsPerBar"), beatsPerBar);
    s.setValue(QStringLiteral("/BeatDivisor"), beatDivisor);
    s.setValue(QStringLiteral("/NoteEditMode"), noteEditMode);
    s.setValue(QStringLiteral("/NoteZoom"), noteZoom);
    s.setValue(QStringLiteral("/TimeZoom"), timeZoom);
    s.setValue(QStringLiteral("/StyleDir"), styleDir);
    s.setValue(QStringLiteral("/AudioLatency"), audioLatency);
    s.setValue(QStringLiteral("/AudioRecordLatency"), audioRecordLatency);
    s.setValue(QStringLiteral("/MainWinX"), mainWinX);
    s.setValue(QStringLiteral("/MainWinY"), mainWinY);
    s.setValue(QStringLiteral("/MainWinWidth"), mainWinWidth);
    s.setValue(QStringLiteral("/MainWinHeight"), mainWinHeight);
    s.setValue(QStringLiteral("/MainWinVisible"), mainWinVisible);
    if (midiOutput.isEmpty())
        s.remove(QString::fromLatin1(MidiOutputs::kSettingsKey));
    else
        s.setValue(QString::fromLatin1(MidiOutputs::kSettingsKey), midiOutput);
    ChordFinderSetting::write(s, chordFinder);
    s.setValue(QStringLiteral("/StretchAudio"), stretchAudio);
    s.sync();
}

void Settings::restoreSplitter(QSplitter* splitter)
{
    const QStringList texts =
        m_store.value(QLatin1Char('/') + splitter->objectName() + QStringLiteral("/Sizes"))
            .toStringList();
    if (texts.isEmpty())
        return;
    QList<int> sizes;
    for (const QString& text : texts)
        sizes.append(text.toInt());
    splitter->setSizes(sizes);
}

void Settings::saveSplitter(const QSplitter* splitter)
{
    QStringList texts;
    for (int size : splitter->sizes())
        texts.append(QString::number(size));
    m_store.setValue(QLatin1Char('/') + splitter->objectName() + QStringLiteral("/Sizes"), texts);
}
