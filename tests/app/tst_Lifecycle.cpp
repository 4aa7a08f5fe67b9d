// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/GhostOwner.h"
#include "core/Password.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "platform/IniStore.h"
#include "platform/Paths.h"

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

QStringList captions(const QMenu *menu)
{
    QStringList list;
    for (const QAction *action : menu->actions())
        list << (action->isSeparator() ? u"-"_s : action->text());
    return list;
}

} // namespace

class tst_Lifecycle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstLaunchShowsFourTrayIcons()
    {
        TestEnvironment env;
        Host host;
        form_Tarnibe panel(host);
        host.attach(panel);
        panel.Form_Load();
        QCOMPARE(env.tray.tips(), (QStringList{u"Atomic time"_s, u"Calculator"_s,
                                               u"Email check (doubleclick to check)"_s, u"New note"_s}));
        // With the icons up and nothing else shown, no image plugin and no SVG renderer was loaded: they cost a
        // start more than the rest of the suite's own code. (This is the first test: nothing ran before it.)
        QFile maps(u"/proc/self/maps"_s);
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY(mapped.contains("libQt6Gui"));
        QVERIFY(!mapped.contains("libQt6Svg"));
        QVERIFY(!mapped.contains("/imageformats/"));
        QVERIFY(!host.owner(Program::Notes)->isVisible());
        QCOMPARE(host.owner(Program::Calculator)->windowTitle(), u"GhostCalculator"_s);
        QCOMPARE(captions(host.owner(Program::Calculator)->popupMenu()),
                 (QStringList{u"&Help"_s, u"&Tarnibe properties..."_s, u"-"_s, u"&Exit calculator"_s}));
        QCOMPARE(captions(host.owner(Program::Email)->popupMenu()).constLast(), u"&Exit email check"_s);
        QCOMPARE(captions(host.owner(Program::Clock)->popupMenu()).constLast(), u"&Exit atomic time"_s);
        QCOMPARE(captions(host.owner(Program::Notes)->popupMenu()).constLast(), u"&Exit notes"_s);
    }

    void aProgramsOwnExitLeavesTheOthersRunning()
    {
        TestEnvironment env;
        WriteToRegistry();
        SettingsStore().setValue(u"Settings"_s, u"StartClock"_s, u"0"_s);
        SettingsStore().setValue(u"Settings"_s, u"StartEmail"_s, u"0"_s);
        QFile notes(platform::dataFile(u"notes.dat"_s)); // a user without notes
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.close();
        Host host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        host.attach(panel);
        panel.Form_Load();
        QCOMPARE(env.tray.count(), 2);

        host.owner(Program::Calculator)->findChild<QAction *>(u"menu_ExitCalculator"_s)->trigger();
        QCOMPARE(env.tray.tips(), QStringList{u"New note"_s});
        QVERIFY(!ProgramRunFlags().calculator);
        QVERIFY(ProgramRunFlags().notes);
        QCOMPARE(host.ended, 0);
        QVERIFY(!env.logLines().constLast().contains(u"END"_s));

        // The last program's exit is the suite's exit.
        host.owner(Program::Notes)->findChild<QAction *>(u"menu_ExitNotes"_s)->trigger();
        QCOMPARE(host.ended, 1);
        QCOMPARE(env.tray.count(), 0);
        const QStringList log = env.logLines();
        QVERIFY(log[log.size() - 2].startsWith(u"\"END\""_s));
        QVERIFY(log.constLast().startsWith(u"\"Ending windows session:1\""_s));
        QCOMPARE(SettingsStore().value(u"Settings"_s, u"EndByEnd"_s), std::optional<QString>(u"True"_s));
    }

    void aStoppedProgramStartsAgainFromItsImage()
    {
        TestEnvironment env;
        Host host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        host.attach(panel);
        panel.Form_Load();
        host.owner(Program::Email)->findChild<QAction *>(u"menu_Exit"_s)->trigger();
        QCOMPARE(env.tray.count(), 3);
        panel.image_Email_Click();
        panel.image_Email_Click(); // a running program clicked again keeps one icon
        QCOMPARE(env.tray.count(), 4);
        QVERIFY(ProgramRunFlags().email);
    }

    void trayMenusReachThePanelAndTheManual()
    {
        TestEnvironment env;
        Host host;
        form_Tarnibe panel(host);
        host.attach(panel);
        panel.Form_Load();
        QVERIFY(!panel.isVisible());
        // A start that does not show the panel does not make its controls; the first show does, filled in.
        QVERIFY(!panel.findChild<QCheckBox *>(u"check_StartNotes"_s));
        host.owner(Program::Clock)->findChild<QAction *>(u"menu_Properties"_s)->trigger();
        QVERIFY(panel.isVisible());
        QVERIFY(panel.findChild<QCheckBox *>(u"check_StartNotes"_s)->isChecked());
        QVERIFY(panel.findChild<QAction *>(u"menu_Sound"_s)->isChecked());

        // A right click opens the owner's menu; a left click on the mail icon does not.
        GhostOwner *mail = host.owner(Program::Email);
        env.tray.click(static_cast<TrayOwner *>(mail), 514);
        QVERIFY(!mail->popupMenu()->isVisible());
        env.tray.click(static_cast<TrayOwner *>(mail), 517);
        QTRY_VERIFY(mail->popupMenu()->isVisible());
        mail->popupMenu()->hide();
    }

    // Exit asks the keyring nothing: a password it does not hold yet is kept, encoded, in the file.
    void exitNeverWaitsForTheKeyring()
    {
        TestEnvironment env;
        env.secrets.m_available = true;
        Host host;
        form_Tarnibe panel(host);
        host.attach(panel);
        panel.Form_Load();
        Settings().POPServer[0] = u"pop.example.org"_s;
        Settings().UserName[0] = u"ann"_s;
        Settings().PassWord[0] = u"typed-this-session"_s;
        const int writes = env.secrets.m_writes;
        panel.menu_Exit_Click();
        QCOMPARE(env.secrets.m_writes, writes);
        QCOMPARE(platform::IniStore(env.settingsPath()).value(u"Settings"_s, u"PassWord"_s),
                 EncodeStoredPassword(u"typed-this-session"_s));
    }

    void theClockWindowIsMadeWhenSyncsNeedIt()
    {
        const auto clockWindows = [] {
            int n = 0;
            for (QWidget *w : QApplication::topLevelWidgets())
                n += qobject_cast<form_Time *>(w) != nullptr;
            return n;
        };
        TestEnvironment env;
        {
            Host host;
            form_Tarnibe panel(host);
            host.attach(panel);
            panel.Form_Load();
            // Scheduled syncs are off at first: nothing needs the window yet.
            QCOMPARE(clockWindows(), 0);
            // The user opens it from the icon and switches them on: the scheduler runs from then on.
            auto *owner = static_cast<form_GhostTime *>(host.owner(Program::Clock));
            env.tray.click(static_cast<TrayOwner *>(owner), 514);
            form_Time *window = owner->timeWindow();
            QVERIFY(window->isVisible());
            window->option_Correct[1]->click();
            window->c_Ok->click();
            QVERIFY(Settings().ClockActive);
            QVERIFY(window->timer_CheckSync.isActive());
            panel.menu_Exit_Click();
        }
        ResetSettings();
        {
            // The next start loads it hidden, with the scheduler running.
            Host host;
            form_Tarnibe panel(host);
            host.attach(panel);
            panel.Form_Load();
            QCOMPARE(clockWindows(), 1);
            auto *owner = static_cast<form_GhostTime *>(host.owner(Program::Clock));
            QVERIFY(!owner->timeWindow()->isVisible());
            QVERIFY(owner->timeWindow()->timer_CheckSync.isActive());
        }
    }

    void everyHelpItemOpensItsOwnPage()
    {
        TestEnvironment env;
        Host host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        host.attach(panel);
        panel.Form_Load();
        const auto opened = [&]() -> QString {
            const QUrl url = env.launcher.m_urls.constLast();
            QFile page(url.toLocalFile());
            // The page is on disk for the browser, and holds the place the link points at.
            if (!page.open(QIODevice::ReadOnly))
                return u"missing "_s + url.toLocalFile();
            if (url.hasFragment() && !page.readAll().contains(QByteArray("id=\"" + url.fragment().toUtf8() + '"')))
                return u"no anchor "_s + url.fragment();
            return url.fileName() + (url.hasFragment() ? u'#' + url.fragment() : QString());
        };
        panel.findChild<QAction *>(u"menu_TarnibeHelp"_s)->trigger();
        QCOMPARE(opened(), u"control.html"_s);
        const std::pair<Program, QString> pages[] = {{Program::Notes, u"notes.html"_s},
                                                     {Program::Calculator, u"calculator.html"_s},
                                                     {Program::Clock, u"clock.html"_s},
                                                     {Program::Email, u"mail.html"_s}};
        for (const auto &[program, page] : pages) {
            host.owner(program)->findChild<QAction *>(u"menu_Help"_s)->trigger();
            QCOMPARE(opened(), page);
        }
        host.openNetUsers();
        QWidget *editor = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == u"form_NetUsers"_s)
                editor = w;
        QVERIFY(editor);
        editor->findChild<QPushButton *>(u"c_Help"_s)->click();
        QCOMPARE(opened(), u"notes.html#network"_s);
        editor->close();
        QCOMPARE(env.launcher.m_urls.size(), 6);
    }
};

QTEST_MAIN(tst_Lifecycle)
#include "tst_Lifecycle.moc"
