#pragma once

#include <QApplication>

class QPalette;

/**
 * Application: the process-wide application object of the program.
 *
 * Sets the organisation and application names the settings store uses, the version, and the
 * program's palette rule for dark desktop themes, and installs the translations of the system's
 * language (the program's own from its data folder, Qt's from Qt's folder). GUI thread only.
 */
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    /**
     * On a dark theme (base colour value 126 or less) the disabled colours are rebuilt from the
     * active ones so that disabled texts stay readable; returns false and leaves the palette as
     * it is on a light theme.
     */
    static bool adjustDarkPalette(QPalette& palette);

private:
    void installTranslations();
};
