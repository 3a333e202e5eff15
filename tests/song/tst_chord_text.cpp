#include "chord_text.h"

#include <QTest>

class TestChordText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseChord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name"); // extension of the row found
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("root");
        QTest::addColumn<int>("bass");
        QTest::newRow("lower-case root") << "am7"
                                         << "m7"
                                         << "minor-seventh" << 17 << kNoTpc;
        QTest::newRow("upper-case M is minor") << "CM"
                                               << "m"
                                               << "minor" << 14 << kNoTpc;
        QTest::newRow("maj7") << "Cmaj7"
                              << "Maj7"
                              << "major-seventh" << 14 << kNoTpc;
        QTest::newRow("root alone") << "C"
                                    << ""
                                    << "major" << 14 << kNoTpc;
        QTest::newRow("sharp root and bass") << "F#m7/C#"
                                             << "m7"
                                             << "minor-seventh" << 20 << 21;
        QTest::newRow("spaces simplified") << " Ebmaj9(no   3) "
                                           << "Maj9(no 3)"
                                           << "major-ninth" << 11 << kNoTpc;
        QTest::newRow("sharp after a natural root") << "C#13"
                                                    << "13"
                                                    << "dominant-13th" << 21 << kNoTpc;
        QTest::newRow("sharp after an accidental") << "Db#13"
                                                   << "#13"
                                                   << "major" << 9 << kNoTpc;
    }

    void parseChord()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(int, root);
        QFETCH(int, bass);
        const ParsedChord chord = ::parseChord(text);
        QVERIFY(chord.isValid());
        QCOMPARE(QString(chord.type->name), name);
        QCOMPARE(QString(chord.type->kind), kind);
        QCOMPARE(chord.root, root);
        QCOMPARE(chord.bass, bass);
    }

    void textsThatAreNoChord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "  "
                               << "harmony is empty";
        QTest::newRow("German H") << "H7"
                                  << "1:parseChord failed <H7>";
        QTest::newRow("unknown extension") << "Cmaj8/E"
                                           << "2:parseChord failed <Cmaj8/E><maj8>";
        QTest::newRow("reserved name") << "Drums"
                                       << "2:parseChord failed <Drums><rums>";
    }

    void textsThatAreNoChord()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        const ParsedChord chord = ::parseChord(text);
        QVERIFY(!chord.isValid());
    }

    void chordNameRebuildsTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("minor seventh over a bass") << "F#m7/C#";
        QTest::newRow("half-diminished") << "Bm7b5/F";
    }

    void chordNameRebuildsTheText()
    {
        QFETCH(QString, text);
        const ParsedChord chord = ::parseChord(text);
        QVERIFY(chord.isValid());
        QCOMPARE(::chordName(*chord.type, chord.root, chord.bass), text);
        QCOMPARE(::chordName(*chord.type, kNoTpc, chord.bass), QString());
    }

    // Written after a root with an accidental, every name finds the first row of that name.
    void everyNameParsesBackToItsFirstRow()
    {
        const auto rows = ChordDictionary::rows();
        for (const ChordType& type : rows) {
            const ChordType* first = &type;
            for (const ChordType& earlier : rows.first(std::size_t(&type - rows.data()))) {
                if (earlier.name.compare(type.name, Qt::CaseInsensitive) == 0) {
                    first = &earlier;
                    break;
                }
            }
            const QString text = QStringLiteral("Eb") + type.name;
            const ParsedChord chord = ::parseChord(text);
            QVERIFY2(chord.type == first, qPrintable(text));
            QCOMPARE(chord.root, 11);
            QCOMPARE(::chordName(*chord.type, chord.root, chord.bass), text);
        }
    }

    void transposeChordText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("semitones");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        QTest::newRow("root and bass") << "F#m7/C#" << 1 << "Gm7/D" << none;
        QTest::newRow("C up 1") << "C" << 1 << "Db" << none;
        QTest::newRow("C up 6") << "C" << 6 << "F#" << none;
        QTest::newRow("drums") << "Drums" << 2 << "Drums" << none;
        QTest::newRow("empty chord") << "Empty" << 2 << "Empty" << none;
        QTest::newRow("text starting with Empty") << "Empty C" << 2 << "Empty C" << none;
        QTest::newRow("names are respelled canonically") << "Cmaj7" << 0 << "CMaj7" << none;
        QTest::newRow("suggested chords") << "Am = 3.0\nDm = 2.0\nF#dim = 1.5\n"
                                          << 2 << "Bm = 3.0\nEm = 2.0\nAbdim = 1.5\n"
                                          << none;
        QTest::newRow("longer and shorter names") << "C#m Db7 B" << 1 << "Dm D7 C" << none;
        QTest::newRow("lower case is no chord") << "am7 G" << 2 << "am7 A" << none;
        QTest::newRow("letters inside a word") << "xC _D" << 2 << "xC _D" << none;
        QTest::newRow("unknown word is skipped whole")
            << "ABC D" << 2 << "ABC E" << QStringList{"2:parseChord failed <ABC><BC>"};
    }

    void transposeChordText()
    {
        QFETCH(QString, text);
        QFETCH(int, semitones);
        QFETCH(QString, result);
        QFETCH(QStringList, messages);
        for (const QString& message : messages)
            QTest::ignoreMessage(QtDebugMsg, qPrintable(message));
        QCOMPARE(::transposeChordText(text, semitones), result);
    }
};

QTEST_GUILESS_MAIN(TestChordText)
#include "tst_chord_text.moc"
