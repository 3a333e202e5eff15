// Opening audio files in the window: WAV, FLAC, OGG and MP3 from the Open Audio action, a
// dropped file and Open each put the file on the audio track through one "Load Audio File"
// command that is not undoable; a missing or unreadable file says why and changes nothing.
#include "app_test_environment.h"

#include "audio_buffer.h"
#include "audio_clip.h"
#include "audio_file_flow.h"
#include "file_dialog.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"

#include "command_list.h"
#include "session.h"
#include "track.h"

#include <sndfile.h>

#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <vector>

namespace {

/** One second of a 440 Hz tone in the libsndfile format given, at 44.1 kHz stereo. */
bool writeTone(const QString& path, int format)
{
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> frames(2 * 44100);
    for (size_t k = 0; k < 44100; ++k)
        frames[2 * k] = frames[2 * k + 1] = float(0.4 * std::sin(2 * M_PI * 440.0 * k / 44100.0));
    const sf_count_t written = sf_writef_float(file, frames.data(), 44100);
    sf_close(file);
    return written == 44100;
}

} // namespace

class TestAudioFileFlow : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;

    QString path(const QString& name) const { return m_files.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = new AppTestEnvironment;
        QVERIFY(writeTone(path(QStringLiteral("tone.wav")), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        QVERIFY(writeTone(path(QStringLiteral("tone.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
        QVERIFY(writeTone(path(QStringLiteral("tone.ogg")), SF_FORMAT_OGG | SF_FORMAT_VORBIS));
        QVERIFY(
            writeTone(path(QStringLiteral("tone.mp3")), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
        QFile junk(path(QStringLiteral("junk.flac")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("fLaC but nothing a decoder could read");
    }
    void cleanupTestCase() { delete m_env; }
    void init() { m_env->clearSettings(); }

    void theDialogOffersEveryReadableFormat()
    {
        QVERIFY(AudioFileFlow::filter().startsWith(QStringLiteral("Audio files (")));
        for (const char* pattern : {"*.wav", "*.flac", "*.ogg", "*.mp3"})
            QVERIFY(
                AudioFileFlow::patterns().split(QLatin1Char(' ')).contains(QLatin1String(pattern)));
        Settings settings;
        MainWindow form(&settings);
        ScriptedFiles files(QList<QStringList>{QStringList()});
        act(form, "openAudioAction")->trigger();
        QCOMPARE(files.asked().size(), 1);
        QCOMPARE(files.asked().first().title, QStringLiteral("Open Audio File - Cantova"));
        QCOMPARE(files.asked().first().filter, AudioFileFlow::filter());
    }

    void openingEachFormatPutsItOnTheAudioTrack_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"tone.wav", "tone.flac", "tone.ogg", "tone.mp3"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void openingEachFormatPutsItOnTheAudioTrack()
    {
        QFETCH(QString, name);
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        ScriptedFiles files({{path(name)}});
        const int commands = form.session()->commands().count();
        act(form, "openAudioAction")->trigger();
        QVERIFY2(answers.asked().isEmpty(),
                 qPrintable(answers.asked().isEmpty() ? QString() : answers.asked().first().text));
        auto* clip = dynamic_cast<AudioClip*>(form.audioClip());
        QVERIFY(clip);
        QCOMPARE(clip->track(), form.audioTrack());
        QCOMPARE(clip->start(), 0u);
        QCOMPARE(clip->filePath(), path(name));
        QVERIFY(clip->buffer());
        QCOMPARE(clip->channels(), 2);
        // An MP3 encoder adds its padding: the length is close to a second, not exact.
        QVERIFY(std::abs(int(clip->length()) - 44100) < 3000);
        QVERIFY(clip->needsTranscription());
        QVERIFY(!clip->isModified());
        QCOMPARE(form.audioTrack()->name(), name);
        QCOMPARE(settings.audioDir, m_files.path());
        QCOMPARE(form.session()->commands().count(), commands); // loading is not undone

        // Opening another file takes the place of the first.
        ScriptedFiles again({{path(QStringLiteral("tone.wav"))}});
        act(form, "openAudioAction")->trigger();
        QCOMPARE(form.audioTrack()->clipCount(), 1);
        QCOMPARE(form.audioClip()->filePath(), path(QStringLiteral("tone.wav")));
    }

    void droppedAndOpenedFilesLoadToo()
    {
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path(QStringLiteral("tone.flac")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QVERIFY(form.audioClip());
        QCOMPARE(form.audioClip()->filePath(), path(QStringLiteral("tone.flac")));

        form.openFile(path(QStringLiteral("tone.ogg"))); // as a file named on the command line
        QCOMPARE(form.audioClip()->filePath(), path(QStringLiteral("tone.ogg")));
        QVERIFY(answers.asked().isEmpty());
    }

    void aMissingOrUnreadableFileSaysWhyAndChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "gone.wav"
                                 << "does not exist";
        QTest::newRow("unreadable") << "junk.flac"
                                    << "cannot be read";
        QTest::newRow("unknown type") << "tone.txt"
                                      << "no reader";
    }

    void aMissingOrUnreadableFileSaysWhyAndChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        if (name == QLatin1String("tone.txt"))
            QVERIFY(QFile::copy(path(QStringLiteral("tone.wav")), path(name)) ||
                    QFile::exists(path(name)));
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers loaded;
        ScriptedFiles first({{path(QStringLiteral("tone.wav"))}});
        act(form, "openAudioAction")->trigger();
        Clip* before = form.audioClip();
        QVERIFY(before);
        const QString trackName = form.audioTrack()->name();

        ScriptedAnswers answers({QMessageBox::No});
        ScriptedFiles files({{path(name)}});
        act(form, "openAudioAction")->trigger();
        QCOMPARE(answers.asked().size(), 1);
        const QString text = answers.asked().first().text;
        QVERIFY2(text.contains(QStringLiteral("The file was not loaded")), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QCOMPARE(form.audioClip(), before);
        QCOMPARE(form.audioTrack()->clipCount(), 1);
        QCOMPARE(form.audioTrack()->name(), trackName);
    }
};

QTEST_MAIN(TestAudioFileFlow)
#include "tst_audio_file_flow.moc"
