#include "error_box.h"
#include "error_log.h"
#include "message_box.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

class TestErrorBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void emptyLogShowsNothing()
    {
        ScriptedAnswers answers;
        QVERIFY(!ErrorBox::show(nullptr));
        QVERIFY(answers.asked().isEmpty());
    }

    void lastMessageIsAddedFirstAndTheLogShownWithTheQuestion()
    {
        ErrorLog::add(QStringLiteral("lower layer"));
        ScriptedAnswers answers({QMessageBox::No});
        QVERIFY(ErrorBox::show(nullptr, QStringLiteral("The file was not saved")));
        QCOMPARE(answers.asked().size(), 1);
        const MessageBox::Request& box = answers.asked().first();
        QCOMPARE(box.title, QStringLiteral("Cantova"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.text, QStringLiteral("The file was not saved\nError > lower layer"
                                          "\n\nDo you want to copy this message to the Clipboard?"));
        QVERIFY(ErrorLog::isEmpty());
    }

    void yesCopiesTheLogToTheClipboard()
    {
        QApplication::clipboard()->setText(QStringLiteral("before"));
        ScriptedAnswers answers({QMessageBox::Yes});
        ErrorBox::show(nullptr, QStringLiteral("boom"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("boom"));
        QVERIFY(ErrorLog::isEmpty());
    }

    void noLeavesTheClipboardAlone()
    {
        QApplication::clipboard()->setText(QStringLiteral("before"));
        ScriptedAnswers answers({QMessageBox::No});
        ErrorBox::show(nullptr, QStringLiteral("boom"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    }

    void unansweredBoxesFallBackToTheirEscapeChoice()
    {
        ScriptedAnswers answers;
        QCOMPARE(MessageBox::question(nullptr, QStringLiteral("Save?"),
                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel),
                 QMessageBox::Cancel);
        QCOMPARE(MessageBox::question(nullptr, QStringLiteral("Sure?")), QMessageBox::No);
        QCOMPARE(answers.asked().size(), 2);
    }
};

QTEST_MAIN(TestErrorBox)
#include "tst_error_box.moc"
