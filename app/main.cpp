// Cantova's entry point: commands without a window first, then the application and main window.
#include "command_line.h"
#include "main_form.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (const auto code = CommandLine::run(arguments, out, err))
            return *code;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Cantova"));
    QApplication::setApplicationVersion(QStringLiteral(CANTOVA_VERSION));

    vx99MainForm window;
    window.show();
    return QApplication::exec();
}
