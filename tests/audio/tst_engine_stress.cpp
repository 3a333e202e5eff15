// Both engines on the device path (PortAudio through an ALSA file device, faster than real
// time; the MIDI engine's output thread and the sequencer's delivery thread on the system
// clock) while the test thread edits the song the way the window does, from a fixed seed:
// MIDI tracks, and audio tracks whose file-backed clips are opened, stretched, taken off, sought
// and looped while their buffer threads read ahead.
// Run under AddressSanitizer in the normal build and under ThreadSanitizer in the CI's
// thread-checking build; either reports any access to freed or unlocked session state.
#include "audio_bus.h"
#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_file.h"
#include "audio_format_registry.h"
#include "bus_command.h"
#include "clip_command.h"
#include "command_list.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"
#include "session_command.h"
#include "track.h"
#include "track_command.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>
#include <random>

namespace {

constexpr int kSeed = 19;
constexpr qint64 kRunMs = 20000;

/** What the song must hold: the tracks in order, the tempo and meter, whether a loop is set. */
struct SongModel
{
    std::vector<QString> tracks;
    float tempo = 120.0f;
    uint16_t beatsPerBar = 4;
    bool loopSet = false;
};

/** The undo history as the test expects it: one model per position of the command list. */
class ModelHistory
{
public:
    const SongModel& now() const { return m_states[size_t(m_current)]; }
    void pushed(const SongModel& model)
    {
        m_states.resize(size_t(m_current) + 1);
        m_states.push_back(model);
        ++m_current;
    }
    /** After an undo or redo: the list's current command decides, whatever apply returned. */
    void follow(const CommandList& list) { m_current = list.currentIndex() + 1; }
    void reset(const SongModel& model)
    {
        m_states = {model};
        m_current = 0;
    }

private:
    std::vector<SongModel> m_states{SongModel()};
    int m_current = 0;
};

class StressRun
{
public:
    StressRun()
        : m_session([this](Session* s, int kind) -> std::unique_ptr<Engine> {
              if (kind == Engine::AudioKind)
                  return std::make_unique<AudioEngine>(s);
              return std::make_unique<MidiEngine>(s, &m_layer);
          })
    {
        m_layer.setOutput(&m_output);
    }

    /** Two audio files for the audio tracks: a long stereo one streamed, a short mono held. */
    bool makeAudioFiles()
    {
        if (!m_audioDir.isValid())
            return false;
        const std::pair<int, long long> kinds[] = {{2, 44100 * 12}, {1, 48000 / 2}};
        for (const auto& [channels, frames] : kinds) {
            const QString path =
                m_audioDir.filePath(QStringLiteral("take%1.wav").arg(m_audioFiles.size()));
            const int rate = channels == 2 ? 44100 : 48000;
            auto file = AudioFormatRegistry::instance().create(path, channels, rate, 4096);
            if (!file || !file->open(path, AudioFile::Writing))
                return false;
            std::vector<float> block(4096);
            std::vector<float*> pointers(size_t(channels), block.data());
            for (long long done = 0; done < frames; done += 4096) {
                for (size_t k = 0; k < block.size(); ++k)
                    block[k] = float(0.3 * std::sin(0.05 * double(done + long(k))));
                file->write(pointers.data(), std::min<long long>(4096, frames - done));
            }
            file->close();
            m_audioFiles.push_back(path);
        }
        return true;
    }

    bool open()
    {
        for (Engine* engine : {m_session.audioEngine(), m_session.midiEngine()})
            if (!engine->init())
                return false;
        for (Engine* engine : {m_session.audioEngine(), m_session.midiEngine()})
            if (!engine->activate())
                return false;
        m_history.reset(currentModel());
        return m_session.ensureMasterBuses();
    }

    /** One edit picked by the seeded generator. */
    void step()
    {
        switch (pick(17)) {
        case 0:
        case 1:
            addTrack();
            break;
        case 2:
            removeTrack();
            break;
        case 3:
            loadMelody();
            break;
        case 4:
            changeTempo();
            break;
        case 5:
            changeMeter();
            break;
        case 6:
            m_session.scale().setTimeZoom(uint16_t(1 + pick(400)));
            break;
        case 7:
            moveLoop();
            break;
        case 8:
            togglePassThrough();
            break;
        case 9:
            m_session.locate(uint32_t(pick(48000 * 30)));
            break;
        case 10:
            undo();
            break;
        case 11:
            redo();
            break;
        case 12:
            m_session.setPlaying(!m_session.isPlaying());
            break;
        case 13:
            if (pick(8) == 0)
                newSong();
            break;
        case 14:
            addAudioTrack();
            break;
        case 15:
            stretchAudioClip();
            break;
        case 16:
            closeAudioClip();
            break;
        }
    }

