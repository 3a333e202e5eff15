#pragma once

#include <QString>
#include <cstdint>
#include <vector>

/**
 * StyleCasm: reads the part table ("CASM" block) that may follow the last track chunk of a
 * style file.
 *
 * The block holds one or more "CSEG" segments, each a "Sdec" section list followed by part
 * entries that name a part, route its source channel to a destination channel and tell the
 * chord its pattern is written over and the notes it may play. Older files write "Ctab"
 * entries; newer ones "Ctb2" entries with the same fields, whose transposition rule and note
 * limits come in three ranges chosen by the chord root (the middle range is read). The bytes
 * are untrusted: every length is checked against the bytes that are there, and a truncated or
 * malformed block ends the reading with the parts read so far. Any thread.
 */
class StyleCasm
{
public:
    struct Part
    {
        int source = 0;      // style track (channel) the entry names, 0..15
        QString name;        // part name, at most 8 characters
        int destination = 0; // channel the part plays on, 0..15, as written
        int sourceRoot = 0;  // pitch class of the chord the pattern is written over, 0..11
        int sourceType = 0;  // that chord's type as the table codes it (not interpreted)
        int lowLimit = 0;    // lowest and highest note the part may play, as written
        int highLimit = 127;
        bool newFormat = false; // read from a "Ctb2" entry
    };

    /** The parts of the block at the start of data (none when there is no block). */
    static std::vector<Part> read(const uint8_t* data, uint32_t size);
};
