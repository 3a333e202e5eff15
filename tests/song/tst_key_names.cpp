#include "key_names.h"

#include <QTest>

class TestKeyNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyName_data()
    {
        QTest::addColumn<int>("signature");
        QTest::addColumn<bool>("minor");
        QTest::addColumn<QString>("name");
        QTest::newRow("C major") << 0 << false << "Cmaj";
        QTest::newRow("F# major") << 6 << false << "F#maj";
        QTest::newRow("seven flats") << -7 << false << "Cbmaj";
        QTest::newRow("seven sharps minor") << 7 << true << "A#min";
        QTest::newRow("too many sharps") << 8 << false << "";
    }

    void keyName()
    {
        QFETCH(int, signature);
        QFETCH(bool, minor);
        QFETCH(QString, name);
        QCOMPARE(::keyName(signature, minor), name);
    }

    void parseKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("signature");
        QTest::addColumn<bool>("minor");
        QTest::addColumn<int>("tonic");
        QTest::newRow("A minor") << "Amin" << 0 << true << 17;
        QTest::newRow("Eb major") << "Ebmaj" << -3 << false << 11;
        QTest::newRow("C# major is Db") << "C#maj" << -5 << false << 21;
        QTest::newRow("Cb major is B") << "Cbmaj" << 5 << false << 7;
        QTest::newRow("Eb minor is D#") << "Ebmin" << 6 << true << 11;
        QTest::newRow("mode in any case, spaces trimmed") << "  BMIN " << 2 << true << 19;
        QTest::newRow("anything but min is major") << "Am" << 3 << false << 17;
        QTest::newRow("empty") << "" << 0 << false << kNoTpc;
        QTest::newRow("no note") << "Hmin" << 0 << false << kNoTpc;
    }

    void parseKey()
    {
        QFETCH(QString, text);
        QFETCH(int, signature);
        QFETCH(bool, minor);
        QFETCH(int, tonic);
        const ParsedKey key = ::parseKey(text);
        QCOMPARE(key.signature, signature);
        QCOMPARE(key.minor, minor);
        QCOMPARE(key.tonicTpc, tonic);
    }

    // Every name reads back as a key on the same tonic, in the canonical range -5..+6.
    void namesParseBackToTheSameKey()
    {
        for (int signature = kMinSignature; signature <= kMaxSignature; ++signature) {
            for (bool minor : {false, true}) {
                const ParsedKey key = ::parseKey(::keyName(signature, minor));
                QCOMPARE(key.minor, minor);
                QCOMPARE(::keyInterval(signature, key.signature), 0);
                QVERIFY(key.signature >= -5 && key.signature <= 6);
                if (signature >= -5 && signature <= 6)
                    QCOMPARE(key.signature, signature);
            }
        }
    }

    // shiftToC moves the tonic named by keyName onto C, and signatureOfTonic inverts it.
    void shiftToCLandsTheTonicOnC()
    {
        for (int signature = kMinSignature; signature <= kMaxSignature; ++signature) {
            const int tonic = ::parseKey(::keyName(signature, false)).tonicTpc;
            QCOMPARE(pitchClass(tpcPitch(tonic) + ::shiftToC(signature)), 0);
            QVERIFY(qAbs(::shiftToC(signature)) <= 6);
        }
        for (int pc = 0; pc < 12; ++pc)
            QCOMPARE(pitchClass(pc + ::shiftToC(::signatureOfTonic(pc))), 0);
        QCOMPARE(::shiftToC(9), 0);
    }

    void keyInterval_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("interval");
        QTest::newRow("same key") << 2 << 2 << 0;
        QTest::newRow("C up to Db") << 0 << -5 << 1;
        QTest::newRow("G up to C") << 1 << 0 << 5;
        QTest::newRow("tritone is +6") << 0 << -6 << 6;
        QTest::newRow("enharmonic keys") << 5 << -7 << 0;
    }

    void keyInterval()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, interval);
        QCOMPARE(::keyInterval(a, b), interval);
    }

    void transposeKey_data()
    {
        QTest::addColumn<int>("signature");
        QTest::addColumn<int>("semitones");
        QTest::addColumn<int>("result");
        QTest::newRow("no shift keeps a spelling") << 7 << 0 << 7;
        QTest::newRow("C up 1 is Db") << 0 << 1 << -5;
        QTest::newRow("C up 11 is Cb") << 0 << 11 << -7;
        QTest::newRow("C down 1 is Cb") << 0 << -1 << -7;
        QTest::newRow("B up 12 is Cb") << 5 << 12 << -7;
        QTest::newRow("F# down 6 is C") << 6 << -6 << 0;
        QTest::newRow("no such signature") << 9 << 2 << kNoSignature;
    }

    void transposeKey()
    {
        QFETCH(int, signature);
        QFETCH(int, semitones);
        QFETCH(int, result);
        QCOMPARE(::transposeKey(signature, semitones), result);
    }

    void transposedKeyName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("semitones");
        QTest::addColumn<QString>("result");
        QTest::newRow("C up 1") << "Cmaj" << 1 << "Dbmaj";
        QTest::newRow("C up 6") << "Cmaj" << 6 << "Gbmaj";
        QTest::newRow("C up 11") << "Cmaj" << 11 << "Cbmaj";
        QTest::newRow("C down 1") << "Cmaj" << -1 << "Cbmaj";
        QTest::newRow("A minor up 2") << "Amin" << 2 << "Bmin";
        QTest::newRow("no shift keeps any text") << "C#maj" << 0 << "C#maj";
        QTest::newRow("no key yet stays empty") << "" << 3 << "";
        QTest::newRow("unreadable stays") << "none" << 3 << "none";
    }

    void transposedKeyName()
    {
        QFETCH(QString, name);
        QFETCH(int, semitones);
        QFETCH(QString, result);
        QCOMPARE(::transposedKeyName(name, semitones), result);
    }

    // Up and back down again names the same key, in its canonical spelling.
    void transposingThereAndBackKeepsTheKey()
    {
        for (int signature = -5; signature <= 6; ++signature) {
            for (int semitones = -11; semitones <= 11; ++semitones) {
                const int there = ::transposeKey(signature, semitones);
                QCOMPARE(::keyInterval(signature, there), pitchClass(semitones) > 6
                                                              ? pitchClass(semitones) - 12
                                                              : pitchClass(semitones));
                QCOMPARE(::keyInterval(::transposeKey(there, -semitones), signature), 0);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestKeyNames)
#include "tst_key_names.moc"
