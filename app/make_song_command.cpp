#include "make_song_command.h"

#include "bar_placement.h"
#include "data_paths.h"
#include "song_renderer.h"

#include "audio_buffer.h"
#include "audio_file.h"
#include "audio_file_transcriber.h"
#include "audio_format_registry.h"
#include "bar_finder.h"
#include "key_names.h"
#include "lane_events.h"
#include "lead_sheet_exporter.h"
#include "music_xml_writer.h"
#include "song_making.h"
#include "song_state.h"
#include "song_tracks.h"
#include "style_loader.h"
#include "transcribed_melody.h"
#include "transcription_engine.h"
#include "transcription_result.h"
#include "tuning_setting.h"

#include "clip.h"
#include "error_log.h"
#include "midi_clip.h"
#include "session.h"
#include "session_command.h"
#include "song_file.h"
#include "song_host.h"
#include "time_scale.h"
#include "track.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace {

const QString kCommand = QStringLiteral("cantova make-song");

struct Options
{
    QString input;
    QString output;
    QString style;
    QString key;
    QString render;
    QString leadSheet;
    bool autoKey = false;
    bool help = false;
    float tempo = 0;     // 0: the song's own
    uint16_t beats = 0;  // 0: the song's own meter
    uint16_t unit = 0;   // beat unit as a power of two (2 = quarter notes)
    int melodyTrack = 0; // of a MIDI file from elsewhere, from 1; 0: the preselected one
    QString sections;    // "auto" or "simple"; empty: the song's own placement
    NoteRefiner::Tuning tuning = NoteRefiner::Tuning::FollowSinger; // set from the user's choice
    ChordFinderKind chords = ChordFinderKind::Progression;          // set from the user's choice
};

/** Thrown by the option parser and the steps; its text ends the command. */
struct Failure
{
    QString text;
    int code = 1;
};

// ---------------------------------------------------------------------------------------------
// Options

/** The shipped "Styles" folder, beside the program or in its installed data folder. */
QString stylesFolder()
{
    return DataPaths::path(QStringLiteral("Styles"));
}

/** A style file, or the name of a shipped style ("Bossa" finds Styles/Bossa.sty or .STY). */
QString resolveStyle(const QString& style)
{
    if (style.isEmpty() || QFileInfo(style).isFile())
        return style;
    for (const QString suffix : {QStringLiteral(".sty"), QStringLiteral(".STY")}) {
        const QString shipped = QDir(stylesFolder()).filePath(style + suffix);
        if (QFileInfo(shipped).isFile())
            return shipped;
    }
    return style;
}

bool isMidiFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mid") || suffix == QLatin1String("midi") ||
           suffix == QLatin1String("kar");
}

void parseMeter(const QString& text, Options& o)
{
    static const QRegularExpression meter(QStringLiteral("^(\\d{1,2})/(\\d{1,2})$"));
    const QRegularExpressionMatch m = meter.match(text);
    const int beats = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int value = m.hasMatch() ? m.captured(2).toInt() : 0;
    const int unit = value == 2 ? 1 : value == 4 ? 2 : value == 8 ? 3 : 0;
    if (beats < 1 || beats > 16 || unit == 0)
        throw Failure{
            QStringLiteral("a meter is beats/unit with 1 to 16 beats of 2, 4 or 8: %1").arg(text),
            2};
    o.beats = uint16_t(beats);
    o.unit = uint16_t(unit);
}

