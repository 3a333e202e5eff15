#pragma once

#include <QList>
#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <functional>

/**
 * MessageBox: every question, warning and information box of the program.
 *
 * Boxes are titled "Cantova". Tests install an answerer that replies instead of a person, so GUI
 * flows with questions run headless; without one the box is shown modally. GUI thread only.
 */
class MessageBox
{
public:
    struct Request
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QPixmap iconPixmap; // shown instead of the icon when set (the about box)
    };
    using Answerer = std::function<QMessageBox::StandardButton(const Request&)>;

    /** Shows the box (or asks the installed answerer) and returns the button chosen. */
    static QMessageBox::StandardButton ask(QWidget* parent, const Request& request);

    static QMessageBox::StandardButton
    question(QWidget* parent, const QString& text,
             QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton
    warning(QWidget* parent, const QString& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static void information(QWidget* parent, const QString& text);

    /** Replaces the person answering boxes (tests); an empty answerer restores the real boxes. */
    static void setAnswerer(Answerer answerer);

    /** The title every box carries. */
    static QString title();
};

/**
 * Test helper: while alive, answers boxes from a queue (Cancel, or the box's escape choice, when
 * the queue is empty) and records every request in order.
 */
class ScriptedAnswers
{
public:
    explicit ScriptedAnswers(QList<QMessageBox::StandardButton> answers = {});
    ~ScriptedAnswers();
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    void push(QMessageBox::StandardButton answer) { m_answers.append(answer); }
    const QList<MessageBox::Request>& asked() const { return m_asked; }

private:
    QList<QMessageBox::StandardButton> m_answers;
    QList<MessageBox::Request> m_asked;
};
