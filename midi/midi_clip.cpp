#include "midi_clip.h"

#include "midi_edit_command.h"

#include "error_log.h"
#include "midi_engine.h"
#include "midi_file.h"
#include "session.h"
#include "track.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <utility>

MidiClip::MidiClip(Session* session) : m_session(session)
{
    rewindCursors();
}

MidiClip::~MidiClip()
{
    // A recording that was never closed is dropped; whatever was on disk stays as it was.
    if (m_file)
        m_file->discard();
}

Session* MidiClip::timeSession() const
{
    Session* s = session();
    return s ? s : m_session;
}

// Ticks from the clip's start to frames after it, as the session's time scale counts them.
uint32_t MidiClip::ticksAfterStart(uint32_t frames) const
{
    Session* s = timeSession();
    if (!s)
        return 0;
    TimeScale& scale = s->scale();
    return scale.frameToTick(start() + frames) - scale.frameToTick(start());
}

void MidiClip::rewindCursors()
{
    for (MidiSequenceCursor& c : m_cursors)
        c.setSequence(&m_sequence);
}

void MidiClip::setLengthFromSequence(uint32_t startTick)
{
    Session* s = timeSession();
    if (s && m_sequence.length() > 0)
        setLength(s->scale().tickToFrame(startTick + m_sequence.length()) - start());
}

