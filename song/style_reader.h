#pragma once

#include "midi_sequence.h"
#include "style_part_rules.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

/**
 * StyleReader: reads an accompaniment style (a Standard MIDI File with section markers in its
 * first track and an optional part table after the last track) into style tracks.
 *
 * Format 1 gives one style track per track chunk, every other format one per MIDI channel. Track
 * i is named "Arranged Track i+1" and plays on channel i unless the file names it or the part
 * table routes it; the table also gives each part its source chord root and note range. The reader
 * then takes the style meter, checks that the first track marks exactly one "Main A" section and
 * drops the tracks without notes (the first stays as the section track on channel 8). Nothing here
 * touches a session. Failures return false and add a message to the error log. Any one thread at a
 * time.
 */
class StyleReader
{
public:
    /** Files larger than this are refused before they are read into memory. */
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    struct Style
    {
        std::vector<std::unique_ptr<MidiSequence>> tracks;
        std::vector<StylePartRules> rules; // one per track, from the part table
        uint16_t beats = 4;                // beats per bar
        uint16_t beatUnit = 2;             // meter denominator as a power of two (2 = quarter note)
    };

    StyleReader();
    ~StyleReader();

    /** Reads the style file at path. */
    bool readFile(const QString& path);
    /** Reads a style held in memory; where names it in error messages. */
    bool readData(const QByteArray& bytes, const QString& where = QString());

    const Style& style() const { return m_style; }
    /** Hands the tracks and meter read over to the caller. */
    Style takeStyle() { return std::move(m_style); }

private:
    bool readTracks(const QByteArray& bytes);
    void applyPartTable(const QByteArray& bytes, uint32_t from);
    bool checkMainSection();
    bool tidyTracks();
    bool fail(const QString& message);

    Style m_style;
    QString m_where;
};
