// Where the program finds its styles, samples and help pages: beside itself in a build folder,
// in <prefix>/share/cantova when installed (also after the prefix moved), and the configured
// prefix as the last resort.
#include "data_paths.h"
#include "settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestDataPaths : public QObject
{
    Q_OBJECT

private slots:
    void buildFolderAndInstalledPrefix()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString build = root.filePath(QStringLiteral("build/app"));
        const QString bin = root.filePath(QStringLiteral("prefix/bin"));
        const QString share = root.filePath(QStringLiteral("prefix/share/cantova"));
        for (const QString& dir : {build + "/Styles", bin, share + "/Styles"})
            QVERIFY(QDir().mkpath(dir));
        const QString configured = QStringLiteral("/configured/share/cantova");

        // A build folder holds its styles beside the program.
        QCOMPARE(DataPaths::resolve(build, configured), build);
        // An installed program looks next to its own prefix first: a moved prefix still works.
        QCOMPARE(DataPaths::resolve(bin, configured), share);
        // A program alone in a folder falls back on the prefix it was built for.
        QCOMPARE(DataPaths::resolve(root.filePath(QStringLiteral("elsewhere")), configured),
                 configured);
        // A trailing slash or a dot in the program's folder changes nothing.
        QCOMPARE(DataPaths::resolve(bin + QStringLiteral("/./"), configured), share);
    }

    void runningProgramAndOverride()
    {
        // The test executable sits in the build tree without "Styles" beside it and without a
        // share/cantova above it, so it resolves to the configured prefix.
        QCOMPARE(DataPaths::programDir(), QCoreApplication::applicationDirPath());
        QCOMPARE(DataPaths::dataDir(),
                 DataPaths::resolve(DataPaths::programDir(), DataPaths::installDir()));
        QVERIFY(DataPaths::installDir().endsWith(QStringLiteral("/share/cantova")));

        // The settings' program folder is the data folder, and tests can move it.
        DataPaths::setOverride(QStringLiteral("/tmp/somewhere"));
        QCOMPARE(Settings::programDir(), QStringLiteral("/tmp/somewhere"));
        QCOMPARE(DataPaths::path(QStringLiteral("Styles")), QStringLiteral("/tmp/somewhere/Styles"));
        Settings::setProgramDir(QString());
        QCOMPARE(DataPaths::dataDir(),
                 DataPaths::resolve(DataPaths::programDir(), DataPaths::installDir()));
    }
};

QTEST_GUILESS_MAIN(TestDataPaths)
#include "tst_data_paths.moc"
