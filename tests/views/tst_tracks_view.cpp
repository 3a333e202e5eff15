// The tracks view and the time display driven headless with simulated mouse and keys.
#include "../audio/audio_test_files.h"
#include "audio_peak.h"
#include "clip.h"
#include "session.h"
#include "time_scale.h"
#include "time_spin_box.h"
#include "track.h"
#include "tracks_view.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {
constexpr uint32_t kRate = 44100;
} // namespace

class TestTracksView : public QObject
{
    Q_OBJECT

    Session* m_session = nullptr;
    Track* m_audio = nullptr;
    Track* m_midi = nullptr;
    Clip* m_clip = nullptr;

    QWidget* clipArea(TracksView& view) { return view.findChild<QWidget*>("ClipArea"); }
    QWidget* ruler(TracksView& view) { return view.findChild<QWidget*>("TimeRuler"); }

    /** The clip-area point at the given frame, in the middle of the audio track's row. */
    QPoint at(TracksView& view, uint32_t frame)
    {
        return QPoint(view.frameToX(frame), view.trackTop(0) + m_audio->zoomedHeight() / 2);
    }

private Q_SLOTS:
    void init()
    {
        m_session = new Session();
        m_audio = new Track(m_session, Track::AudioTrack);
        m_audio->setName(QStringLiteral("Voice"));
        m_midi = new Track(m_session, Track::MidiTrack);
        m_midi->setName(QStringLiteral("Melody"));
        m_session->addTrack(m_audio);
        m_session->addTrack(m_midi);
        m_clip = new Clip();
        m_clip->setStart(kRate);      // 0:01
        m_clip->setLength(4 * kRate); // to 0:05
        m_audio->addClip(m_clip);
        m_session->updateEnd(0);
    }
    void cleanup()
    {
        delete m_session;
        m_session = nullptr;
    }

    void rowsFollowTheTracks()
    {
        TracksView view(m_session);
        view.resize(800, 300);
        view.show();
        QCOMPARE(view.findChildren<QToolButton*>(QStringLiteral("TrackMute")).size(), 2);
        QCOMPARE(view.trackAt(view.trackTop(1) + 1), m_midi);
        auto* extra = new Track(m_session, Track::MidiTrack);
        m_session->addTrack(extra);
        view.refresh();
        QCOMPARE(view.findChildren<QToolButton*>(QStringLiteral("TrackMute")).size(), 3);
        QCOMPARE(view.trackAt(view.trackTop(2) + 1), extra);
    }

    void clickLocatesAtTheSnappedPosition()
    {
        m_session->scale().setSnapPerBeat(1); // one beat = 22050 frames at 120 bpm
        TracksView view(m_session);
        view.resize(800, 300);
        view.show();
        QSignalSpy locate(&view, &TracksView::locateRequested);
        QSignalSpy selection(&view, &TracksView::selectionChanged);
        QTest::mouseClick(clipArea(view), Qt::LeftButton, {}, at(view, 3 * 22050 + 4000));
        QCOMPARE(locate.size(), 1);
        QCOMPARE(locate.first().first().toULongLong(), 3ull * 22050);
        QCOMPARE(m_session->currentTrack(), m_audio);
        QCOMPARE(selection.size(), 1);
        QTest::mouseClick(ruler(view), Qt::LeftButton, {},
                          QPoint(view.frameToX(5 * 22050 - 3000), 5));
        QCOMPARE(locate.last().first().toULongLong(), 5ull * 22050);
    }

    /** Pixels of column x in [top, bottom) that differ from column `reference`. */
    static int differingPixels(const QImage& image, int x, int reference, int top, int bottom)
    {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            count += image.pixel(x, y) != image.pixel(reference, y);
        return count;
    }

