#include "style_casm.h"

#include "byte_reader.h"

#include <algorithm>
#include <cstring>

namespace {

// Byte offsets inside a part entry (after its tag and length). Both kinds open with source
// channel, 8-byte name, destination channel, an editable flag, 2 bytes of note mute and 5 of
// chord mute, then the source chord root and type.
constexpr int kSourceOffset = 0;
constexpr int kNameOffset = 1;
constexpr int kDestinationOffset = 9;
constexpr int kSourceRootOffset = 18;
constexpr int kSourceTypeOffset = 19;
// "Ctab": one range of transposition rule, table, high key, low limit, high limit and
// retrigger rule, then at least one byte of special features.
constexpr int kTableLowLimitOffset = 23;
constexpr int kTableHighLimitOffset = 24;
constexpr int64_t kMinimumTableLength = 27;
// "Ctb2": the middle range's lowest and highest note, then three ranges (low, middle, high)
// laid out as the one range of "Ctab"; the middle range's limits are read.
constexpr int kMiddleRangeOffset = 28;
constexpr int kTable2LowLimitOffset = kMiddleRangeOffset + 3;
constexpr int kTable2HighLimitOffset = kMiddleRangeOffset + 4;
constexpr int64_t kMinimumTable2Length = 40;

bool takeTag(ByteReader& in, const char* tag)
{
    const uint8_t* bytes = in.take(4);
    return bytes && std::memcmp(bytes, tag, 4) == 0;
}

// True when the next four bytes are the tag; reads nothing.
bool nextIs(const ByteReader& in, const uint8_t* data, const char* tag)
{
    return in.left() >= 4 && std::memcmp(data + in.offset(), tag, 4) == 0;
}

// The 8 name bytes in the local 8-bit code page, cut at the first zero byte.
QString partName(const uint8_t* bytes)
{
    int length = 0;
    while (length < 8 && bytes[length] != 0)
        ++length;
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(bytes), length).trimmed();
}

// One "Ctab" or "Ctb2" entry after its tag; false when it ends the reading.
bool readEntry(ByteReader& in, bool newFormat, std::vector<StyleCasm::Part>& parts)
{
    const int64_t length = in.readNumber(4);
    const int64_t minimum = newFormat ? kMinimumTable2Length : kMinimumTableLength;
    if (length < minimum || length > int64_t(in.left()))
        return false;
    const uint8_t* entry = in.take(uint32_t(length));
    StyleCasm::Part part;
    part.source = entry[kSourceOffset];
    part.destination = entry[kDestinationOffset];
    if (part.source > 15 || part.destination > 15)
        return false;
    part.name = partName(entry + kNameOffset);
    part.sourceRoot = entry[kSourceRootOffset] % 12;
    part.sourceType = entry[kSourceTypeOffset];
    // Note limits beyond the MIDI range are read as its top.
    part.lowLimit =
        std::min<int>(entry[newFormat ? kTable2LowLimitOffset : kTableLowLimitOffset], 127);
    part.highLimit =
        std::min<int>(entry[newFormat ? kTable2HighLimitOffset : kTableHighLimitOffset], 127);
    part.newFormat = newFormat;
    parts.push_back(part);
    return true;
}

// A "CSEG" segment after its tag: the section list, then its entries. False when the reading
// ends inside it.
bool readSegment(ByteReader& in, const uint8_t* data, std::vector<StyleCasm::Part>& parts)
{
    const int64_t length = in.readNumber(4);
    if (length <= 5 || length > int64_t(in.left()) || !takeTag(in, "Sdec"))
        return false;
    const int64_t sections = in.readNumber(4);
    if (sections < 0 || !in.take(uint32_t(sections))) // the section list is not used
        return false;
    for (;;) {
        const bool oldEntry = nextIs(in, data, "Ctab");
        if (!oldEntry && !nextIs(in, data, "Ctb2"))
            break;
        in.take(4);
        if (!readEntry(in, !oldEntry, parts))
            return false;
    }
    return true;
}

} // namespace

std::vector<StyleCasm::Part> StyleCasm::read(const uint8_t* data, uint32_t size)
{
    std::vector<Part> parts;
    ByteReader outer(data, size);
    if (!takeTag(outer, "CASM"))
        return parts;
    const int64_t length = outer.readNumber(4);
    if (length <= 5)
        return parts;
    // The walk stays inside the block as declared, and inside the bytes that are really there.
    const uint32_t block = uint32_t(std::min<int64_t>(length, outer.left()));
    const uint8_t* start = data + outer.offset();
    ByteReader in(start, block);
    // Every pass consumes at least one tag, so the loop ends with the bytes.
    while (takeTag(in, "CSEG")) {
        if (!readSegment(in, start, parts))
            break;
    }
    return parts;
}
