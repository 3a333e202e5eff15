#pragma once

#include <QString>
#include <cstdint>
#include <vector>

/**
 * StyleCasm: reads the part table ("CASM" block) that may follow the last track chunk of a
 * style file.
 *
 * The block holds one or more "CSEG" segments, each a "Sdec" section list followed by "Ctab"
 * entries that name a part and route its source channel to a destination channel. The bytes are
 * untrusted: every length is checked against the bytes that are there, and a truncated or
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
    };

    /** The parts of the block at the start of data (none when there is no block). */
    static std::vector<Part> read(const uint8_t* data, uint32_t size);
};
