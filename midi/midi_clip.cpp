#include "midi_clip.h"

#include "edit_command.h"

#include "error_log.h"
#include "midi_engine.h"
#include "midi_file.h"
#include "session.h"
#include "track.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>

vx22Clip::vx22Clip(vx20* session) : m_session(session)
{
    rewindCursors();
}

vx22Clip::~vx22Clip()
{
    // A recording that was never closed is dropped; whatever was on disk stays as it was.
    if (m_file)
        m_file->discard();
}

vx20* vx22Clip::timeSession() const
{
    vx20* s = session();
    return s ? s : m_session;
}

// Ticks from the clip's start to frames after it, as the session's time scale counts them.
uint32_t vx22Clip::ticksAfterStart(uint32_t frames) const
{
    vx20* s = timeSession();
    if (!s)
        return 0;
    vx29& scale = s->scale();
    return scale.frameToTick(start() + frames) - scale.frameToTick(start());
}

void vx22Clip::rewindCursors()
{
    for (vx22SequenceCursor& c : m_cursors)
        c.setSequence(&m_sequence);
}

void vx22Clip::setLengthFromSequence(uint32_t startTick)
{
    vx20* s = timeSession();
    if (s && m_sequence.length() > 0)
        setLength(s->scale().tickToFrame(startTick + m_sequence.length()) - start());
}

bool vx22Clip::bindFile(std::unique_ptr<vx22File> file, int selector)
{
    vx20* s = timeSession();
    if (!file || !file->isOpen() || !s) {
        ErrorLog::add(QStringLiteral("vx22Clip::bindFile: no open file or no session"));
        return false;
    }
    vx29& scale = s->scale();
    m_sequence.clear();
    m_sequence.setResolution(scale.ticksPerBeat());
    const uint32_t startTick = scale.frameToTick(start());
    const uint32_t begin = offset() < start() ? startTick - scale.frameToTick(start() - offset())
                                              : scale.frameToTick(offset());
    m_sequence.setBegin(begin);
    m_sequence.setLength(scale.frameToTick(start() + length()) - startTick);
    const uint16_t channel = track() ? track()->properties().channel : m_sequence.channel();
    const QString baseName = QFileInfo(file->path()).completeBaseName();

    uint16_t number = uint16_t(selector);
    if (file->mode() == vx22File::Write) {
        const bool format1 = selector != 0;
        if (!file->writeHeader(format1 ? 1 : 0, format1 ? 2 : 1, m_sequence.resolution()))
            return false;
        number = format1 ? 1 : channel;
        m_format = format1 ? 1 : 0;
        file->tempoMap()->fromScale(scale, begin);
        m_sequence.setName(baseName);
        m_sequence.setChannel(channel);
    } else {
        m_format = file->format();
        if (!file->readTrack(m_sequence, selector))
            return false;
    }
    setFilePath(file->path());
    m_trackNumber = number;
    setModified(false);
    if (name().isEmpty())
        setName(m_sequence.name().isEmpty() ? baseName : m_sequence.name());
    // Event times are relative to begin, so the material's length is counted from the start.
    if (length() == 0)
        setLengthFromSequence(startTick);
    if (file->mode() == vx22File::Write)
        m_file = std::move(file);
    m_released = false;
    rewindCursors();
    return true;
}

bool vx22Clip::load()
{
    // Events that exist nowhere else are kept and only follow a change of resolution.
    if ((!m_released && !m_sequence.isEmpty()) || filePath().isEmpty())
        return convertKeptEvents();
    auto file = std::make_unique<vx22File>();
    if (!file->open(filePath(), vx22File::Read))
        return false;
    return bindFile(std::move(file), m_trackNumber);
}

bool vx22Clip::convertKeptEvents()
{
    vx20* s = timeSession();
    const uint16_t resolution = s ? s->scale().ticksPerBeat() : m_sequence.resolution();
    const uint16_t old = m_sequence.resolution();
    if (resolution != old) {
        vx22Sequence converted(QString(), 0, resolution);
        converted.replace(0, 0, m_sequence);
        m_sequence.clearEvents();
        m_sequence.setBegin(vx22Sequence::convert(m_sequence.begin(), resolution, old));
        m_sequence.setLength(vx22Sequence::convert(m_sequence.length(), resolution, old));
        m_sequence.setResolution(resolution);
        m_sequence.replace(0, 0, converted);
    }
    rewindCursors();
    return true;
}

void vx22Clip::seek(uint32_t position)
{
    const uint32_t tick = ticksAfterStart(position);
    for (vx22SequenceCursor& c : m_cursors)
        c.seek(tick);
}

