#include "info_command.h"

#include "conductor_hook.h"
#include "error_log.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "pitch_spelling.h"
#include "session.h"
#include "song_file.h"
#include "song_host.h"
#include "song_making.h"
#include "song_state.h"
#include "song_tracks.h"
#include "style_casm.h"
#include "style_reader.h"
#include "track.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

// Meter as it is written: beats, a slash and the note value of the beat unit (6/8).
QString meterText(uint16_t beats, uint16_t unitExponent)
{
    return QStringLiteral("%1/%2").arg(beats).arg(1u << std::min<uint16_t>(unitExponent, 15));
}

// A name from the file as text: control characters (the NUL padding many files leave in track
// and part names among them) become \xNN, so the output stays text for grep and friends.
QString printable(const QString& name)
{
    QString text;
    text.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            text += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            text += c;
    }
    return text;
}

// MIDI key and its name with the octave, C4 being key 60.
QString noteText(int key)
{
    return QStringLiteral("%1 %2%3").arg(key).arg(sharpNoteName(key)).arg(key / 12 - 1);
}

int noteCount(const MidiSequence& track)
{
    int count = 0;
    for (const MidiEvent* e = track.first(); e; e = e->next())
        count += e->isNote() ? 1 : 0;
    return count;
}

/** Records what opening a song asks of the window instead of showing or loading anything. */
class InfoSongHost : public SongHost
{
public:
    void warning(const QString& text) override { warnings << text; }
    void loadStyle(const QString& path) override { styleFound = !path.isEmpty(); }
    int chooseMelodyTrack(const std::vector<MidiImport::Candidate>& offered,
                          int preselected) override
    {
        candidates = offered;
        melodyTrack = preselected;
        return preselected;
    }

    QStringList warnings;
    bool styleFound = false;
    std::vector<MidiImport::Candidate> candidates; // a file from elsewhere: its tracks
    int melodyTrack = -1;
};

/** The song state's header reading, keeping what the header said for the report. */
class InfoConductor : public ConductorHook
{
public:
    explicit InfoConductor(SongState& song) : m_song(song) {}

    void writeConductor(MidiSequence& events) override { m_song.writeConductor(events); }
    bool readConductor(const MidiSequence& conductor, QString& path) override
    {
        marked = m_song.readConductor(conductor, path);
        stylePath = path;
        return marked;
    }
    void markUnchanged() override { m_song.markUnchanged(); }

    bool marked = false;
    QString stylePath;

private:
    SongState& m_song;
};

// Position of a tick as 1-based bar and beat, in beats of the meter's own unit.
QString barBeat(uint32_t tick, uint32_t barTicks, uint32_t beatTicks)
{
    return QStringLiteral("%1.%2").arg(tick / barTicks + 1).arg((tick % barTicks) / beatTicks + 1);
}

// Every track of the song file: its note count and name.
bool describeFileTracks(const QString& path, QStringList& lines)
{
    MidiFile file;
    if (!file.open(path, MidiFile::Read))
        return false;
    lines << QStringLiteral("format: %1").arg(file.format())
          << QStringLiteral("tracks: %1").arg(file.trackCount())
          << QStringLiteral("division: %1").arg(file.division());
    for (int i = 0; i < int(file.tracks().size()); ++i) {
        MidiSequence track(QString(), 0, file.division());
        MidiSequence* one[1] = {&track};
        if (!file.readChunk(i, one)) // every channel of the chunk, whatever the format
            return false;
        lines << QStringLiteral("track: %1 notes %2 %3")
                     .arg(i)
                     .arg(noteCount(track))
                     .arg(printable(track.name()))
                     .trimmed();
    }
    file.close();
    return true;
}

// The tracks of a file from elsewhere that could be the melody, from 1, and the one taken.
void describeCandidates(const InfoSongHost& host, QStringList& lines)
{
    for (size_t i = 0; i < host.candidates.size(); ++i) {
        const MidiImport::Candidate& c = host.candidates[i];
        lines << QStringLiteral("import-track: %1 track %2 channel %3 program %4 notes %5 "
                                "range %6-%7 %8")
                     .arg(i + 1)
                     .arg(c.track)
                     .arg(c.channel + 1)
                     .arg(c.program)
                     .arg(c.notes)
                     .arg(c.lowestKey)
                     .arg(c.highestKey)
                     .arg(c.name)
                     .trimmed();
    }
    if (host.melodyTrack >= 0)
        lines << QStringLiteral("melody-track: %1").arg(host.melodyTrack + 1);
}

