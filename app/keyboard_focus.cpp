#include "keyboard_focus.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>

KeyboardFocus::KeyboardFocus(QObject* parent) : QObject(parent) {}

void KeyboardFocus::setHome(QWidget* home)
{
    m_home = home;
    // A click in the home widget takes the keyboard back from whatever had it.
    home->setFocusPolicy(Qt::StrongFocus);
}

void KeyboardFocus::addEditor(QAbstractSpinBox* editor, std::function<void()> revert)
{
    // Never the focus by start-up or by tabbing past: only a click starts an edit.
    editor->setFocusPolicy(Qt::ClickFocus);
    editor->installEventFilter(this);
    connect(editor, &QAbstractSpinBox::editingFinished, this, [this, editor] {
        if (editor->hasFocus())
            goHome();
    });
    m_editors.emplace_back(editor, std::move(revert));
}

void KeyboardFocus::goHome()
{
    if (m_home && m_home->isVisible())
        m_home->setFocus(Qt::OtherFocusReason);
}

bool KeyboardFocus::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        for (auto& [editor, revert] : m_editors) {
            if (editor != watched)
                continue;
            if (revert)
                revert();
            goHome();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
