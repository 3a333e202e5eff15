#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractSpinBox;
class QWidget;

/**
 * KeyboardFocus: keeps the keys people press for the song, not for a forgotten text field.
 *
 * Space plays and pauses from anywhere in the window, so the toolbar's text fields (the time
 * display, the tempo box) hold the keyboard only while the user edits them: they take the focus
 * by a click only, and Return or Escape ends the edit and hands the focus back to the home
 * widget (the tracks view). Escape also throws the typed text away. GUI thread only.
 */
class KeyboardFocus : public QObject
{
    Q_OBJECT

public:
    explicit KeyboardFocus(QObject* parent = nullptr);

    /** The widget that has the keyboard when nothing is being edited. */
    void setHome(QWidget* home);
    /**
     * Makes a text field one that is edited on purpose; `revert` shows its value again when
     * Escape throws the typed text away.
     */
    void addEditor(QAbstractSpinBox* editor, std::function<void()> revert);
    /** Gives the keyboard to the home widget (after start-up, opening a file, an edit). */
    void goHome();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_home;
    std::vector<std::pair<QAbstractSpinBox*, std::function<void()>>> m_editors;
};
