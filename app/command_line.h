#pragma once

#include <QStringList>
#include <QTextStream>
#include <optional>

/**
 * CommandLine: the program's commands that run without a window.
 *
 * run() handles the arguments it knows ("--version", "--help", "transcribe INPUT OUTPUT.mid",
 * "info FILE") and returns the exit code; it returns nothing when the arguments ask for the
 * window. It needs no application object.
 */
class CommandLine
{
public:
    static std::optional<int> run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString versionText();
    static QString usageText();
};
