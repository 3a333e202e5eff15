#pragma once

#include <QDialog>

class QComboBox;
class QLabel;

/**
 * KeyEditDialog: the dialog "Select Key for Chord Finding Algorithm".
 *
 * The key is composed from a root, an accidental and "maj" / "min". [Fix] answers Fixed, [Auto]
 * answers Automatic, Cancel rejects. Names are shown transposed for display; the caller converts.
 * GUI thread only.
 */
class KeyEditDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int Fixed = 1; // same as QDialog::Accepted
    static constexpr int Automatic = 2;

    explicit KeyEditDialog(QWidget* parent = nullptr);

    /** The key the lists show, and the suggestion shown in the text (both as displayed). */
    void setKey(const QString& key, const QString& suggested);
    /** The composed key name, e.g. "F#min". */
    QString key() const;

private Q_SLOTS:
    void recompose();

private:
    QComboBox* m_root;
    QComboBox* m_accidental;
    QComboBox* m_type;
    QLabel* m_composed;
    QLabel* m_text;
};
