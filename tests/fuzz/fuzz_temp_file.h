#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

// The readers that open paths get each input as a file in a folder of the process's own,
// on /dev/shm when it is there so that the fuzzer does not wear the disk.
namespace fuzz {

inline QTemporaryDir& folder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/cantova-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/cantova-fuzz-XXXXXX"));
    return dir;
}

/** Writes the bytes to name in the folder and returns its path (empty when it failed). */
inline QString writeInput(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = folder().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const qint64 n = qint64(size);
    if (file.write(reinterpret_cast<const char*>(data), n) != n)
        return QString();
    return path;
}

/** A Qt application for the readers that post events or start threads; made once. */
inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

} // namespace fuzz