    Session& session() { return m_session; }
    const SongModel& expected() const { return m_history.now(); }
    int noteCount(const QString& track) const { return m_notes.at(track); }
    /** Audio clips opened, stretched or taken off during the run. */
    int audioEdits() const { return m_audioEdits; }

    SongModel currentModel()
    {
        SongModel model;
        for (Track* track : m_session.tracks())
            model.tracks.push_back(track->name());
        model.tempo = m_session.tempo();
        model.beatsPerBar = m_session.scale().firstNode()->beatsPerBar;
        model.loopSet = m_session.isLoopSet();
        return model;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    void pushed(std::unique_ptr<Command> command, const SongModel& model)
    {
        QVERIFY(m_session.push(std::move(command)));
        m_history.pushed(model);
    }

    void addTrack()
    {
        auto track = std::make_unique<Track>(&m_session, Track::MidiTrack);
        Track::Properties props = track->properties();
        props.name = QStringLiteral("T%1").arg(++m_trackCounter);
        props.channel = uint16_t(pick(16));
        props.outputBus = QStringLiteral("Master");
        track->setProperties(props);
        auto* clip = new MidiClip(&m_session);
        track->addClip(clip);
        clip->setStart(uint32_t(pick(48000 * 4)));
        clip->setLength(48000 * 8);
        clip->updateTicksFromFrames();
        fillClip(clip, 1 + pick(64));
        m_notes[props.name] = clip->sequence().count();
        SongModel model = m_history.now();
        model.tracks.push_back(props.name);
        pushed(std::make_unique<AddTrackCommand>(&m_session, std::move(track)), model);
    }

    /** An audio track playing one of the files, opened before it joins the song. */
    void addAudioTrack()
    {
        auto track = std::make_unique<Track>(&m_session, Track::AudioTrack);
        Track::Properties props = track->properties();
        props.name = QStringLiteral("A%1").arg(++m_trackCounter);
        props.outputBus = QStringLiteral("Master");
        props.panning = float(pick(201) - 100) / 100.0f;
        track->setProperties(props);
        auto* clip = new AudioClip(int(m_session.scale().sampleRate()));
        clip->setFilePath(m_audioFiles[size_t(pick(int(m_audioFiles.size())))]);
        track->addClip(clip);
        clip->setStart(uint32_t(pick(48000 * 4)));
        if (clip->open())
            ++m_audioEdits;
        SongModel model = m_history.now();
        model.tracks.push_back(props.name);
        pushed(std::make_unique<AddTrackCommand>(&m_session, std::move(track)), model);
    }

    Track* pickAudioTrack()
    {
        std::vector<Track*> audio;
        for (Track* track : m_session.tracks())
            if (track->isAudio() && track->firstClip())
                audio.push_back(track);
        return audio.empty() ? nullptr : audio[size_t(pick(int(audio.size())))];
    }

    /** Stretches a clip (or takes the stretch away): the clip closes and opens again. */
    void stretchAudioClip()
    {
        Track* track = pickAudioTrack();
        if (!track)
            return;
        const float factors[] = {0.8f, 1.0f, 1.25f};
        auto command = std::make_unique<ClipCommand>(&m_session, QStringLiteral("time stretch"));
        command->stretch(track->firstClip(), factors[pick(3)]);
        ++m_audioEdits;
        pushed(std::move(command), m_history.now());
    }

    /** Takes a clip off its track: the command owns and closes it. */
    void closeAudioClip()
    {
        Track* track = pickAudioTrack();
        if (!track)
            return;
        auto command = std::make_unique<ClipCommand>(&m_session, QStringLiteral("remove clip"));
        command->removeClip(track->firstClip());
        ++m_audioEdits;
        pushed(std::move(command), m_history.now());
    }

    void removeTrack()
    {
        if (m_session.tracks().empty())
            return;
        const int at = pick(m_session.trackCount());
        SongModel model = m_history.now();
        model.tracks.erase(model.tracks.begin() + at);
        pushed(std::make_unique<RemoveTrackCommand>(&m_session, m_session.tracks()[size_t(at)]),
               model);
    }

    void fillClip(MidiClip* clip, int notes)
    {
        const int ticks = clip->sequence().count() == 0 ? 240 : 120;
        for (int i = 0; i < notes; ++i)
            clip->sequence().insert(MidiEvent::note(uint32_t(i * ticks), uint8_t(48 + pick(36)),
                                                    uint8_t(1 + pick(127)), uint32_t(ticks)));
    }

    /** A new melody replaces a track's clip contents, as opening a melody file does. */
    void loadMelody()
    {
        if (m_session.tracks().empty())
            return;
        Track* track = m_session.tracks()[size_t(pick(m_session.trackCount()))];
        auto* clip = dynamic_cast<MidiClip*>(track->firstClip());
        if (!clip)
            return;
        m_session.lockEdit();
        clip->sequence().clearEvents();
        fillClip(clip, 1 + pick(64));
        m_session.trackChanged(track);
        m_session.unlockEdit();
        m_notes[track->name()] = clip->sequence().count();
    }

    void changeTempo()
    {
        const float tempo = float(40 + pick(200));
        if (tempo == m_session.tempo())
            return;
        SongModel model = m_history.now();
        model.tempo = tempo;
        pushed(std::make_unique<TempoCommand>(&m_session, tempo), model);
    }

    void changeMeter()
    {
        const uint16_t beats = uint16_t(2 + pick(6));
        if (beats == m_session.scale().firstNode()->beatsPerBar)
            return;
        SongModel model = m_history.now();
        model.beatsPerBar = beats;
        pushed(std::make_unique<TempoCommand>(&m_session, 0.0f, 2, beats, 2), model);
    }

    void moveLoop()
    {
        const uint32_t in = uint32_t(pick(48000 * 10));
        const uint32_t out = pick(4) == 0 ? in : in + 512 + uint32_t(pick(48000 * 4));
        if (m_session.isPlaying() && m_session.isRecording())
            return;
        SongModel model = m_history.now();
        model.loopSet = in < out;
        if (model.loopSet == m_session.isLoopSet() && !model.loopSet)
            return;
        pushed(std::make_unique<LoopCommand>(&m_session, in, out), model);
    }

    void togglePassThrough()
    {
        Bus* master = m_session.audioEngine()->findBus(QStringLiteral("Master"));
        if (!master)
            return;
        pushed(std::make_unique<BusPassthruCommand>(&m_session, Engine::AudioKind, master,
                                                    !master->passThrough()),
               m_history.now());
    }

    void undo()
    {
        m_session.commands().revert();
        m_history.follow(m_session.commands());
    }

    void redo()
    {
        m_session.commands().redo();
        m_history.follow(m_session.commands());
    }

    /** File › New: the window stops the transport, clears the session and makes buses. */
    void newSong()
    {
        m_session.setPlaying(false);
        m_session.clear();
        QVERIFY(m_session.ensureMasterBuses());
        m_notes.clear();
        m_history.reset(currentModel());
    }

    RecordingMidiOutput m_output{1 << 12};
    SequencerLayer m_layer;
    Session m_session;
    std::mt19937 m_random{kSeed};
    ModelHistory m_history;
    std::map<QString, int> m_notes;
    int m_trackCounter = 0;
    int m_audioEdits = 0;
    QTemporaryDir m_audioDir;
    std::vector<QString> m_audioFiles;
};

} // namespace

class TestEngineStress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editsWhilePlayingLeaveTheSongAsModelled()
    {
        StressRun run;
        QVERIFY(run.makeAudioFiles());
        QVERIFY(run.open());
        run.session().setPlaying(true);
        QElapsedTimer clock;
        clock.start();
        int steps = 0;
        while (clock.elapsed() < kRunMs) {
            run.step();
            if (QTest::currentTestFailed())
                return;
            ++steps;
            if (steps % 8 == 0)
                QTest::qWait(1); // lets the cycles run between bursts of edits
        }
        run.session().setPlaying(false);

        const SongModel actual = run.currentModel();
        const SongModel& expected = run.expected();
        QCOMPARE(actual.tracks, expected.tracks);
        QCOMPARE(actual.tempo, expected.tempo);
        QCOMPARE(actual.beatsPerBar, expected.beatsPerBar);
        QCOMPARE(actual.loopSet, expected.loopSet);
        int audioTracks = 0;
        for (Track* track : run.session().tracks()) {
            if (track->isAudio()) {
                ++audioTracks;
                continue;
            }
            auto* clip = static_cast<MidiClip*>(track->firstClip());
            QCOMPARE(clip->sequence().count(), run.noteCount(track->name()));
        }
        qInfo("%d audio clip edits, %d audio tracks at the end", run.audioEdits(), audioTracks);
        QVERIFY2(run.audioEdits() > 20, qPrintable(QString::number(run.audioEdits())));
        QVERIFY2(steps > 100, qPrintable(QString::number(steps)));
        // The engines are left open and playing: the session's destructor ends the stream
        // before the MIDI engine and the tracks go.
        run.session().setPlaying(true);
    }
};

QTEST_GUILESS_MAIN(TestEngineStress)
#include "tst_engine_stress.moc"
