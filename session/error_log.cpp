#include "error_log.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

struct LogState
{
    QMutex mutex;
    QString text;
};

LogState& state()
{
    static LogState log;
    return log;
}

} // namespace

void ErrorLog::add(const QString& message)
{
    if (message.isEmpty())
        return;
    LogState& log = state();
    QMutexLocker lock(&log.mutex);
    if (log.text.isEmpty())
        log.text = message;
    else
        log.text = message + separator() + log.text;
}

QString ErrorLog::text()
{
    LogState& log = state();
    QMutexLocker lock(&log.mutex);
    return log.text;
}

bool ErrorLog::isEmpty()
{
    LogState& log = state();
    QMutexLocker lock(&log.mutex);
    return log.text.isEmpty();
}

QString ErrorLog::take()
{
    LogState& log = state();
    QMutexLocker lock(&log.mutex);
    QString text;
    text.swap(log.text);
    return text;
}

void ErrorLog::clear()
{
    take();
}

const QString& ErrorLog::separator()
{
    static const QString sep = QStringLiteral("\nError > ");
    return sep;
}
