#include "command_list.h"
#include "compound_command.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace {

/** Adds its step to a shared value; counts the live commands. */
class StepCommand : public Command
{
public:
    StepCommand(int* value, int step, const QString& name = QStringLiteral("step"),
                bool reports = true)
        : Command(name), m_value(value), m_step(step)
    {
        setReportsChange(reports);
        ++alive;
    }
    ~StepCommand() override { --alive; }
    bool apply() override
    {
        *m_value += m_step;
        if (onApply)
            onApply();
        return true;
    }
    bool revert() override
    {
        *m_value -= m_step;
        return true;
    }

    static inline int alive = 0;
    std::function<void()> onApply;

private:
    int* m_value;
    int m_step;
};

std::unique_ptr<StepCommand> step(int* value, int n, bool reports = true)
{
    return std::make_unique<StepCommand>(value, n, QStringLiteral("step %1").arg(n), reports);
}

} // namespace

class TestCommandList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { StepCommand::alive = 0; }

    void pushAfterTwoRevertsDiscardsThem()
    {
        int value = 0;
        CommandList list;
        for (int n : {1, 10, 100})
            QVERIFY(list.push(step(&value, n)));
        QCOMPARE(value, 111);
        QVERIFY(list.revert());
        QVERIFY(list.revert());
        QCOMPARE(value, 1);
        QCOMPARE(list.next()->name(), QStringLiteral("step 10"));

        list.push(step(&value, 1000));
        QCOMPARE(value, 1001);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.next(), nullptr);
        QCOMPARE(list.setAsideCount(), 2);
        QVERIFY(!list.redo());
        // Undo now skips the discarded commands.
        list.revert();
        list.revert();
        QCOMPARE(value, 0);
        QVERIFY(!list.revert());
        QVERIFY(list.redo());
        QCOMPARE(value, 1);
    }

    void setAsideCommandsLiveUntilClear()
    {
        int value = 0;
        CommandList list;
        list.push(step(&value, 1));
        list.push(step(&value, 2));
        list.dropCurrent();
        list.revert();
        list.push(step(&value, 3));
        QCOMPARE(StepCommand::alive, 3);
        QCOMPARE(value, 5); // the dropped change stays
        list.clear();
        QCOMPARE(StepCommand::alive, 0);
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.current(), nullptr);
        {
            CommandList other;
            other.push(step(&value, 1));
            other.push(step(&value, 1));
            other.revert();
        }
        QCOMPARE(StepCommand::alive, 0);
    }

    void changeSignalCarriesTheReportFlag()
    {
        int value = 0;
        CommandList list;
        QSignalSpy spy(&list, &CommandList::changed);
        list.push(step(&value, 1, false));
        list.push(step(&value, 2, true));
        list.revert();
        list.revert();
        list.redo();
        QCOMPARE(spy.count(), 5);
        const QList<bool> flags = {false, true, true, false, false};
        for (int i = 0; i < spy.count(); ++i)
            QCOMPARE(spy.at(i).at(0).toBool(), flags[i]);
    }

    void rollbackRevertsDownToTheCommand()
    {
        int value = 0;
        CommandList list;
        list.push(step(&value, 1, false));
        Command* keep = list.current();
        list.push(step(&value, 2, true));
        list.push(step(&value, 4, false));
        list.push(step(&value, 8, false));
        list.revert(); // an undone tail must never be redone on top of the rollback
        QSignalSpy spy(&list, &CommandList::changed);

        QVERIFY(!list.rollbackTo(reinterpret_cast<Command*>(&value)));
        QCOMPARE(value, 7);
        QVERIFY(list.rollbackTo(keep));
        QCOMPARE(value, 1);
        QCOMPARE(list.current(), keep);
        QCOMPARE(list.next(), nullptr);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QVERIFY(list.rollbackTo(nullptr));
        QCOMPARE(value, 0);
        QCOMPARE(list.count(), 0);
    }

    void operationsDuringAnApplyAreRefused()
    {
        int value = 0;
        CommandList list;
        list.push(step(&value, 1));
        auto nested = step(&value, 10);
        bool refused = false;
        nested->onApply = [&] {
            refused = !list.revert() && !list.push(step(&value, 100)) && !list.dropCurrent();
            list.clear(); // happens once the push is over
            QCOMPARE(list.count(), 2);
        };
        list.push(std::move(nested));
        QVERIFY(refused);
        QCOMPARE(value, 11);
        QCOMPARE(list.count(), 0);
        QCOMPARE(StepCommand::alive, 0);
    }

    void groupingMakesOneStepOfTheAppliedCommandsOnly()
    {
        int value = 0;
        CommandList list;
        for (int n : {1, 10, 100})
            QVERIFY(list.push(step(&value, n)));
        // Positions past the applied commands are refused and change nothing.
        for (int since : {3, 4, -2}) {
            QVERIFY(
                !list.groupSince(since, std::make_unique<CompoundCommand>(QStringLiteral("g"))));
            QCOMPARE(list.count(), 3);
            QCOMPARE(list.currentIndex(), 2);
        }
        QVERIFY(list.groupSince(0, std::make_unique<CompoundCommand>(QStringLiteral("two"))));
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.currentIndex(), 1);
        QCOMPARE(value, 111); // grouped without being applied again
        QVERIFY(list.revert());
        QCOMPARE(value, 1);
        QVERIFY(list.redo());
        QCOMPARE(value, 111);
        // At the last applied position the group is empty but still a step.
        QVERIFY(list.groupSince(1, std::make_unique<CompoundCommand>(QStringLiteral("empty"))));
        QCOMPARE(list.count(), 3);
        QCOMPARE(StepCommand::alive, 3);
    }

    void labelAction_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withCommand");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Undo" << true << "Undo (move clip)";
        QTest::newRow("replaces the name") << "Undo (add track)" << true << "Undo (move clip)";
        QTest::newRow("no command") << "&Redo  (add track)" << false << "&Redo";
        QTest::newRow("needs a blank") << "Undo(x)" << true << "Undo(x) (move clip)";
    }
    void labelAction()
    {
        QFETCH(QString, text);
        QFETCH(bool, withCommand);
        QFETCH(QString, expected);
        int value = 0;
        StepCommand command(&value, 1, QStringLiteral("move clip"));
        QAction action(text);
        CommandList::labelAction(&action, withCommand ? &command : nullptr);
        QCOMPARE(action.text(), expected);
    }
};

QTEST_MAIN(TestCommandList)
#include "tst_command_list.moc"
