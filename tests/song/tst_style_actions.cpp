#include "message_box.h"
#include "meter_edit_dialog.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_state.h"
#include "style_actions.h"
#include "style_loader.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

// The style open action and the meter dialog with their questions, answered as a person would.
class TestStyleActions : public QObject
{
    Q_OBJECT

    static QString data(const QString& name)
    {
        return QStringLiteral(CANTOVA_TEST_DATA "/styles/") + name;
    }
    static const TempoNode& meter(Session& session) { return *session.scale().firstNode(); }

    // Sets the meter dialog's lists once it shows and presses the button.
    static void whenMeterShown(const QString& beats, const QString& unit, const char* button,
                               QString* shownMeter = nullptr)
    {
        QTimer::singleShot(0, [=] {
            auto* form = qobject_cast<MeterEditDialog*>(QApplication::activeModalWidget());
            QVERIFY2(form, "the meter dialog is not showing");
            if (shownMeter)
                *shownMeter = form->findChild<QLabel*>(QStringLiteral("meterLabel"))->text();
            auto* b = form->findChild<QComboBox*>(QStringLiteral("beatsCombo"));
            auto* u = form->findChild<QComboBox*>(QStringLiteral("unitCombo"));
            b->setCurrentIndex(b->findText(beats));
            u->setCurrentIndex(u->findText(unit));
            QTest::mouseClick(form->findChild<QPushButton*>(QLatin1String(button)),
                              Qt::LeftButton);
        });
    }

private Q_SLOTS:
    void aThreeFourStyleIntoFourFourAsksAndNoKeepsTheDefault()
    {
        Session session;
        ScriptedAnswers answers({QMessageBox::No});
        QVERIFY(openStyleFlow(nullptr, session, data(QStringLiteral("plain_three_parts.sty")),
                              nullptr));
        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked()[0].text,
                 QStringLiteral("The style meter (3/4) cannot be synchronized with the current "
                                "meter.\nDo you want to load this style, correct the current "
                                "meter and refind chords?"));
        const SongState& song = *SongState::of(&session);
        QCOMPARE(song.styleName, QStringLiteral("Default Piano"));
        QCOMPARE(meter(session).beatsPerBar, uint16_t(4));
        QCOMPARE(song.styleBeats, uint16_t(4));
        QCOMPARE(song.arrangedTracks.size(), size_t(1)); // the default piano's one part
    }

    void yesTakesTheStyleMeterUndoably()
    {
        Session session;
        ScriptedAnswers answers({QMessageBox::Yes});
        QVERIFY(openStyleFlow(nullptr, session, data(QStringLiteral("plain_three_parts.sty")),
                              nullptr));
        const SongState& song = *SongState::of(&session);
        QCOMPARE(song.styleName, QStringLiteral("plain_three_parts"));
        QCOMPARE(meter(session).beatsPerBar, uint16_t(3));
        QCOMPARE(meter(session).beatUnit, uint16_t(2));
        QVERIFY(session.commands().revert()); // the meter change is the last command
        QCOMPARE(meter(session).beatsPerBar, uint16_t(4));
    }

    void aStyleWhoseMainSectionIsSilentIsLoadedWithAWarning()
    {
        Session session;
        ScriptedAnswers answers;
        QVERIFY(openStyleFlow(nullptr, session, data(QStringLiteral("silent_main.sty")), nullptr));
        QCOMPARE(SongState::of(&session)->styleName, QStringLiteral("silent_main"));
        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked()[0].icon, QMessageBox::Warning);
        QCOMPARE(answers.asked()[0].text,
                 QStringLiteral("The style \"silent_main\" has no \"Main A\" section that plays "
                                "notes:\nthe song has no accompaniment."));
    }

    void aFailedStyleIsReportedAndTheDefaultStays()
    {
        Session session;
        ScriptedAnswers answers({QMessageBox::No});
        const QString path = data(QStringLiteral("two_main_a.sty"));
        QVERIFY(!openStyleFlow(nullptr, session, path, nullptr));
        QCOMPARE(SongState::of(&session)->styleName, QStringLiteral("Default Piano"));
        // No meter question (the default follows the song), then the error box.
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked()[0].text.contains(
            QStringLiteral("The style file was not loaded:\n\n\"%1\"").arg(path)));
    }

    void aMeterTheStyleCannotFollowAsksFirst()
    {
        Session session;
        openStyle(session, data(QStringLiteral("drums_by_table.sty"))); // a 3/4 style
        ScriptedAnswers answers({QMessageBox::No, QMessageBox::Yes});
        QString shown;
        whenMeterShown(QStringLiteral("6"), QStringLiteral("8"), "okButton", &shown);
        QVERIFY(!editMeter(nullptr, session, nullptr));
        QCOMPARE(shown, QStringLiteral("4/4")); // opens on the song's meter
        QCOMPARE(answers.asked()[0].text,
                 QStringLiteral("The selected meter cannot be synchronized with\nthe current "
                                "style meter (3/4).\nLoad the default piano style and refind "
                                "chords?"));
        QCOMPARE(meter(session).beatsPerBar, uint16_t(4));
        QCOMPARE(SongState::of(&session)->styleName, QStringLiteral("drums_by_table"));

        whenMeterShown(QStringLiteral("6"), QStringLiteral("8"), "okButton");
        QVERIFY(editMeter(nullptr, session, nullptr));
        QCOMPARE(meter(session).beatsPerBar, uint16_t(6));
        QCOMPARE(meter(session).beatUnit, uint16_t(3));
        const SongState& song = *SongState::of(&session);
        QCOMPARE(song.styleName, QStringLiteral("Default Piano"));
        QCOMPARE(song.styleBeats, uint16_t(6));
        QCOMPARE(song.styleBeatUnit, uint16_t(3));
    }

    void theStylesMeterOrCancelChangesNothing()
    {
        Session session;
        openStyle(session, QString());
        const int commands = session.commands().count();
        ScriptedAnswers answers;
        whenMeterShown(QStringLiteral("4"), QStringLiteral("4"), "okButton");
        QVERIFY(!editMeter(nullptr, session, nullptr));
        whenMeterShown(QStringLiteral("3"), QStringLiteral("2"), "cancelButton");
        QVERIFY(!editMeter(nullptr, session, nullptr));
        QVERIFY(answers.asked().isEmpty());
        QCOMPARE(session.commands().count(), commands);
    }
};

QTEST_MAIN(TestStyleActions)
#include "tst_style_actions.moc"
