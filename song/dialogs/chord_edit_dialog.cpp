#include "chord_edit_dialog.h"

#include "chord_text.h"
#include "dialog_parts.h"
#include "pitch_spelling.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QStringList kRoots = {"C", "D", "E", "F", "G", "A", "B", "Drums", "Empty"};
const QStringList kExtensions = {"", "7", "m", "dim", "dim7", "6", "aug"};
constexpr int kDrumsItem = 7;
constexpr int kEmptyItem = 8;
constexpr int kNoAccidental = 1;

} // namespace

ChordEditDialog::ChordEditDialog(QWidget* parent)
    : QDialog(parent), m_root(makeCombo(kRoots, QStringLiteral("rootCombo"), this)),
      m_accidental(makeCombo(accidentalItems(), QStringLiteral("accidentalCombo"), this)),
      m_extension(makeCombo(kExtensions, QStringLiteral("extensionCombo"), this)),
      m_composed(makeNameLabel(QStringLiteral("chordLabel"), this)),
      m_fixed(new QCheckBox(tr("Fix the chord (it cannot be replaced by chord finding algorithm)"),
                            this))
{
    setObjectName(QStringLiteral("ChordEditDialog"));
    setWindowTitle(tr("Chord Editing") + QStringLiteral(" - Cantova"));
    m_fixed->setObjectName(QStringLiteral("fixedCheck"));

    auto* form = new QFormLayout;
    form->addRow(tr("Chord Root Note"), m_root);
    form->addRow(tr("Chord Root Accidental"), m_accidental);
    form->addRow(tr("Chord Extension (Type)"), m_extension);

    QHBoxLayout* buttons =
        makeButtonRow(this, {{tr("OK"), QStringLiteral("okButton"), QDialog::Accepted},
                             {tr("Delete"), QStringLiteral("deleteButton"), Deleted},
                             {tr("Cancel"), QStringLiteral("cancelButton"), QDialog::Rejected}});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_composed);
    layout->addLayout(form);
    layout->addWidget(m_fixed);
    layout->addLayout(buttons);

    for (QComboBox* box : {m_root, m_accidental, m_extension})
        connect(box, &QComboBox::currentIndexChanged, this, &ChordEditDialog::recompose);
    m_accidental->setCurrentIndex(kNoAccidental);
    recompose();
}

void ChordEditDialog::setChord(const QString& chord, bool fixed)
{
    m_fixed->setChecked(fixed);
    m_accidental->setCurrentIndex(kNoAccidental);
    m_extension->setCurrentIndex(0);
    if (isDrumsChord(chord)) {
        m_root->setCurrentIndex(kDrumsItem);
        return;
    }
    if (isEmptyChord(chord)) {
        m_root->setCurrentIndex(kEmptyItem);
        return;
    }
    const ParsedChord parsed = parseChord(chord);
    if (!parsed.isValid())
        return;
    const QString root = tpcToName(parsed.root);
    m_root->setCurrentIndex(std::max(0, int(kRoots.indexOf(root.left(1)))));
    m_accidental->setCurrentIndex(accidentalIndex(root.mid(1)));
    // Types outside the seven offered leave the extension empty.
    m_extension->setCurrentIndex(std::max(0, int(kExtensions.indexOf(QString(parsed.type->name)))));
}

QString ChordEditDialog::chord() const
{
    const int root = m_root->currentIndex();
    if (root == kDrumsItem || root == kEmptyItem)
        return kRoots.at(root);
    return m_root->currentText() + m_accidental->currentText() + m_extension->currentText();
}

bool ChordEditDialog::isFixed() const
{
    return m_fixed->isChecked();
}

void ChordEditDialog::recompose()
{
    const bool special = m_root->currentIndex() >= kDrumsItem;
    m_accidental->setEnabled(!special);
    m_extension->setEnabled(!special);
    m_composed->setText(chord());
}
