#include "session.h"

#include <QKeyEvent>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>

namespace {

/** Edits the session on every key press, as a shortcut of the window would. */
class KeyEditor : public QObject
{
public:
    explicit KeyEditor(Session* session) : m_session(session) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        depthBefore = m_session->editDepth();
        m_session->lockEdit();
        // The engine lock is held: a cycle trying it now is kept out.
        ranLocked = !m_session->tryLockEngine();
        m_session->unlockEdit();
        ++presses;
        return true;
    }

    int presses = 0;
    int depthBefore = -1;
    bool ranLocked = false;

private:
    Session* m_session;
};

/**
 * A thread the test joins with std::thread::join. The threads here read atomics on the test's
 * stack; QThread::wait() joins through Qt's own futex-based wait, which the thread sanitizer
 * does not see, so it took the next test reusing that stack for a race with the finished thread.
 */
class TestThread
{
public:
    template <typename Body>
    explicit TestThread(Body body)
        : m_thread([this, body] {
              body();
              m_done = true;
          })
    {
    }
    ~TestThread() { join(); }

    /** Whether the thread ends within `ms`; it is joined either way. */
    bool finishes(int ms)
    {
        const bool done = QTest::qWaitFor([this] { return m_done.load(); }, ms);
        join();
        return done;
    }

    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

/** Keeps the engine lock as a long audio cycle would, releasing it after `ms`. */
std::unique_ptr<TestThread> releaseEngineAfter(Session& session, int ms)
{
    return std::make_unique<TestThread>([&session, ms] {
        QThread::msleep(ms);
        session.releaseEngine();
    });
}

} // namespace

// The edit lock between the user-interface thread and an engine thread that only try-locks.
class TestEditLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void engineSkipsBlocksWhileTheSessionIsEdited()
    {
        Session session;
        std::atomic<bool> stop{false};
        std::atomic<int> skipped{0}, rendered{0};
        std::atomic<bool> insideWhileEditing{false};
        std::atomic<bool> uiHoldsLock{false};
        TestThread engine([&] {
            while (!stop.load()) {
                if (session.tryLockEngine()) {
                    if (uiHoldsLock.load())
                        insideWhileEditing = true;
                    rendered++;
                    QThread::usleep(200);
                    session.releaseEngine();
                } else {
                    skipped++;
                }
                QThread::usleep(50);
            }
        });
        // Stops the engine thread before it is joined, also when a check below fails.
        const auto stopEngine = qScopeGuard([&] { stop = true; });
        while (rendered.load() < 5)
            QThread::msleep(1);

        for (int i = 0; i < 20; ++i) {
            session.lockEdit();
            uiHoldsLock = true;
            QVERIFY(session.isEditing());
            const int before = rendered.load();
            QThread::msleep(5);
            QCOMPARE(rendered.load(), before); // the engine stays out while the lock is held
            uiHoldsLock = false;
            session.unlockEdit();
        }
        stop = true;
        engine.join();
        QVERIFY(skipped.load() > 0);
        QVERIFY(!insideWhileEditing.load());
        QVERIFY(!session.isEditing());
    }

    void lockWaitsForTheEngineToFinishItsBlock()
    {
        Session session;
        QVERIFY(session.tryLockEngine()); // the engine is inside a block
        std::atomic<bool> locked{false};
        TestThread ui([&] {
            session.lockEdit();
            locked = true;
            session.unlockEdit();
        });
        QThread::msleep(60);
        QVERIFY(!locked.load());
        QVERIFY(session.isEditing());
        session.releaseEngine();
        QVERIFY(ui.finishes(2000));
        QVERIFY(locked.load());
    }

    void userInputDuringTheWaitRunsAfterTheEditAndLocked()
    {
        Session session;
        KeyEditor editor(&session);
        QObject window;
        window.installEventFilter(&editor);
        bool timerRan = false, timerLocked = false;
        int timerDepthBefore = -1;

        QVERIFY(session.tryLockEngine()); // a cycle is inside the session
        const auto engine = releaseEngineAfter(session, 100);
        // A key press and a timer that edits are due while the edit below waits for the cycle.
        QCoreApplication::postEvent(
            &window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier));
        QTimer::singleShot(0, [&] {
            timerDepthBefore = session.editDepth();
            session.lockEdit();
            timerLocked = !session.tryLockEngine();
            session.unlockEdit();
            timerRan = true;
        });
        session.lockEdit();
        QVERIFY(!session.tryLockEngine()); // the edit holds the lock in its own right
        QCOMPARE(session.editDepth(), 1);
        const bool handledInsideTheEdit = editor.presses > 0 || timerRan;
        session.unlockEdit();
        QVERIFY(engine->finishes(2000));

        QVERIFY(!handledInsideTheEdit);
        QTRY_COMPARE(editor.presses, 1); // carried out after the edit, not dropped
        QTRY_VERIFY(timerRan);
        QCOMPARE(editor.depthBefore, 0);
        QCOMPARE(timerDepthBefore, 0);
        QVERIFY(editor.ranLocked);
        QVERIFY(timerLocked);
        QCOMPARE(session.editDepth(), 0);
        QVERIFY(session.tryLockEngine());
        session.releaseEngine();
    }

    void nestedLocksOnlyCount()
    {
        Session session;
        session.lockEdit();
        session.lockEdit();
        QCOMPARE(session.editDepth(), 2);
        session.unlockEdit();
        QVERIFY(!session.tryLockEngine());
        session.unlockEdit();
        QCOMPARE(session.editDepth(), 0);
        QVERIFY(session.tryLockEngine());
        session.releaseEngine();
        // An unbalanced unlock leaves the lock free, never negative.
        session.unlockEdit();
        QCOMPARE(session.editDepth(), 0);
        QVERIFY(!session.isEditing());
    }
};

QTEST_MAIN(TestEditLock)
#include "tst_edit_lock.moc"
