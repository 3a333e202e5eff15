#pragma once

#include <QString>
#include <QStringList>
#include <initializer_list>

class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QWidget;

/*
 * Building blocks the song dialogs share: named widgets that tests find by object name, the
 * large label that shows the composed chord or key, and the right-aligned row of buttons that
 * end the dialog. GUI thread only.
 */

/** A drop-down list of the items, found in tests by its object name. */
QComboBox* makeCombo(const QStringList& items, const QString& objectName, QWidget* parent);

/** A large bold centred label for the composed name. */
QLabel* makeNameLabel(const QString& objectName, QWidget* parent);

/** A button of a dialog's button row: its text, object name and the code it ends the dialog with. */
struct DialogButton
{
    QString text;
    QString objectName;
    int result;
};

/** The buttons right-aligned in a row; the first one is the default. */
QHBoxLayout* makeButtonRow(QDialog* dialog, std::initializer_list<DialogButton> buttons);

/** The accidental lists' items "b", "", "#" and the index of an accidental among them. */
const QStringList& accidentalItems();
int accidentalIndex(const QString& accidental);