void describeTempoMap(TimeScale& scale, QStringList& lines)
{
    for (const TempoNode* node = scale.firstNode(); node; node = node->next) {
        // Tempos count tempo-unit notes per minute; the report counts quarter notes.
        const double quarters = std::ldexp(double(node->tempo), 2 - int(node->tempoUnit));
        lines << QStringLiteral("tempo: %1 %2 %3")
                     .arg(node->bar + 1)
                     .arg(QString::number(quarters, 'g', 6))
                     .arg(meterText(node->beatsPerBar, node->beatUnit));
    }
}

void describeMelody(Session& session, const MidiSequence& melody, QStringList& lines)
{
    const TempoNode* first = session.scale().firstNode();
    const uint32_t beats = std::max<uint32_t>(first ? first->beatsPerBar : 4, 1);
    // Song making's bar: the first meter's beats, each a note of its unit (6/8: six eighths).
    const uint32_t bar = meterBarTicks(beats, first ? first->beatUnit : 2, melody.resolution());
    const uint32_t beat = std::max<uint32_t>(bar / beats, 1);

    int notes = 0;
    int lowest = 128;
    int highest = -1;
    QStringList lanes;
    for (const MidiEvent* e = melody.first(); e; e = e->next()) {
        if (e->isNote()) {
            ++notes;
            lowest = std::min<int>(lowest, e->data1);
            highest = std::max<int>(highest, e->data1);
        } else if (laneKind(e) == ChordLane) {
            lanes << QStringLiteral("chord: %1 %2%3")
                         .arg(barBeat(e->time, bar, beat), printable(laneText(e)),
                              isFixedChord(e) ? QStringLiteral(" fixed") : QString());
        } else if (laneKind(e) == SectionLane) {
            lanes << QStringLiteral("section: %1 %2")
                         .arg(barBeat(e->time, bar, beat), printable(laneText(e)));
        }
    }
    lines
        << QStringLiteral("bars: %1").arg((uint64_t(melody.length()) + bar - 1) / bar)
        << QStringLiteral("notes: %1").arg(notes)
        << QStringLiteral("lowest-note: %1").arg(notes ? noteText(lowest) : QStringLiteral("none"))
        << QStringLiteral("highest-note: %1")
               .arg(notes ? noteText(highest) : QStringLiteral("none"))
        << lanes;
}

bool describeSong(const QString& path, QStringList& lines, QStringList& warnings)
{
    Session session; // laid out as the window makes a new song
    const SongTracks song = SongTracks::addTo(session);
    SongState& state = *SongState::of(&session);
    InfoSongHost host;
    InfoConductor conductor(state);
    SongFile file(&session, song.melodyTrack, song.melody, &host, &conductor);
    const bool opened = file.openSong(path);
    warnings << host.warnings;
    if (!opened || !describeFileTracks(path, lines))
        return false;

    lines << QStringLiteral("cantova-song: %1").arg(yesNo(conductor.marked))
          << QStringLiteral("key: %1").arg(state.key.isEmpty() ? QStringLiteral("none") : state.key)
          << QStringLiteral("key-fixed: %1").arg(yesNo(state.keyFixed))
          << QStringLiteral("sections-fixed: %1").arg(yesNo(state.sectionsFixed))
          << QStringLiteral("style: %1")
                 .arg(conductor.stylePath.isEmpty() ? QStringLiteral("none") : conductor.stylePath)
          << QStringLiteral("style-found: %1").arg(yesNo(host.styleFound));
    describeCandidates(host, lines);
    describeTempoMap(session.scale(), lines);
    describeMelody(session, song.melody->sequence(), lines);
    return true;
}

// The file's header and its part table as written, after the last track chunk.
struct StyleFileFacts
{
    uint16_t format = 0;
    uint16_t tracks = 0;
    std::vector<StyleCasm::Part> partTable;
};

