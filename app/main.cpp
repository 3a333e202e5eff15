// Cantova's entry point: commands without a window first, then the application and main window.
#include "application.h"
#include "command_line.h"
#include "engine_factory.h"
#include "main_window.h"
#include "settings.h"

#include <QPixmap>
#include <QSplashScreen>
#include <memory>

int main(int argc, char* argv[])
{
    // Before anything makes the session: it plays through the sound card and the MIDI output.
    EngineFactory::install();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    {
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (const auto code = CommandLine::run(arguments, out, err))
            return *code;
    }

    Application app(argc, argv);
    auto splash = std::make_unique<QSplashScreen>(QPixmap(QStringLiteral(":/images/splash.png")));
    splash->show();
    Application::processEvents();

    auto settings = std::make_unique<Settings>();
    auto window = std::make_unique<MainWindow>(settings.get());
    splash->finish(window.get());
    if (arguments.size() > 1)
        window->openFile(arguments.at(1));

    const int code = Application::exec();
    // The window first, then the settings (which save), then the splash screen.
    window.reset();
    settings.reset();
    splash.reset();
    return code;
}
