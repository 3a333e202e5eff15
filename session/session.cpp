#include "session.h"

#include "clip.h"
#include "engine.h"
#include "session_cursor.h"
#include "temp_folder.h"
#include "track.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

Session::EngineFactory& engineFactory()
{
    static Session::EngineFactory factory;
    return factory;
}

} // namespace

Session* Session::instance()
{
    // A function-local static is destroyed at exit, after main() returns.
    static Session session(engineFactory());
    return &session;
}

void Session::setEngineFactory(EngineFactory factory)
{
    engineFactory() = std::move(factory);
}

Session::Session(const EngineFactory& factory)
{
    m_scale.reset();
    createEngines(factory);
    clear();
}

Session::~Session()
{
    if (m_audioEngine->isPlaying())
        m_audioEngine->stop();
    if (m_midiEngine->isPlaying())
        m_midiEngine->stop();
    // The audio callback reads the session and wakes the MIDI engine: its stream ends first,
    // whether or not the window cleaned the engines before.
    m_audioEngine->deactivate();
    clear();
    // The engines go before the cursor list they unregister from; the MIDI engine ends its
    // output thread while the audio engine it reads the play head from still exists.
    m_midiEngine.reset();
    m_audioEngine.reset();
}

void Session::createEngines(const EngineFactory& factory)
{
    m_midiEngine = factory ? factory(this, Engine::MidiKind) : nullptr;
    m_audioEngine = factory ? factory(this, Engine::AudioKind) : nullptr;
    if (!m_midiEngine)
        m_midiEngine = std::make_unique<Engine>(this, Engine::MidiKind);
    if (!m_audioEngine)
        m_audioEngine = std::make_unique<Engine>(this, Engine::AudioKind);
}

void Session::setEngines(std::unique_ptr<Engine> audio, std::unique_ptr<Engine> midi)
{
    for (Engine* old : {m_audioEngine.get(), m_midiEngine.get()}) {
        if (old->isPlaying())
            old->stop();
        old->clean();
    }
    for (Track* track : m_tracks)
        track->detach();
    m_audioEngine = std::move(audio);
    m_midiEngine = std::move(midi);
}

void Session::clear()
{
    // The audio callback walks the buses on every cycle, playing or not.
    lockEdit();
    if (m_song)
        m_song->reset();
    m_currentTrack = nullptr;
    destroyTracks();
    m_cursors.clear();
    m_sessionDir = QDir::currentPath();
    m_songName.clear();
    m_comment.clear();
    m_scale.reset();
    m_freeTrackNumbers.clear();
    m_audioEngine->clearBuses();
    m_midiEngine->clearBuses();
    m_commands.clear();
    m_endFrame = 0;
    m_recordCount = m_muteCount = m_soloCount = 0;
    m_audioTrackCount = m_midiTrackCount = m_lastTrackNumber = 0;
    m_markerIn = m_markerOut = Marker();
    m_loop = m_punch = Range();
    m_recording = false;
    afterTempoChange();
    for (Engine* engine : {m_audioEngine.get(), m_midiEngine.get()}) {
        SessionCursor* cursor = engine->cursor();
        cursor->rebuild();
        cursor->locate(0, false);
        cursor->resetCount();
        m_cursors.push_back(cursor);
    }
    unlockEdit();
}

void Session::destroyTracks()
{
    while (!m_tracks.empty()) {
        Track* track = m_tracks.back();
        m_tracks.pop_back();
        track->detach();
        delete track;
    }
}

Session::Properties Session::properties() const
{
    auto scale = std::make_shared<TimeScale>();
    scale->copyFrom(m_scale);
    return {m_sessionDir, m_songName, m_comment, std::move(scale)};
}

void Session::setProperties(const Properties& props)
{
    m_sessionDir = props.sessionDir;
    m_songName = props.songName;
    m_comment = props.comment;
    if (!props.scale)
        return;
    const bool newResolution = props.scale->ticksPerBeat() != m_scale.ticksPerBeat();
    m_scale.copyFrom(*props.scale);
    newResolution ? afterMeterChange() : afterTempoChange();
}

