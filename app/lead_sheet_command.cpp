#include "lead_sheet_command.h"

#include "error_log.h"
#include "lead_sheet_exporter.h"
#include "midi_clip.h"
#include "music_xml_writer.h"
#include "session.h"
#include "song_file.h"
#include "song_host.h"
#include "song_state.h"
#include "song_tracks.h"

#include <QFileInfo>

namespace {

const QString kCommand = QStringLiteral("cantova lead-sheet");

/** Collects the warnings opening a song would show; the style is not needed for the melody. */
class WarningHost : public SongHost
{
public:
    void warning(const QString& text) override { warnings << text; }

    QStringList warnings;
};

struct Arguments
{
    QString song;
    QString output;
    bool help = false;
    QString problem; // a usage error
};

Arguments readArguments(const QStringList& arguments)
{
    Arguments a;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (word == QLatin1String("--help") || word == QLatin1String("-h"))
            a.help = true;
        else if ((word == QLatin1String("-o") || word == QLatin1String("--output")) &&
                 i + 1 < arguments.size())
            a.output = arguments.at(++i);
        else if (word.startsWith(QLatin1Char('-')))
            a.problem = QStringLiteral("unknown option or missing value: %1").arg(word);
        else if (a.song.isEmpty())
            a.song = word;
        else
            a.problem = QStringLiteral("one song file only: %1").arg(word);
    }
    if (!a.help && a.problem.isEmpty()) {
        if (a.song.isEmpty())
            a.problem = QStringLiteral("no song file");
        else if (a.output.isEmpty() || !MusicXmlWriter::isLeadSheetPath(a.output))
            a.problem = QStringLiteral("-o SHEET.musicxml or SHEET.mxl names the lead sheet to "
                                       "write");
    }
    return a;
}

} // namespace

QString LeadSheetCommand::usageText()
{
    return QStringLiteral("Usage: cantova lead-sheet SONG.mid -o SHEET.musicxml|SHEET.mxl\n");
}

QString LeadSheetCommand::helpText()
{
    return usageText() +
           QStringLiteral(
               "Writes the song's melody as a lead sheet that notation programs open: the notes "
               "moved\n"
               "to the nearest sixteenth or eighth-note triplet, with ties, rests and one voice; "
               "the\n"
               "chords as chord symbols, the sections as rehearsal marks, the song's key, meter "
               "and\n"
               "tempo. .musicxml is plain MusicXML, .mxl compressed. The title is the song's file "
               "name.\n"
               "Prints \"lead-sheet: PATH\". Exit status 0 written, 1 failed, 2 usage.\n");
}

int LeadSheetCommand::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Arguments a = readArguments(arguments);
    if (a.help) {
        out << helpText();
        return 0;
    }
    if (!a.problem.isEmpty()) {
        err << kCommand << ": " << a.problem << '\n' << usageText();
        return 2;
    }
    if (!QFileInfo(a.song).isFile()) {
        if (QFileInfo(a.song).isDir())
            err << kCommand << ": " << a.song << " is a folder, not a file\n";
        else
            err << kCommand << ": no such file: " << a.song << '\n';
        return 1;
    }
    ErrorLog::clear();
    Session session;
    const SongTracks tracks = SongTracks::addTo(session);
    WarningHost host;
    SongFile file(&session, tracks.melodyTrack, tracks.melody, &host, SongState::of(&session));
    const bool opened = file.openSong(a.song);
    for (const QString& warning : host.warnings)
        err << kCommand << ": " << QString(warning).replace(QLatin1Char('\n'), QLatin1Char(' '))
            << '\n';
    if (!opened) {
        const QString log = ErrorLog::take();
        err << kCommand << ": " << (log.isEmpty() ? QStringLiteral("Cannot open the song") : log)
            << '\n';
        return 1;
    }
    QString error;
    if (!LeadSheetExporter::exportSong(session, *tracks.melody, LeadSheetExporter::titleOf(a.song),
                                       a.output, error)) {
        err << kCommand << ": " << error << '\n';
        return 1;
    }
    out << "lead-sheet: " << QFileInfo(a.output).absoluteFilePath() << '\n';
    return 0;
}
