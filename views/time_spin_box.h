#pragma once

#include <QAbstractSpinBox>
#include <cstdint>

class TimeScale;

/**
 * TimeSpinBox: a spin box that shows and takes a position in the time scale's format.
 *
 * The text is the scale's time text of the value (clock time, bars.beats.ticks or frames, as the
 * scale is set); typed text is parsed with the same format. The value is clamped to the minimum
 * and, when the maximum lies above the minimum, to the maximum. The arrows step by one meter
 * beat. GUI thread only.
 */
class TimeSpinBox : public QAbstractSpinBox
{
    Q_OBJECT

public:
    explicit TimeSpinBox(QWidget* parent = nullptr);

    void setScale(TimeScale* scale);
    TimeScale* scale() const { return m_scale; }

    unsigned long value() const { return m_value; }
    /** Sets the value; with notify false no valueChanged() is emitted. */
    void setValue(unsigned long value, bool notify = true);
    void setMinimum(unsigned long value);
    void setMaximum(unsigned long value);
    unsigned long minimum() const { return m_minimum; }
    unsigned long maximum() const { return m_maximum; }

    /** Shows the value again in the scale's current format (after the format changed). */
    void refreshText();

    void stepBy(int steps) override;
    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;

signals:
    void valueChanged(unsigned long value);

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    unsigned long clamp(unsigned long value) const;
    unsigned long textToValue(const QString& text) const;
    QString valueToText(unsigned long value) const;
    void takeTypedText();

    TimeScale* m_scale = nullptr;
    unsigned long m_value = 0;
    unsigned long m_minimum = 0;
    unsigned long m_maximum = 0;
};
