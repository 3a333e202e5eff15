#include "polyphase_decimator.h"

#include <QTest>
#include <cmath>
#include <vector>

namespace {

std::vector<float> sine(double frequency, double rate, long long frames, double amplitude = 0.5)
{
    std::vector<float> samples(static_cast<size_t>(frames));
    for (long long i = 0; i < frames; ++i)
        samples[size_t(i)] = float(amplitude * std::sin(2.0 * M_PI * frequency * double(i) / rate));
    return samples;
}

// Feeds one channel in pieces of inStep frames and asks for outStep frames per call, as the
// reader does with its blocks; returns everything the decimator gave.
std::vector<float> decimate(PolyphaseDecimator& decimator, const std::vector<float>& input,
                            long long inStep, long long outStep)
{
    std::vector<float> output;
    std::vector<float> piece(static_cast<size_t>(outStep));
    long long offset = 0;
    for (int guard = 0; guard < 1000000; ++guard) {
        const long long frames = std::min<long long>(inStep, (long long)input.size() - offset);
        const float* in[] = {input.data() + offset};
        float* out[] = {piece.data()};
        long long used = 0;
        const long long made = decimator.process(
            in, frames, offset + frames >= (long long)input.size(), out, outStep, used);
        offset += used;
        output.insert(output.end(), piece.begin(), piece.begin() + made);
        if (made == 0 && used == 0)
            break;
    }
    return output;
}

double rms(const std::vector<float>& samples, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

} // namespace

class TestPolyphaseDecimator : public QObject
{
    Q_OBJECT

private slots:
    void wholeFactorsOnly_data()
    {
        QTest::addColumn<double>("fileRate");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("factor");
        QTest::newRow("44100 to 11025") << 44100.0 << 11025.0 << 4;
        QTest::newRow("22050 to 11025") << 22050.0 << 11025.0 << 2;
        QTest::newRow("88200 to 11025") << 88200.0 << 11025.0 << 8;
        QTest::newRow("96000 to 48000") << 96000.0 << 48000.0 << 2;
        QTest::newRow("48000 to 11025") << 48000.0 << 11025.0 << 0;
        QTest::newRow("same rate") << 44100.0 << 44100.0 << 0;
        QTest::newRow("up") << 11025.0 << 44100.0 << 0;
        QTest::newRow("fractional rate") << 44100.5 << 11025.125 << 0;
        QTest::newRow("beyond the largest factor") << 352800.0 << 11025.0 << 0;
        QTest::newRow("zero") << 44100.0 << 0.0 << 0;
    }
    void wholeFactorsOnly()
    {
        QFETCH(double, fileRate);
        QFETCH(double, rate);
        QFETCH(int, factor);
        QCOMPARE(PolyphaseDecimator::factorFor(fileRate, rate), factor);
    }

    void refusesBadSettings()
    {
        PolyphaseDecimator decimator;
        QVERIFY(!decimator.configure(1, 1, 4096));
        QVERIFY(!decimator.configure(PolyphaseDecimator::kMaxFactor + 1, 1, 4096));
        QVERIFY(!decimator.configure(4, 0, 4096));
        QVERIFY(!decimator.configure(4, 1, 0));
        const float* in[] = {nullptr};
        float* out[] = {nullptr};
        long long used = 7;
        QCOMPARE(decimator.process(in, 0, true, out, 10, used), 0LL);
        QCOMPARE(used, 0LL);
    }

    // The pass band (to 80% of the output's Nyquist frequency) keeps its level; everything that
    // would fold into it is 90 dB down. 44100 Hz to 11025 Hz.
    void responseOfTheFilter_data()
    {
        QTest::addColumn<double>("frequency");
        QTest::addColumn<double>("lowestGain");
        QTest::addColumn<double>("highestGain");
        QTest::newRow("100 Hz") << 100.0 << 0.999 << 1.001;
        QTest::newRow("1000 Hz") << 1000.0 << 0.999 << 1.001;
        QTest::newRow("4000 Hz") << 4000.0 << 0.999 << 1.001;
        QTest::newRow("4400 Hz, the pass band's edge") << 4400.0 << 0.999 << 1.001;
        QTest::newRow("6700 Hz, folds to 4325 Hz") << 6700.0 << 0.0 << 3.2e-5;
        QTest::newRow("9000 Hz") << 9000.0 << 0.0 << 3.2e-5;
        QTest::newRow("15000 Hz") << 15000.0 << 0.0 << 3.2e-5;
        QTest::newRow("21000 Hz") << 21000.0 << 0.0 << 3.2e-5;
    }
    void responseOfTheFilter()
    {
        QFETCH(double, frequency);
        QFETCH(double, lowestGain);
        QFETCH(double, highestGain);
        PolyphaseDecimator decimator;
        QVERIFY(decimator.configure(4, 1, 4096));
        const std::vector<float> input = sine(frequency, 44100.0, 44100);
        const std::vector<float> output = decimate(decimator, input, 4096, 1024);
        QCOMPARE(output.size(), size_t(11025));
        // Away from the edges, where the filter sees silence on one side.
        const double gain = rms(output, 1000, 10000) / rms(input, 4000, 40000);
        QVERIFY2(gain >= lowestGain && gain <= highestGain, qPrintable(QString::number(gain)));
    }

