// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/GhostOwner.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The real programs, except that ending the process is only noted.
class Host : public AppProgramHost {
public:
    int ended = 0;
    void endProcess() override { ++ended; }
};

// The suite started with the real programs and the control panel.
struct Suite {
    Host host;
    form_Tarnibe panel{host};
    // `window`: the panel's controls are made before the start, as once it has been shown.
    explicit Suite(bool window = true)
    {
        if (window)
            panel.ensureWindow();
        host.attach(panel);
        panel.Form_Load();
    }
    QAction *menuItem(Program program, const char *name) const
    {
        return host.owner(program)->findChild<QAction *>(QString::fromLatin1(name));
    }
    TrayOwner *icon(Program program) const { return static_cast<TrayOwner *>(host.owner(program)); }
    form_Time *clockWindow() const { return static_cast<form_GhostTime *>(host.owner(Program::Clock))->timeWindow(); }
};

} // namespace

class tst_Lifecycle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLaunchShowsFourTrayIcons()
    {
        TestEnvironment env;
        Suite suite(false);
        QCOMPARE(env.tray.tips(), (QStringList{u"Atomic time"_s, u"Calculator"_s,
                                               u"Email check (doubleclick to check)"_s, u"New note"_s}));
        QVERIFY(!suite.host.owner(Program::Notes)->isVisible());
        // With the icons up and nothing else shown, no image plugin and no SVG renderer was loaded: they cost a
        // start more than the rest of the suite's own code. (This is the first test: nothing ran before it.)
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6Gui"));
        QVERIFY(!mapped.contains("libQt6Svg"));
        QVERIFY(!mapped.contains("/imageformats/"));

        // A stopped program started again from its picture, and clicked again, keeps one icon.
        suite.menuItem(Program::Email, "menu_Exit")->trigger();
        QCOMPARE(env.tray.count(), 3);
        suite.panel.image_Email_Click();
        suite.panel.image_Email_Click();
        QCOMPARE(env.tray.count(), 4);
    }

    void trayMenusReachThePanel()
    {
        TestEnvironment env;
        Suite suite(false);
        QVERIFY(!suite.panel.isVisible());
        // A start that does not show the panel does not make its controls; the first show does, filled in.
        QVERIFY(!suite.panel.findChild<QCheckBox *>(u"check_StartNotes"_s));
        suite.menuItem(Program::Clock, "menu_Properties")->trigger();
        QVERIFY(suite.panel.isVisible());
        QVERIFY(suite.panel.findChild<QCheckBox *>(u"check_StartNotes"_s)->isChecked());
        QVERIFY(suite.panel.findChild<QAction *>(u"menu_Sound"_s)->isChecked());

        // A left click on the mail icon opens no menu (a right click does: the desktop proves it).
        env.tray.click(suite.icon(Program::Email), 514);
        QVERIFY(!suite.host.owner(Program::Email)->popupMenu()->isVisible());
    }

    void theClockWindowIsMadeWhenSyncsNeedIt()
    {
        const auto clockWindows = [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            return int(
                std::count_if(windows.begin(), windows.end(), [](QWidget *w) { return qobject_cast<form_Time *>(w); }));
        };
        TestEnvironment env;
        {
            Suite suite(false);
            // Scheduled syncs are off at first: nothing needs the window yet.
            QCOMPARE(clockWindows(), 0);
            // The user opens it from the icon and switches them on: the scheduler runs from then on.
            env.tray.click(suite.icon(Program::Clock), 514);
            form_Time *window = suite.clockWindow();
            QVERIFY(window->isVisible());
            window->option_Correct[1]->click();
            window->c_Ok->click();
            QVERIFY(Settings().ClockActive);
            QVERIFY(window->timer_CheckSync.isActive());
            suite.panel.menu_Exit_Click();
        }
        ResetSettings();
        // The next start loads it hidden, with the scheduler running.
        Suite suite(false);
        QCOMPARE(clockWindows(), 1);
        QVERIFY(!suite.clockWindow()->isVisible());
        QVERIFY(suite.clockWindow()->timer_CheckSync.isActive());
    }

    void everyHelpItemOpensItsOwnPage()
    {
        TestEnvironment env;
        Suite suite;
        // The page is on disk for the browser, and holds the place the link points at.
        const auto opened = [&]() -> QString {
            const QUrl url = env.launcher.m_urls.constLast();
            QFile page(url.toLocalFile());
            if (!page.open(QIODevice::ReadOnly))
                return u"missing "_s + url.toLocalFile();
            if (url.hasFragment() && !page.readAll().contains(QByteArray("id=\"" + url.fragment().toUtf8() + '"')))
                return u"no anchor "_s + url.fragment();
            return url.fileName() + (url.hasFragment() ? u'#' + url.fragment() : QString());
        };
        suite.panel.findChild<QAction *>(u"menu_TarnibeHelp"_s)->trigger();
        QCOMPARE(opened(), u"control.html"_s);
        const std::pair<Program, QString> pages[] = {{Program::Notes, u"notes.html"_s},
                                                     {Program::Calculator, u"calculator.html"_s},
                                                     {Program::Clock, u"clock.html"_s},
                                                     {Program::Email, u"mail.html"_s}};
        for (const auto &[program, page] : pages) {
            suite.menuItem(program, "menu_Help")->trigger();
            QCOMPARE(opened(), page);
        }
        suite.host.openNetUsers();
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto editor = std::find_if(windows.begin(), windows.end(),
                                         [](QWidget *w) { return w->objectName() == u"form_NetUsers"_s; });
        QVERIFY(editor != windows.end());
        (*editor)->findChild<QPushButton *>(u"c_Help"_s)->click();
        QCOMPARE(opened(), u"notes.html#network"_s);
        (*editor)->close();
        QCOMPARE(env.launcher.m_urls.size(), 6);
    }
};

QTEST_MAIN(tst_Lifecycle)
#include "tst_Lifecycle.moc"
