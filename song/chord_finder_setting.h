#pragma once

#include <QString>

#include <optional>

class QSettings;

/** The two ways of finding chords: whole progressions (the default) or bar by bar. */
enum class ChordFinderKind
{
    Progression, // ProgressionFinder: the whole melody at once, as a musician would choose
    Classic,     // ChordFinder: one bar after another by its rules
};

/**
 * The user's choice of chord finder, as text ("progression" or "classic") on the command line
 * and in the settings store under key() ("progression" when absent or unknown).
 * Any thread; the store as the caller guards it.
 */
class ChordFinderSetting
{
public:
    static QString key() { return QStringLiteral("/chords/finder"); }

    /** "progression" or "classic" (case-insensitive); nothing for any other text. */
    static std::optional<ChordFinderKind> fromText(const QString& text);
    static QString text(ChordFinderKind kind);

    static ChordFinderKind read(const QSettings& store);
    static void write(QSettings& store, ChordFinderKind kind);
    /** The choice in the program's own settings store. */
    static ChordFinderKind current();
};
