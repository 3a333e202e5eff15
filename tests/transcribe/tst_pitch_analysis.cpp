#include "error_log.h"
#include "transcription_engine.h"
#include "transcription_observer.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <new>
#include <numbers>
#include <vector>

// Counts heap allocations so a test can check that steady frames allocate nothing.
static std::atomic<long> allocations{0};

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr float kRate = 11025.0f;

using Frequency = std::function<double(double seconds)>;

/** A sine of the given amplitude whose frequency follows a curve, phase-continuous. */
std::vector<float> tone(double seconds, const Frequency& frequency, double amplitude)
{
    std::vector<float> samples(static_cast<size_t>(seconds * kRate));
    double phase = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(amplitude * std::sin(phase));
        phase += 2.0 * std::numbers::pi * frequency(i / kRate) / kRate;
    }
    return samples;
}

std::vector<float> mix(std::vector<float> a, const std::vector<float>& b)
{
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        a[i] += b[i];
    return a;
}

Frequency steady(double hz)
{
    return [hz](double) { return hz; };
}

double toDb(double amplitude)
{
    return 20.0 * std::log10(amplitude);
}

/** Remembers, for every frame, each peak's frequency and the id of the track that holds it. */
struct PeakRecorder : TranscriptionObserver
{
    struct Entry
    {
        float frequency;
        uint32_t track;
    };
    std::vector<std::vector<Entry>> frames;
    std::map<uint32_t, std::pair<float, float>> trackRange; // lowest and highest frequency
    std::map<uint32_t, uint32_t> partialOf; // track id -> id of the first track of its partial

    // Note building splits a partial into successive tracks; the tracking tests follow the
    // partial, so a split-off track counts as the track it came from.
    uint32_t partial(const PartialTrack& track)
    {
        const uint32_t parent = track.splitFrom();
        const auto found = partialOf.find(parent);
        const uint32_t root = parent != PartialTrack::kNoParent && found != partialOf.end()
                                  ? found->second
                                  : track.id();
        partialOf[track.id()] = root;
        return root;
    }

    void frameAnalysed(const TranscriptionEngine& engine, int frame) override
    {
        QCOMPARE(static_cast<size_t>(frame), frames.size());
        auto& entries = frames.emplace_back();
        for (const SpectralPeak& peak : engine.spectrum().peaks()) {
            const uint32_t id = partial(*peak.owner);
            entries.push_back({peak.frequency, id});
            auto [it, fresh] = trackRange.try_emplace(id, peak.frequency, peak.frequency);
            it->second.first = std::min(it->second.first, peak.frequency);
            it->second.second = std::max(it->second.second, peak.frequency);
        }
    }

    /** Partial (first track id) holding the peak nearest a frequency in a frame. */
    uint32_t trackNear(int frame, float hz) const
    {
        const Entry* best = nullptr;
        for (const Entry& e : frames[frame]) {
            if (!best || std::abs(e.frequency - hz) < std::abs(best->frequency - hz))
                best = &e;
        }
        return best ? best->track : UINT32_MAX;
    }
};

} // namespace

/** Frames, spectrum, peaks, mask and tracks of the engine, driven by synthetic signals. */
class TestPitchAnalysis : public QObject
{
    Q_OBJECT

    TranscriptionEngine engine;
    PeakRecorder recorder;

    void run(const std::vector<float>& samples)
    {
        recorder = PeakRecorder();
        engine.setObserver(&recorder);
        QVERIFY(engine.configure(kRate));
        const float* channels[] = {samples.data()};
        QVERIFY(engine.feed(channels, static_cast<long long>(samples.size())));
    }

    // Frames whose whole window lies inside [from, to) seconds of the signal.
    static std::pair<int, int> framesInside(double from, double to)
    {
        const double first = std::ceil((from * kRate + 2048 - 256) / 256.0);
        const double last = std::floor((to * kRate - 256) / 256.0);
        return {static_cast<int>(first), static_cast<int>(last)};
    }

private Q_SLOTS:
    void init()
    {
        ErrorLog::clear();
        engine.setObserver(nullptr);
    }

