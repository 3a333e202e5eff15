#include "time_spin_box.h"

#include "time_scale.h"

#include <QKeyEvent>
#include <QLineEdit>

vx29SpinBox::vx29SpinBox(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccelerated(true);
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &vx29SpinBox::takeTypedText);
}

void vx29SpinBox::setScale(vx29* scale)
{
    m_scale = scale;
    refreshText();
}

void vx29SpinBox::setMinimum(unsigned long value)
{
    m_minimum = value;
    setValue(m_value, false);
}

void vx29SpinBox::setMaximum(unsigned long value)
{
    m_maximum = value;
    setValue(m_value, false);
}

unsigned long vx29SpinBox::clamp(unsigned long value) const
{
    if (value < m_minimum)
        value = m_minimum;
    if (m_maximum > m_minimum && value > m_maximum)
        value = m_maximum;
    return value;
}

void vx29SpinBox::setValue(unsigned long value, bool notify)
{
    value = clamp(value);
    const bool changed = value != m_value;
    m_value = value;
    refreshText();
    if (changed && notify)
        emit valueChanged(m_value);
}

QString vx29SpinBox::valueToText(unsigned long value) const
{
    return m_scale ? m_scale->format(uint32_t(value)) : QString::number(value);
}

unsigned long vx29SpinBox::textToValue(const QString& text) const
{
    return m_scale ? m_scale->parse(text.trimmed()) : text.trimmed().toULong();
}

void vx29SpinBox::refreshText()
{
    const QString text = valueToText(m_value);
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void vx29SpinBox::takeTypedText()
{
    setValue(textToValue(lineEdit()->text()));
    refreshText();
}

void vx29SpinBox::stepBy(int steps)
{
    if (!m_scale) {
        setValue(m_value + steps);
        return;
    }
    const long beat = long(m_scale->frameToMeterBeat(uint32_t(m_value))) + steps;
    setValue(m_scale->meterBeatToFrame(uint32_t(beat < 0 ? 0 : beat)));
}

QAbstractSpinBox::StepEnabled vx29SpinBox::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    StepEnabled enabled = StepUpEnabled;
    if (m_value > m_minimum)
        enabled |= StepDownEnabled;
    if (m_maximum > m_minimum && m_value >= m_maximum)
        enabled &= ~StepEnabled(StepUpEnabled);
    return enabled;
}

QValidator::State vx29SpinBox::validate(QString& text, int& pos) const
{
    (void)pos;
    // Any mix of digits and the separators of the three time texts can become a position.
    for (const QChar c : text)
        if (!c.isDigit() && c != QLatin1Char(':') && c != QLatin1Char('.') && !c.isSpace())
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

void vx29SpinBox::fixup(QString& text) const
{
    text = valueToText(clamp(textToValue(text)));
}

void vx29SpinBox::focusOutEvent(QFocusEvent* event)
{
    QAbstractSpinBox::focusOutEvent(event);
    refreshText();
}

void vx29SpinBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        refreshText();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}