    void audioClipShowsItsWaveform()
    {
        // Two seconds of a full-scale square, then two of silence.
        QTemporaryDir dir;
        const QString path = dir.filePath(QFileInfo(dir.path()).fileName() + "voice.wav");
        QVERIFY(audiotest::writeFile(path, 1, int(kRate), 4 * kRate, [](int, long long k) {
            return k < 2 * kRate ? ((k / 50) % 2 ? -1.0f : 1.0f) : 0.0f;
        }));
        m_clip->setFilePath(path);
        TracksView view(m_session);
        view.resize(900, 300);
        view.show();
        QWidget* area = clipArea(view);
        const int top = view.trackTop(0) + 8;
        const int bottom = view.trackTop(0) + m_audio->zoomedHeight() - 8;
        const int loud = view.frameToX(17 * kRate / 10);
        // Columns off the beat lines of the grid.
        const int silent = view.frameToX(37 * kRate / 10);
        // The waveform fills the loud part's height once the peaks are built; the silent part
        // keeps a centre line only.
        QTRY_VERIFY(differingPixels(area->grab().toImage(), loud, silent, top, bottom) >
                    (bottom - top) / 2);
        const QImage image = area->grab().toImage();
        QCOMPARE(differingPixels(image, silent, view.frameToX(43 * kRate / 10), top, bottom), 0);
        QFile::remove(AudioPeak::peakPath(path, 1.0));
    }

    void dragOverAnAudioClipSelectsARange()
    {
        m_session->scale().setSnapPerBeat(0);
        TracksView view(m_session);
        view.resize(900, 300);
        view.show();
        QWidget* area = clipArea(view);
        QSignalSpy changed(&view, &TracksView::contentsChanged);
        const QPoint from = at(view, 2 * kRate);
        const QPoint to = at(view, 3 * kRate);
        QTest::mousePress(area, Qt::LeftButton, {}, from);
        QTest::mouseMove(area, to);
        QTest::mouseRelease(area, Qt::LeftButton, {}, to);
        // Pixels are coarser than frames: the ends are within one pixel of the drag.
        const uint32_t pixel = m_session->scale().pixelToFrame(1);
        QVERIFY(std::abs(int64_t(m_clip->selectionIn()) - 2 * kRate) <= pixel);
        QVERIFY(std::abs(int64_t(m_clip->selectionOut()) - 3 * kRate) <= pixel);
        QCOMPARE(changed.size(), 1);

        // Past the clip's end, and backwards past its start: kept inside the clip.
        const QPoint inside = at(view, 4 * kRate);
        QTest::mousePress(area, Qt::LeftButton, {}, inside);
        QTest::mouseMove(area, at(view, 7 * kRate));
        QTest::mouseRelease(area, Qt::LeftButton, {}, at(view, 7 * kRate));
        QVERIFY(std::abs(int64_t(m_clip->selectionIn()) - 4 * kRate) <= pixel);
        QCOMPARE(m_clip->selectionOut(), m_clip->end());
        QTest::mousePress(area, Qt::LeftButton, {}, inside);
        QTest::mouseMove(area, at(view, kRate / 4));
        QTest::mouseRelease(area, Qt::LeftButton, {}, at(view, kRate / 4));
        QCOMPARE(m_clip->selectionIn(), m_clip->start());
        QVERIFY(std::abs(int64_t(m_clip->selectionOut()) - 4 * kRate) <= pixel);

        // A plain click clears it.
        QTest::mouseClick(area, Qt::LeftButton, {}, at(view, 4 * kRate));
        QCOMPARE(m_clip->selectionIn(), m_clip->selectionOut());
    }

    void dragOnAMidiRowSelectsNothing()
    {
        auto* midiClip = new Clip();
        midiClip->setLength(4 * kRate);
        m_midi->addClip(midiClip);
        TracksView view(m_session);
        view.resize(900, 300);
        view.show();
        const int y = view.trackTop(1) + 10;
        QTest::mousePress(clipArea(view), Qt::LeftButton, {}, QPoint(view.frameToX(kRate), y));
        QTest::mouseMove(clipArea(view), QPoint(view.frameToX(2 * kRate), y));
        QTest::mouseRelease(clipArea(view), Qt::LeftButton, {},
                            QPoint(view.frameToX(2 * kRate), y));
        QCOMPARE(midiClip->selectionOut(), 0u);
    }