    void fullScaleSineGivesOnePeakAndOneTrack()
    {
        std::vector<float> samples = tone(1.0, steady(440), 1.0);
        samples.resize(samples.size() + 11025, 0.0f);
        run(samples);
        QVERIFY(engine.finish());
        const auto [first, last] = framesInside(0.0, 1.0);
        const uint32_t track = recorder.trackNear(first, 440);
        for (int k = first; k <= last; ++k) {
            QCOMPARE(recorder.frames[k].size(), size_t(1));
            QVERIFY(std::abs(recorder.frames[k][0].frequency - 440.0f) < 0.5f);
        }
        // One track holds the sine from the first frame that hears it to the last; after it
        // no peak is left.
        int heard = 0;
        while (heard < static_cast<int>(recorder.frames.size()) && !recorder.frames[heard].empty())
            QCOMPARE(recorder.trackNear(heard++, 440), track);
        QVERIFY(heard > last + 4);
        for (size_t k = heard; k < recorder.frames.size(); ++k)
            QVERIFY(recorder.frames[k].empty());
        const auto [lowest, highest] = recorder.trackRange.at(track);
        QVERIFY(lowest > 435.0f && highest < 445.0f);
    }

    void peakLevelOfAFullScaleSineIsNearZeroDb()
    {
        run(tone(0.5, steady(440), 1.0));
        const auto peaks = engine.spectrum().peaks();
        QCOMPARE(peaks.size(), size_t(1));
        QVERIFY(std::abs(peaks[0].level) < 0.2f);
        QVERIFY(std::abs(engine.frameLevel(engine.frameCount() - 1) -
                         engine.spectrum().frameLevel()) < 1e-6f);
    }

    // A sine of amplitude a has a level of 20·log10(a) + 10·log10(1.5 ÷ 1024) dB over the
    // frame (Hann window); the engine keeps the levels of the recent frames.
    void frameLevelSeries()
    {
        std::vector<float> samples = tone(2.0, steady(500), 1.0);
        for (size_t i = samples.size() * 3 / 4; i < samples.size(); ++i)
            samples[i] *= 0.1f;
        run(samples);
        const int frames = engine.frameCount();
        const double offset = 10.0 * std::log10(1.5 / 1024.0);
        QVERIFY(std::abs(engine.frameLevel(frames - 1) - offset - toDb(0.1)) < 0.05);
        QVERIFY(std::abs(engine.frameLevel(frames - 30) - offset) < 0.05);
        QCOMPARE(engine.frameLevel(frames), SpectrumAnalyser::kFloor);
        // Frames older than the history read as silence, not as a newer frame's level.
        QVERIFY(frames > engine.levelHistory() + 10);
        QCOMPARE(engine.frameLevel(frames - engine.levelHistory() - 1), SpectrumAnalyser::kFloor);
        QVERIFY(engine.levelHistory() > 22 + 13);
    }

    // The pruning zone is 1/16 octave (44 Hz) at 1000 Hz but 3 bins (16 Hz) at 200 Hz.
    void closePeaksArePruned_data()
    {
        QTest::addColumn<double>("louder");
        QTest::addColumn<double>("quieter");
        QTest::addColumn<int>("survivors");
        QTest::newRow("1000 Hz") << 1000.0 << 1030.0 << 1;
        QTest::newRow("1000 Hz, louder above") << 1030.0 << 1000.0 << 1;
        QTest::newRow("200 Hz") << 200.0 << 230.0 << 2;
    }

    void closePeaksArePruned()
    {
        QFETCH(double, louder);
        QFETCH(double, quieter);
        QFETCH(int, survivors);
        run(mix(tone(0.5, steady(louder), 0.5), tone(0.5, steady(quieter), 0.25)));
        const auto peaks = engine.spectrum().peaks();
        QCOMPARE(static_cast<int>(peaks.size()), survivors);
        const auto loud = std::max_element(peaks.begin(), peaks.end(),
                                           [](auto& a, auto& b) { return a.level < b.level; });
        QVERIFY(std::abs(loud->frequency - louder) < 0.5);
        QVERIFY(std::abs(loud->level - toDb(0.5)) < 0.2);
    }

    // A 220 Hz peak of level A raises the mask at 440 Hz to about A − 12·ln 2 = A − 8.3 dB.
    // A masked 440 Hz peak spreads nothing, so the mask at 880 Hz then comes from the 4th
    // harmonic of 220 Hz (A − 12·ln 4); an unmasked one raises it to its own level − 12·ln 2.
    void harmonicMask_data()
    {
        QTest::addColumn<double>("below");
        QTest::addColumn<bool>("masked");
        QTest::newRow("10 dB below") << 10.0 << true;
        QTest::newRow("5 dB below") << 5.0 << false;
    }

