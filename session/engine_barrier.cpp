#include "engine_barrier.h"

#include "session.h"

#include <QThread>

void waitForEngineCycleEnd(Session& session)
{
    if (session.editDepth() > 0)
        return;
    // Taking the engine lock proves no cycle holds it; a cycle is well under a millisecond.
    while (!session.tryLockEngine())
        QThread::usleep(200);
    session.releaseEngine();
}
