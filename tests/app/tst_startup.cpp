#include "command_line.h"

#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

    static std::optional<int> run(const QStringList& args, QString* out, QString* err)
    {
        QTextStream o(out), e(err);
        auto code = CommandLine::run(QStringList{QStringLiteral("cantova")} + args, o, e);
        o.flush();
        e.flush();
        return code;
    }

private Q_SLOTS:
    void versionIsPrintedWithoutAWindow()
    {
        QString out, err;
        QCOMPARE(run({QStringLiteral("--version")}, &out, &err), std::optional<int>(0));
        QCOMPARE(out, QStringLiteral("Cantova %1\n").arg(QStringLiteral(CANTOVA_VERSION)));
    }

    void unknownOptionFailsWithUsage()
    {
        QString out, err;
        QCOMPARE(run({QStringLiteral("--bogus")}, &out, &err), std::optional<int>(2));
        QVERIFY(err.contains(QStringLiteral("--bogus")));
        QVERIFY(err.contains(QStringLiteral("Usage:")));
    }

    void noArgumentsOrAFileOpenTheWindow()
    {
        QString out, err;
        QVERIFY(!run({}, &out, &err).has_value());
        QVERIFY(!run({QStringLiteral("song.mid")}, &out, &err).has_value());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
