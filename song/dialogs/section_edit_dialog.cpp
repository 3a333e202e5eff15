#include "section_edit_dialog.h"

#include "dialog_parts.h"
#include "lane_events.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

SectionEditDialog::SectionEditDialog(QWidget* parent)
    : QDialog(parent), m_name(new QComboBox(this)),
      m_fixed(new QCheckBox(tr("Fix all sections (they cannot be moved according to "
                               "Intro/Ending)"),
                            this))
{
    setObjectName(QStringLiteral("SectionEditDialog"));
    setWindowTitle(tr("Section Editing") + QStringLiteral(" - Cantova"));
    m_name->setObjectName(QStringLiteral("sectionCombo"));
    m_name->addItems(sectionNames());
    m_fixed->setObjectName(QStringLiteral("fixedCheck"));

    auto* form = new QFormLayout;
    form->addRow(tr("Section"), m_name);

    QHBoxLayout* buttons =
        makeButtonRow(this, {{tr("OK"), QStringLiteral("okButton"), QDialog::Accepted},
                             {tr("Delete"), QStringLiteral("deleteButton"), Deleted},
                             {tr("Cancel"), QStringLiteral("cancelButton"), QDialog::Rejected}});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_fixed);
    layout->addLayout(buttons);
}

void SectionEditDialog::setSection(const QString& name, bool sectionsFixed)
{
    m_name->setCurrentIndex(std::max(0, int(sectionNames().indexOf(name))));
    m_fixed->setChecked(sectionsFixed);
}

QString SectionEditDialog::section() const
{
    return m_name->currentText();
}

bool SectionEditDialog::sectionsFixed() const
{
    return m_fixed->isChecked();
}
