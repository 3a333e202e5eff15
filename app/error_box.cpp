#include "error_box.h"

#include "error_log.h"
#include "message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>

bool ErrorBox::show(QWidget* parent, const QString& lastMessage)
{
    ErrorLog::add(lastMessage);
    const QString log = ErrorLog::text();
    if (log.isEmpty())
        return false;

    // The arrow cursor is forced so a busy cursor left by a failed operation does not hide it.
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const QString text =
        log + QObject::tr("\n\nDo you want to copy this message to the Clipboard?");
    const auto answer = MessageBox::warning(parent, text, QMessageBox::Yes | QMessageBox::No);
    QApplication::restoreOverrideCursor();

    if (answer == QMessageBox::Yes)
        QApplication::clipboard()->setText(log);
    ErrorLog::clear();
    return true;
}
