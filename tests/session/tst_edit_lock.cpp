#include "session.h"

#include <QTest>
#include <QThread>
#include <atomic>

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
        QThread* engine = QThread::create([&] {
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
        engine->start();
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
        engine->wait();
        delete engine;
        QVERIFY(skipped.load() > 0);
        QVERIFY(!insideWhileEditing.load());
        QVERIFY(!session.isEditing());
    }

    void lockWaitsForTheEngineToFinishItsBlock()
    {
        Session session;
        QVERIFY(session.tryLockEngine()); // the engine is inside a block
        std::atomic<bool> locked{false};
        QThread* ui = QThread::create([&] {
            session.lockEdit();
            locked = true;
            session.unlockEdit();
        });
        ui->start();
        QThread::msleep(60);
        QVERIFY(!locked.load());
        QVERIFY(session.isEditing());
        session.releaseEngine();
        QVERIFY(ui->wait(2000));
        delete ui;
        QVERIFY(locked.load());
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

QTEST_GUILESS_MAIN(TestEditLock)
#include "tst_edit_lock.moc"
