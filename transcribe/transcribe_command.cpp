#include "transcribe_command.h"

#include "audio_file_transcriber.h"
#include "error_log.h"
#include "key_names.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "time_scale.h"
#include "transcribed_melody.h"
#include "transcription_engine.h"
#include "tuning_setting.h"

#include <QFileInfo>

namespace {

constexpr uint16_t kDivision = 960; // ticks per quarter note

// The notes land on the ticks Audio to MIDI gives them in a new song (120 bpm, 960 ticks per
// beat, the window's session rate) for the file opened at its start.
void fillSequence(const TranscriptionResult& result, MidiSequence& melody)
{
    TimeScale scale;
    scale.setSampleRate(AudioFileTranscriber::kSessionRate);
    scale.setTicksPerBeat(kDivision);
    TranscribedMelody::addNotes(result, scale, melody, 0);
}

// Format 1 with the tempo track first, as songs are laid out, so Open MIDI takes the melody.
bool writeMidi(const QString& path, MidiSequence& melody)
{
    MidiFile file;
    if (!file.open(path, MidiFile::Write) || !file.writeHeader(1, 2, kDivision) ||
        !file.writeTrack(nullptr) || !file.writeTrack(&melody))
        return false;
    return file.close();
}

int failWithLog(QTextStream& err)
{
    err << "cantova transcribe: " << ErrorLog::take() << '\n';
    return 1;
}

} // namespace

QString TranscribeCommand::usageText()
{
    return QStringLiteral("Usage: cantova transcribe [--tuning follow|classic] INPUT OUTPUT.mid\n"
                          "Transcribes the melody of an audio file (WAV, FLAC, MP3, ...) into a "
                          "MIDI file at 120 bpm.\n"
                          "--tuning follow   follows the singer's tuning as it drifts and times "
                          "the notes as one voice sings them\n"
                          "--tuning classic  one tuning offset for the whole take, notes timed as "
                          "found\n"
                          "Without --tuning the choice made in the window's options is used "
                          "(follow when none was made).\n");
}

int TranscribeCommand::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    QStringList files = arguments;
    NoteRefiner::Tuning tuning = TuningSetting::readUserChoice();
    if (files.size() >= 2 && files.at(0) == QLatin1String("--tuning")) {
        const auto chosen = TuningSetting::fromText(files.at(1));
        if (!chosen) {
            err << QStringLiteral("cantova transcribe: unknown tuning %1\n").arg(files.at(1))
                << usageText();
            return 2;
        }
        tuning = *chosen;
        files = files.mid(2);
    }
    if (files.size() != 2) {
        err << usageText();
        return 2;
    }
    const QString& input = files.at(0);
    const QString& output = files.at(1);
    TranscriptionEngine engine;
    engine.setTuning(tuning);
    if (!AudioFileTranscriber::transcribe(engine, input))
        return failWithLog(err);

    const TranscriptionResult& result = engine.result();
    MidiSequence melody(QFileInfo(input).completeBaseName(), 0, kDivision);
    fillSequence(result, melody);
    if (!writeMidi(output, melody))
        return failWithLog(err);
    if (result.noteCount == 0)
        err << QStringLiteral("Cannot transcribe any MIDI notes from this audio.\n");
    out << QStringLiteral("%1 notes, key %2\n")
               .arg(result.noteCount)
               .arg(keyName(result.key, result.minor != 0));
    return 0;
}
