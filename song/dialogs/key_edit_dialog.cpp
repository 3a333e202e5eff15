#include "key_edit_dialog.h"

#include "dialog_parts.h"
#include "key_names.h"
#include "pitch_spelling.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const QStringList kRoots = {"C", "D", "E", "F", "G", "A", "B"};
const QStringList kTypes = {"maj", "min"};
constexpr int kNoAccidental = 1;

} // namespace

KeyEditDialog::KeyEditDialog(QWidget* parent)
    : QDialog(parent), m_root(makeCombo(kRoots, QStringLiteral("rootCombo"), this)),
      m_accidental(makeCombo(accidentalItems(), QStringLiteral("accidentalCombo"), this)),
      m_type(makeCombo(kTypes, QStringLiteral("typeCombo"), this)),
      m_composed(makeNameLabel(QStringLiteral("keyLabel"), this)), m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("KeyEditDialog"));
    setWindowTitle(tr("Select Key for Chord Finding Algorithm") + QStringLiteral(" - Cantova"));
    m_text->setObjectName(QStringLiteral("textLabel"));
    m_text->setTextFormat(Qt::RichText);

    auto* form = new QFormLayout;
    form->addRow(tr("Key Root Note"), m_root);
    form->addRow(tr("Key Root Accidental"), m_accidental);
    form->addRow(tr("Key Extension (Type)"), m_type);

    QHBoxLayout* buttons =
        makeButtonRow(this, {{tr("Fix"), QStringLiteral("fixButton"), Fixed},
                             {tr("Auto"), QStringLiteral("autoButton"), Automatic},
                             {tr("Cancel"), QStringLiteral("cancelButton"), QDialog::Rejected}});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_composed);
    layout->addLayout(form);
    layout->addWidget(m_text);
    layout->addLayout(buttons);

    for (QComboBox* box : {m_root, m_accidental, m_type})
        connect(box, &QComboBox::currentIndexChanged, this, &KeyEditDialog::recompose);
    m_accidental->setCurrentIndex(kNoAccidental);
    recompose();
}

void KeyEditDialog::setKey(const QString& key, const QString& suggested)
{
    m_root->setCurrentIndex(0);
    m_accidental->setCurrentIndex(kNoAccidental);
    m_type->setCurrentIndex(0);
    const ParsedKey parsed = parseKey(key);
    if (parsed.tonicTpc != kNoTpc) {
        const QString tonic = tpcToName(parsed.tonicTpc);
        m_root->setCurrentIndex(std::max(0, int(kRoots.indexOf(tonic.left(1)))));
        m_accidental->setCurrentIndex(accidentalIndex(tonic.mid(1)));
        m_type->setCurrentIndex(parsed.minor ? 1 : 0);
    }
    m_text->setText(tr("Press [Fix] to fix the selected Key or press [Auto] to use suggested "
                       "Key\nevery time the chord finding algorithm will be processed.")
                        .toHtmlEscaped()
                        .replace(QLatin1Char('\n'), QLatin1String("<br>")) +
                    tr("\nSuggested key is <b>%1</b> (based on MIDI melody analysis)")
                        .arg(suggested)
                        .replace(QLatin1Char('\n'), QLatin1String("<br>")));
}

QString KeyEditDialog::key() const
{
    return m_root->currentText() + m_accidental->currentText() + m_type->currentText();
}

void KeyEditDialog::recompose()
{
    m_composed->setText(key());
}
