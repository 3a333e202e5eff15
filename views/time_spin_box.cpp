#include "time_spin_box.h"

#include "time_scale.h"

#include <QKeyEvent>
#include <QLineEdit>

TimeSpinBox::TimeSpinBox(QWidget* parent) : QAbstractSpinBox(parent)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccelerated(true);
    setKeyboardTracking(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, &TimeSpinBox::takeTypedText);
}

void TimeSpinBox::setScale(TimeScale* scale)
{
    m_scale = scale;
    refreshText();
}

void TimeSpinBox::setMinimum(unsigned long value)
{
    m_minimum = value;
    setValue(m_value, false);
}

void TimeSpinBox::setMaximum(unsigned long value)
{
    m_maximum = value;
    setValue(m_value, false);
}

unsigned long TimeSpinBox::clamp(unsigned long value) const
{
    if (value < m_minimum)
        value = m_minimum;
    if (m_maximum > m_minimum && value > m_maximum)
        value = m_maximum;
    return value;
}

void TimeSpinBox::setValue(unsigned long value, bool notify)
{
    value = clamp(value);
    const bool changed = value != m_value;
    m_value = value;
    refreshText();
    if (changed && notify)
        emit valueChanged(m_value);
}

QString TimeSpinBox::valueToText(unsigned long value) const
{
    return m_scale ? m_scale->format(uint32_t(value)) : QString::number(value);
}

unsigned long TimeSpinBox::textToValue(const QString& text) const
{
    return m_scale ? m_scale->parse(text.trimmed()) : text.trimmed().toULong();
}

void TimeSpinBox::refreshText()
{
    const QString text = valueToText(m_value);
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void TimeSpinBox::takeTypedText()
{
    setValue(textToValue(lineEdit()->text()));
    refreshText();
}

void TimeSpinBox::stepBy(int steps)
{
    if (!m_scale) {
        setValue(m_value + steps);
        return;
    }
    const long beat = long(m_scale->frameToMeterBeat(uint32_t(m_value))) + steps;
    setValue(m_scale->meterBeatToFrame(uint32_t(beat < 0 ? 0 : beat)));
}

QAbstractSpinBox::StepEnabled TimeSpinBox::stepEnabled() const
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

QValidator::State TimeSpinBox::validate(QString& text, int& pos) const
{
    (void)pos;
    // Any mix of digits and the separators of the three time texts can become a position.
    for (const QChar c : text)
        if (!c.isDigit() && c != QLatin1Char(':') && c != QLatin1Char('.') && !c.isSpace())
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

void TimeSpinBox::fixup(QString& text) const
{
    text = valueToText(clamp(textToValue(text)));
}

void TimeSpinBox::focusOutEvent(QFocusEvent* event)
{
    QAbstractSpinBox::focusOutEvent(event);
    refreshText();
}

void TimeSpinBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        refreshText();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}
