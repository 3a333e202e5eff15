#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;

/**
 * SectionEditDialog: the "Section Editing" dialog of the section lane.
 *
 * One of the nine section names, and the check box that keeps automatic section placement away
 * from every section of the song. OK accepts, the delete button answers Deleted, Cancel rejects.
 * GUI thread only.
 */
class SectionEditDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int Deleted = 2;

    explicit SectionEditDialog(QWidget* parent = nullptr);

    /** Selects the name ("Intro A" when it is not one of the nine). */
    void setSection(const QString& name, bool sectionsFixed);
    QString section() const;
    bool sectionsFixed() const;

private:
    QComboBox* m_name;
    QCheckBox* m_fixed;
};
