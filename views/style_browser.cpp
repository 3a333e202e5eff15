#include "style_browser.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

StyleBrowser::StyleBrowser(QWidget* parent)
    : QDialog(parent), m_tree(new QTreeWidget(this)), m_caption(new QLabel(this)),
      m_preview(new QPushButton(tr("&Preview"), this)), m_stop(new QPushButton(tr("&Stop"), this)),
      m_load(new QPushButton(tr("&Load"), this))
{
    setWindowTitle(tr("Style Browser") + QStringLiteral(" - Cantova"));
    setObjectName(QStringLiteral("styleBrowser"));
    m_tree->setObjectName(QStringLiteral("styleTree"));
    m_tree->setColumnCount(3);
    m_tree->setHeaderLabels({tr("Style"), tr("Meter"), tr("Tempo")});
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tree->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_caption->setObjectName(QStringLiteral("previewCaption"));
    m_caption->setWordWrap(true);
    m_preview->setObjectName(QStringLiteral("previewButton"));
    m_stop->setObjectName(QStringLiteral("stopButton"));
    m_load->setObjectName(QStringLiteral("loadButton"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_preview, QDialogButtonBox::ActionRole);
    buttons->addButton(m_stop, QDialogButtonBox::ActionRole);
    buttons->addButton(m_load, QDialogButtonBox::AcceptRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(m_caption);
    layout->addWidget(buttons);
    resize(440, 560);

    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &StyleBrowser::selectionChanged);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { load(); });
    connect(m_preview, &QPushButton::clicked, this, [this] {
        if (!selectedPath().isEmpty())
            Q_EMIT previewRequested(selectedPath());
    });
    connect(m_stop, &QPushButton::clicked, this, &StyleBrowser::stopRequested);
    // Load is the dialog's accept button: it loads, the browser stays open for the next try.
    connect(buttons, &QDialogButtonBox::accepted, this, &StyleBrowser::load);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::finished, this, &StyleBrowser::stopRequested);
    setPreviewChords(
        {QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("G"), QStringLiteral("C")});
    selectionChanged();
}

void StyleBrowser::setFolder(const QString& folder, const QString& currentPath)
{
    const QSignalBlocker quiet(m_tree); // refilling is no choice of the user's
    m_tree->clear();
    m_styles = StyleCatalog::scan(folder);
    QTreeWidgetItem* genre = nullptr;
    for (const StyleCatalog::Entry& s : m_styles) {
        if (!genre || genre->text(0) != s.genre) {
            genre = new QTreeWidgetItem(m_tree, {s.genre});
            QFont bold = genre->font(0);
            bold.setBold(true);
            genre->setFont(0, bold);
            genre->setFlags(Qt::ItemIsEnabled);
            genre->setExpanded(true);
        }
        auto* item = new QTreeWidgetItem(
            genre, {s.name, s.meterText(), QStringLiteral("%1").arg(qRound(s.tempo))});
        item->setData(0, kPathRole, s.path);
        item->setToolTip(0, s.path);
    }
    m_tree->expandAll();
    if (QTreeWidgetItem* current = itemOf(currentPath)) {
        m_tree->setCurrentItem(current);
        m_tree->scrollToItem(current);
    }
    selectionChanged();
}

void StyleBrowser::setPreviewChords(const QStringList& chords)
{
    m_caption->setText(tr("Selecting a style plays its Main A over %1.").arg(chords.join(' ')));
}

QString StyleBrowser::selectedPath() const
{
    const QList<QTreeWidgetItem*> items = m_tree->selectedItems();
    return items.isEmpty() ? QString() : items.first()->data(0, kPathRole).toString();
}

void StyleBrowser::selectionChanged()
{
    const QString path = selectedPath();
    m_preview->setEnabled(!path.isEmpty());
    m_load->setEnabled(!path.isEmpty());
    if (!path.isEmpty() && isVisible())
        Q_EMIT previewRequested(path);
}

void StyleBrowser::load()
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    Q_EMIT stopRequested();
    Q_EMIT loadRequested(path);
}

QTreeWidgetItem* StyleBrowser::itemOf(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, kPathRole).toString() == path)
            return *it;
    }
    return nullptr;
}
