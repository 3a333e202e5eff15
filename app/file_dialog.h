#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

/**
 * FileDialog: the open and save file dialogs of the program.
 *
 * Like the message boxes, tests install a chooser that answers instead of a person, so file
 * flows run headless; without one the desktop's file dialog is shown. GUI thread only.
 */
class FileDialog
{
public:
    struct Request
    {
        bool save = false;
        QString title;
        QString dir; // folder, or proposed file for a save dialog
        QString filter;
    };
    /** Returns the chosen files; an empty list means the dialog was cancelled. */
    using Chooser = std::function<QStringList(const Request&)>;

    static QStringList openFiles(QWidget* parent, const QString& title, const QString& dir,
                                 const QString& filter);
    /** Returns the chosen file, empty when cancelled. */
    static QString saveFile(QWidget* parent, const QString& title, const QString& proposed,
                            const QString& filter);

    static void setChooser(Chooser chooser);
};

/** Test helper: while alive, answers file dialogs from a queue (cancel when it is empty). */
class ScriptedFiles
{
public:
    explicit ScriptedFiles(QList<QStringList> answers = {});
    ~ScriptedFiles();
    ScriptedFiles(const ScriptedFiles&) = delete;
    ScriptedFiles& operator=(const ScriptedFiles&) = delete;

    void push(const QStringList& files) { m_answers.append(files); }
    const QList<FileDialog::Request>& asked() const { return m_asked; }

private:
    QList<QStringList> m_answers;
    QList<FileDialog::Request> m_asked;
};