void vx22Clip::rewind(bool loopSet)
{
    for (vx22SequenceCursor& c : m_cursors) {
        if (loopSet && m_hasWindow)
            c.seek(m_windowInTick);
        else
            c.rewind();
    }
}

void vx22Clip::setLoopWindow(uint32_t in, uint32_t out)
{
    // Kept in ticks here, on the GUI thread, so rewinding never converts.
    m_hasWindow = in < out;
    m_windowInTick = m_hasWindow ? ticksAfterStart(in) : 0;
}

bool vx22Clip::writeRecording(bool removeIfEmpty)
{
    if (length() == 0) {
        if (removeIfEmpty)
            m_file->discard(); // nothing was written: no file is left behind
        else
            m_file->close();
        m_file.reset();
        return false;
    }
    bool ok = true;
    if (m_format == 1)
        ok = m_file->writeTrack(nullptr);
    ok = ok && m_file->writeTrack(&m_sequence);
    ok = ok ? m_file->close() : (m_file->discard(), false);
    m_file.reset();
    return ok;
}

void vx22Clip::close(bool removeIfEmpty)
{
    // The session's resolution may have changed already (a clip closes before it reloads), so
    // ticks are converted between the session's and the sequence's resolution.
    vx20* s = timeSession();
    const uint16_t sessionTicks = s ? s->scale().ticksPerBeat() : m_sequence.resolution();
    const uint16_t ownTicks = m_sequence.resolution();
    if (length() > 0)
        m_sequence.setLength(
            vx22Sequence::convert(ticksAfterStart(length()), ownTicks, sessionTicks));
    m_sequence.finish();
    if (length() == 0 && !m_sequence.isEmpty() && s) {
        const uint32_t startTick = s->scale().frameToTick(start());
        const uint32_t end = vx22Sequence::convert(m_sequence.end(), sessionTicks, ownTicks);
        setLength(s->scale().tickToFrame(startTick + end) - start());
    }

    bool written = false;
    if (m_file)
        written = writeRecording(removeIfEmpty);
    // Release the events only where the file holds them: a recording just written, or a clip
    // without edits whose file is there to read them back.
    if (written || (!isModified() && QFileInfo::exists(filePath()))) {
        m_sequence.clearEvents();
        m_released = true;
    }
    rewindCursors();
}

void vx22Clip::process(uint32_t first, uint32_t last)
{
    vx18* owner = track();
    vx20* s = owner ? owner->session() : nullptr;
    auto* engine = s ? dynamic_cast<vx22vx51*>(s->midiEngine()) : nullptr;
    if (!engine || first >= last)
        return;
    const uint32_t startTick = this->startTick();
    const uint32_t firstTick = engine->frameToTick(first);
    // Material past the clip's end (a clip made shorter) stays silent.
    const uint32_t lastTick = engine->frameToTick(std::min(last, end()));
    const bool audible = s->isAudible(owner);
    vx22SequenceCursor& events = m_cursors[0];
    events.seek(firstTick > startTick ? firstTick - startTick : 0);
    for (vx22Event* event = events.event(); event && startTick + event->time < lastTick;
         events.advance(), event = events.event()) {
        const uint32_t tick = startTick + event->time;
        if (tick < firstTick || (event->status == vx22Event::NoteOn && !audible))
            continue;
        const uint32_t frame = engine->tickToFrame(tick);
        engine->enqueue(this, *event, tick, gainAt(frame > start() ? frame - start() : 0));
    }
}

QString vx22Clip::toolTip() const
{
    auto tr = [](const char* text) { return QCoreApplication::translate("vx22Clip", text); };
    QString text = vx21::toolTip() + QLatin1Char(' ') + tr("(format %1)\nMIDI:\t").arg(m_format);
    text += m_format == 1 ? tr("Track %1").arg(m_trackNumber)
                          : tr("Channel %1").arg(m_sequence.channel() + 1);
    if (m_file && m_file->isOpen())
        text += tr(", %1 tracks, %2 tpqn").arg(m_file->trackCount()).arg(m_file->division());
    if (gain() > 1.0f)
        text += tr(" (%1% vol)").arg(double(gain()) * 100.0, 0, 'g', 3);
    return text;
}

std::unique_ptr<vx30> vx22Clip::makeStretchEdit(float factor) const
{
    // The edit changes the clip's events; the command that owns it holds the clip non-const.
    return vx22EditCommand::stretch(const_cast<vx22Clip*>(this), factor);
}
