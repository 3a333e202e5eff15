#include "temp_folder.h"

#include <QDir>

QString tempFolder()
{
    const QString path = QDir::tempPath();
    return path.isEmpty() ? QStringLiteral("/tmp") : path;
}
