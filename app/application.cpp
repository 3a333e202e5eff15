#include "application.h"

#include <QPalette>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Orvane"));
    setApplicationName(QStringLiteral("Cantova"));
    setApplicationVersion(QStringLiteral(CANTOVA_VERSION));
    QPalette pal = palette();
    if (adjustDarkPalette(pal))
        setPalette(pal);
}

bool Application::adjustDarkPalette(QPalette& pal)
{
    if (pal.color(QPalette::Base).value() > 126)
        return false;
    // Dark themes often grey disabled text out to nearly the background colour.
    const QPalette::ColorGroup from = QPalette::Active;
    const QPalette::ColorGroup to = QPalette::Disabled;
    pal.setColor(to, QPalette::WindowText, pal.color(from, QPalette::WindowText).darker(200));
    pal.setColor(to, QPalette::Text, pal.color(from, QPalette::Text).darker(200));
    pal.setColor(to, QPalette::BrightText, pal.color(from, QPalette::Text).lighter(150));
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::Light, QPalette::Dark,
                                     QPalette::Mid, QPalette::Base, QPalette::Window})
        pal.setColor(to, role, pal.color(from, role));
    return true;
}
