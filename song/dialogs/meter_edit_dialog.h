#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLabel;

/**
 * MeterEditDialog: the dialog "Time Signature (Meter) Editing".
 *
 * Offers the beats per bar 4, 2, 3 and 6 and the beat units 4, 2 and 8 (quarter, half and
 * eighth notes) and shows the choice as "beats/unit". The caller speaks the session's beat unit
 * (the power of two of the note value); the dialog converts. GUI thread only.
 */
class MeterEditDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MeterEditDialog(QWidget* parent = nullptr);

    /** Selects the meter; values the lists do not offer select their first item. */
    void setMeter(uint16_t beatsPerBar, uint16_t beatUnit);
    uint16_t beatsPerBar() const;
    /** The chosen unit as a power of two (2 = quarter note). */
    uint16_t beatUnit() const;

    /** The note value of a beat unit: 4 for a quarter note (exponent 2), 8 for an eighth. */
    static int noteValue(uint16_t beatUnit);

private Q_SLOTS:
    void recompose();

private:
    QComboBox* m_beats;
    QComboBox* m_unit;
    QLabel* m_meter;
};
