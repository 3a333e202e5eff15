#include "error_log.h"

#include <QTest>
#include <QThread>

class TestErrorLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void newestMessageComesFirst()
    {
        ErrorLog::add(QStringLiteral("first"));
        QCOMPARE(ErrorLog::text(), QStringLiteral("first"));
        ErrorLog::add(QStringLiteral("second"));
        ErrorLog::add(QStringLiteral("third"));
        QCOMPARE(ErrorLog::text(), QStringLiteral("third\nError > second\nError > first"));
    }

    void emptyMessagesAreIgnored()
    {
        ErrorLog::add(QString());
        QVERIFY(ErrorLog::isEmpty());
        ErrorLog::add(QStringLiteral("only"));
        ErrorLog::add(QString());
        QCOMPARE(ErrorLog::text(), QStringLiteral("only"));
    }

    void takeEmptiesTheLog()
    {
        ErrorLog::add(QStringLiteral("a"));
        QCOMPARE(ErrorLog::take(), QStringLiteral("a"));
        QVERIFY(ErrorLog::isEmpty());
        QCOMPARE(ErrorLog::take(), QString());
    }

    void messagesFromSeveralThreadsAreAllKept()
    {
        constexpr int perThread = 200;
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads.append(QThread::create([t] {
                for (int i = 0; i < perThread; ++i)
                    ErrorLog::add(QStringLiteral("t%1-%2").arg(t).arg(i));
            }));
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            thread->wait();
            delete thread;
        }
        QCOMPARE(ErrorLog::text().split(ErrorLog::separator()).size(), 4 * perThread);
    }
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "tst_error_log.moc"
