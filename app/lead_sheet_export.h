#pragma once

#include <QObject>
#include <QString>

class QAction;
class MainWindow;

/**
 * LeadSheetExport: File > Export Lead Sheet. Asks where to write the melody of the window's song
 * as a lead sheet (MusicXML, plain or compressed) and writes it through LeadSheetExporter; the
 * song itself is only read. Owned by the main window. GUI thread only.
 */
class LeadSheetExport : public QObject
{
    Q_OBJECT

public:
    explicit LeadSheetExport(MainWindow* window);

    /** The menu action ("exportLeadSheetAction"). */
    QAction* action() const { return m_action; }

    /** The save dialog, then the file; false when cancelled or failed (the reason was shown). */
    bool exportWithDialog();
    /** Writes the lead sheet to path; false with the reason shown in a warning box. */
    bool exportTo(const QString& path);

private:
    QString proposedPath() const;

    MainWindow* m_window;
    QAction* m_action;
};
