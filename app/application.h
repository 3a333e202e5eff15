#pragma once

#include <QApplication>

class QPalette;

/**
 * Application: the process-wide application object of the program.
 *
 * Sets the organisation and application names the settings store uses, the version, and the
 * program's palette rule for dark desktop themes. GUI thread only.
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
};
