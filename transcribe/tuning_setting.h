#pragma once

#include "note_refiner.h"

#include <QString>

#include <optional>

class QSettings;

/**
 * The user's choice of tuning for transcriptions, as text ("follow" or "classic") on the
 * command line and in the settings store under key() ("follow" when absent or unknown).
 * Any thread; the store as the caller guards it.
 */
class TuningSetting
{
public:
    static QString key() { return QStringLiteral("/transcription/tuning"); }

    /** "follow" or "classic" (case-insensitive); nothing for any other text. */
    static std::optional<NoteRefiner::Tuning> fromText(const QString& text);
    static QString text(NoteRefiner::Tuning tuning);

    static NoteRefiner::Tuning read(const QSettings& store);
    /** The choice in the user's own settings store (organisation "Orvane", application
     *  "Cantova"), which the window's options dialog writes; the commands start from it. */
    static NoteRefiner::Tuning readUserChoice();
    static void write(QSettings& store, NoteRefiner::Tuning tuning);
};
