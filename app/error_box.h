#pragma once

#include <QString>

class QWidget;

/**
 * ErrorBox: shows the program-wide error log to the user and empties it.
 *
 * The box is a warning titled "Cantova" with the log, the offer to copy it to the clipboard and
 * the buttons Yes and No. GUI thread only.
 */
class ErrorBox
{
public:
    /**
     * Adds lastMessage (when not empty) to the log, then shows the log unless it is empty.
     * Returns true when a box was shown.
     */
    static bool show(QWidget* parent, const QString& lastMessage = QString());
};
