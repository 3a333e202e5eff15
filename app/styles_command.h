#pragma once

#include <QStringList>
#include <QTextStream>

/**
 * The "styles" command: lists the styles to choose from, grouped by genre, with meter and tempo:
 * the shipped ones, or those of a folder given. Each style is one line, "  Name  4/4  112",
 * under its genre's line; a style can then be given to make-song by its name (shipped ones) or
 * path. Needs no application object. Main thread.
 */
class StylesCommand
{
public:
    /** Arguments after the command name: [FOLDER], or --help. Returns the exit code. */
    static int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString usageText();
};
