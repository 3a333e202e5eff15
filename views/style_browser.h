#pragma once

#include "style_catalog.h"

#include <QDialog>
#include <QStringList>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

/**
 * StyleBrowser: the window's style chooser. Lists the styles of a folder grouped by genre, with
 * meter and tempo; selecting a style asks for its preview (the owner plays it), Load or a double
 * click asks to load it into the song. It does not play or load anything itself. Non-modal; GUI
 * thread only.
 */
class StyleBrowser : public QDialog
{
    Q_OBJECT

public:
    explicit StyleBrowser(QWidget* parent = nullptr);

    /** Lists the styles of folder; the style at currentPath (if listed) is selected. */
    void setFolder(const QString& folder, const QString& currentPath = QString());
    /** The chords the preview plays over, as the caption tells them. */
    void setPreviewChords(const QStringList& chords);

    /** The selected style's file; empty when a genre or nothing is selected. */
    QString selectedPath() const;
    /** The styles listed, in their order. */
    const std::vector<StyleCatalog::Entry>& styles() const { return m_styles; }

Q_SIGNALS:
    void previewRequested(const QString& path);
    void stopRequested();
    void loadRequested(const QString& path);

private:
    void selectionChanged();
    void load();
    QTreeWidgetItem* itemOf(const QString& path) const;

    std::vector<StyleCatalog::Entry> m_styles;
    QTreeWidget* m_tree;
    QLabel* m_caption;
    QPushButton* m_preview;
    QPushButton* m_stop;
    QPushButton* m_load;
};