void Session::setSessionDir(const QString& dir)
{
    m_sessionDir = QDir(dir).absolutePath();
}

void Session::updateEnd(uint32_t frame)
{
    if (frame != 0) {
        m_endFrame = std::max(m_endFrame, frame);
        return;
    }
    m_endFrame = 0;
    for (Track* track : m_tracks)
        for (Clip* clip = track->firstClip(); clip; clip = clip->next())
            m_endFrame = std::max(m_endFrame, clip->end());
}

// ---------------------------------------------------------------------------------------------
// Tracks

int Session::indexOf(const Track* track) const
{
    const auto it = std::find(m_tracks.begin(), m_tracks.end(), track);
    return it == m_tracks.end() ? -1 : int(it - m_tracks.begin());
}

void Session::addTrack(Track* track, Track* after)
{
    if (track->isMidi() && track->trackNumber() == 0) {
        uint16_t number;
        if (!m_freeTrackNumbers.empty()) {
            number = m_freeTrackNumbers.front();
            m_freeTrackNumbers.erase(m_freeTrackNumbers.begin());
        } else {
            number = ++m_lastTrackNumber;
        }
        track->setTrackNumber(number % 255);
    }
    const int at = after ? indexOf(after) : -1;
    m_tracks.insert(at < 0 ? m_tracks.end() : m_tracks.begin() + at + 1, track);
    for (SessionCursor* cursor : m_cursors)
        cursor->trackAdded(track);
    updateLoopWindows(track);
    track->attach();
    // The counters follow the flags the track brings, as removeTrack() takes them away, so a
    // removed track that comes back (undo) or a track added armed keeps them right.
    m_recordCount += track->isRecordArmed() ? 1 : 0;
    m_muteCount += track->isMuted() ? 1 : 0;
    m_soloCount += track->isSoloed() ? 1 : 0;
    if (m_recording && track->isRecordArmed())
        armTrack(track, true);
}

void Session::removeTrack(Track* track)
{
    const int at = indexOf(track);
    if (at < 0)
        return;
    track->detach();
    armTrack(track, false); // drops the recording clip
    for (SessionCursor* cursor : m_cursors)
        cursor->trackRemoved(track);
    m_recordCount -= track->isRecordArmed() ? 1 : 0;
    m_muteCount -= track->isMuted() ? 1 : 0;
    m_soloCount -= track->isSoloed() ? 1 : 0;
    if (track->isMidi() && track->trackNumber() != 0) {
        m_freeTrackNumbers.push_back(track->trackNumber());
        track->setTrackNumber(0);
    }
    m_tracks.erase(m_tracks.begin() + at);
    if (m_currentTrack == track)
        m_currentTrack = nullptr;
}

void Session::moveTrack(Track* track, Track* before)
{
    const int from = indexOf(track);
    if (from < 0 || track == before)
        return;
    m_tracks.erase(m_tracks.begin() + from);
    const int at = before ? indexOf(before) : -1;
    m_tracks.insert(at < 0 ? m_tracks.end() : m_tracks.begin() + at, track);
    for (SessionCursor* cursor : m_cursors)
        cursor->rebuild();
}

void Session::trackChanged(Track* track)
{
    updateLoopWindows(track);
    for (SessionCursor* cursor : m_cursors)
        cursor->trackChanged(track);
}

void Session::setNewTrackColours(Track* track) const
{
    track->setColoursForNumber(trackCount() + 1);
}

// ---------------------------------------------------------------------------------------------
// Mute, solo and record

bool Session::isAudible(const Track* track) const
{
    return !track->isMuted() && (m_soloCount == 0 || track->isSoloed());
}

void Session::passOnAudibility(Track* track, bool audible)
{
    Engine* engine = track->engine();
    if (!engine)
        return;
    engine->trackAudibilityChanged(track, audible);
    // An audio track coming back finds its clip again at the play position to resume in step.
    if (track->isAudio() && audible)
        engine->cursor()->trackChanged(track);
}