bool MidiClip::bindFile(std::unique_ptr<MidiFile> file, int selector)
{
    Session* s = timeSession();
    if (!file || !file->isOpen() || !s) {
        ErrorLog::add(QStringLiteral("MidiClip::bindFile: no open file or no session"));
        return false;
    }
    TimeScale& scale = s->scale();
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
    if (file->mode() == MidiFile::Write) {
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
    if (file->mode() == MidiFile::Write)
        m_file = std::move(file);
    m_released = false;
    rewindCursors();
    return true;
}

bool MidiClip::load()
{
    const QByteArray prepared = std::exchange(m_prepared, QByteArray());
    const QString preparedPath = std::exchange(m_preparedPath, QString());
    // Events that exist nowhere else are kept and only follow a change of resolution.
    if ((!m_released && !m_sequence.isEmpty()) || filePath().isEmpty())
        return convertKeptEvents();
    auto file = std::make_unique<MidiFile>();
    const bool opened = !prepared.isNull() && preparedPath == filePath()
                            ? file->openData(prepared, preparedPath)
                            : file->open(filePath(), MidiFile::Read);
    if (!opened)
        return false;
    return bindFile(std::move(file), m_trackNumber);
}

void MidiClip::prepareReopen()
{
    m_prepared.clear();
    m_preparedPath.clear();
    const bool released = m_released || (!m_file && !isModified() && !filePath().isEmpty() &&
                                         QFileInfo::exists(filePath()));
    if (!released)
        return;
    QByteArray bytes;
    QString error;
    if (!MidiFile::readWhole(filePath(), bytes, &error))
        return; // load() tries the file itself and reports what it finds
    m_prepared = bytes.isNull() ? QByteArray("") : bytes;
    m_preparedPath = filePath();
}

bool MidiClip::convertKeptEvents()
{
    Session* s = timeSession();
    const uint16_t resolution = s ? s->scale().ticksPerBeat() : m_sequence.resolution();
    const uint16_t old = m_sequence.resolution();
    if (resolution != old) {
        MidiSequence converted(QString(), 0, resolution);
        converted.replace(0, 0, m_sequence);
        m_sequence.clearEvents();
        m_sequence.setBegin(MidiSequence::convert(m_sequence.begin(), resolution, old));
        m_sequence.setLength(MidiSequence::convert(m_sequence.length(), resolution, old));
        m_sequence.setResolution(resolution);
        m_sequence.replace(0, 0, converted);
    }
    rewindCursors();
    return true;
}

void MidiClip::seek(uint32_t position)
{
    const uint32_t tick = ticksAfterStart(position);
    for (MidiSequenceCursor& c : m_cursors)
        c.seek(tick);
}

void MidiClip::rewind(bool loopSet)
{
    for (MidiSequenceCursor& c : m_cursors) {
        if (loopSet && m_hasWindow)
            c.seek(m_windowInTick);
        else
            c.rewind();
    }
}

void MidiClip::setLoopWindow(uint32_t in, uint32_t out)
{
    // Kept in ticks here, on the GUI thread, so rewinding never converts.
    m_hasWindow = in < out;
    m_windowInTick = m_hasWindow ? ticksAfterStart(in) : 0;
}

bool MidiClip::writeRecording(bool removeIfEmpty)
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

void MidiClip::close(bool removeIfEmpty)
{
    // The session's resolution may have changed already (a clip closes before it reloads), so
    // ticks are converted between the session's and the sequence's resolution.
    Session* s = timeSession();
    const uint16_t sessionTicks = s ? s->scale().ticksPerBeat() : m_sequence.resolution();
    const uint16_t ownTicks = m_sequence.resolution();
    if (length() > 0)
        m_sequence.setLength(
            MidiSequence::convert(ticksAfterStart(length()), ownTicks, sessionTicks));
    m_sequence.finish();
    if (length() == 0 && !m_sequence.isEmpty() && s) {
        const uint32_t startTick = s->scale().frameToTick(start());
        const uint32_t end = MidiSequence::convert(m_sequence.end(), sessionTicks, ownTicks);
        setLength(s->scale().tickToFrame(startTick + end) - start());
    }

    bool written = false;
    if (m_file)
        written = writeRecording(removeIfEmpty);
    // Release the events only where the file holds them: a recording just written, or a clip
    // without edits whose file is there to read them back.
    // Bytes read by prepareReopen() show the file is there without asking the disk again.
    const bool fileThere =
        (!m_prepared.isNull() && m_preparedPath == filePath()) || QFileInfo::exists(filePath());
    if (written || (!isModified() && fileThere)) {
        m_sequence.clearEvents();
        m_released = true;
    }
    rewindCursors();
}

void MidiClip::process(uint32_t first, uint32_t last)
{
    Track* owner = track();
    Session* s = owner ? owner->session() : nullptr;
    auto* engine = s ? dynamic_cast<MidiEngine*>(s->midiEngine()) : nullptr;
    if (!engine || first >= last)
        return;
    const uint32_t startTick = this->startTick();
    const uint32_t firstTick = engine->frameToTick(first);
    // Material past the clip's end (a clip made shorter) stays silent.
    const uint32_t lastTick = engine->frameToTick(std::min(last, end()));
    const bool audible = s->isAudible(owner);
    MidiSequenceCursor& events = m_cursors[0];
    events.seek(firstTick > startTick ? firstTick - startTick : 0);
    for (MidiEvent* event = events.event(); event && startTick + event->time < lastTick;
         events.advance(), event = events.event()) {
        const uint32_t tick = startTick + event->time;
        if (tick < firstTick || (event->status == MidiEvent::NoteOn && !audible))
            continue;
        const uint32_t frame = engine->tickToFrame(tick);
        engine->enqueue(this, *event, tick, gainAt(frame > start() ? frame - start() : 0));
    }
}

QString MidiClip::toolTip() const
{
    auto tr = [](const char* text) { return QCoreApplication::translate("MidiClip", text); };
    QString text = Clip::toolTip() + QLatin1Char(' ') + tr("(format %1)\nMIDI:\t").arg(m_format);
    text += m_format == 1 ? tr("Track %1").arg(m_trackNumber)
                          : tr("Channel %1").arg(m_sequence.channel() + 1);
    if (m_file && m_file->isOpen())
        text += tr(", %1 tracks, %2 tpqn").arg(m_file->trackCount()).arg(m_file->division());
    if (gain() > 1.0f)
        text += tr(" (%1% vol)").arg(double(gain()) * 100.0, 0, 'g', 3);
    return text;
}

std::unique_ptr<Command> MidiClip::makeStretchEdit(float factor) const
{
    // The edit changes the clip's events; the command that owns it holds the clip non-const.
    return MidiEditCommand::stretch(const_cast<MidiClip*>(this), factor);
}
