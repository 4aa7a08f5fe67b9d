// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "calculator/form_Calculator.h"
#include "calculator/form_GhostCalculator.h"
#include "core/GhostOwner.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "platform/Tray.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class Host : public AppProgramHost {
public:
    void endProcess() override {}
};

} // namespace

// Runs on a bare X server with no tray host (ctest starts it under xvfb-run): the real tray icons have nowhere to
// go, so the control panel must stay in reach and lead to every program.
class tst_NoTray : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("needs an X server without a tray (run by ctest under xvfb-run)");
    }

    void thePanelLeadsToEveryProgram()
    {
        TestEnvironment env;
        platform::installTrayHost(nullptr); // the desktop's own tray, which is missing here
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());

        Host host;
        form_Tarnibe panel(host);
        host.attach(panel);
        panel.Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));

        // A right click on a running program's picture opens the menu its tray icon would have.
        const auto image = [&](const char *name) { return panel.findChild<QLabel *>(QString::fromLatin1(name)); };
        const std::pair<Program, const char *> images[] = {{Program::Notes, "image_Note"},
                                                           {Program::Clock, "image_Clock"},
                                                           {Program::Calculator, "image_Calc"},
                                                           {Program::Email, "image_Email"}};
        for (const auto &[program, name] : images) {
            QMenu *menu = host.owner(program)->popupMenu();
            // Through the window, as the X server delivers it, so that the press becomes a context menu request.
            QTest::mouseClick(panel.windowHandle(), Qt::RightButton, {},
                              image(name)->mapTo(&panel, image(name)->rect().center()));
            QTRY_VERIFY2(menu->isVisible(), name);
            menu->hide();
        }

        // A left click is the icon's left click: the calculator opens its window.
        QTest::mouseClick(image("image_Calc"), Qt::LeftButton);
        auto *calculator = static_cast<form_GhostCalculator *>(host.owner(Program::Calculator))->calculator();
        QTRY_VERIFY(calculator && calculator->isVisible());
        calculator->close();

        // Ok puts the panel in the task bar, not out of reach.
        panel.findChild<QPushButton *>(u"c_Ok"_s)->click();
        QTRY_VERIFY(panel.isMinimized());
        QVERIFY(panel.isVisible());
        panel.showControlPanel();
        QTRY_VERIFY(!panel.isMinimized());
        QVERIFY(!panel.close());
        QTRY_VERIFY(panel.isMinimized());
        QVERIFY(panel.isVisible());

        // An exited program's picture starts it again.
        host.owner(Program::Email)->findChild<QAction *>(u"menu_Exit"_s)->trigger();
        QVERIFY(!ProgramRunFlags().email);
        QTest::mouseClick(image("image_Email"), Qt::LeftButton);
        QVERIFY(ProgramRunFlags().email);
    }
};

QTEST_MAIN(tst_NoTray)
#include "tst_NoTray.moc"
