#include "session.h"
#include "spy_clip.h"
#include "track.h"

#include <QTest>

class TestClip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gainEnvelope_data()
    {
        QTest::addColumn<int>("inShape");
        QTest::addColumn<int>("outShape");
        QTest::addColumn<uint>("x");
        QTest::addColumn<float>("expected");
        // Clip of 1000 frames, gain 0.5, fade in 200, fade out 400.
        QTest::newRow("linear in, half") << 0 << 0 << 100u << 0.25f;
        QTest::newRow("quadratic in, half") << 1 << 1 << 100u << 0.125f;
        QTest::newRow("cubic in, half") << 2 << 2 << 100u << 0.0625f;
        QTest::newRow("in, start") << 1 << 1 << 0u << 0.0f;
        QTest::newRow("between fades") << 1 << 1 << 200u << 0.5f;
        QTest::newRow("out starts after its first frame") << 1 << 1 << 600u << 0.5f;
        QTest::newRow("linear out, half") << 0 << 0 << 800u << 0.25f;
        QTest::newRow("quadratic out, half") << 1 << 1 << 800u << 0.125f;
        QTest::newRow("cubic out, quarter left") << 2 << 2 << 900u << 0.5f / 64;
        QTest::newRow("at the length") << 0 << 0 << 1000u << 0.0f;
        QTest::newRow("past the length") << 0 << 0 << 5000u << 0.0f;
    }
    void gainEnvelope()
    {
        QFETCH(int, inShape);
        QFETCH(int, outShape);
        QFETCH(uint, x);
        QFETCH(float, expected);
        SpyClip clip(0, 1000);
        clip.setGain(0.5f);
        clip.setFadeIn(200, inShape);
        clip.setFadeOut(400, outShape);
        QVERIFY(qAbs(clip.gainAt(x) - expected) < 1e-6f);
    }

    void withoutFadesTheGainIsFlat()
    {
        SpyClip clip(100, 1000);
        clip.setGain(0.8f);
        for (uint32_t x : {0u, 1u, 500u, 999u})
            QCOMPARE(clip.gainAt(x), 0.8f);
    }

    void fadesAreLimitedToTheClipLength()
    {
        SpyClip clip(0, 1000);
        clip.setFadeIn(5000);
        QCOMPARE(clip.fadeIn(), 1000u);
        clip.setFadeOut(300);
        clip.setLength(200);
        QCOMPARE(clip.fadeIn(), 200u);
        QCOMPARE(clip.fadeOut(), 200u);
        // The curve follows the shortened fade: halfway through is a quarter (quadratic).
        QVERIFY(qAbs(clip.gainAt(100) - 0.25f * 0.25f) < 1e-6f);
    }

    void tickCopiesFollowTheScaleOnATrack()
    {
        Session session;
        auto* track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        auto* clip = new SpyClip(22050, 44100); // a beat in, two beats long
        clip->setOffset(11025);
        clip->setFadeIn(22050);
        clip->setFadeOut(11025);
        track->addClip(clip);
        QCOMPARE(clip->startTick(), 960u);
        QCOMPARE(clip->lengthTick(), 1920u);
        QCOMPARE(clip->offsetTick(), 480u);
        QCOMPARE(clip->fadeInTick(), 960u);
        QCOMPARE(clip->fadeOutTick(), 480u);
        clip->setStart(44100);
        QCOMPARE(clip->startTick(), 1920u);
    }

    void clipsStayOrderedByStartWithStableTies()
    {
        Session session;
        Track track(&session, Track::AudioTrack);
        auto* late = new SpyClip(500, 10, QStringLiteral("late"));
        auto* early = new SpyClip(100, 10, QStringLiteral("early"));
        auto* tie = new SpyClip(500, 10, QStringLiteral("tie"));
        track.addClip(late);
        track.addClip(early);
        track.addClip(tie);
        QStringList names;
        for (Clip* c = track.firstClip(); c; c = c->next())
            names << c->name();
        QCOMPARE(names, (QStringList{"early", "late", "tie"}));
        QCOMPARE(track.lastClip(), tie);
        QCOMPARE(tie->prev(), late);
        early->setStart(900);
        track.reorderClip(early);
        QCOMPARE(track.lastClip(), early);
        QCOMPARE(track.firstClip(), late);
        QCOMPARE(track.clipCount(), 3);
    }

    void toolTipShowsPlaceAndFile()
    {
        Session session;
        session.scale().setTimeFormat(TimeScale::Frames);
        auto* track = new Track(&session, Track::AudioTrack);
        session.addTrack(track);
        auto* clip = new SpyClip(100, 400, QStringLiteral("Vox"));
        clip->setOffset(7);
        clip->setFilePath(QStringLiteral("/tmp/a/../take.wav"));
        track->addClip(clip);
        QCOMPARE(clip->filePath(), QStringLiteral("/tmp/take.wav"));
        QCOMPARE(clip->toolTip(), QStringLiteral("Name:\tVox\nStart/End:\t100 / 500\n"
                                                 "Offs/Length:\t7 / 400\nFile:\ttake.wav"));
    }
};

QTEST_GUILESS_MAIN(TestClip)
#include "tst_clip.moc"
