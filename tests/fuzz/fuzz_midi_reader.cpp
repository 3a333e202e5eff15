// libFuzzer target for the MIDI file reader: every input must be read or refused without a
// crash, a hang or an allocation sized from an unchecked length.
// Build: CC=clang CXX=clang++ cmake -DCANTOVA_FUZZ=ON ...; run with tests/data/midi/malformed
// as the seed corpus.
#include "error_log.h"
#include "midi_file.h"
#include "midi_import.h"
#include "midi_sequence.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MidiFile file;
    if (file.openData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))) {
        std::array<MidiSequence, 16> many;
        std::vector<MidiSequence*> destinations;
        for (auto& s : many)
            destinations.push_back(&s);
        file.readTracks(destinations, 0);
        for (int track = 0; track < file.trackCount() && track < 16; ++track) {
            MidiSequence one;
            one.setBegin(uint32_t(track) * 7);
            one.setLength(track % 2 ? 1000 : 0);
            file.readTrack(one, track);
        }
        // The import of files from elsewhere: every chunk split by channel, then a melody.
        MidiImport import;
        if (import.scan(file) && !import.candidates().empty()) {
            MidiSequence melody;
            import.readMelody(file, int(import.candidates().size()) - 1, melody);
        }
    }
    ErrorLog::clear();
    return 0;
}
