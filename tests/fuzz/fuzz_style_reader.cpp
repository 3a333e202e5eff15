// libFuzzer target for the style reader and its part table: every input must be read or refused
// without a crash, a hang or an allocation sized from an unchecked length.
// Build: CC=clang CXX=clang++ cmake -DCANTOVA_FUZZ=ON ...; run with tests/data/styles and
// tests/data/styles/malformed as the seed corpus.
#include "error_log.h"
#include "style_casm.h"
#include "style_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StyleReader reader;
    reader.readData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // The part table alone, so the fuzzer reaches it without first building a valid file.
    StyleCasm::read(data, uint32_t(size));
    ErrorLog::clear();
    return 0;
}
