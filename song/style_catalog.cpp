#include "style_catalog.h"

#include "lane_events.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "style_reader.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr int kTextMeta = 0x01;
constexpr char kGenrePrefix[] = "genre: ";

// Reads the genre and the section markers from the style's first track.
void readConductor(const MidiSequence& track, StyleCatalog::Entry& entry)
{
    for (const MidiEvent* e = track.first(); e; e = e->next()) {
        if (!e->isMeta())
            continue;
        const QByteArray& data = e->data();
        if (e->metaType == kTextMeta && data.startsWith(kGenrePrefix) && entry.genre.isEmpty()) {
            entry.genre = QString::fromLatin1(data.mid(int(sizeof(kGenrePrefix)) - 1)).trimmed();
        } else if (laneKind(e) == SectionLane) {
            const QString name = laneText(e);
            if (!entry.sections.contains(name))
                entry.sections << name;
        }
    }
}

// The tempo at the start of a style the reader accepted (so of a size it reads): the file's
// tempo map, which reading its tracks fills.
double startTempo(const QString& path)
{
    QFile in(path);
    MidiFile file;
    if (!in.open(QIODevice::ReadOnly) || !file.openData(in.read(StyleReader::MaxFileSize)))
        return 120;
    std::vector<MidiSequence> tracks(std::max<size_t>(file.tracks().size(), 2));
    std::vector<MidiSequence*> destinations;
    for (MidiSequence& t : tracks)
        destinations.push_back(&t);
    const MidiTempoMap* map = file.readTracks(destinations, 0) ? file.tempoMap() : nullptr;
    const MidiTempoMap::Node* first = map ? map->find(0) : nullptr;
    return first && first->tempo > 0 ? first->tempo : 120;
}

} // namespace

QString StyleCatalog::Entry::meterText() const
{
    return QStringLiteral("%1/%2").arg(beats).arg(1 << std::min<int>(beatUnit, 6));
}

QString StyleCatalog::otherGenre()
{
    return QStringLiteral("Other");
}

std::optional<StyleCatalog::Entry> StyleCatalog::describe(const QString& path)
{
    StyleReader reader;
    if (!reader.readFile(path))
        return std::nullopt;
    const StyleReader::Style& style = reader.style();
    Entry entry;
    entry.name = QFileInfo(path).completeBaseName();
    entry.path = path;
    entry.beats = style.beats;
    entry.beatUnit = style.beatUnit;
    entry.tempo = startTempo(path);
    if (!style.tracks.empty())
        readConductor(*style.tracks.front(), entry);
    if (entry.genre.isEmpty())
        entry.genre = otherGenre();
    return entry;
}

std::vector<StyleCatalog::Entry> StyleCatalog::scan(const QString& folder)
{
    std::vector<Entry> entries;
    const QDir dir(folder);
    const QStringList files =
        dir.entryList({QStringLiteral("*.sty"), QStringLiteral("*.STY")}, QDir::Files);
    for (const QString& file : files) {
        if (std::optional<Entry> entry = describe(dir.filePath(file)))
            entries.push_back(std::move(*entry));
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        // "Other" closes the list: those are styles from elsewhere.
        const bool aOther = a.genre == otherGenre(), bOther = b.genre == otherGenre();
        if (aOther != bOther)
            return bOther;
        if (const int byGenre = collator.compare(a.genre, b.genre))
            return byGenre < 0;
        return collator.compare(a.name, b.name) < 0;
    });
    return entries;
}

QStringList StyleCatalog::genres(const std::vector<Entry>& entries)
{
    QStringList out;
    for (const Entry& e : entries) {
        if (!out.contains(e.genre))
            out << e.genre;
    }
    return out;
}