void setOption(Options& o, const QString& name, const QString& value)
{
    if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
        o.output = value;
    } else if (name == QLatin1String("--style")) {
        o.style = value;
    } else if (name == QLatin1String("--key")) {
        if (parseKey(value).tonicTpc == kNoTpc)
            throw Failure{QStringLiteral("not a key: %1 (e.g. Cmaj, F#min, Bbmaj)").arg(value), 2};
        o.key = value;
    } else if (name == QLatin1String("--tempo")) {
        bool ok = false;
        o.tempo = value.toFloat(&ok);
        if (!ok || !(o.tempo >= 20.0f && o.tempo <= 400.0f))
            throw Failure{QStringLiteral("a tempo is 20 to 400 beats per minute: %1").arg(value),
                          2};
    } else if (name == QLatin1String("--meter")) {
        parseMeter(value, o);
    } else if (name == QLatin1String("--tuning")) {
        const auto chosen = TuningSetting::fromText(value);
        if (!chosen)
            throw Failure{QStringLiteral("unknown tuning %1 (follow or classic)").arg(value), 2};
        o.tuning = *chosen;
    } else if (name == QLatin1String("--chords")) {
        const auto kind = ChordFinderSetting::fromText(value);
        if (!kind)
            throw Failure{QStringLiteral("--chords is progression or classic: %1").arg(value), 2};
        o.chords = *kind;
    } else if (name == QLatin1String("--melody-track")) {
        bool ok = false;
        o.melodyTrack = value.toInt(&ok);
        if (!ok || o.melodyTrack < 1)
            throw Failure{QStringLiteral("--melody-track takes a track number from 1, as "
                                         "cantova info lists them: %1")
                              .arg(value),
                          2};
    } else if (name == QLatin1String("--lead-sheet")) {
        o.leadSheet = value;
    } else if (name == QLatin1String("--sections")) {
        if (value != QLatin1String("auto") && value != QLatin1String("simple"))
            throw Failure{QStringLiteral("--sections is auto or simple: %1").arg(value), 2};
        o.sections = value;
    } else {
        o.render = value;
    }
}

// The value of the option at i, written "--name value" or "--name=value"; name loses "=...".
QString takeValue(const QStringList& arguments, int& i, QString& name)
{
    static const QStringList withValue{QStringLiteral("-o"),       QStringLiteral("--output"),
                                       QStringLiteral("--style"),  QStringLiteral("--key"),
                                       QStringLiteral("--tempo"),  QStringLiteral("--meter"),
                                       QStringLiteral("--render"), QStringLiteral("--melody-track"),
                                       QStringLiteral("--tuning"), QStringLiteral("--lead-sheet"),
                                       QStringLiteral("--chords"), QStringLiteral("--sections")};
    const int eq = name.indexOf(QLatin1Char('='));
    const QString value = eq > 0 ? name.mid(eq + 1) : QString();
    if (eq > 0)
        name = name.left(eq);
    if (!withValue.contains(name))
        throw Failure{QStringLiteral("unknown option %1").arg(name), 2};
    if (eq > 0)
        return value;
    if (i + 1 >= arguments.size())
        throw Failure{QStringLiteral("%1 needs a value").arg(name), 2};
    return arguments.at(++i);
}

Options parseOptions(const QStringList& arguments)
{
    Options o;
    o.tuning = TuningSetting::readUserChoice();
    o.chords = ChordFinderSetting::current();
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.help = true;
        } else if (name == QLatin1String("--auto-key")) {
            o.autoKey = true;
        } else if (name.startsWith(QLatin1Char('-')) && name.size() > 1) {
            const QString value = takeValue(arguments, i, name);
            setOption(o, name, value);
        } else if (o.input.isEmpty()) {
            o.input = name;
        } else {
            throw Failure{QStringLiteral("one input file only: %1").arg(name), 2};
        }
    }
    if (o.help)
        return o;
    if (o.input.isEmpty())
        throw Failure{QStringLiteral("no input file"), 2};
    if (o.output.isEmpty() || !isMidiFile(o.output))
        throw Failure{QStringLiteral("-o OUTPUT.mid names the song file to write"), 2};
    if (!o.key.isEmpty() && o.autoKey)
        throw Failure{QStringLiteral("--key and --auto-key exclude each other"), 2};
    if (o.melodyTrack > 0 && !isMidiFile(o.input))
        throw Failure{QStringLiteral("--melody-track chooses a track of a MIDI file"), 2};
    if (!o.render.isEmpty()) {
        const auto* entry =
            AudioFormatRegistry::instance().entryFor(QFileInfo(o.render).suffix().toLower());
        if (!entry || entry->kind != AudioFormatRegistry::SndFileKind)
            throw Failure{QStringLiteral("cannot render into %1: use .wav or .flac").arg(o.render),
                          2};
    }
    if (!o.leadSheet.isEmpty() && !MusicXmlWriter::isLeadSheetPath(o.leadSheet))
        throw Failure{QStringLiteral("--lead-sheet writes a .musicxml or .mxl file"), 2};
    if (!QFileInfo(o.input).isFile())
        throw Failure{(QFileInfo(o.input).isDir() ? QStringLiteral("%1 is a folder, not a file")
                                                  : QStringLiteral("no such file: %1"))
                          .arg(o.input)};
    o.style = resolveStyle(o.style);
    if (!o.style.isEmpty() && !QFileInfo(o.style).isFile())
        throw Failure{QStringLiteral("no such style: %1").arg(o.style)};
    return o;
}