StyleFileFacts readStyleFile(const QString& path)
{
    StyleFileFacts facts;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return facts;
    const QByteArray bytes = in.read(StyleReader::MaxFileSize);
    MidiFile file;
    if (!file.openData(bytes))
        return facts;
    facts.format = file.format();
    facts.tracks = file.trackCount();
    if (file.tracks().empty())
        return facts;
    const MidiFile::Track& last = file.tracks().back();
    const uint64_t from = uint64_t(last.offset) + last.length;
    if (from < uint64_t(bytes.size())) {
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
        facts.partTable = StyleCasm::read(data + from, uint32_t(uint64_t(bytes.size()) - from));
    }
    return facts;
}

// The style's sections in the order of their markers, each once, with its length.
void describeStyleSections(const MidiSequence& sectionTrack, QStringList& lines)
{
    QStringList names;
    for (const MidiEvent* e = sectionTrack.first(); e; e = e->next()) {
        // A marker at tick 0 starts no section.
        if (laneKind(e) == SectionLane && e->time > 0 && !names.contains(laneText(e)))
            names << laneText(e);
    }
    for (const QString& name : names)
        lines << QStringLiteral("section: %1 %2")
                     .arg(styleSectionLength(sectionTrack, name))
                     .arg(printable(name));
}

bool describeStyle(const QString& path, QStringList& lines)
{
    StyleReader reader;
    if (!reader.readFile(path))
        return false;
    const StyleReader::Style& style = reader.style();
    const StyleFileFacts file = readStyleFile(path);
    lines << QStringLiteral("format: %1").arg(file.format)
          << QStringLiteral("tracks: %1").arg(file.tracks)
          << QStringLiteral("division: %1").arg(style.tracks.front()->resolution())
          << QStringLiteral("meter: %1").arg(meterText(style.beats, style.beatUnit));
    describeStyleSections(*style.tracks.front(), lines);
    for (size_t i = 0; i < style.tracks.size(); ++i) {
        const MidiSequence& part = *style.tracks[i];
        lines << QStringLiteral("part: %1 channel %2 program %3 bank %4 notes %5 %6")
                     .arg(i + 1)
                     .arg(part.channel() + 1)
                     .arg(part.program())
                     .arg(part.bank())
                     .arg(noteCount(part))
                     .arg(printable(part.name()));
    }
    lines << QStringLiteral("casm: %1").arg(yesNo(!file.partTable.empty()));
    for (const StyleCasm::Part& entry : file.partTable)
        lines << QStringLiteral("casm-part: %1 %2 %3")
                     .arg(entry.source)
                     .arg(entry.destination)
                     .arg(printable(entry.name));
    return true;
}

// Style files go by several extensions, in any case.
bool hasStyleSuffix(const QString& path)
{
    static const QStringList suffixes{QStringLiteral("sty"), QStringLiteral("sst"),
                                      QStringLiteral("prs")};
    return suffixes.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

// A MIDI file is a style when its first track marks a "Main A" section or a part table
// follows its last track; a song keeps its sections in the melody track after the tempo track.
bool hasStyleContent(const QString& path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.read(StyleReader::MaxFileSize);
    MidiFile file;
    // Only a question: what a file that is no MIDI file at all fails with is said once, when it
    // is opened as a song.
    const QString earlier = ErrorLog::take();
    const bool opened = file.openData(bytes);
    ErrorLog::clear();
    ErrorLog::add(earlier);
    if (!opened || file.tracks().empty())
        return false;
    static const QByteArray mainMarker("\xFF\x06\x06Main A", 9);
    const MidiFile::Track& first = file.tracks().front();
    if (bytes.mid(qsizetype(first.offset), qsizetype(first.length)).contains(mainMarker))
        return true;
    const MidiFile::Track& last = file.tracks().back();
    return bytes.mid(qsizetype(uint64_t(last.offset) + last.length), 4) == "CASM";
}

bool isStyleFile(const QString& path)
{
    return hasStyleSuffix(path) || hasStyleContent(path);
}

} // namespace

QString InfoCommand::usageText()
{
    return QStringLiteral("Usage: cantova info FILE\n"
                          "       cantova info --help\n");
}