void Session::mute(Track* track, bool on)
{
    if (track->isMuted() == on)
        return;
    track->setFlag(&Track::Properties::mute, on);
    on ? ++m_muteCount : --m_muteCount;
    if (isPlaying())
        passOnAudibility(track, isAudible(track));
}

void Session::solo(Track* track, bool on)
{
    if (track->isSoloed() == on)
        return;
    std::vector<bool> before;
    for (Track* t : m_tracks)
        before.push_back(isAudible(t));
    track->setFlag(&Track::Properties::solo, on);
    on ? ++m_soloCount : --m_soloCount;
    if (!isPlaying())
        return;
    for (size_t i = 0; i < m_tracks.size(); ++i)
        if (isAudible(m_tracks[i]) != before[i])
            passOnAudibility(m_tracks[i], !before[i]);
}

void Session::record(Track* track, bool on)
{
    if (track->isRecordArmed() == on)
        return;
    track->setFlag(&Track::Properties::record, on);
    on ? ++m_recordCount : --m_recordCount;
    if (m_recording)
        armTrack(track, on);
    if (m_recording && m_recordCount == 0)
        m_recording = false;
}

std::unique_ptr<Clip> Session::takeRecordingClip(Track* track)
{
    std::unique_ptr<Clip> clip = track->takeRecordingClip();
    if (clip)
        --(track->isAudio() ? m_audioTrackCount : m_midiTrackCount);
    return clip;
}

uint32_t Session::recordingStart() const
{
    const uint32_t position = playHead();
    return isPunchSet() && position < m_punch.in ? m_punch.in : position;
}

void Session::armTrack(Track* track, bool on)
{
    uint16_t& count = track->isAudio() ? m_audioTrackCount : m_midiTrackCount;
    if (!on) {
        if (track->recordingClip()) {
            track->setRecordingClip(nullptr);
            --count;
        }
        return;
    }
    if (track->recordingClip() || !track->engine())
        return;
    Clip* clip = track->engine()->createRecordingClip(track, recordingStart());
    if (!clip)
        return;
    clip->setModified(true);
    track->setRecordingClip(std::unique_ptr<Clip>(clip));
    ++count;
}

void Session::startRecording(bool on)
{
    // Record may be pressed while playing: the process cycle must not see a half-made take.
    lockEdit();
    m_recording = on;
    for (Track* track : m_tracks)
        if (track->isRecordArmed())
            armTrack(track, on);
    unlockEdit();
}

// ---------------------------------------------------------------------------------------------
// Ranges

void Session::updateLoopWindows(Track* track)
{
    for (Clip* clip = track->firstClip(); clip; clip = clip->next())
        clip->updateLoopWindow(m_loop.in, m_loop.out);
}

void Session::updateLoopWindows()
{
    for (Track* track : m_tracks)
        updateLoopWindows(track);
}

void Session::setLoop(uint32_t in, uint32_t out)
{
    if (isPlaying() && m_recording)
        return;
    lockEdit();
    const bool wasRunning = isPlaying();
    m_audioEngine->suspend();
    m_midiEngine->suspend();
    if (in >= out)
        in = out = 0;
    m_loop = {in, out, m_scale.frameToTick(in), m_scale.frameToTick(out)};
    updateLoopWindows();
    // Re-prime the engines' cursors at their positions so clips pick up their new windows.
    m_audioEngine->cursor()->rebuild();
    m_midiEngine->cursor()->rebuild();
    if (wasRunning) {
        m_audioEngine->resume();
        m_midiEngine->resume();
    }
    unlockEdit();
}

void Session::setPunch(uint32_t in, uint32_t out)
{
    if (in >= out)
        in = out = 0;
    m_punch = {in, out, m_scale.frameToTick(in), m_scale.frameToTick(out)};
}

void Session::setMarkerIn(uint32_t frame)
{
    m_markerIn = {frame, m_scale.frameToTick(frame)};
}

void Session::setMarkerOut(uint32_t frame)
{
    m_markerOut = {frame, m_scale.frameToTick(frame)};
}

