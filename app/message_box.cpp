#include "message_box.h"

#include <QApplication>

namespace {

MessageBox::Answerer& answerer()
{
    static MessageBox::Answerer instance;
    return instance;
}

// The choice a box falls back on when nobody answers: its escape-like button.
QMessageBox::StandardButton escapeChoice(QMessageBox::StandardButtons buttons)
{
    for (QMessageBox::StandardButton b : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
        if (buttons.testFlag(b))
            return b;
    return QMessageBox::NoButton;
}

} // namespace

QString MessageBox::title()
{
    return QStringLiteral("Cantova");
}

QMessageBox::StandardButton MessageBox::ask(QWidget* parent, const Request& request)
{
    if (answerer())
        return answerer()(request);
    QMessageBox box(request.icon, request.title.isEmpty() ? title() : request.title, request.text,
                    request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    if (!request.iconPixmap.isNull())
        box.setIconPixmap(request.iconPixmap);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton MessageBox::question(QWidget* parent, const QString& text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return ask(parent, {QMessageBox::Question, title(), text, buttons, defaultButton, {}});
}

QMessageBox::StandardButton MessageBox::warning(QWidget* parent, const QString& text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return ask(parent, {QMessageBox::Warning, title(), text, buttons, defaultButton, {}});
}

void MessageBox::information(QWidget* parent, const QString& text)
{
    ask(parent, {QMessageBox::Information, title(), text, QMessageBox::Ok, QMessageBox::Ok, {}});
}

void MessageBox::setAnswerer(Answerer a)
{
    answerer() = std::move(a);
}

ScriptedAnswers::ScriptedAnswers(QList<QMessageBox::StandardButton> answers)
    : m_answers(std::move(answers))
{
    MessageBox::setAnswerer([this](const MessageBox::Request& request) {
        m_asked.append(request);
        if (m_answers.isEmpty())
            return escapeChoice(request.buttons);
        return m_answers.takeFirst();
    });
}

ScriptedAnswers::~ScriptedAnswers()
{
    MessageBox::setAnswerer({});
}