// ---------------------------------------------------------------------------------------------
// Progress

/** Reports a long step on standard error in tenths. */
class Progress
{
public:
    Progress(QTextStream& err, QString step) : m_err(err), m_step(std::move(step)) {}
    void operator()(double fraction)
    {
        const int tenth = int(std::floor(std::clamp(fraction, 0.0, 1.0) * 10));
        if (tenth == m_last)
            return;
        m_last = tenth;
        m_err << m_step << ": " << tenth * 10 << "%\n";
        m_err.flush();
    }

private:
    QTextStream& m_err;
    QString m_step;
    int m_last = -1;
};

QString logOr(const QString& fallback)
{
    const QString log = ErrorLog::take();
    return log.isEmpty() ? fallback : log;
}

// ---------------------------------------------------------------------------------------------
// The song

/** The window's song layout: an audio track, the melody track with its clip, a style. */
class CommandLineSong : public SongHost
{
public:
    explicit CommandLineSong(const Session::EngineFactory& engines)
        : session(engines), tracks(SongTracks::addTo(session)), audioTrack(tracks.audio),
          melodyTrack(tracks.melodyTrack), melody(tracks.melody)
    {
        audioTrack->setName(QStringLiteral("Recording"));
        Track::Properties props = melodyTrack->properties();
        props.name = QStringLiteral("Melody");
        props.bank = 0;
        props.program = 0;
        melodyTrack->setProperties(props);
    }

    SongState& song() { return *SongState::of(&session); }
    SongFile file() { return SongFile(&session, melodyTrack, melody, this, &song()); }

    // SongHost: a song's warnings are told, its style is loaded after its melody, and the
    // melody of a file from elsewhere is the track asked for, or else the preselected one.
    void warning(const QString& text) override { warnings << text; }
    QString styleFolder() const override { return stylesFolder(); }
    void loadStyle(const QString& path) override { fileStyle = path; }
    int chooseMelodyTrack(const std::vector<MidiImport::Candidate>& candidates,
                          int preselected) override
    {
        int chosen = preselected;
        if (requestedTrack > int(candidates.size())) {
            chooseFailure = QStringLiteral("The MIDI file has no track %1 to take the melody "
                                           "from: it has %2 (cantova info lists them)")
                                .arg(requestedTrack)
                                .arg(candidates.size());
            return -1;
        }
        if (requestedTrack > 0)
            chosen = requestedTrack - 1;
        const MidiImport::Candidate& c = candidates[size_t(chosen)];
        takenTrack = QStringLiteral("%1 track %2 channel %3 %4")
                         .arg(chosen + 1)
                         .arg(c.track)
                         .arg(c.channel + 1)
                         .arg(c.name)
                         .trimmed();
        return chosen;
    }

    Session session;
    SongTracks tracks;
    Track* audioTrack;
    Track* melodyTrack;
    MidiClip* melody;
    Clip* recording = nullptr;
    QString fileStyle;
    QStringList warnings;
    int requestedTrack = 0;
    QString chooseFailure; // why the requested melody track was not taken
    QString takenTrack;    // the melody track of a file from elsewhere, as reported
};

void setMeterAndTempo(Session& session, float tempo, uint16_t beats, uint16_t unit)
{
    auto command = std::make_unique<TempoCommand>(&session, tempo, 0, beats, unit);
    if (!command->isEmpty())
        session.push(std::move(command));
}

int noteCount(const MidiSequence& melody)
{
    int notes = 0;
    for (const MidiEvent* e = melody.first(); e; e = e->next())
        notes += e->isNote();
    return notes;
}

void melodyFromMidi(CommandLineSong& s, const Options& o)
{
    s.requestedTrack = o.melodyTrack;
    if (!s.file().openSong(o.input)) {
        if (!s.chooseFailure.isEmpty())
            throw Failure{s.chooseFailure};
        throw Failure{logOr(QStringLiteral("Cannot open the MIDI file %1").arg(o.input))};
    }
    if (o.melodyTrack > 0 && s.takenTrack.isEmpty())
        s.warnings << QStringLiteral("--melody-track is ignored: the file is a Cantova song, "
                                     "whose melody is its track 1");
    if (noteCount(s.melody->sequence()) == 0)
        throw Failure{QStringLiteral("The MIDI file has no melody notes: %1").arg(o.input)};
}

