#include "style_browser.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

/** The style browser: styles grouped by genre; selecting previews, Load loads. */
class TestStyleBrowser : public QObject
{
    Q_OBJECT

    static QString folder() { return QStringLiteral(CANTOVA_STYLES_DIR); }

private Q_SLOTS:
    void listsTheStylesUnderTheirGenres()
    {
        StyleBrowser browser;
        const QString waltz = folder() + QStringLiteral("/Waltz.sty");
        browser.setFolder(folder(), waltz);
        auto* tree = browser.findChild<QTreeWidget*>(QStringLiteral("styleTree"));
        QVERIFY(tree);
        int styles = 0;
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* genre = tree->topLevelItem(g);
            QVERIFY(genre->childCount() > 0);
            QVERIFY(!(genre->flags() & Qt::ItemIsSelectable));
            styles += genre->childCount();
        }
        QCOMPARE(size_t(styles), browser.styles().size());
        QVERIFY(styles >= 24);
        // The song's style is selected, with its meter and tempo beside it.
        QCOMPARE(browser.selectedPath(), waltz);
        const QTreeWidgetItem* item = tree->selectedItems().first();
        QCOMPARE(item->text(1), QStringLiteral("3/4"));
        QCOMPARE(item->text(2), QStringLiteral("150"));
        QCOMPARE(item->parent()->text(0), QStringLiteral("Waltz"));
    }

    void selectingPreviewsAndLoadLoads()
    {
        StyleBrowser browser;
        browser.setFolder(folder());
        browser.setPreviewChords({QStringLiteral("Am"), QStringLiteral("Dm")});
        QVERIFY(browser.findChild<QLabel*>(QStringLiteral("previewCaption"))
                    ->text()
                    .contains(QStringLiteral("Am Dm")));
        auto* load = browser.findChild<QPushButton*>(QStringLiteral("loadButton"));
        QVERIFY(!load->isEnabled()); // nothing chosen yet
        browser.show();
        QSignalSpy previews(&browser, &StyleBrowser::previewRequested);
        QSignalSpy loads(&browser, &StyleBrowser::loadRequested);
        QSignalSpy stops(&browser, &StyleBrowser::stopRequested);
        auto* tree = browser.findChild<QTreeWidget*>(QStringLiteral("styleTree"));
        QTreeWidgetItem* style = tree->topLevelItem(0)->child(0);
        tree->setCurrentItem(style);
        QCOMPARE(previews.size(), 1);
        QCOMPARE(previews.first().first().toString(), browser.selectedPath());
        QVERIFY(browser.selectedPath().endsWith(style->text(0) + QStringLiteral(".sty")));
        // A genre line is no choice.
        tree->setCurrentItem(tree->topLevelItem(1));
        QVERIFY(!tree->topLevelItem(1)->isSelected());
        QVERIFY(!load->isEnabled());
        tree->setCurrentItem(style);

        QVERIFY(load->isEnabled());
        load->click();
        QCOMPARE(loads.size(), 1);
        QCOMPARE(loads.first().first().toString(), browser.selectedPath());
        QVERIFY(stops.size() >= 1);   // the preview stops before the style loads
        QVERIFY(browser.isVisible()); // the browser stays for another try
        browser.reject();
        QVERIFY(stops.size() >= 2);
    }

    void aFolderWithoutStylesListsNothing()
    {
        StyleBrowser browser;
        browser.setFolder(QStringLiteral("/nonexistent"));
        QCOMPARE(browser.findChild<QTreeWidget*>(QStringLiteral("styleTree"))->topLevelItemCount(),
                 0);
        QCOMPARE(browser.selectedPath(), QString());
    }
};

QTEST_MAIN(TestStyleBrowser)
#include "tst_style_browser.moc"
