// libFuzzer target for opening a song: the file is read as the program's own song (its first
// track examined by the song structure) or imported as a MIDI file from elsewhere, into a
// session with a melody track. Every input must open or be refused without a crash, a hang or
// an allocation sized from an unchecked length.
#include "error_log.h"
#include "fuzz_temp_file.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "session.h"
#include "song_file.h"
#include "song_host.h"
#include "song_state.h"
#include "track.h"

#include <cstddef>
#include <cstdint>

namespace {

// Takes the last candidate of an imported file, so that the choice reaches past the first.
class LastCandidateHost : public SongHost
{
public:
    void warning(const QString& text) override { (void)text; }
    int chooseMelodyTrack(const std::vector<MidiImport::Candidate>& candidates,
                          int preselected) override
    {
        return candidates.empty() ? preselected : int(candidates.size()) - 1;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ensureApplication();
    static Session session;
    const QString path = fuzz::writeInput(QStringLiteral("song.mid"), data, size);
    if (path.isEmpty())
        return 0;
    session.clear();
    auto* melody = new Track(&session, Track::MidiTrack);
    session.addTrack(melody);
    auto* clip = new MidiClip(&session);
    melody->addClip(clip);
    LastCandidateHost host;
    SongFile file(&session, melody, clip, &host, SongState::of(&session));
    file.openSong(path);
    ErrorLog::clear();
    return 0;
}
