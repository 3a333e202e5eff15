#include "session_cursor.h"

#include "clip.h"
#include "session.h"
#include "track.h"

vx20Cursor::vx20Cursor(vx20* session, uint32_t frame, int kind)
    : m_session(session), m_frame(frame), m_startFrame(frame), m_kind(kind)
{
    m_session->addCursor(this);
    rebuild();
}

vx20Cursor::~vx20Cursor()
{
    m_session->removeCursor(this);
}

bool vx20Cursor::drives(const vx18* track) const
{
    return m_kind != 0 && track->kind() == m_kind;
}

bool vx20Cursor::loopSet() const
{
    return m_session->isLoopSet();
}

int vx20Cursor::indexOf(const vx18* track) const
{
    const auto& tracks = m_session->tracks();
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i] == track)
            return int(i);
    return -1;
}

vx21* vx20Cursor::find(vx18* track, vx21* from, uint32_t frame)
{
    vx21* clip = from ? from : track->firstClip();
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
vx21* vx20Cursor::findAndSeek(vx18* track)
{
    const uint32_t here = frame();
    vx21* clip = find(track, nullptr, here);
    if (clip && drives(track) && here >= clip->start() && here < clip->end())
        clip->seek(here - clip->start());
    return clip;
}

void vx20Cursor::rebuild()
{
    const auto& tracks = m_session->tracks();
    m_clips.clear();
    m_clips.reserve(2 * tracks.size());
    for (vx18* track : tracks)
        m_clips.push_back(findAndSeek(track));
}

void vx20Cursor::trackAdded(vx18* track)
{
    (void)track;
    rebuild();
}

void vx20Cursor::trackRemoved(vx18* track)
{
    const int i = indexOf(track);
    if (i >= 0 && size_t(i) < m_clips.size())
        m_clips.erase(m_clips.begin() + i);
}

void vx20Cursor::trackChanged(vx18* track)
{
    const int i = indexOf(track);
    if (i >= 0 && size_t(i) < m_clips.size())
        m_clips[size_t(i)] = findAndSeek(track);
}

void vx20Cursor::locate(uint32_t frame, bool seek)
{
    const uint32_t here = this->frame();
    if (frame == here)
        return;
    const auto& tracks = m_session->tracks();
    for (size_t i = 0; i < tracks.size() && i < m_clips.size(); ++i) {
        vx18* track = tracks[i];
        vx21* previous = m_clips[i];
        vx21* found = find(track, frame > here ? previous : nullptr, frame);
        m_clips[i] = found;
        if (!seek || !drives(track) || !found)
            continue;
        if (previous && previous != found)
            previous->rewind(loopSet());
        // The found clip and every later clip that starts within it (overlaps) are placed.
        for (vx21* clip = found; clip && clip->start() <= found->end(); clip = clip->next()) {
            if (frame >= clip->start() && frame < clip->end())
                clip->seek(frame - clip->start());
            else
                clip->rewind(loopSet());
        }
    }
    m_frame.store(frame, std::memory_order_relaxed);
}

void vx20Cursor::resetCount()
{
    m_frameCount.store(0, std::memory_order_relaxed);
    m_startFrame = frame();
}
