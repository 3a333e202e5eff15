#include "dialog_parts.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

QComboBox* makeCombo(const QStringList& items, const QString& objectName, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->addItems(items);
    return box;
}

QLabel* makeNameLabel(const QString& objectName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    QFont big = label->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    label->setFont(big);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QHBoxLayout* makeButtonRow(QDialog* dialog, std::initializer_list<DialogButton> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    bool first = true;
    for (const DialogButton& b : buttons) {
        auto* button = new QPushButton(b.text, dialog);
        button->setObjectName(b.objectName);
        button->setDefault(first);
        first = false;
        const int result = b.result;
        QObject::connect(button, &QPushButton::clicked, dialog,
                         [dialog, result] { dialog->done(result); });
        row->addWidget(button);
    }
    return row;
}

const QStringList& accidentalItems()
{
    static const QStringList items = {QStringLiteral("b"), QString(), QStringLiteral("#")};
    return items;
}

int accidentalIndex(const QString& accidental)
{
    const int i = int(accidentalItems().indexOf(accidental));
    return i < 0 ? 1 : i;
}
