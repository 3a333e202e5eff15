// Edits that read MIDI files (opening a song's melody, a meter change reopening clips) read
// them before taking the session's edit lock, so the engines are not silenced for the I/O.
// Each file is served through a named pipe: the thread writing it notes whether the session
// was in an edit at the moment the reader opened the pipe.
#include "error_log.h"
#include "midi_clip.h"
#include "midi_file.h"
#include "session.h"
#include "session_command.h"
#include "smf_bytes.h"
#include "song_file.h"
#include "track.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

/** Serves bytes once through a named pipe at path, from a thread of its own. */
class PipeServer
{
public:
    PipeServer(const QString& path, const QByteArray& bytes, const Session& session)
        : m_path(QFile::encodeName(path))
    {
        QFile::remove(path);
        m_made = mkfifo(m_path.constData(), 0600) == 0;
        if (!m_made)
            return;
        m_thread = std::thread([this, bytes, &session] {
            const int fd = ::open(m_path.constData(), O_WRONLY); // waits for the reader
            m_editing.store(session.isEditing());
            m_opened.store(true);
            if (fd < 0)
                return;
            for (qsizetype done = 0; done < bytes.size();) {
                const ssize_t n =
                    ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
                if (n <= 0)
                    break;
                done += n;
            }
            ::close(fd);
        });
    }

    ~PipeServer()
    {
        if (!m_made)
            return;
        if (!m_opened.load()) {
            // Nobody read: open the reading end ourselves so the writer's open returns.
            const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
            m_thread.join();
            if (fd >= 0)
                ::close(fd);
        } else {
            m_thread.join();
        }
        ::unlink(m_path.constData());
    }

    bool isMade() const { return m_made; }
    bool wasRead() const { return m_opened.load(); }
    /** Whether the session's edit lock was held when the reader opened the pipe. */
    bool readDuringEdit() const { return m_editing.load(); }

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_opened{false};
    std::atomic<bool> m_editing{false};
    std::thread m_thread;
};

/** Format 1 at 480 ticks per beat: a tempo track, then two notes on channel 1. */
QByteArray twoNoteSong()
{
    using namespace smf;
    return header(1, 2, 480) + track(tempo(0, 500000)) +
           track(ev(0, {0x90, 60, 100}) + ev(480, {0x80, 60, 0}) + ev(0, {0x90, 62, 90}) +
                 ev(240, {0x80, 62, 0}));
}

/** A MIDI track with one empty clip, added to the session. */
MidiClip* addMidiClip(Session& session)
{
    auto* track = new Track(&session, Track::MidiTrack);
    session.addTrack(track);
    auto* clip = new MidiClip(&session);
    track->addClip(clip);
    return clip;
}

/** Note-on times and keys of a sequence. */
QList<QPair<uint32_t, int>> notes(const MidiSequence& sequence)
{
    QList<QPair<uint32_t, int>> out;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        if (e->isNote())
            out.append({e->time, int(e->data1)});
    return out;
}

} // namespace

class TestFileReadsUnlocked : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        std::signal(SIGPIPE, SIG_IGN); // a reader that gives up must not end the test
        QVERIFY(m_dir.isValid());
    }

    void init() { ErrorLog::clear(); }

    void melodyIsReadBeforeTheEdit()
    {
        Session session;
        MidiClip* clip = addMidiClip(session);

        const QString path = m_dir.filePath(QStringLiteral("melody.mid"));
        PipeServer pipe(path, twoNoteSong(), session);
        QVERIFY(pipe.isMade());
        SongFile song(&session, clip->track(), clip);
        QVERIFY2(song.openSong(path), qPrintable(ErrorLog::text()));
        QVERIFY(pipe.wasRead());
        QVERIFY(!pipe.readDuringEdit());
        QVERIFY(!session.isEditing());
        const int beat = session.scale().ticksPerBeat();
        const QList<QPair<uint32_t, int>> expected{{0u, 60}, {uint32_t(beat), 62}};
        QCOMPARE(notes(clip->sequence()), expected);
    }

    void meterChangeReadsClipFilesBeforeTheEdit()
    {
        Session session;
        MidiClip* clip = addMidiClip(session);
        const QString path = m_dir.filePath(QStringLiteral("clip.mid"));
        QVERIFY(smf::save(path, twoNoteSong()));
        auto file = std::make_unique<MidiFile>();
        QVERIFY(file->open(path, MidiFile::Read));
        QVERIFY(clip->bindFile(std::move(file), 1));
        QVERIFY(!clip->isModified());

        // The clip's file is now only readable through the pipe, once.
        PipeServer pipe(path, twoNoteSong(), session);
        QVERIFY(pipe.isMade());
        const uint16_t ticks = session.scale().ticksPerBeat() == 480 ? 960 : 480;
        TempoCommand change(&session, 0.0f, 0, 0, 0, ticks);
        QVERIFY(change.apply());
        QVERIFY(pipe.wasRead());
        QVERIFY(!pipe.readDuringEdit());
        QCOMPARE(session.scale().ticksPerBeat(), ticks);
        const QList<QPair<uint32_t, int>> expected{{0u, 60}, {uint32_t(ticks), 62}};
        QCOMPARE(notes(clip->sequence()), expected);
        QVERIFY2(ErrorLog::isEmpty(), qPrintable(ErrorLog::text()));
    }
};

QTEST_GUILESS_MAIN(TestFileReadsUnlocked)
#include "tst_file_reads_unlocked.moc"
