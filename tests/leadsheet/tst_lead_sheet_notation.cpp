#include "music_xml_model.h"

#include "midi_event.h"
#include "midi_file.h"
#include "midi_sequence.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace {

struct Onset
{
    double quarters;
    int key;
};

QString describe(const std::vector<Onset>& onsets)
{
    QStringList list;
    for (const Onset& o : onsets)
        list << QStringLiteral("%1@%2").arg(o.key).arg(o.quarters);
    return list.join(QLatin1Char(' '));
}

// The sounding notes of the lead sheet: a tied note sounds once, from its first part.
std::vector<Onset> sheetOnsets(const XmlScore& score)
{
    std::vector<Onset> onsets;
    double at = 0;
    for (const XmlMeasure& m : score.measures) {
        for (const XmlNote& n : m.notes) {
            if (!n.isRest && !n.tieStop)
                onsets.push_back({(at + n.position) / score.divisions, n.key()});
        }
        at += m.length();
    }
    return onsets;
}

std::vector<Onset> midiOnsets(const QString& path)
{
    std::vector<Onset> onsets;
    MidiFile file;
    if (!file.open(path, MidiFile::Read))
        return onsets;
    for (int i = 0; i < int(file.tracks().size()); ++i) {
        MidiSequence track(QString(), 0, file.division());
        MidiSequence* one[1] = {&track};
        if (!file.readChunk(i, one))
            return {};
        for (const MidiEvent* e = track.first(); e; e = e->next())
            if (e->isNote())
                onsets.push_back({double(e->time) / file.division(), e->data1});
    }
    std::sort(onsets.begin(), onsets.end(), [](const Onset& a, const Onset& b) {
        return a.quarters != b.quarters ? a.quarters < b.quarters : a.key < b.key;
    });
    return onsets;
}

bool runProgram(const QString& program, const QStringList& arguments, const QString& home,
                QString& output)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The notation program keeps its settings under the home folder: a scratch one.
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(240000);
    output = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

/**
 * A notation program reads the lead sheets: each shipped sample made into a song and exported
 * is converted back to MIDI by MuseScore 3, whose notes must be the quantized melody's pitches
 * at its onsets. Skipped where the program (Debian's musescore3) is not installed.
 */
class TestLeadSheetNotation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void notationProgramPlaysTheQuantizedMelody_data()
    {
        QTest::addColumn<QString>("sample");
        for (const char* name :
             {"amazing-grace", "frere-jacques", "greensleeves", "ode-to-joy", "twinkle-twinkle"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void notationProgramPlaysTheQuantizedMelody()
    {
        QFETCH(QString, sample);
        const QString notation = QStandardPaths::findExecutable(QStringLiteral("mscore3"));
        if (notation.isEmpty())
            QSKIP("MuseScore 3 (mscore3, Debian package musescore3) is not installed; "
                  "tools/install-packages.sh installs it");
        QTemporaryDir dir;
        const QString song = dir.filePath(sample + QStringLiteral(".mid"));
        const QString sheet = dir.filePath(sample + QStringLiteral(".musicxml"));
        const QString back = dir.filePath(QStringLiteral("back.mid"));
        QString output;
        QVERIFY2(runProgram(QStringLiteral(CANTOVA_PROGRAM),
                            {QStringLiteral("make-song"),
                             QDir(QStringLiteral(CANTOVA_SAMPLES_DIR)).filePath(sample + ".flac"),
                             QStringLiteral("-o"), song, QStringLiteral("--lead-sheet"), sheet},
                            dir.path(), output),
                 qPrintable(output));
        QVERIFY2(runProgram(notation, {QStringLiteral("-o"), back, sheet}, dir.path(), output),
                 qPrintable(output));

        QFile file(sheet);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const XmlScore score = XmlScore::read(file.readAll());
        QVERIFY2(score.error.isEmpty(), qPrintable(score.error));
        const std::vector<Onset> expected = sheetOnsets(score);
        const std::vector<Onset> played = midiOnsets(back);
        QVERIFY(expected.size() >= 10);
        const QString both =
            QStringLiteral("sheet: %1\nplayed: %2").arg(describe(expected), describe(played));
        QVERIFY2(played.size() == expected.size(), qPrintable(both));
        for (size_t i = 0; i < expected.size(); ++i) {
            QVERIFY2(played[i].key == expected[i].key, qPrintable(both));
            QVERIFY2(std::abs(played[i].quarters - expected[i].quarters) < 0.02, qPrintable(both));
        }
    }
};

QTEST_GUILESS_MAIN(TestLeadSheetNotation)
#include "tst_lead_sheet_notation.moc"
