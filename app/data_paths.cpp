#include "data_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef CANTOVA_INSTALL_DATADIR
#define CANTOVA_INSTALL_DATADIR "/usr/local/share/cantova"
#endif

namespace {
QString& overrideDir()
{
    static QString dir;
    return dir;
}
} // namespace

QString DataPaths::dataDir()
{
    if (!overrideDir().isEmpty())
        return overrideDir();
    return resolve(programDir(), installDir());
}

QString DataPaths::path(const QString& name)
{
    return dataDir() + QLatin1Char('/') + name;
}

QString DataPaths::programDir()
{
    // The command-line commands run before the application object exists.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString DataPaths::resolve(const QString& programDir, const QString& installDir)
{
    if (QFileInfo(programDir + QStringLiteral("/Styles")).isDir())
        return programDir;
    const QString relative = QDir::cleanPath(programDir + QStringLiteral("/../share/cantova"));
    if (QFileInfo(relative).isDir())
        return relative;
    return installDir;
}

QString DataPaths::installDir()
{
    return QStringLiteral(CANTOVA_INSTALL_DATADIR);
}

void DataPaths::setOverride(const QString& dir)
{
    overrideDir() = dir;
}
