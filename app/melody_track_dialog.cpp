#include "melody_track_dialog.h"

#include "pitch_spelling.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

MelodyTrackDialog::Chooser& installedChooser()
{
    static MelodyTrackDialog::Chooser chooser;
    return chooser;
}

// A key with its octave, C4 being key 60, as the piano roll names it.
QString keyName(int key)
{
    return QString(sharpNoteName(key)) + QString::number(key / 12 - 1);
}

} // namespace

MelodyTrackDialog::MelodyTrackDialog(const Candidates& candidates, int preselected, QWidget* parent)
    : QDialog(parent), m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("melodyTrackDialog"));
    setWindowTitle(tr("Melody Track") + QStringLiteral(" - Cantova"));
    setWindowModality(Qt::WindowModal);

    auto* text = new QLabel(tr("This MIDI file is not created with Cantova.\n"
                               "Which of its tracks holds the melody?"),
                            this);
    m_list->setObjectName(QStringLiteral("melodyTrackList"));
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels(
        {tr("Track"), tr("Name"), tr("Channel"), tr("Instrument"), tr("Notes"), tr("Range")});
    fill(candidates, preselected);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemActivated, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [buttons](QTreeWidgetItem* item) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(item != nullptr);
    });
    buttons->button(QDialogButtonBox::Ok)->setEnabled(m_list->currentItem() != nullptr);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(560, 300);
}

void MelodyTrackDialog::fill(const Candidates& candidates, int preselected)
{
    for (size_t i = 0; i < candidates.size(); ++i) {
        const MidiImport::Candidate& c = candidates[i];
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::number(i + 1));
        item->setText(1, c.name);
        item->setText(2, QString::number(c.channel + 1));
        item->setText(3, c.instrument());
        item->setText(4, QString::number(c.notes));
        item->setText(5,
                      c.lowestKey == c.highestKey
                          ? keyName(c.lowestKey)
                          : keyName(c.lowestKey) + QStringLiteral(" - ") + keyName(c.highestKey));
        for (int column : {0, 2, 4})
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, Qt::UserRole, int(i));
    }
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
    if (preselected >= 0 && preselected < m_list->topLevelItemCount())
        m_list->setCurrentItem(m_list->topLevelItem(preselected));
}

int MelodyTrackDialog::chosen() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}

int MelodyTrackDialog::choose(QWidget* parent, const Candidates& candidates, int preselected)
{
    if (installedChooser())
        return installedChooser()(candidates, preselected);
    MelodyTrackDialog dialog(candidates, preselected, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
}

void MelodyTrackDialog::setChooser(Chooser chooser)
{
    installedChooser() = std::move(chooser);
}