QString InfoCommand::helpText()
{
    return usageText() +
           QStringLiteral(
               "Prints what Cantova reads from a song (a MIDI file) or a style (*.sty), one fact "
               "per\n"
               "line as \"key: value\". Lines marked (+) repeat, in file order. Bars and beats "
               "count\n"
               "from 1 in beats of the meter's unit (a 6/8 bar is six eighths); channels count "
               "from 1;\nnotes "
               "are MIDI keys with their names (60 C4). Names come last on their line.\n"
               "\n"
               "Every file:\n"
               "  file: PATH\n"
               "  type: song | style                 a style by its extension (.sty, .sst, .prs in\n"
               "                                     any case) or its content (a \"Main A\" marker\n"
               "                                     in its first track, a part table)\n"
               "  format: 0 | 1 | 2                  MIDI file format\n"
               "  tracks: COUNT                      track chunks of the file\n"
               "  division: TICKS                    ticks per quarter note of the file\n"
               "A song:\n"
               "  track: INDEX notes COUNT NAME (+)  each track chunk from 0; in a Cantova song 0 "
               "is "
               "the\n"
               "                                     tempo track and 1 the melody\n"
               "  cantova-song: yes | no             the file carries Cantova's song header\n"
               "  key: KEY | none                    key of the song, e.g. Ebmaj, F#min\n"
               "  key-fixed: yes | no\n"
               "  sections-fixed: yes | no\n"
               "  style: PATH | none                 the style file the song names\n"
               "  style-found: yes | no              that style file exists\n"
               "A MIDI file Cantova did not write (its melody is taken from one track and "
               "channel):\n"
               "  import-track: INDEX track CHUNK channel CHANNEL program PROGRAM notes COUNT\n"
               "                range LOW-HIGH NAME (+)\n"
               "                                     each chunk and channel that plays notes, from "
               "1\n"
               "                                     (program -1: none; channel 10: drums)\n"
               "  melody-track: INDEX                the one taken as the melody (make-song's\n"
               "                                     --melody-track chooses another)\n"
               "  tempo: BAR BPM BEATS/UNIT (+)      tempo (quarter notes per minute) and meter "
               "changes\n"
               "  bars: COUNT                        length of the melody in bars\n"
               "  notes: COUNT                       notes of the melody\n"
               "  lowest-note: KEY NAME | none\n"
               "  highest-note: KEY NAME | none\n"
               "  chord: BAR.BEAT CHORD [fixed] (+)  the chord lane; fixed chords stay through "
               "Make Chords\n"
               "  section: BAR.BEAT NAME (+)         the section lane\n"
               "A style:\n"
               "  meter: BEATS/UNIT\n"
               "  section: QUARTERS NAME (+)         each section and its length in quarter notes\n"
               "  part: INDEX channel CHANNEL program PROGRAM bank BANK notes COUNT NAME (+)\n"
               "                                     each part the arrangement plays, from 1\n"
               "  casm: yes | no                     the file has a part table\n"
               "  casm-part: SOURCE DESTINATION NAME (+)\n"
               "                                     part table entries as written (channels from "
               "0)\n"
               "\n"
               "A file that cannot be read gives its error message and exit status 1.\n");
}

bool InfoCommand::describe(const QString& path, QStringList& lines, QStringList& warnings)
{
    const bool style = isStyleFile(path);
    lines
        << QStringLiteral("file: %1").arg(path)
        << QStringLiteral("type: %1").arg(style ? QStringLiteral("style") : QStringLiteral("song"));
    return style ? describeStyle(path, lines) : describeSong(path, lines, warnings);
}

int InfoCommand::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.size() == 1 && (arguments.first() == QLatin1String("--help") ||
                                  arguments.first() == QLatin1String("-h"))) {
        out << helpText();
        return 0;
    }
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-'))) {
        err << usageText();
        return 2;
    }
    ErrorLog::clear();
    QStringList lines;
    QStringList warnings;
    const bool ok = describe(arguments.first(), lines, warnings);
    for (const QString& warning : warnings)
        err << "cantova info: " << warning << '\n';
    if (!ok) {
        err << "cantova info: " << ErrorLog::take() << '\n';
        return 1;
    }
    for (const QString& line : lines)
        out << line << '\n';
    return 0;
}
