#include "session.h"
#include "session_cursor.h"
#include "spy_clip.h"
#include "track.h"

#include <QTest>

// Cursors of kind 1 drive audio tracks: they rewind clips they pass and seek into the clip
// they land in. Other kinds only follow.
class TestSessionCursor : public QObject
{
    Q_OBJECT

    Session session;

    Track* addAudioTrack(std::initializer_list<std::pair<uint32_t, uint32_t>> spans)
    {
        auto* track = new Track(&session, Track::AudioTrack);
        for (auto [start, length] : spans)
            track->addClip(new SpyClip(start, length));
        session.addTrack(track);
        return track;
    }
    static SpyClip* spy(Clip* clip) { return static_cast<SpyClip*>(clip); }

private Q_SLOTS:
    void init() { session.clear(); }

    void locateWithSeekRewindsPassedClipsAndSeeksIntoTheFoundOne()
    {
        Track* track = addAudioTrack({{0, 500}, {800, 1200}});
        SessionCursor cursor(&session, 0, Engine::AudioKind);
        SpyClip* first = spy(track->firstClip());
        SpyClip* second = spy(track->lastClip());
        QCOMPARE(cursor.clip(0), first);
        first->take();

        cursor.locate(1000, true);
        QCOMPARE(cursor.clip(0), second);
        QVERIFY(first->take().contains(QStringLiteral("rewind")));
        QCOMPARE(second->take(), QStringList{QStringLiteral("seek 200")});
        QCOMPARE(cursor.frame(), 1000u);

        // Past the end of every clip the last clip stays current.
        cursor.locate(3000, true);
        QCOMPARE(cursor.clip(0), second);

        // Going back searches from the first clip again.
        cursor.locate(100, true);
        QCOMPARE(cursor.clip(0), first);
        QVERIFY(first->take().contains(QStringLiteral("seek 100")));
    }

    void locateToTheSameFrameDoesNothing()
    {
        Track* track = addAudioTrack({{0, 500}});
        SessionCursor cursor(&session, 0, Engine::AudioKind);
        spy(track->firstClip())->take();
        cursor.locate(0, true);
        QVERIFY(spy(track->firstClip())->calls.isEmpty());
    }

    void cursorsOfAnotherKindFollowWithoutTouchingClips()
    {
        Track* track = addAudioTrack({{0, 500}, {800, 1200}});
        SessionCursor midi(&session, 0, Engine::MidiKind);
        spy(track->firstClip())->take();
        midi.locate(1000, true);
        QCOMPARE(midi.clip(0), track->lastClip());
        QVERIFY(spy(track->firstClip())->calls.isEmpty());
        QVERIFY(spy(track->lastClip())->calls.isEmpty());
    }

    void overlappingClipsAreAllPlaced()
    {
        Track* track = addAudioTrack({{0, 1000}, {400, 1000}, {2000, 100}});
        SessionCursor cursor(&session, 0, Engine::AudioKind);
        for (Clip* c = track->firstClip(); c; c = c->next())
            spy(c)->take();
        cursor.locate(600, true);
        QCOMPARE(spy(track->firstClip())->take(), QStringList{QStringLiteral("seek 600")});
        QCOMPARE(spy(track->firstClip()->next())->take(), QStringList{QStringLiteral("seek 200")});
        QVERIFY(spy(track->lastClip())->calls.isEmpty());
    }

    void trackListChangesKeepEntriesInTrackOrder()
    {
        Track* a = addAudioTrack({{0, 100}});
        Track* b = addAudioTrack({{0, 100}});
        Track* c = addAudioTrack({{0, 100}});
        SessionCursor cursor(&session, 0, Engine::NoKind);
        QCOMPARE(cursor.count(), 3u);

        session.removeTrack(b);
        QCOMPARE(cursor.count(), 2u);
        QCOMPARE(cursor.clip(0), a->firstClip());
        QCOMPARE(cursor.clip(1), c->firstClip());
        delete b;

        session.moveTrack(c, a);
        QCOMPARE(cursor.clip(0), c->firstClip());
        QCOMPARE(cursor.clip(1), a->firstClip());

        Track* d = addAudioTrack({});
        QCOMPARE(cursor.count(), 3u);
        QCOMPARE(cursor.clip(2), nullptr);
        d->addClip(new SpyClip(50, 10));
        session.trackChanged(d);
        QCOMPARE(cursor.clip(2), d->firstClip());
    }

    void theEnginesCursorsSurviveClear()
    {
        addAudioTrack({{0, 100}});
        SessionCursor* head = session.audioEngine()->cursor();
        head->locate(50, false);
        head->addFrames(512);
        session.clear();
        QCOMPARE(head->frame(), 0u);
        QCOMPARE(head->frameCount(), 0u);
        QCOMPARE(head->count(), 0u);
        QCOMPARE(session.cursors().size(), size_t(2));
        addAudioTrack({{0, 100}});
        QCOMPARE(head->count(), 1u);
    }
};

QTEST_GUILESS_MAIN(TestSessionCursor)
#include "tst_session_cursor.moc"
