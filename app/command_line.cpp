#include "command_line.h"

#include "info_command.h"
#include "lead_sheet_command.h"
#include "make_song_command.h"
#include "styles_command.h"
#include "transcribe_command.h"

QString CommandLine::versionText()
{
    return QStringLiteral("Cantova %1").arg(QStringLiteral(CANTOVA_VERSION));
}

QString CommandLine::usageText()
{
    return QStringLiteral("Usage: cantova [--version | --help]\n"
                          "       cantova transcribe [--tuning follow|classic] INPUT OUTPUT.mid\n"
                          "       cantova make-song INPUT -o OUTPUT.mid [options]\n"
                          "       cantova info FILE\n"
                          "       cantova styles [FOLDER]\n"
                          "       cantova lead-sheet SONG.mid -o SHEET.musicxml|SHEET.mxl\n"
                          "Without arguments Cantova opens its window.\n");
}

std::optional<int> CommandLine::run(const QStringList& arguments, QTextStream& out,
                                    QTextStream& err)
{
    // arguments[0] is the program itself.
    if (arguments.size() < 2)
        return std::nullopt;
    const QString& first = arguments.at(1);
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        out << versionText() << '\n';
        return 0;
    }
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        out << usageText();
        return 0;
    }
    if (first == QLatin1String("transcribe"))
        return TranscribeCommand::run(arguments.mid(2), out, err);
    if (first == QLatin1String("make-song"))
        return MakeSongCommand::run(arguments.mid(2), out, err);
    if (first == QLatin1String("info"))
        return InfoCommand::run(arguments.mid(2), out, err);
    if (first == QLatin1String("styles"))
        return StylesCommand::run(arguments.mid(2), out, err);
    if (first == QLatin1String("lead-sheet"))
        return LeadSheetCommand::run(arguments.mid(2), out, err);
    if (first.startsWith(QLatin1Char('-'))) {
        err << QStringLiteral("cantova: unknown option %1\n").arg(first) << usageText();
        return 2;
    }
    return std::nullopt; // a file to open in the window
}
