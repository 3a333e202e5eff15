#include "styles_command.h"

#include "data_paths.h"
#include "error_log.h"
#include "style_catalog.h"

#include <QFileInfo>
#include <algorithm>

QString StylesCommand::usageText()
{
    return QStringLiteral("Usage: cantova styles [FOLDER]\n"
                          "Lists the styles (*.sty) of FOLDER, or the shipped ones, grouped by "
                          "genre, with meter and tempo\n(quarter notes per minute).\n");
}

int StylesCommand::run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.size() == 1 && (arguments.first() == QLatin1String("--help") ||
                                  arguments.first() == QLatin1String("-h"))) {
        out << usageText();
        return 0;
    }
    if (arguments.size() > 1 || (!arguments.isEmpty() && arguments.first().startsWith('-'))) {
        err << usageText();
        return 2;
    }
    const QString folder =
        arguments.isEmpty() ? DataPaths::path(QStringLiteral("Styles")) : arguments.first();
    if (!QFileInfo(folder).isDir()) {
        err << QStringLiteral("cantova styles: no such folder: %1\n").arg(folder);
        return 1;
    }
    ErrorLog::clear();
    const std::vector<StyleCatalog::Entry> styles = StyleCatalog::scan(folder);
    // Files that are no style are told, not listed.
    const QString unreadable = ErrorLog::take();
    if (!unreadable.isEmpty())
        err << "cantova styles: " << unreadable << '\n';
    if (styles.empty()) {
        err << QStringLiteral("cantova styles: no style in %1\n").arg(folder);
        return 1;
    }
    qsizetype width = 0;
    for (const StyleCatalog::Entry& s : styles)
        width = std::max(width, s.name.size());
    QString genre;
    for (const StyleCatalog::Entry& s : styles) {
        if (s.genre != genre) {
            genre = s.genre;
            out << genre << '\n';
        }
        out << "  " << s.name.leftJustified(width) << "  " << s.meterText().leftJustified(4) << "  "
            << qRound(s.tempo) << '\n';
    }
    return 0;
}