// The recording joins the audio track as a clip, so the sections move it with the song. A
// positive shift starts it later; a negative one cuts that much silence from its start.
void addRecording(CommandLineSong& s, const QString& path, double shift)
{
    auto file = AudioFormatRegistry::instance().create(path);
    if (!file || !file->open(path, AudioFile::Reading))
        throw Failure{logOr(QStringLiteral("audio2midi: Cannot read the audio data from file."))};
    const uint64_t rate = s.session.scale().sampleRate();
    // As long as opening the file in the window makes its clip.
    const uint64_t frames = AudioBuffer::wholeLength(
        file->frames(), double(rate) / std::max(1, file->sampleRate()), 1.0f);
    const uint64_t moved = uint64_t(std::llround(std::abs(shift) * double(rate)));
    const uint64_t cut = shift < 0.0 ? std::min(moved, frames) : 0;
    auto* clip = new Clip();
    clip->setName(QFileInfo(path).fileName());
    clip->setFilePath(QFileInfo(path).absoluteFilePath());
    clip->setStart(shift > 0.0 ? uint32_t(std::min<uint64_t>(moved, UINT32_MAX)) : 0);
    clip->setOffset(uint32_t(std::min<uint64_t>(cut, UINT32_MAX)));
    clip->setLength(uint32_t(std::min<uint64_t>(frames - cut, UINT32_MAX)));
    s.audioTrack->addClip(clip);
    s.recording = clip;
}

/**
 * Tempo, meter and bar 1 of a take sung without a click: sets the song's tempo and meter (a
 * tempo per bar when the take drifts) and returns how far the take moves so that its first
 * downbeat falls on a bar line.
 */
double placeOnBars(CommandLineSong& s, const TranscriptionResult& result, QTextStream& out)
{
    std::vector<BarFinder::Note> notes;
    for (const TranscribedEvent& e : result.events)
        if (e.isNoteOn())
            notes.push_back({e.time, e.duration, e.note});
    BarGrid grid = BarPlacement::find(notes);
    if (!grid.valid)
        return 0.0;
    out << "found: " << BarPlacement::describe(grid) << '\n';
    // Where the bars of the take lie, so that a drifting take's bars can be checked.
    out << "bar lines:";
    for (double line : grid.barLines)
        out << ' ' << QString::number(line, 'f', 3);
    out << '\n';
    return BarPlacement::apply(s.session, grid, BarPlacement::firstOnset(notes));
}

void melodyFromAudio(CommandLineSong& s, const Options& o, QTextStream& out, QTextStream& err)
{
    TranscriptionEngine engine;
    engine.setTuning(o.tuning);
    Progress progress(err, QStringLiteral("Transcribing"));
    // Read as Audio to MIDI reads the file opened on the window's audio track.
    if (!AudioFileTranscriber::transcribe(engine, o.input, std::ref(progress),
                                          s.session.scale().sampleRate()))
        throw Failure{logOr(QStringLiteral("audio2midi: Cannot read the audio data from file."))};
    progress(1.0);
    TranscriptionResult result = engine.result();
    if (result.noteCount == 0)
        throw Failure{QStringLiteral("Cannot transcribe any MIDI notes from this audio.")};
    // Without a tempo or meter given, the take's own bars are found.
    const double shift = o.tempo == 0 && o.beats == 0 ? placeOnBars(s, result, out) : 0.0;
    for (TranscribedEvent& e : result.events)
        e.time = std::max(0.0, e.time + shift);
    addRecording(s, o.input, shift);
    TranscribedMelody::write(result, s.session, s.melody->sequence(), 0, s.song());
}

struct Meter
{
    uint16_t beats;
    uint16_t unit;
};

Meter sessionMeter(Session& session)
{
    const TempoNode* node = session.scale().firstNode();
    return {node ? node->beatsPerBar : uint16_t(4), node ? node->beatUnit : uint16_t(2)};
}