    // Output sample n is the input at sample n × factor: no delay, as the converter for other
    // ratios keeps it, so notes keep their times whichever path read the file.
    void keepsTheTiming()
    {
        PolyphaseDecimator decimator;
        QVERIFY(decimator.configure(2, 1, 1000));
        const std::vector<float> input = sine(440.0, 22050.0, 22050);
        const std::vector<float> output = decimate(decimator, input, 1000, 333);
        const std::vector<float> expected = sine(440.0, 11025.0, 11025);
        QCOMPARE(output.size(), expected.size());
        for (size_t i = 100; i < expected.size() - 100; ++i)
            QVERIFY2(std::abs(output[i] - expected[i]) < 1e-3f, qPrintable(QString::number(i)));
    }

    // One output per started group of factor input frames, the same samples however the input
    // and the output are cut into pieces.
    void lengthAndPiecesDoNotChangeTheOutput_data()
    {
        QTest::addColumn<int>("factor");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("inStep");
        QTest::addColumn<int>("outStep");
        QTest::newRow("one frame") << 4 << 1 << 4096 << 1024;
        QTest::newRow("shorter than the filter") << 4 << 50 << 7 << 3;
        QTest::newRow("ragged end") << 4 << 10003 << 4096 << 1024;
        QTest::newRow("tiny pieces") << 4 << 10003 << 13 << 1;
        QTest::newRow("output one at a time") << 2 << 5001 << 100000 << 1;
        QTest::newRow("factor 3") << 3 << 9001 << 777 << 50;
        QTest::newRow("factor 16") << 16 << 20000 << 999 << 64;
    }
    void lengthAndPiecesDoNotChangeTheOutput()
    {
        QFETCH(int, factor);
        QFETCH(int, frames);
        QFETCH(int, inStep);
        QFETCH(int, outStep);
        std::vector<float> input = sine(333.0, 44100.0, frames);
        for (size_t i = 0; i < input.size(); i += 37)
            input[i] += 0.25f; // clicks, so each sample's place matters
        PolyphaseDecimator whole;
        QVERIFY(whole.configure(factor, 1, 1 << 20));
        const std::vector<float> reference = decimate(whole, input, frames, frames);
        QCOMPARE(reference.size(), size_t((frames + factor - 1) / factor));
        PolyphaseDecimator pieces;
        QVERIFY(pieces.configure(factor, 1, 1024));
        QCOMPARE(decimate(pieces, input, inStep, outStep), reference);
        // reset() forgets the signal: the same input gives the same output again.
        pieces.reset();
        QCOMPARE(decimate(pieces, input, inStep, outStep), reference);
    }

    void channelsAreFilteredApart()
    {
        PolyphaseDecimator decimator;
        QVERIFY(decimator.configure(4, 2, 4096));
        const std::vector<float> low = sine(500.0, 44100.0, 20000);
        const std::vector<float> high = sine(12000.0, 44100.0, 20000);
        std::vector<float> left(5000), right(5000);
        const float* in[] = {low.data(), high.data()};
        float* out[] = {left.data(), right.data()};
        long long used = 0;
        QCOMPARE(decimator.process(in, 20000, true, out, 5000, used), 5000LL);
        QCOMPARE(used, 20000LL);
        QVERIFY(rms(left, 500, 4500) > 0.3);
        QVERIFY(rms(right, 500, 4500) < 1e-4);
    }
};

QTEST_GUILESS_MAIN(TestPolyphaseDecimator)
#include "tst_polyphase_decimator.moc"