    void muteAndSoloButtons()
    {
        TracksView view(m_session);
        view.show();
        QSignalSpy changed(&view, &TracksView::contentsChanged);
        auto mutes = view.findChildren<QToolButton*>(QStringLiteral("TrackMute"));
        auto solos = view.findChildren<QToolButton*>(QStringLiteral("TrackSolo"));
        QTest::mouseClick(mutes.at(0), Qt::LeftButton);
        QVERIFY(m_audio->isMuted());
        QCOMPARE(m_session->muteCount(), 1u);
        QTest::mouseClick(solos.at(1), Qt::LeftButton);
        QVERIFY(m_midi->isSoloed());
        QCOMPARE(changed.size(), 2);

        // With a handler the owner decides how the flag changes.
        QList<bool> asked;
        view.setMuteHandler([&](Track* track, bool on) {
            QCOMPARE(track, m_audio);
            asked << on;
        });
        QTest::mouseClick(mutes.at(0), Qt::LeftButton);
        QCOMPARE(asked, QList<bool>({false}));
        QVERIFY(m_audio->isMuted());       // the handler did not unmute
        QVERIFY(mutes.at(0)->isChecked()); // and the button shows the track as it is
    }

    void zoomKeepsTheLeftEdge()
    {
        TracksView view(m_session);
        view.resize(600, 300);
        view.show();
        view.scrollToFrame(2 * kRate);
        const uint32_t left = view.xToFrame(0);
        QSignalSpy zoomed(&view, &TracksView::timeZoomChanged);
        QTest::mouseClick(view.zoomInButton(), Qt::LeftButton);
        QCOMPARE(m_session->scale().timeZoom(), uint16_t(125));
        QCOMPARE(zoomed.size(), 1);
        const uint32_t pixel = m_session->scale().pixelToFrame(1);
        QVERIFY(std::abs(int64_t(view.xToFrame(0)) - int64_t(left)) <= pixel);
        QTest::mouseClick(view.zoomOutButton(), Qt::LeftButton);
        QCOMPARE(m_session->scale().timeZoom(), uint16_t(100));
        for (int i = 0; i < 40; ++i)
            view.zoomOut();
        QCOMPARE(m_session->scale().timeZoom(), uint16_t(5)); // never down to nothing
    }

    void timeDisplayParsesAndShowsTheScaleFormat()
    {
        TimeScale& scale = m_session->scale();
        scale.setTimeFormat(TimeScale::Clock);
        TimeSpinBox box;
        box.setScale(&scale);
        box.show();
        QSignalSpy changed(&box, &TimeSpinBox::valueChanged);
        box.setValue(3723300, false);
        QCOMPARE(box.text(), QStringLiteral("00:01:24.428"));
        QCOMPARE(changed.size(), 0);

        box.selectAll();
        QTest::keyClicks(&box, QStringLiteral("00:00:01.5"));
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(box.value(), 66150ul);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toULongLong(), 66150ull);

        scale.setTimeFormat(TimeScale::BarsBeatsTicks);
        box.refreshText();
        QCOMPARE(box.text(), QStringLiteral("1.04.000"));
        box.stepBy(1); // one beat on
        QCOMPARE(box.value(), 88200ul);
        QCOMPARE(box.text(), QStringLiteral("2.01.000"));

        box.setMaximum(100000);
        box.setMinimum(22050);
        box.setValue(200000);
        QCOMPARE(box.value(), 100000ul);
        box.setValue(5);
        QCOMPARE(box.value(), 22050ul);
    }
};

QTEST_MAIN(TestTracksView)
#include "tst_tracks_view.moc"
