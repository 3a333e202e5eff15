#include "error_log.h"
#include "midi_file.h"
#include "midi_sequence.h"

#include <QDir>
#include <QTest>
#include <array>
#include <vector>

// Runs the reader over every file of tests/data/midi/malformed (made by make_malformed.py):
// fail-*.mid must be refused with a message in the error log, load-*.mid must load their note.
class TestMidiMalformed : public QObject
{
    Q_OBJECT

    static QString folder() { return QStringLiteral(CANTOVA_TEST_DATA "/midi/malformed"); }

    // Opens the file and reads it every way the program does; false at the first failure.
    static bool readAllWays(const QString& path, int& notes)
    {
        MidiFile file;
        if (!file.open(path, MidiFile::Read))
            return false;
        std::array<MidiSequence, 16> many;
        std::vector<MidiSequence*> destinations;
        for (auto& s : many)
            destinations.push_back(&s);
        if (!file.readTracks(destinations, 0))
            return false;
        notes = 0;
        const int passes = file.format() == 1 ? file.trackCount() : 1;
        for (int track = 0; track < passes; ++track) {
            MidiSequence one;
            if (!file.readTrack(one, track))
                return false;
            for (const MidiEvent* e = one.first(); e; e = e->next())
                notes += e->isNote() && e->data1 == 60;
        }
        return true;
    }

private Q_SLOTS:
    void everyFileIsRefusedOrLoaded_data()
    {
        QTest::addColumn<QString>("path");
        const QStringList names =
            QDir(folder()).entryList({QStringLiteral("*.mid")}, QDir::Files, QDir::Name);
        QVERIFY2(names.size() >= 30, "the malformed files are missing");
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << QDir(folder()).filePath(name);
    }
    void everyFileIsRefusedOrLoaded()
    {
        QFETCH(QString, path);
        ErrorLog::clear();
        int notes = 0;
        const bool loaded = readAllWays(path, notes);
        if (QFileInfo(path).fileName().startsWith(QLatin1String("fail-"))) {
            QVERIFY(!loaded);
            QVERIFY(!ErrorLog::isEmpty());
        } else {
            QVERIFY2(loaded, qPrintable(ErrorLog::text()));
            QVERIFY(notes >= 1);
        }
    }

    void aZeroSysExLengthEndsOnlyItsTrack()
    {
        int notes = 0;
        QVERIFY(
            readAllWays(folder() + QStringLiteral("/load-sysex-length-0-ends-track.mid"), notes));
        QCOMPARE(notes, 1); // the note after it is not read
    }
};

QTEST_GUILESS_MAIN(TestMidiMalformed)
#include "tst_midi_malformed.moc"
