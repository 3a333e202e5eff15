#include "song_host.h"

#include "error_log.h"

void SongHost::warning(const QString& text)
{
    ErrorLog::add(text);
}