    void harmonicMask()
    {
        QFETCH(double, below);
        QFETCH(bool, masked);
        run(mix(tone(0.5, steady(220), 0.5),
                tone(0.5, steady(440), 0.5 * std::pow(10, -below / 20))));
        const auto peaks = engine.spectrum().peaks();
        QCOMPARE(peaks.size(), size_t(2));
        const SpectralPeak& fundamental = peaks[0];
        const SpectralPeak& octave = peaks[1];
        QCOMPARE(octave.maskLevel > octave.level, masked);
        QVERIFY(fundamental.maskLevel < fundamental.level);
        const float at880 = engine.spectrum().harmonicMask().at(880.0f);
        const double expected =
            masked ? fundamental.level - 12.0 * std::log(4.0) : octave.level - 12.0 * std::log(2.0);
        QVERIFY2(std::abs(at880 - expected) < 1.0,
                 qPrintable(QStringLiteral("mask %1, expected %2").arg(at880).arg(expected)));
    }

    // Once the tone has left the frame nothing spreads: the mask falls 20 dB per second.
    void harmonicMaskDecays()
    {
        std::vector<float> samples = tone(0.5, steady(440), 0.5);
        samples.resize(samples.size() + 2756, 0.0f);
        run(samples);
        const float start = engine.spectrum().harmonicMask().at(440.0f);
        const int startFrame = engine.frameCount();
        QVERIFY(engine.feed(nullptr, 11025));
        const int frames = engine.frameCount() - startFrame;
        const float expected = start - frames * 20.0f * 256.0f / 11025.0f;
        QVERIFY(std::abs(engine.spectrum().harmonicMask().at(440.0f) - expected) < 0.01f);
    }

    // Each centre averages 2u + 1 = 75 levels, summed lowest first in single precision, plus
    // 6 dB; the bins without a full window copy the nearest centre.
    void localLevelIsTheRunningAverage()
    {
        run(mix(tone(0.5, steady(300), 0.5), tone(0.5, steady(2000), 0.01)));
        const auto levels = engine.spectrum().levels();
        const auto local = engine.spectrum().localLevels();
        const int u = 37;
        const int bins = 1024;
        auto average = [&](int c) {
            float sum = 0.0f;
            for (int j = c - u; j <= c + u; ++j)
                sum += 0.5f * levels[j] / static_cast<float>(u);
            return 6.0f + sum;
        };
        for (int c = 0; c < bins; ++c) {
            const float expected = average(std::clamp(c, u, bins - 2 - u));
            if (local[c] != expected)
                QFAIL(qPrintable(
                    QStringLiteral("bin %1: %2, expected %3").arg(c).arg(local[c]).arg(expected)));
        }
    }

    void silenceLeavesNoPeaksAndTheFloorLevel()
    {
        run(std::vector<float>(11025, 0.0f));
        QVERIFY(engine.spectrum().peaks().empty());
        QCOMPARE(engine.spectrum().frameLevel(), SpectrumAnalyser::kFloor);
        QCOMPARE(engine.spectrum().levels()[100], SpectrumAnalyser::kFloor);
        QVERIFY(engine.tracker().activeTracks().empty());
    }

    // One semitone per frame (hop) from 100 Hz up three octaves: past 271 Hz a semitone is
    // wider than 3 bins, so only the predicted window keeps the track.
    void glideOfASemitonePerFrameStaysOneTrack()
    {
        const double semitonesPerSecond = kRate / 256.0;
        run(tone(
            36 * 256 / kRate,
            [&](double t) { return 100.0 * std::pow(2.0, t * semitonesPerSecond / 12.0); }, 0.5));
        const auto [first, last] = framesInside(0.0, 36 * 256 / kRate);
        const uint32_t track = recorder.trackNear(first, 200);
        for (int k = first; k <= last; ++k) {
            const double centre = 100.0 * std::pow(2.0, (k * 256 + 256 - 1024) / 256.0 / 12.0);
            QCOMPARE(recorder.trackNear(k, static_cast<float>(centre)), track);
        }
        QVERIFY(recorder.trackRange.at(track).second > 500.0f);
    }

    // 200 Hz to 224.5 Hz lies beyond the 3-bin window (216 Hz): the old track ends without
    // ever taking the new tone, which a new track follows.
    void jumpOfTwoSemitonesStartsANewTrack()
    {
        const double high = 200.0 * std::pow(2.0, 2.0 / 12.0);
        run(tone(
            2.0, [&](double t) { return t < 1.0 ? 200.0 : high; }, 0.5));
        const auto [before, unused] = framesInside(0.0, 1.0);
        const auto [after, end] = framesInside(1.0, 2.0);
        Q_UNUSED(unused);
        const uint32_t low = recorder.trackNear(before, 200);
        const uint32_t next = recorder.trackNear(end, static_cast<float>(high));
        QVERIFY(low != next);
        QVERIFY(recorder.trackRange.at(low).second < 216.0f);
        QVERIFY(recorder.trackRange.at(next).first > 216.0f);
        for (int k = after; k <= end; ++k)
            QCOMPARE(recorder.trackNear(k, static_cast<float>(high)), next);
    }

