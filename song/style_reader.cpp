#include "style_reader.h"

#include "error_log.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "style_casm.h"

#include <QFile>

namespace {

constexpr uint16_t kSectionChannel = 8;
constexpr int kDrumChannel = 9;

bool hasNotes(const MidiSequence& track)
{
    for (const MidiEvent* e = track.first(); e; e = e->next()) {
        if (e->isNote())
            return true;
    }
    return false;
}

} // namespace

StyleReader::StyleReader() = default;
StyleReader::~StyleReader() = default;

bool StyleReader::fail(const QString& message)
{
    const QString where = m_where.isEmpty() ? QStringLiteral("(memory)") : m_where;
    ErrorLog::add(QStringLiteral("openStyle: %1: %2").arg(where, message));
    m_style = Style();
    return false;
}

bool StyleReader::readFile(const QString& path)
{
    m_where = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > MaxFileSize)
        return fail(QStringLiteral("the file is larger than %1 bytes").arg(MaxFileSize));
    const QByteArray bytes = file.read(MaxFileSize);
    return readData(bytes, path);
}

bool StyleReader::readData(const QByteArray& bytes, const QString& where)
{
    m_where = where;
    m_style = Style();
    return readTracks(bytes) && checkMainSection() && tidyTracks();
}

bool StyleReader::readTracks(const QByteArray& bytes)
{
    MidiFile file;
    if (!file.openData(bytes))
        return fail(QStringLiteral("not a Standard MIDI File"));
    const bool perChunk = file.format() == 1;
    if (perChunk && file.trackCount() == 0)
        return fail(QStringLiteral("the file has no track"));
    const size_t count = perChunk ? file.tracks().size() : 16;
    std::vector<MidiSequence*> destinations;
    for (size_t i = 0; i < count; ++i) {
        m_style.tracks.push_back(std::make_unique<MidiSequence>(
            QStringLiteral("Arranged Track %1").arg(i + 1), uint16_t(i), file.division()));
        destinations.push_back(m_style.tracks.back().get());
    }
    m_style.rules.resize(count);
    // One destination would make readTracks read a single track; a style always takes all.
    MidiSequence spare;
    if (destinations.size() == 1)
        destinations.push_back(&spare);
    if (!file.readTracks(destinations, 0))
        return fail(QStringLiteral("the tracks cannot be read"));
    // A style part plays on the channel of its place in the file (or of its part-table entry),
    // whatever channel its events were written on.
    for (size_t i = 0; i < count; ++i)
        m_style.tracks[i]->setChannel(uint16_t(i));

    const MidiFile::Track& last = file.tracks().empty() ? MidiFile::Track{} : file.tracks().back();
    applyPartTable(bytes, last.offset + last.length);

    // The meter at the start of the style; a time signature that makes no sense keeps 4/4.
    const MidiTempoMap::Node* node = file.tempoMap() ? file.tempoMap()->find(0) : nullptr;
    if (node && node->numerator > 0 && node->exponent <= 6) {
        m_style.beats = node->numerator;
        m_style.beatUnit = node->exponent;
    }
    return true;
}

void StyleReader::applyPartTable(const QByteArray& bytes, uint32_t from)
{
    if (from >= uint32_t(bytes.size()))
        return;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (const StyleCasm::Part& part :
         StyleCasm::read(data + from, uint32_t(bytes.size()) - from)) {
        if (size_t(part.source) >= m_style.tracks.size())
            continue;
        MidiSequence& track = *m_style.tracks[size_t(part.source)];
        if (!part.name.isEmpty())
            track.setName(part.name);
        // Destination 8 stands for the drum channel in these tables.
        track.setChannel(uint16_t(part.destination == 8 ? kDrumChannel : part.destination));
        m_style.rules[size_t(part.source)] = {part.sourceRoot, part.lowLimit, part.highLimit};
    }
}

bool StyleReader::checkMainSection()
{
    int found = 0;
    for (const MidiEvent* e = m_style.tracks.front()->first(); e; e = e->next()) {
        if (e->isMeta() && e->metaType == MidiEvent::MetaMarker && e->data() == "Main A")
            ++found;
    }
    if (found == 0)
        return fail(QStringLiteral("no \"Main A\" section"));
    if (found > 1)
        return fail(QStringLiteral("more than one \"Main A\" section"));
    return true;
}

bool StyleReader::tidyTracks()
{
    auto& tracks = m_style.tracks;
    for (size_t j = 0; j < tracks.size();) {
        MidiSequence& track = *tracks[j];
        if (hasNotes(track)) {
            if (track.program() < 0)
                track.setProgram(0);
            if (track.bank() < 0)
                track.setBank(0);
            ++j;
        } else if (j == 0) {
            // The first track carries the section markers even when it plays nothing.
            track.setName(track.name() + QStringLiteral("(section)"));
            track.setChannel(kSectionChannel);
            ++j;
        } else {
            tracks.erase(tracks.begin() + std::ptrdiff_t(j));
            m_style.rules.erase(m_style.rules.begin() + std::ptrdiff_t(j));
        }
    }
    if (tracks.empty())
        return fail(QStringLiteral("no track is left"));
    return true;
}
