#include "spectrum_analyser.h"
#include "spectrum_curve.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

// Parameters of a frame size the analysis rates never give, for the short-spectrum paths.
AnalysisParameters smallFrame(int frameSize, int halfWidth)
{
    AnalysisParameters p = AnalysisParameters::forSampleRate(11025.0f);
    p.frameSize = frameSize;
    p.hop = frameSize / 8;
    p.binCount = frameSize / 2;
    p.binWidth = p.sampleRate / static_cast<float>(frameSize);
    p.localHalfWidth = halfWidth;
    return p;
}

// A few tones over noise: many small peaks, some strong ones, levels all over the range.
std::vector<float> noisyFrame(int size, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> noise(0.0f, 0.01f);
    std::vector<float> frame(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double t = i / 11025.0;
        frame[i] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * t) +
                                      0.1 * std::sin(2.0 * std::numbers::pi * 1234.5 * t)) +
                   noise(random);
    }
    return frame;
}

} // namespace

Q_DECLARE_METATYPE(AnalysisParameters)

class TestSpectrumAnalyser : public QObject
{
    Q_OBJECT

private slots:
    void analysedFramesMatchThePlainComputation_data()
    {
        QTest::addColumn<AnalysisParameters>("parameters");
        QTest::newRow("11025 Hz") << AnalysisParameters::forSampleRate(11025.0f);
        QTest::newRow("22050 Hz") << AnalysisParameters::forSampleRate(22050.0f);
        QTest::newRow("44100 Hz") << AnalysisParameters::forSampleRate(44100.0f);
        QTest::newRow("176400 Hz") << AnalysisParameters::forSampleRate(176400.0f);
        // 57 centres: less than the widest block of sums, more than the narrowest.
        QTest::newRow("64 bins") << smallFrame(128, 3);
        // 26 centres: fewer than any block, summed one by one.
        QTest::newRow("32 bins") << smallFrame(64, 3);
    }

    // The local level, summed in blocks of vector lanes, equals each centre's sum of its 2u + 1
    // terms taken lowest bin first in single precision; the screened peaks are exactly the bins
    // passing the plain test, in order, each with the local level read at its frequency.
    void analysedFramesMatchThePlainComputation()
    {
        QFETCH(AnalysisParameters, parameters);
        SpectrumAnalyser analyser;
        QVERIFY(analyser.configure(parameters));
        const int bins = parameters.binCount;
        const int u = parameters.localHalfWidth;
        for (unsigned seed = 1; seed <= 3; ++seed) {
            analyser.analyse(noisyFrame(parameters.frameSize, seed));
            const auto levels = analyser.levels();
            const auto local = analyser.localLevels();
            for (int c = 0; c < bins; ++c) {
                const int centre = std::clamp(c, u, bins - 2 - u);
                float sum = 0.0f;
                for (int j = centre - u; j <= centre + u; ++j)
                    sum += 0.5f * levels[j] / static_cast<float>(u);
                if (local[c] != 6.0f + sum)
                    QFAIL(qPrintable(QStringLiteral("bin %1: %2, expected %3")
                                         .arg(c)
                                         .arg(local[c])
                                         .arg(6.0f + sum)));
            }
            const auto m = analyser.magnitudes();
            int screened = 0;
            for (int k = 2; k <= bins - 4; ++k)
                screened += m[k] > m[k - 1] && m[k] > m[k + 1] && levels[k] > -80.0f;
            QVERIFY(screened > 3);
            QVERIFY(!analyser.peaks().empty());
            QVERIFY(analyser.peaks().size() <= static_cast<size_t>(screened));
            for (const SpectralPeak& peak : analyser.peaks()) {
                const float position = static_cast<float>(parameters.frameSize) * peak.frequency /
                                       parameters.sampleRate;
                QCOMPARE(peak.localLevel, curveAt(local, position));
                const int bin = static_cast<int>(std::lround(position));
                QVERIFY(m[bin] > m[bin - 1] && m[bin] > m[bin + 1] && levels[bin] > -80.0f);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSpectrumAnalyser)
#include "tst_spectrum_analyser.moc"
