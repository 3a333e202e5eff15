#include "key_edit_form.h"

#include "key_names.h"
#include "pitch_spelling.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QStringList kRoots = {"C", "D", "E", "F", "G", "A", "B"};
const QStringList kAccidentals = {"b", "", "#"};
const QStringList kTypes = {"maj", "min"};
constexpr int kNoAccidental = 1;

QComboBox* comboOf(const QStringList& items, const QString& name, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

QPushButton* buttonOf(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

VxKeyEditForm::VxKeyEditForm(QWidget* parent)
    : QDialog(parent)
    , m_root(comboOf(kRoots, QStringLiteral("rootCombo"), this))
    , m_accidental(comboOf(kAccidentals, QStringLiteral("accidentalCombo"), this))
    , m_type(comboOf(kTypes, QStringLiteral("typeCombo"), this))
    , m_composed(new QLabel(this))
    , m_text(new QLabel(this))
{
    setObjectName(QStringLiteral("VxKeyEditForm"));
    setWindowTitle(tr("Select Key for Chord Finding Algorithm") + QStringLiteral(" - Cantova"));
    m_composed->setObjectName(QStringLiteral("keyLabel"));
    m_text->setObjectName(QStringLiteral("textLabel"));
    m_text->setTextFormat(Qt::RichText);
    QFont big = m_composed->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    m_composed->setFont(big);
    m_composed->setAlignment(Qt::AlignCenter);

    auto* form = new QFormLayout;
    form->addRow(tr("Key Root Note"), m_root);
    form->addRow(tr("Key Root Accidental"), m_accidental);
    form->addRow(tr("Key Extension (Type)"), m_type);

    QPushButton* fix = buttonOf(tr("Fix"), QStringLiteral("fixButton"), this);
    QPushButton* automatic = buttonOf(tr("Auto"), QStringLiteral("autoButton"), this);
    QPushButton* cancel = buttonOf(tr("Cancel"), QStringLiteral("cancelButton"), this);
    fix->setDefault(true);
    connect(fix, &QPushButton::clicked, this, [this] { done(Fixed); });
    connect(automatic, &QPushButton::clicked, this, [this] { done(Automatic); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(fix);
    buttons->addWidget(automatic);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_composed);
    layout->addLayout(form);
    layout->addWidget(m_text);
    layout->addLayout(buttons);

    for (QComboBox* box : {m_root, m_accidental, m_type})
        connect(box, &QComboBox::currentIndexChanged, this, &VxKeyEditForm::recompose);
    m_accidental->setCurrentIndex(kNoAccidental);
    recompose();
}

void VxKeyEditForm::setKey(const QString& key, const QString& suggested)
{
    m_root->setCurrentIndex(0);
    m_accidental->setCurrentIndex(kNoAccidental);
    m_type->setCurrentIndex(0);
    const ParsedKey parsed = parseKey(key);
    if (parsed.tonicTpc != kNoTpc) {
        const QString tonic = tpcToName(parsed.tonicTpc);
        m_root->setCurrentIndex(std::max(0, int(kRoots.indexOf(tonic.left(1)))));
        const QString accidental = tonic.mid(1);
        m_accidental->setCurrentIndex(accidental == QLatin1String("b")   ? 0
                                      : accidental == QLatin1String("#") ? 2
                                                                         : kNoAccidental);
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

QString VxKeyEditForm::key() const
{
    return m_root->currentText() + m_accidental->currentText() + m_type->currentText();
}

void VxKeyEditForm::recompose()
{
    m_composed->setText(key());
}
