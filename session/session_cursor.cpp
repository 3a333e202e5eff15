#include "session_cursor.h"

#include "clip.h"
#include "session.h"
#include "track.h"

SessionCursor::SessionCursor(Session* session, uint32_t frame, int kind)
    : m_session(session), m_frame(frame), m_startFrame(frame), m_kind(kind)
{
    m_session->addCursor(this);
    rebuild();
}

SessionCursor::~SessionCursor()
{
    m_session->removeCursor(this);
}

bool SessionCursor::drives(const Track* track) const
{
    return m_kind != 0 && track->kind() == m_kind;
}

bool SessionCursor::loopSet() const
{
    return m_session->isLoopSet();
}

int SessionCursor::indexOf(const Track* track) const
{
    const auto& tracks = m_session->tracks();
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i] == track)
            return int(i);
    return -1;
}

Clip* SessionCursor::find(Track* track, Clip* from, uint32_t frame)
{
    Clip* clip = from ? from : track->firstClip();
    const bool rewinds = drives(track);
    while (clip && clip->end() < frame) {
        if (!clip->next())
            return clip; // no clip ends at or after frame: the last one stays current
        if (rewinds)
            clip->rewind(loopSet());
        clip = clip->next();
    }
    return clip;
}

// Finds the track's clip at the cursor's frame and seeks into it when the frame lies inside.
Clip* SessionCursor::findAndSeek(Track* track)
{
    const uint32_t here = frame();
    Clip* clip = find(track, nullptr, here);
    if (clip && drives(track) && here >= clip->start() && here < clip->end())
        clip->seek(here - clip->start());
    return clip;
}

void SessionCursor::rebuild()
{
    const auto& tracks = m_session->tracks();
    m_clips.clear();
    m_clips.reserve(2 * tracks.size());
    for (Track* track : tracks)
        m_clips.push_back(findAndSeek(track));
}

void SessionCursor::trackAdded(Track* track)
{
    (void)track;
    rebuild();
}

void SessionCursor::trackRemoved(Track* track)
{
    const int i = indexOf(track);
    if (i >= 0 && size_t(i) < m_clips.size())
        m_clips.erase(m_clips.begin() + i);
}

void SessionCursor::trackChanged(Track* track)
{
    const int i = indexOf(track);
    if (i >= 0 && size_t(i) < m_clips.size())
        m_clips[size_t(i)] = findAndSeek(track);
}

void SessionCursor::locate(uint32_t frame, bool seek)
{
    const uint32_t here = this->frame();
    if (frame == here)
        return;
    const auto& tracks = m_session->tracks();
    for (size_t i = 0; i < tracks.size() && i < m_clips.size(); ++i) {
        Track* track = tracks[i];
        Clip* previous = m_clips[i];
        Clip* found = find(track, frame > here ? previous : nullptr, frame);
        m_clips[i] = found;
        if (!seek || !drives(track) || !found)
            continue;
        if (previous && previous != found)
            previous->rewind(loopSet());
        // The found clip and every later clip that starts within it (overlaps) are placed.
        for (Clip* clip = found; clip && clip->start() <= found->end(); clip = clip->next()) {
            if (frame >= clip->start() && frame < clip->end())
                clip->seek(frame - clip->start());
            else
                clip->rewind(loopSet());
        }
    }
    m_frame.store(frame, std::memory_order_relaxed);
}

void SessionCursor::resetCount()
{
    m_frameCount.store(0, std::memory_order_relaxed);
    m_startFrame = frame();
}
