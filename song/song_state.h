#pragma once

#include "conductor_hook.h"
#include "session.h"
#include "style_part_rules.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class Track;
class MidiSequence;

/**
 * SongState: the song-wide state of song making, one per session.
 *
 * Holds the key (suggested and in effect), the two "fixed" flags, the display transposition, the
 * change and arrangement flags and the loaded style with its tracks and the session tracks that
 * receive the arrangement. It also writes the song header (marker text and key signature) into
 * the first track of a saved song and reads it back (ConductorHook). GUI thread only.
 */
class SongState : public QObject, public ConductorHook, public SongData
{
    Q_OBJECT

public:
    /** The text that opens the header of every song the program saves. */
    static constexpr char kHeaderMarker[] = "cantova30";
    static constexpr char kDefaultStyleName[] = "Default Piano";
    /** The conductor text of a song whose sections are placed the simple way. */
    static constexpr char kSimpleSectionsText[] = "cantova-sections=simple";

    /**
     * How sections are placed around the melody: Simple (intro, one "Main A", ending) or Auto
     * (main parts and fills following the melody's phrases), the default.
     */
    enum class SectionPlacement
    {
        Simple,
        Auto
    };

    explicit SongState(Session* session = nullptr);
    ~SongState() override;

    /** The session's song state, installed in the session on first use. */
    static SongState* of(Session* session);

    /** Keys back to "Cmaj", flags cleared, the style closed (its tracks are not removed). */
    void reset() override;

    Session* session() const { return m_session; }

    QString suggestedKey;
    QString key;
    bool keyFixed = false;
    int transpose = 0; // display transposition in semitones
    bool sectionsFixed = false;
    SectionPlacement sectionPlacement = SectionPlacement::Auto;
    bool chordsChanged = false;
    bool arrangementOff = false;
    QString styleName;
    QString stylePath;
    uint16_t styleBeats = 0;
    uint16_t styleBeatUnit = 0;
    /** The loaded style's tracks. */
    std::vector<std::unique_ptr<MidiSequence>> styleTracks;
    /** How each style track meets the chords (source chord root, note range), in its order. */
    std::vector<StylePartRules> styleRules;
    /** The session tracks receiving the arrangement, one per style track. */
    std::vector<Track*> arrangedTracks;

    /** Refreshes the piano roll and the main window after the song changed. */
    std::function<void()> songChanged;

    /** Forgets the style: the default piano style name, no path, meter 0/0, no tracks. */
    void closeStyle();

    /** The key in effect as the key button shows it: transposed for display. */
    QString displayedKey() const;

    // ConductorHook
    void writeConductor(MidiSequence& events) override;
    bool readConductor(const MidiSequence& conductor, QString& stylePath) override;
    void markUnchanged() override { chordsChanged = false; }

Q_SIGNALS:
    /** The key in effect, its fixed flag or the transposition changed (the key button). */
    void keyChanged();

private:
    Session* m_session;
};
