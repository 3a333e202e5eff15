#include "main_form.h"

vx99MainForm::vx99MainForm(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("vx99MainForm"));
    setWindowTitle(QStringLiteral("Cantova"));
    resize(900, 600);
}

vx99MainForm::~vx99MainForm() = default;
