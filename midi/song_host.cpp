#include "song_host.h"

#include "error_log.h"

void vx22SongHost::warning(const QString& text)
{
    ErrorLog::add(text);
}
