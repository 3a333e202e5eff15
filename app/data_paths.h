#pragma once
// DataPaths: where the program finds the files it ships (styles, sample melodies, help pages,
// translations), whether it runs from its build folder or from an installed prefix.
#include <QString>

/**
 * The data folder holds "Styles", "samples", "translations" and the help pages. In a build folder
 * they sit beside the program; an installed program finds them in <prefix>/share/cantova, first
 * relative to itself (so a moved or unpacked prefix still works), then in the prefix it was
 * configured for. Any thread; the override is for tests and is set before anything reads it.
 */
class DataPaths
{
public:
    /** The data folder of the running program. */
    static QString dataDir();
    /** A file or folder inside the data folder ("Styles", "help.html"). */
    static QString path(const QString& name);

    /** The folder holding the running program's executable, with or without an application. */
    static QString programDir();

    /**
     * The data folder of a program in programDir: programDir itself when it holds "Styles"
     * (a build folder), else programDir/../share/cantova when that exists, else installDir.
     */
    static QString resolve(const QString& programDir, const QString& installDir);

    /** The data folder the build was configured to install into. */
    static QString installDir();

    /** Replaces the data folder (tests); an empty text restores the resolved one. */
    static void setOverride(const QString& dir);
};
