#include "application.h"

#include "data_paths.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QTranslator>

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Orvane"));
    setApplicationName(QStringLiteral("Cantova"));
    setApplicationVersion(QStringLiteral(CANTOVA_VERSION));
    QPalette pal = palette();
    if (adjustDarkPalette(pal))
        setPalette(pal);
    installTranslations();
}

void Application::installTranslations()
{
    // Without a translation for the language the texts stay in English; nothing to report.
    auto* qt = new QTranslator(this);
    if (qt->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qt);
    auto* own = new QTranslator(this);
    if (own->load(QLocale(), QStringLiteral("cantova"), QStringLiteral("_"),
                  DataPaths::path(QStringLiteral("translations"))))
        installTranslator(own);
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