    void frameTimesStartBeforeTheSignal()
    {
        QVERIFY(engine.configure(kRate));
        QCOMPARE(engine.frameTime(0), -1024.0 / 11025.0);
        QVERIFY(engine.frameTime(3) < 0.0);
        QCOMPARE(engine.frameTime(4), 0.0);
        QCOMPARE(engine.frameTime(5), 256.0 / 11025.0);
        for (int k = 0; k < 6; ++k)
            QCOMPARE(engine.eventTime(k), std::max(0.0, engine.frameTime(k)));
    }

    void finishFlushesAndClosesTheRun()
    {
        run(tone(0.25, steady(300), 0.5));
        const int fed = static_cast<int>(0.25 * kRate);
        QVERIFY(engine.finish());
        // (22 + 13) hops plus 4 × 1024 samples of silence.
        QCOMPARE(engine.frameCount(), (fed + 35 * 256 + 4096) / 256);
        QVERIFY(ErrorLog::isEmpty());
        QVERIFY(!engine.feed(nullptr, 256));
        QVERIFY(!engine.finish());
        QVERIFY(!ErrorLog::isEmpty());
    }

    void nullChannelsFeedZeros()
    {
        QVERIFY(engine.configure(kRate));
        QVERIFY(engine.feed(nullptr, 2048));
        const float* none[] = {nullptr};
        QVERIFY(engine.feed(none, 2048));
        QCOMPARE(engine.frameCount(), 16);
        QCOMPARE(engine.spectrum().frameLevel(), SpectrumAnalyser::kFloor);
    }

    void sampleRates_data()
    {
        QTest::addColumn<float>("rate");
        QTest::addColumn<int>("frameSize");
        QTest::addColumn<QString>("error");
        QTest::newRow("11025 Hz") << 11025.0f << 2048 << QString();
        QTest::newRow("22050 Hz") << 22050.0f << 4096 << QString();
        QTest::newRow("44100 Hz") << 44100.0f << 8192 << QString();
        QTest::newRow("33075 Hz") << 33075.0f << 0 << QStringLiteral("6144 is not a power of two");
        QTest::newRow("8000 Hz")
            << 8000.0f << 0
            << QStringLiteral("TranscriptionEngine::configure: unsupported sample rate 8000");
        QTest::newRow("NaN") << std::nanf("") << 0
                             << QStringLiteral(
                                    "TranscriptionEngine::configure: unsupported sample rate nan");
    }

    void sampleRates()
    {
        QFETCH(float, rate);
        QFETCH(int, frameSize);
        QFETCH(QString, error);
        const bool accepted = engine.configure(rate);
        QCOMPARE(accepted, error.isEmpty());
        QCOMPARE(ErrorLog::text(), error);
        QCOMPARE(engine.feed(nullptr, 100000), accepted);
        if (!accepted)
            return;
        const AnalysisParameters& p = engine.parameters();
        QCOMPARE(p.frameSize, frameSize);
        QCOMPARE(p.hop, frameSize / 8);
        QCOMPARE(p.localHalfWidth, 37);
        QCOMPARE(p.decisionLag, 13);
        QCOMPARE(p.emissionLag, 22);
        QCOMPARE(engine.frameCount(), 100000 / p.hop);
    }

    // Once every track of a steady tone is running, a frame allocates nothing (within the
    // 3 seconds a track holds before it first grows its storage).
    void steadyFramesDoNotAllocate()
    {
        const std::vector<float> samples =
            mix(tone(2.0, steady(220), 0.5), tone(2.0, steady(660), 0.2));
        QVERIFY(engine.configure(kRate));
        const float* channels[] = {samples.data()};
        QVERIFY(engine.feed(channels, 5512));
        const long before = allocations;
        channels[0] = samples.data() + 5512;
        QVERIFY(engine.feed(channels, 11025));
        QCOMPARE(allocations - before, 0L);
    }
};

QTEST_GUILESS_MAIN(TestPitchAnalysis)
#include "tst_pitch_analysis.moc"
