#include "file_dialog.h"

#include <QFileDialog>

namespace {
FileDialog::Chooser& chooser()
{
    static FileDialog::Chooser instance;
    return instance;
}
} // namespace

QStringList FileDialog::openFiles(QWidget* parent, const QString& title, const QString& dir,
                                  const QString& filter)
{
    if (chooser())
        return chooser()({false, title, dir, filter});
    return QFileDialog::getOpenFileNames(parent, title, dir, filter);
}

QString FileDialog::saveFile(QWidget* parent, const QString& title, const QString& proposed,
                             const QString& filter)
{
    if (chooser()) {
        const QStringList files = chooser()({true, title, proposed, filter});
        return files.isEmpty() ? QString() : files.first();
    }
    // The program asks its own replace question where it appends a suffix, so the dialog's
    // question would come twice for names typed with the suffix; keep the dialog's own check.
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
}

void FileDialog::setChooser(Chooser c)
{
    chooser() = std::move(c);
}

ScriptedFiles::ScriptedFiles(QList<QStringList> answers) : m_answers(std::move(answers))
{
    FileDialog::setChooser([this](const FileDialog::Request& request) {
        m_asked.append(request);
        return m_answers.isEmpty() ? QStringList() : m_answers.takeFirst();
    });
}

ScriptedFiles::~ScriptedFiles()
{
    FileDialog::setChooser({});
}