// ---------------------------------------------------------------------------------------------
// Tempo, meter and resolution

float Session::tempo() const
{
    const TempoNode* first = m_scale.firstNode();
    if (!first)
        return 120.0f;
    // The node counts beats of its tempo unit; a quarter is unit 2.
    return float(first->tempo * std::ldexp(1.0, 2 - int(first->tempoUnit)));
}

void Session::setTempo(float bpm)
{
    if (TempoNode* first = m_scale.firstNode())
        first->tempo = float(bpm * std::ldexp(1.0, int(first->tempoUnit) - 2));
}

void Session::setMeter(uint16_t tempoUnit, uint16_t beatsPerBar, uint16_t beatUnit)
{
    if (TempoNode* first = m_scale.firstNode()) {
        first->tempoUnit = tempoUnit;
        first->beatsPerBar = beatsPerBar;
        first->beatUnit = beatUnit;
    }
}

void Session::setTicksPerBeat(uint16_t ticks)
{
    m_scale.setTicksPerBeat(ticks);
}

void Session::setSampleRate(uint32_t rate)
{
    m_scale.setSampleRate(rate);
}

void Session::afterTempoChange()
{
    m_scale.recompute();
    for (Track* track : m_tracks)
        if (track->isMidi())
            for (Clip* clip = track->firstClip(); clip; clip = clip->next())
                clip->updateFramesFromTicks();
    if (isLoopSet()) {
        m_loop.in = m_scale.tickToFrame(m_loop.inTick);
        m_loop.out = m_scale.tickToFrame(m_loop.outTick);
        updateLoopWindows();
    }
    if (isPunchSet()) {
        m_punch.in = m_scale.tickToFrame(m_punch.inTick);
        m_punch.out = m_scale.tickToFrame(m_punch.outTick);
    }
    m_markerIn.frame = m_scale.tickToFrame(m_markerIn.tick);
    m_markerOut.frame = m_scale.tickToFrame(m_markerOut.tick);
    // MIDI clips moved in frames, so the song's end may have moved with them.
    updateEnd(0);
}

void Session::prepareMeterChange()
{
    for (Track* track : m_tracks)
        for (Clip* clip = track->firstClip(); clip; clip = clip->next())
            clip->prepareReopen();
}

void Session::afterMeterChange()
{
    m_scale.recompute();
    for (Track* track : m_tracks) {
        for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
            // A MIDI clip's events are in ticks of the old resolution: it reloads its file.
            if (track->isMidi())
                clip->close(false);
            clip->updateTicksFromFrames();
            if (track->isMidi())
                clip->open();
        }
    }
    for (Range* range : {&m_loop, &m_punch}) {
        range->inTick = m_scale.frameToTick(range->in);
        range->outTick = m_scale.frameToTick(range->out);
    }
    for (Marker* marker : {&m_markerIn, &m_markerOut})
        marker->tick = m_scale.frameToTick(marker->frame);
}

// ---------------------------------------------------------------------------------------------
// File names

QString Session::sanitizeName(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[\\s|\\.|\\-]+"));
    return text.simplified().replace(separators, QStringLiteral("_"));
}

QString Session::uniqueFileName(const QString& trackName, int number,
                                const QString& extension) const
{
    QString base = sanitizeName(m_songName);
    if (!base.isEmpty())
        base += QLatin1Char('-');
    base += sanitizeName(trackName) + QStringLiteral("-%1.") + extension;
    const QDir dir(m_sessionDir);
    // Bounded so a folder full of names can never loop forever.
    for (int n = std::max(number, 1); n < std::numeric_limits<int>::max(); ++n) {
        const QString path = dir.absoluteFilePath(base.arg(n));
        if (!QFileInfo::exists(path))
            return path;
    }
    return dir.absoluteFilePath(base.arg(std::max(number, 1)));
}

QString Session::audioRecordingPath(const QString& extension)
{
    return QDir(tempFolder()).absoluteFilePath(QStringLiteral("orvantmp.") + extension);
}
