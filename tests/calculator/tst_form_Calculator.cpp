// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "calculator/form_Calculator.h"
#include "calculator/form_GhostCalculator.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "platform/IniStore.h"

#include <QAction>
#include <QFontInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using platform::MsgAnswer;

namespace {

QPlainTextEdit *input(const form_Calculator &calc)
{
    return calc.findChild<QPlainTextEdit *>(u"text_Input"_s);
}

QListWidget *tape(const form_Calculator &calc)
{
    return calc.findChild<QListWidget *>(u"list_Output"_s);
}

// Types a line into the input box and presses Enter, as a user would.
void enter(form_Calculator &calc, const QString &line)
{
    QTest::keyClicks(input(calc), line);
    QTest::keyClick(input(calc), Qt::Key_Return);
}

// Which of a menu's six choices carry the check mark.
QList<int> checked(const form_Calculator &calc, const char *prefix)
{
    QList<int> on;
    for (int i = 0; i < 6; ++i)
        if (calc.findChild<QAction *>(QString::fromLatin1(prefix) + QString::number(i))->isChecked())
            on << i;
    return on;
}

class Host : public AppProgramHost {
public:
    void endProcess() override {}
};

} // namespace

class tst_form_Calculator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The result's row is marked until the timer clears it; a line that fails says why in a box (the desktop test
    // proves what a user sees of the rest).
    void resultIsMarkedBrieflyAndFailuresSayWhy()
    {
        TestEnvironment env;
        form_Calculator calc;
        calc.Form_Load();
        calc.show();
        enter(calc, u"1.5*2"_s);
        QCOMPARE(tape(calc)->currentRow(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(tape(calc)->selectedItems().isEmpty(), 2000);
        // A user already on the tape keeps the row their keys went to when the mark goes.
        enter(calc, u"2"_s);
        calc.activateWindow();
        tape(calc)->setFocus();
        QTest::keyClick(tape(calc), Qt::Key_Home);
        QTRY_VERIFY_WITH_TIMEOUT(!calc.findChild<QTimer *>(u"Timer1"_s)->isActive(), 2000);
        QTest::keyClick(tape(calc), Qt::Key_Down);
        QCOMPARE(tape(calc)->currentRow(), 1);
        // A comma types the decimal point; a line that fails says why, and its Enter takes the last character.
        input(calc)->setFocus();
        for (const auto &[line, message] : {std::pair{u"2+*3"_s, u"Can not evaluate expression:  '*'"_s},
                                            std::pair{u"1,5/0"_s, u"Division by zero"_s}}) {
            env.messages.expect(MsgAnswer::Ok);
            input(calc)->clear();
            enter(calc, line);
            QCOMPARE(env.messages.shown().constLast().text, message);
            QCOMPARE(input(calc)->toPlainText(), QString(line).replace(u',', u'.').chopped(1));
        }
    }

    // Every font choice draws a face of its own (on a Debian desktop with DejaVu and Liberation: serif, sans, mono,
    // Times' twin, ...); the choices of font, size and on-top outlive the window.
    void fontSizeAndOnTopAreRemembered()
    {
        TestEnvironment env;
        const auto action = [](form_Calculator &calc, const QString &name) { return calc.findChild<QAction *>(name); };
        {
            // The first-start choices: "Modern", 10 points, on top. "Modern" draws a face of even width, so the
            // tape's digits line up.
            form_Calculator calc;
            calc.Form_Load();
            QVERIFY(QFontInfo(input(calc)->font()).fixedPitch());
            QCOMPARE(tape(calc)->font().pointSize(), 10);
            QCOMPARE(checked(calc, "menu_Font"), QList{3});
            QCOMPARE(checked(calc, "menu_Size"), QList{2});
            QVERIFY(calc.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(action(calc, u"menu_OnTop"_s)->isChecked());

            QStringList families;
            for (int i = 0; i < 6; ++i) {
                action(calc, u"menu_Font"_s + QString::number(i))->trigger();
                QCOMPARE(storedSetting(u"CalcFont"_s), QString::number(i));
                QCOMPARE(checked(calc, "menu_Font"), QList{i});
                const QFontInfo drawn(input(calc)->font());
                QCOMPARE(QFontInfo(tape(calc)->font()).family(), drawn.family());
                families << drawn.family();
                // Modern and Lucida Console draw faces of even width, the others do not.
                QCOMPARE(drawn.fixedPitch(), i == 3 || i == 5);
            }
            QStringList distinct = families;
            distinct.removeDuplicates();
            QVERIFY2(distinct.size() >= 5, qPrintable(families.join(u", "_s)));
            QVERIFY2(families[2] != families[4], qPrintable(families.join(u", "_s))); // Roman is not the sans face
            action(calc, u"menu_Font4"_s)->trigger();

            action(calc, u"menu_Size4"_s)->trigger();
            QCOMPARE(input(calc)->font().pointSize(), 12);
            QCOMPARE(tape(calc)->font().pointSize(), 12);
            QCOMPARE(checked(calc, "menu_Size"), QList{4});
            QCOMPARE(storedSetting(u"CalcSize"_s), u"4"_s);

            action(calc, u"menu_OnTop"_s)->trigger();
            QVERIFY(!calc.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            QVERIFY(!action(calc, u"menu_OnTop"_s)->isChecked());
            QCOMPARE(storedSetting(u"CalcOnTop"_s), u"False"_s);
        }
        {
            form_Calculator calc;
            calc.Form_Load();
            QVERIFY(!QFontInfo(input(calc)->font()).fixedPitch());
            QCOMPARE(checked(calc, "menu_Font"), QList{4});
            QCOMPARE(input(calc)->font().pointSize(), 12);
            QVERIFY(!calc.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        }

        // Choices outside the menus, from a hand-edited file, fall back to the first-start ones.
        Settings().CalcFont = 9;
        Settings().CalcSize = -1;
        form_Calculator calc;
        calc.Form_Load();
        QCOMPARE(checked(calc, "menu_Font"), QList{3});
        QCOMPARE(checked(calc, "menu_Size"), QList{2});
    }

    void theTrayIconOpensTheWindowAndExitKeepsTheTape()
    {
        TestEnvironment env;
        writeFirstStartDefaults();
        SettingsStore().setValue(u"Settings"_s, u"StartNotes"_s, u"0"_s);
        SettingsStore().setValue(u"Settings"_s, u"StartEmail"_s, u"0"_s);
        Host host;
        form_Tarnibe panel(host);
        host.attach(panel);
        panel.Form_Load();
        auto *ghost = static_cast<form_GhostCalculator *>(host.owner(Program::Calculator));
        QVERIFY(!ghost->calculator());

        env.tray.click(static_cast<TrayOwner *>(ghost), platform::TrayClick::Left);
        QPointer<form_Calculator> calc = ghost->calculator();
        enter(*calc, u"6*7"_s);

        // Exit while the clock runs: only the calculator's icon goes, and its window only hides.
        ghost->findChild<QAction *>(u"menu_ExitCalculator"_s)->trigger();
        QCOMPARE(env.tray.tips(), QStringList{u"Atomic time"_s});
        QVERIFY(!ProgramRunFlags().calculator);
        QVERIFY(calc && !calc->isVisible());
        host.startProgram(Program::Calculator);
        ProgramRunFlags().calculator = true;
        env.tray.click(static_cast<TrayOwner *>(ghost), platform::TrayClick::Left);
        QCOMPARE(ghost->calculator(), calc.data());
        QCOMPARE(tape(*calc)->findItems(u"= 42"_s, Qt::MatchExactly).size(), 1);

        // The close button discards the window and its tape.
        calc->close();
        QTRY_VERIFY(!calc);
        env.tray.click(static_cast<TrayOwner *>(ghost), platform::TrayClick::Left);
        QVERIFY(ghost->calculator() && tape(*ghost->calculator())->count() == 0);
    }
};

QTEST_MAIN(tst_form_Calculator)
#include "tst_form_Calculator.moc"
