#pragma once

#include "clip.h"
#include "engine.h"

#include <QStringList>

/** A clip that records the calls the session's cursors make on it. */
class SpyClip : public Clip
{
public:
    SpyClip(uint32_t start, uint32_t length, const QString& name = QString())
    {
        setName(name);
        setStart(start);
        setLength(length);
    }
    void seek(uint32_t position) override { calls << QStringLiteral("seek %1").arg(position); }
    void rewind(bool) override { calls << QStringLiteral("rewind"); }
    void close(bool) override { calls << QStringLiteral("close"); }
    bool open() override
    {
        calls << QStringLiteral("open");
        return true;
    }
    QStringList take()
    {
        QStringList c = calls;
        calls.clear();
        return c;
    }

    QStringList calls;
};

/** An engine that records what the session passes on to it. */
class SpyEngine : public Engine
{
public:
    using Engine::Engine;
    void trackAudibilityChanged(Track* track, bool audible) override
    {
        changes.append({track, audible});
    }
    QList<QPair<Track*, bool>> changes;
};
