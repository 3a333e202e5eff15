#include "song_state.h"

#include "key_names.h"
#include "midi_sequence.h"

SongState::SongState(Session* session) : m_session(session)
{
    reset();
}

SongState::~SongState() = default;

SongState* SongState::of(Session* session)
{
    if (auto* song = dynamic_cast<SongState*>(session->songData()))
        return song;
    auto song = std::make_unique<SongState>(session);
    SongState* state = song.get();
    session->setSongData(std::move(song));
    return state;
}

void SongState::reset()
{
    key = suggestedKey = QStringLiteral("Cmaj");
    keyFixed = false;
    transpose = 0;
    sectionsFixed = false;
    sectionPlacement = SectionPlacement::Auto;
    chordsChanged = false;
    arrangementOff = false;
    closeStyle();
}

void SongState::closeStyle()
{
    styleName = QLatin1String(kDefaultStyleName);
    stylePath.clear();
    styleBeats = 0;
    styleBeatUnit = 0;
    styleTracks.clear();
    styleRules.clear();
    arrangedTracks.clear();
}

QString SongState::displayedKey() const
{
    return transposedKeyName(key, transpose);
}

void SongState::writeConductor(MidiSequence& events)
{
    QByteArray header(kHeaderMarker);
    header += keyFixed ? '1' : '0';
    header += sectionsFixed ? '1' : '0';
    header += stylePath.toLocal8Bit();
    events.insert(MidiEvent::meta(0, MidiEvent::MetaText, header));

    // An empty or unreadable key is written as C major.
    const ParsedKey parsed = parseKey(key);
    const bool valid = parsed.tonicTpc != kNoTpc;
    QByteArray signature(2, '\0');
    signature[0] = char(valid ? parsed.signature : 0);
    signature[1] = char(valid && parsed.minor ? 1 : 0);
    events.insert(MidiEvent::meta(0, MidiEvent::MetaKeySignature, signature));
    // Auto placement is the default and needs no word.
    if (sectionPlacement == SectionPlacement::Simple)
        events.insert(MidiEvent::meta(0, MidiEvent::MetaText, QByteArray(kSimpleSectionsText)));
}

bool SongState::readConductor(const MidiSequence& conductor, QString& path)
{
    keyFixed = false;
    sectionsFixed = false;
    sectionPlacement = SectionPlacement::Auto;
    key.clear();
    path.clear();
    bool ours = false;
    for (const MidiEvent* e = conductor.first(); e; e = e->next()) {
        if (!e->isMeta())
            continue;
        const QByteArray& data = e->data();
        if (e->metaType == MidiEvent::MetaText && data.startsWith("cantova") && data.size() >= 9 &&
            data.mid(7, 2) == "30") {
            keyFixed = data.size() > 9 && data[9] != '0';
            sectionsFixed = data.size() > 10 && data[10] != '0';
            path = QString::fromLocal8Bit(data.mid(11));
            ours = true;
        } else if (e->metaType == MidiEvent::MetaText && data == kSimpleSectionsText) {
            sectionPlacement = SectionPlacement::Simple;
        } else if (e->metaType == MidiEvent::MetaKeySignature && key.isEmpty() &&
                   data.size() >= 2) {
            // Only the first key signature counts; signatures outside -7..+7 name no key.
            key = keyName(int(int8_t(data[0])), data[1] != 0);
            if (!key.isEmpty())
                Q_EMIT keyChanged();
        }
    }
    return ours;
}
