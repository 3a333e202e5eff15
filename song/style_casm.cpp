#include "style_casm.h"

#include "byte_reader.h"

#include <cstring>

namespace {

// The smallest "Ctab" entry holds source, name and destination plus the nine bytes the program
// does not use.
constexpr int64_t kMinimumEntryLength = 27;

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

// One "Ctab" entry after its tag; false when it ends the reading.
bool readEntry(ByteReader& in, std::vector<StyleCasm::Part>& parts)
{
    const int64_t length = in.readNumber(4);
    if (length < kMinimumEntryLength || length > int64_t(in.left()))
        return false;
    const uint8_t* entry = in.take(uint32_t(length));
    const int source = entry[0];
    const int destination = entry[9];
    if (source > 15 || destination > 15)
        return false;
    parts.push_back({source, partName(entry + 1), destination});
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
    while (nextIs(in, data, "Ctab")) {
        in.take(4);
        if (!readEntry(in, parts))
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
