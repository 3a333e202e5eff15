// The style browser's previews, rendered beside the window: the window goes on while a preview
// renders, only the style chosen last is heard, Stop silences a render still under way, and a
// window closed meanwhile waits for it.
#include "app_test_environment.h"
#include "window_engines.h"

#include "engine_factory.h"
#include "error_log.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"
#include "style_browser_flow.h"

#include "audio_engine.h"
#include "audio_player.h"
#include "offline_audio_client.h"

#include <QDir>
#include <QTest>

namespace {

// Long enough for a render under the sanitizers on a busy machine.
constexpr int kRenderTimeoutMs = 60000;

QString shippedStyle()
{
    return QDir(QStringLiteral(CANTOVA_STYLES_DIR)).filePath(QStringLiteral("Pop 8 Beat.sty"));
}

} // namespace

class TestStylePreview : public QObject, protected WindowEngines
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_dir;

    /** The program's window with its style browser's flow; message boxes are answered. */
    struct PreviewWindow
    {
        ScriptedAnswers answers;
        Settings settings;
        MainWindow form{&settings};
        StyleBrowserFlow* flow = form.findChild<StyleBrowserFlow*>();
    };

    /** Runs the device for `blocks` cycles, the window's timer after each. */
    static void playTheDevice(MainWindow& form, int blocks)
    {
        for (int i = 0; i < blocks; ++i) {
            QCOMPARE(client()->render(1), 0);
            tick(form);
        }
    }
    QString missingStyle() const { return m_dir.filePath(QStringLiteral("Gone.sty")); }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = new AppTestEnvironment;
        programLayer();
    }
    void cleanupTestCase()
    {
        installBaseEngines();
        delete m_env;
    }
    void init()
    {
        m_env->clearSettings();
        ErrorLog::clear();
        installEngines(EngineFactory::offline(&programLayer().layer));
    }

    void aStyleChosenDuringARenderIsTheOneHeard()
    {
        PreviewWindow window;
        StyleBrowserFlow* flow = window.flow;
        QVERIFY(flow);
        QVERIFY(flow);
        QVERIFY(!audio()->player()->isPlaying());

        // The first choice cannot be rendered; the user moves on before it is done.
        QVERIFY(flow->preview(missingStyle()));
        QVERIFY(flow->isRendering()); // the window is not held up by it
        QVERIFY(flow->preview(shippedStyle()));
        QTRY_VERIFY_WITH_TIMEOUT(!flow->isRendering(), kRenderTimeoutMs);
        QVERIFY(audio()->player()->isPlaying());
        QVERIFY(window.answers.asked().isEmpty()); // a style passed over says nothing
    }

    void aFailedRenderOfTheLastChoiceSaysSoAndPlaysNothing()
    {
        PreviewWindow window;
        StyleBrowserFlow* flow = window.flow;
        QVERIFY(flow->preview(shippedStyle()));
        QVERIFY(flow->preview(missingStyle()));
        QTRY_VERIFY_WITH_TIMEOUT(!flow->isRendering(), kRenderTimeoutMs);
        QCOMPARE(window.answers.asked().size(), 1);
        QVERIFY2(window.answers.asked().first().text.contains(QStringLiteral("Gone.sty")),
                 qPrintable(window.answers.asked().first().text));
        QVERIFY(!audio()->player()->isPlaying()); // the shipped style was passed over
    }

    // The preview rolls the device while the song stands still: the window must not take that
    // for the song being played (it started the song under the preview, and after the browser
    // closed the song went on playing from far past its end).
    void aPreviewLeavesTheSongStoppedWhereItWas()
    {
        PreviewWindow window;
        StyleBrowserFlow* flow = window.flow;
        const uint32_t head = session()->playHead();
        QVERIFY(flow->preview(shippedStyle()));
        QTRY_VERIFY_WITH_TIMEOUT(audio()->player()->isPlaying(), kRenderTimeoutMs);
        TransportPosition device;
        QVERIFY(client()->transportQuery(&device) != 0); // the device rolls for the preview
        playTheDevice(window.form, 40); // the device plays on while the window looks
        QVERIFY(audio()->player()->position() > 0);
        QVERIFY(!session()->isPlaying());
        QCOMPARE(session()->playHead(), head);

        flow->stopPreview();
        QCOMPARE(client()->transportQuery(&device), 0);
        playTheDevice(window.form, 40);
        QVERIFY(!session()->isPlaying());
        QCOMPARE(session()->playHead(), head);
        QVERIFY(window.answers.asked().isEmpty());
    }

    // Play gives the sound to the song: the preview stops, and one still rendering stays silent.
    void playingTheSongStopsThePreview()
    {
        PreviewWindow window;
        StyleBrowserFlow* flow = window.flow;
        giveTheSongAnEnd(window.form, 100 * 44100);
        QVERIFY(flow->preview(shippedStyle()));
        QTRY_VERIFY_WITH_TIMEOUT(audio()->player()->isPlaying(), kRenderTimeoutMs);
        act(window.form, "transportPlayAction")->trigger();
        QVERIFY(session()->isPlaying());
        QVERIFY(!audio()->player()->isPlaying());
        playTheDevice(window.form, 4);
        QCOMPARE(session()->playHead(), 4 * AudioClient::kBufferSize); // from where the song was

        act(window.form, "transportPlayAction")->trigger(); // pause
        QVERIFY(flow->preview(shippedStyle()));
        act(window.form, "transportPlayAction")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!flow->isRendering(), kRenderTimeoutMs);
        QVERIFY(!audio()->player()->isPlaying());
        QVERIFY(session()->isPlaying());
    }

    void stopDuringARenderKeepsItSilent()
    {
        PreviewWindow window;
        StyleBrowserFlow* flow = window.flow;
        QVERIFY(flow->preview(shippedStyle()));
        flow->stopPreview();
        QTRY_VERIFY_WITH_TIMEOUT(!flow->isRendering(), kRenderTimeoutMs);
        QVERIFY(!audio()->player()->isPlaying());
        QVERIFY(window.answers.asked().isEmpty());

        // Heard when asked again; then the window closes with the next render still running.
        QVERIFY(flow->preview(shippedStyle()));
        QTRY_VERIFY_WITH_TIMEOUT(audio()->player()->isPlaying(), kRenderTimeoutMs);
        QVERIFY(flow->preview(shippedStyle()));
        QVERIFY(flow->isRendering());
    }
};

QTEST_MAIN(TestStylePreview)
#include "tst_style_preview.moc"
