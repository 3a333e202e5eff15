#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;

/**
 * ChordEditDialog: the "Chord Editing" dialog of the chord lane.
 *
 * The chord is composed from a root note (or "Drums" / "Empty"), an accidental and one of seven
 * extensions, with a check box that fixes it against chord finding. OK accepts, the delete
 * button answers Deleted, Cancel rejects. GUI thread only.
 */
class ChordEditDialog : public QDialog
{
    Q_OBJECT

public:
    /** The dialog's answer for the delete button (accept is QDialog::Accepted). */
    static constexpr int Deleted = 2;

    explicit ChordEditDialog(QWidget* parent = nullptr);

    /** Shows a chord as displayed (already transposed for display). */
    void setChord(const QString& chord, bool fixed);
    /** The composed chord: root + accidental + extension, or "Drums" / "Empty". */
    QString chord() const;
    bool isFixed() const;

private Q_SLOTS:
    void recompose();

private:
    QComboBox* m_root;
    QComboBox* m_accidental;
    QComboBox* m_extension;
    QLabel* m_composed;
    QCheckBox* m_fixed;
};