// The style the user named, else the one the song names, else the default piano. Like the
// window's "Yes", a style in another meter brings its meter, unless the user fixed the meter.
void loadStyle(CommandLineSong& s, const Options& o, QTextStream& err)
{
    const QString path = o.style.isEmpty() ? resolveStyle(s.fileStyle) : o.style;
    if (!openStyle(s.session, path))
        throw Failure{QStringLiteral("The style file was not loaded:\n\n\"%1\"\n%2")
                          .arg(path, ErrorLog::take())};
    SongState& song = s.song();
    if (!path.isEmpty() && !styleMainSectionPlays(song))
        s.warnings << silentStyleMessage(song.styleName);
    const Meter current = sessionMeter(s.session);
    if (path.isEmpty() || (song.styleBeats == current.beats && song.styleBeatUnit == current.unit))
        return;
    if (o.beats != 0)
        throw Failure{QStringLiteral("The style meter (%1/%2) cannot be synchronized with the "
                                     "current meter.")
                          .arg(song.styleBeats)
                          .arg(1 << song.styleBeatUnit)};
    // Every node takes the meter: a drifting take has one per bar.
    BarPlacement::setMeter(s.session, song.styleBeats, song.styleBeatUnit);
    err << QStringLiteral("The song takes the style's meter %1/%2.\n")
               .arg(song.styleBeats)
               .arg(1 << song.styleBeatUnit);
}

void applySections(SongState& song, const Options& o)
{
    if (!o.sections.isEmpty())
        song.sectionPlacement = o.sections == QLatin1String("simple")
                                    ? SongState::SectionPlacement::Simple
                                    : SongState::SectionPlacement::Auto;
}

void applyKey(SongState& song, const Options& o)
{
    if (!o.key.isEmpty()) {
        const ParsedKey key = parseKey(o.key);
        song.keyFixed = true;
        song.key = keyName(key.signature, key.minor);
    } else if (o.autoKey) {
        song.keyFixed = false;
    }
}

// ---------------------------------------------------------------------------------------------
// What was made

QString sectionList(const MidiSequence& melody, uint32_t barTicks)
{
    QStringList sections;
    for (const MidiEvent* e = melody.first(); e; e = e->next())
        if (laneKind(e) == SectionLane)
            sections << QStringLiteral("%1 bar %2").arg(laneText(e)).arg(e->time / barTicks + 1);
    return sections.join(QStringLiteral(", "));
}

void report(CommandLineSong& s, const Options& o, QTextStream& out)
{
    const MidiSequence& melody = s.melody->sequence();
    const SongState& song = s.song();
    const uint32_t bar = songBarTicks(s.session);
    const Meter meter = sessionMeter(s.session);
    int chords = 0;
    for (const MidiEvent* e = melody.first(); e; e = e->next())
        chords += laneKind(e) == ChordLane;
    out << "melody: " << noteCount(melody) << " notes\n";
    if (!s.takenTrack.isEmpty())
        out << "melody-track: " << s.takenTrack << '\n';
    out << "key: " << song.key << (song.keyFixed ? " (fixed)" : "") << '\n';
    out << "suggested key: " << song.suggestedKey << '\n';
    out << "tempo: " << s.session.scale().firstNode()->tempo << '\n';
    out << "meter: " << meter.beats << '/' << (1 << meter.unit) << '\n';
    out << "style: " << song.styleName << '\n';
    out << "chords: " << chords << '\n';
    out << "sections: " << sectionList(melody, bar) << '\n';
    out << "bars: " << (melody.length() + bar - 1) / bar << '\n';
    out << "song: " << QFileInfo(o.output).absoluteFilePath() << '\n';
    for (const QString& warning : s.warnings)
        out << "warning: " << QString(warning).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
}

// The song's melody as a lead sheet, titled by the song file's name.
void writeLeadSheet(CommandLineSong& s, const Options& o, QTextStream& out)
{
    if (o.leadSheet.isEmpty())
        return;
    QString error;
    if (!LeadSheetExporter::exportSong(s.session, *s.melody, LeadSheetExporter::titleOf(o.output),
                                       o.leadSheet, error))
        throw Failure{error};
    out << "lead-sheet: " << QFileInfo(o.leadSheet).absoluteFilePath() << '\n';
}

int make(const Options& o, QTextStream& out, QTextStream& err)
{
    SongRenderer renderer;
    CommandLineSong s(renderer.engines());
    const bool midi = isMidiFile(o.input);
    if (!midi)
        setMeterAndTempo(s.session, o.tempo, o.beats, o.unit);
    if (midi)
        melodyFromMidi(s, o);
    else
        melodyFromAudio(s, o, out, err);
    if (midi)
        setMeterAndTempo(s.session, o.tempo, o.beats, o.unit);
    loadStyle(s, o, err);
    applyKey(s.song(), o);
    applySections(s.song(), o);

    findChordsAndArrange(s.session, *s.melody, {}, o.chords);
    if (!s.file().saveSong(o.output))
        throw Failure{logOr(QStringLiteral("Cannot save the song %1").arg(o.output))};
    report(s, o, out);
    writeLeadSheet(s, o, out);

    if (!o.render.isEmpty()) {
        Progress progress(err, QStringLiteral("Rendering"));
        if (!renderer.render(s.session, o.render, s.recording, std::ref(progress)))
            throw Failure{logOr(QStringLiteral("Cannot render the song into %1").arg(o.render))};
        const double seconds = double(s.session.endFrame() + SongRenderer::kTailFrames) /
                               s.session.scale().sampleRate();
        out << "rendered: " << QFileInfo(o.render).absoluteFilePath() << " ("
            << QString::number(seconds, 'f', 1) << " s)\n";
    }
    return 0;
}

} // namespace

