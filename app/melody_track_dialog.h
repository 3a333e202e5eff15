#pragma once

#include "midi_import.h"

#include <QDialog>
#include <functional>
#include <vector>

class QTreeWidget;

/**
 * MelodyTrackDialog: asks which track of a MIDI file the program did not write holds the
 * melody.
 *
 * One row per track and channel that plays notes: its number, track name, channel, instrument,
 * note count and range, the preselected candidate current. Double-clicking a row or OK takes
 * it. Like the message boxes, tests install a chooser that answers instead of a person. GUI
 * thread only.
 */
class MelodyTrackDialog : public QDialog
{
    Q_OBJECT

public:
    using Candidates = std::vector<MidiImport::Candidate>;
    /** Answers in place of the dialog: an index into the candidates, or -1 for Cancel. */
    using Chooser = std::function<int(const Candidates& candidates, int preselected)>;

    MelodyTrackDialog(const Candidates& candidates, int preselected, QWidget* parent = nullptr);

    /** The row that is current: an index into the candidates, -1 without one. */
    int chosen() const;
    QTreeWidget* list() const { return m_list; }

    /** Shows the dialog modally (or asks the installed chooser); -1 when cancelled. */
    static int choose(QWidget* parent, const Candidates& candidates, int preselected);
    /** Replaces the person choosing (tests); an empty chooser restores the dialog. */
    static void setChooser(Chooser chooser);

private:
    void fill(const Candidates& candidates, int preselected);

    QTreeWidget* m_list;
};
