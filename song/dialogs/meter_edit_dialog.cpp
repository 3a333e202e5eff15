#include "meter_edit_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MeterEditDialog::MeterEditDialog(QWidget* parent)
    : QDialog(parent), m_beats(new QComboBox(this)), m_unit(new QComboBox(this)),
      m_meter(new QLabel(this))
{
    setObjectName(QStringLiteral("MeterEditDialog"));
    setWindowTitle(tr("Time Signature (Meter) Editing") + QStringLiteral(" - Cantova"));
    m_beats->setObjectName(QStringLiteral("beatsCombo"));
    m_beats->addItems(
        {QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("6")});
    m_unit->setObjectName(QStringLiteral("unitCombo"));
    m_unit->addItems({QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("8")});
    m_meter->setObjectName(QStringLiteral("meterLabel"));
    QFont big = m_meter->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    m_meter->setFont(big);
    m_meter->setAlignment(Qt::AlignCenter);

    auto* form = new QFormLayout;
    form->addRow(tr("Beats per bar"), m_beats);
    form->addRow(tr("Beat unit"), m_unit);

    auto* ok = new QPushButton(tr("OK"), this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_meter);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(m_beats, &QComboBox::currentIndexChanged, this, &MeterEditDialog::recompose);
    connect(m_unit, &QComboBox::currentIndexChanged, this, &MeterEditDialog::recompose);
    recompose();
}

int MeterEditDialog::noteValue(uint16_t beatUnit)
{
    return beatUnit < 16 ? 1 << beatUnit : 0;
}

void MeterEditDialog::setMeter(uint16_t beatsPerBar, uint16_t beatUnit)
{
    m_beats->setCurrentIndex(std::max(0, m_beats->findText(QString::number(beatsPerBar))));
    m_unit->setCurrentIndex(std::max(0, m_unit->findText(QString::number(noteValue(beatUnit)))));
}

uint16_t MeterEditDialog::beatsPerBar() const
{
    return uint16_t(m_beats->currentText().toUInt());
}

uint16_t MeterEditDialog::beatUnit() const
{
    // The items are powers of two: the exponent is the count of trailing zero bits.
    uint16_t exponent = 0;
    for (uint32_t value = m_unit->currentText().toUInt(); value > 1; value >>= 1)
        ++exponent;
    return exponent;
}

void MeterEditDialog::recompose()
{
    m_meter->setText(m_beats->currentText() + QLatin1Char('/') + m_unit->currentText());
}