QString MakeSongCommand::usageText()
{
    return QStringLiteral(
        "Usage: cantova make-song INPUT -o OUTPUT.mid [--style FILE.sty] [--key KEY | --auto-key]\n"
        "                         [--tempo BPM] [--meter 4/4] [--melody-track N]\n"
        "                         [--tuning follow|classic] [--chords progression|classic]\n"
        "                         [--render OUTPUT.wav|.flac] [--lead-sheet SHEET.musicxml|.mxl]\n"
        "                         [--sections auto|simple]\n");
}

QString MakeSongCommand::helpText()
{
    // clang-format off
    return usageText() + QStringLiteral(
        "Makes a song from a melody: chords for every bar, intro, main part and ending, and the\n"
        "accompaniment of a style, saved as a MIDI file the window opens with all of them.\n"
        "\n"
        "INPUT            an audio file (WAV, FLAC, OGG, MP3, ...) whose melody is transcribed,\n"
        "                 or a MIDI file whose melody is used as Open MIDI reads it\n"
        "-o OUTPUT.mid    the song file to write\n"
        "--style STYLE    a style file, or the name of a shipped style (\"Bossa\"); default: the\n"
        "                 song's own style, else the built-in piano\n"
        "--key KEY        fix the key (Cmaj, F#min, Bbmaj ...); --auto-key lets Cantova find it\n"
        "--tempo BPM      the song's tempo (audio: how the notes fall into bars)\n"
        "--meter N/D      the song's meter; a style in another meter otherwise brings its own\n"
        "                 (audio without --tempo and --meter: the take's own tempo, meter and\n"
        "                 first downbeat are found, and the take moves onto the song's bars)\n"
        "--melody-track N of a MIDI file Cantova did not write, the track (and channel) whose\n"
        "                 notes are the melody, numbered as \"cantova info\" lists them;\n"
        "                 default: the highest single-voiced line that is not drums\n"
        "--tuning TUNING  audio: follow (the singer's tuning as it drifts) or classic (one\n"
        "                 tuning for the whole take); default: the choice in the options\n"
        "--chords FINDER  progression chooses the chords over the whole melody\n"
        "                 as a musician would, a second chord in a bar where it changes;\n"
        "                 classic finds one chord per bar, bar after bar, by fixed rules;\n"
        "                 default: the choice in the options (progression when none)\n"
        "--render FILE    also play the song into an audio file (.wav or .flac) with the\n"
        "                 built-in General MIDI synthesizer, and the recording for audio input\n"
        "--lead-sheet F   also write the melody with its chords as a lead sheet (MusicXML:\n"
        "                 .musicxml, or .mxl compressed), as cantova lead-sheet does\n"
        "--sections HOW   auto: main parts and fills follow the melody's phrases (Main B for a\n"
        "                 chorus); simple: intro, one Main A, ending; default: the song's own\n"
        "                 (auto for a new song)\n"
        "\n"
        "Standard output lists what was made, one \"key: value\" per line: found (the take's\n"
        "tempo, meter, first downbeat and confidence), bar lines (the take's bar lines in\n"
        "seconds from its start), melody, melody-track (N track CHUNK\n"
        "channel CHANNEL NAME, for a file Cantova did not write), key, suggested key, tempo,\n"
        "meter, style, chords, sections, bars, song, lead-sheet, rendered.\n"
        "Progress and errors go to standard error. Exit status 0 made, 1 failed, 2 usage.\n");
    // clang-format on
}

int MakeSongCommand::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    try {
        const Options options = parseOptions(arguments);
        if (options.help) {
            out << helpText();
            return 0;
        }
        return make(options, out, err);
    } catch (const Failure& failure) {
        err << kCommand << ": " << failure.text << '\n';
        if (failure.code == 2)
            err << usageText();
        return failure.code;
    }
}
