#include "lead_sheet_export.h"

#include "file_dialog.h"
#include "lead_sheet_exporter.h"
#include "main_window.h"
#include "message_box.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "music_xml_writer.h"
#include "settings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

LeadSheetExport::LeadSheetExport(MainWindow* window)
    : QObject(window), m_window(window), m_action(new QAction(tr("Export &Lead Sheet..."), window))
{
    m_action->setObjectName(QStringLiteral("exportLeadSheetAction"));
    m_action->setStatusTip(tr("Write the melody with its chords as a lead sheet (MusicXML)"));
    connect(m_action, &QAction::triggered, this, [this] { exportWithDialog(); });
}

QString LeadSheetExport::proposedPath() const
{
    const QString song = m_window->songPath();
    const QString name = song.isEmpty() ? tr("Untitled") : QFileInfo(song).completeBaseName();
    const QString folder =
        song.isEmpty() ? m_window->settings()->midiDir : QFileInfo(song).absolutePath();
    return QDir(folder).filePath(name + QStringLiteral(".musicxml"));
}

bool LeadSheetExport::exportWithDialog()
{
    QString target =
        FileDialog::saveFile(m_window, tr("Export Lead Sheet") + QStringLiteral(" - Cantova"),
                             proposedPath(), tr("MusicXML files (*.musicxml *.mxl)"));
    if (target.isEmpty())
        return false;
    if (!MusicXmlWriter::isLeadSheetPath(target)) {
        target += QStringLiteral(".musicxml");
        if (QFileInfo::exists(target) &&
            MessageBox::question(
                m_window, tr("The file already exists:\n\n\"%1\"\n\nDo you want to replace it?")
                              .arg(target)) != QMessageBox::Yes)
            return false;
    }
    return exportTo(target);
}

bool LeadSheetExport::exportTo(const QString& path)
{
    auto* melody = dynamic_cast<MidiClip*>(m_window->melodyClip());
    bool hasNotes = false;
    for (const MidiEvent* e = melody ? melody->sequence().first() : nullptr; e && !hasNotes;
         e = e->next())
        hasNotes = e->isNote();
    if (!hasNotes) {
        MessageBox::warning(m_window, tr("The song has no melody notes for a lead sheet."));
        return false;
    }
    // A song saved under a name gives its title; a new one takes the lead sheet's name.
    const QString title =
        LeadSheetExporter::titleOf(m_window->songPath().isEmpty() ? path : m_window->songPath());
    QString error;
    if (!LeadSheetExporter::exportSong(*m_window->session(), *melody, title, path, error)) {
        MessageBox::warning(m_window, error);
        return false;
    }
    return true;
}
