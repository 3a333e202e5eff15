#include "partial_tracker.h"

#include <QTest>

#include <memory>
#include <vector>

namespace {

SpectralPeak peak(float frequency, float level)
{
    SpectralPeak p;
    p.frequency = frequency;
    p.level = level;
    return p;
}

} // namespace

/** Continuation windows, serving order and dropping, on peak lists made by hand. */
class TestPartialTracker : public QObject
{
    Q_OBJECT

    std::unique_ptr<PartialTracker> owner;
    PartialTracker* tracker = nullptr;
    std::vector<SpectralPeak> peaks;

    // Runs one frame of tracking on the given peaks (ascending frequency).
    void step(int frame, std::vector<SpectralPeak> framePeaks)
    {
        peaks = std::move(framePeaks);
        tracker->dropEnded(frame);
        tracker->continueTracks(frame, peaks);
        tracker->startTracks(frame, peaks);
    }

    PartialTrack* trackWithId(uint32_t id)
    {
        for (PartialTrack* t : tracker->activeTracks()) {
            if (t->id() == id)
                return t;
        }
        return nullptr;
    }

private Q_SLOTS:
    void init()
    {
        owner = std::make_unique<PartialTracker>();
        tracker = owner.get();
        tracker->configure(AnalysisParameters::forSampleRate(11025.0f));
    }

    void continuationWindow_data()
    {
        QTest::addColumn<std::vector<float>>("history");
        QTest::addColumn<float>("next");
        QTest::addColumn<bool>("continues");
        // At 1000 Hz a semitone (59.5 Hz) is wider than 3 bins (16.2 Hz).
        QTest::newRow("semitone up") << std::vector<float>{1000} << 1059.0f << true;
        QTest::newRow("past a semitone up") << std::vector<float>{1000} << 1061.0f << false;
        QTest::newRow("semitone down") << std::vector<float>{1000} << 944.0f << true;
        QTest::newRow("past a semitone down") << std::vector<float>{1000} << 943.0f << false;
        // With two frames the prediction 2D − D' widens the window by 1/16 octave around it.
        QTest::newRow("predicted glide") << std::vector<float>{1000, 1059.4f} << 1165.0f << true;
        QTest::newRow("past the prediction")
            << std::vector<float>{1000, 1059.4f} << 1170.0f << false;
        // At 200 Hz 3 bins (16.15 Hz) are wider than a semitone (11.9 Hz).
        QTest::newRow("three bins up") << std::vector<float>{200} << 216.0f << true;
        QTest::newRow("past three bins up") << std::vector<float>{200} << 216.3f << false;
    }

    void continuationWindow()
    {
        QFETCH(std::vector<float>, history);
        QFETCH(float, next);
        QFETCH(bool, continues);
        int frame = 0;
        for (float f : history)
            step(frame++, {peak(f, -10.0f)});
        step(frame, {peak(next, -10.0f)});
        PartialTrack* first = trackWithId(0);
        QVERIFY(first);
        QCOMPARE(first->hasEnded(), !continues);
        QCOMPARE(first->length(), static_cast<int>(history.size()) + (continues ? 1 : 0));
        // A peak the track could not take starts a track of its own.
        QCOMPARE(tracker->bornCount(), continues ? 1u : 2u);
    }

    void loudestPeakInTheWindowWins()
    {
        step(0, {peak(500, -10)});
        step(1, {peak(490, -30), peak(505, -12), peak(515, -20)});
        QCOMPARE(trackWithId(0)->frequency(1), 505.0f);
    }

    // The louder track is served first. The quieter one may not take a peak below the one
    // a lower track took (they would cross) but keeps what it found below a higher track.
    void tracksNeverCross_data()
    {
        QTest::addColumn<float>("loudStart");
        QTest::addColumn<float>("quietStart");
        QTest::addColumn<float>("quietTakes"); // 0: the quiet track ends
        QTest::newRow("lower track went above") << 500.0f << 510.0f << 0.0f;
        QTest::newRow("higher track stayed above") << 510.0f << 500.0f << 495.0f;
    }

    void tracksNeverCross()
    {
        QFETCH(float, loudStart);
        QFETCH(float, quietStart);
        QFETCH(float, quietTakes);
        const bool loudFirst = loudStart < quietStart;
        step(0, loudFirst ? std::vector{peak(loudStart, -5), peak(quietStart, -30)}
                          : std::vector{peak(quietStart, -30), peak(loudStart, -5)});
        const uint32_t loudId = loudFirst ? 0 : 1;
        const uint32_t quietId = 1 - loudId;
        if (loudFirst)
            step(1, {peak(503, -20), peak(512, -6)});
        else
            step(1, {peak(495, -20), peak(505, -6)});
        QCOMPARE(trackWithId(loudId)->frequency(1), loudFirst ? 512.0f : 505.0f);
        PartialTrack* quiet = trackWithId(quietId);
        QCOMPARE(quiet->hasEnded(), quietTakes == 0.0f);
        if (quietTakes != 0.0f)
            QCOMPARE(quiet->frequency(1), quietTakes);
    }

    void endedTracksStayUntilTheEmissionFrameAndAreRecycled()
    {
        const int lag = AnalysisParameters::forSampleRate(11025.0f).emissionLag;
        step(0, {peak(300, -10)});
        step(1, {peak(300, -10)});
        step(2, {}); // the track ends: its end is frame 2
        QCOMPARE(trackWithId(0)->markers().endFrame, 2);
        for (int frame = 3; frame < 2 + lag; ++frame)
            step(frame, {});
        QVERIFY(trackWithId(0));
        step(2 + lag, {});
        QVERIFY(tracker->activeTracks().empty());
        const size_t stored = tracker->storedCount();
        step(3 + lag, {peak(800, -10)});
        QCOMPARE(tracker->storedCount(), stored);
        QCOMPARE(trackWithId(1)->startFrame(), 3 + lag);
    }

    void keptTracksAreNotRecycled()
    {
        const int lag = AnalysisParameters::forSampleRate(11025.0f).emissionLag;
        step(0, {peak(300, -10)});
        trackWithId(0)->keepUntilReset();
        for (int frame = 1; frame <= 1 + lag; ++frame)
            step(frame, {});
        QVERIFY(tracker->activeTracks().empty());
        const size_t stored = tracker->storedCount();
        step(2 + lag, {peak(800, -10)});
        QCOMPARE(tracker->storedCount(), stored + 1);
    }
};

QTEST_GUILESS_MAIN(TestPartialTracker)
#include "tst_partial_tracker.moc"
