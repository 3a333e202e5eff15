#pragma once

#include <QMainWindow>

/**
 * vx99MainForm: the program's only top-level window.
 *
 * Owns the user's song workflow around the session: the actions, menus and toolbars, the file
 * flows and the settings. GUI thread only.
 */
class vx99MainForm : public QMainWindow
{
    Q_OBJECT

public:
    explicit vx99MainForm(QWidget* parent = nullptr);
    ~vx99MainForm() override;
};
