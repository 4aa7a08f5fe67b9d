// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoteSamples.h"
#include "calculator/form_Calculator.h"
#include "calculator/form_GhostCalculator.h"
#include "clock/form_GhostTime.h"
#include "clock/form_Time.h"
#include "core/Password.h"
#include "core/Sound.h"
#include "platform/Autostart.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// What the settings file holds for the keys of `expected` ("key=value"), in the same form.
QStringList stored(const QStringList &expected)
{
    QStringList values;
    for (const QString &pair : expected) {
        const QString key = pair.section(u'=', 0, 0);
        values << key + u'=' + SettingsStore().value(u"Settings"_s, key).value_or(u"<missing>"_s);
    }
    return values;
}

// The suite with the real programs and the control panel, and the controls the tests reach.
struct Suite : NoteSamples::Suite {
    using NoteSamples::Suite::Suite;
    TrayOwner *icon(Program program) const { return static_cast<TrayOwner *>(host.owner(program)); }
    form_GhostTime *clock() const { return static_cast<form_GhostTime *>(host.owner(Program::Clock)); }
    form_Time *clockWindow() const { return clock()->timeWindow(); }
    QCheckBox *box(const char *name) const { return panel.findChild<QCheckBox *>(QString::fromLatin1(name)); }
    QAction *action(const char *name) const { return panel.findChild<QAction *>(QString::fromLatin1(name)); }
    // "Exit Tarnibe" from the panel's menu, made first if the panel never showed.
    void exit()
    {
        panel.ensureWindow();
        action("menu_Exit")->trigger();
    }
};

// Real tarnibe processes on the test's own folders, which they inherit with the rest of its environment; a
// QProcess kills its process when it goes.
class Copies : public TestEnvironment {
public:
    QProcess *start()
    {
        auto *process = m_processes.emplace_back(std::make_unique<QProcess>()).get();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TARNIBE_BINARY), {});
        return process;
    }
    // Starts a copy and waits until its main loop runs: it answers a second launch's request.
    QProcess *startAndWait()
    {
        QProcess *process = start();
        return QTest::qWaitFor([] { return platform::SingleInstance::askRunningCopyToShow(500); }, 10000) ? process
                                                                                                          : nullptr;
    }
    // Every file of the suite's folders with its modification time and its bytes.
    QStringList snapshot() const
    {
        QStringList files;
        for (const char *folder : {"/config", "/data"}) {
            for (QDirIterator it(root() + QLatin1StringView(folder), QDir::Files, QDirIterator::Subdirectories);
                 it.hasNext();) {
                QFile file(it.next());
                if (file.open(QIODevice::ReadOnly))
                    files << file.fileName() + u' ' +
                                 file.fileTime(QFileDevice::FileModificationTime).toString(Qt::ISODateWithMs) + u' ' +
                                 QString::fromLatin1(file.readAll().toBase64());
            }
        }
        files.sort();
        return files;
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace

class tst_Lifecycle : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The first test, so that nothing has run before it.
    void aStartShowsFourIconsWhoseMenusReachThePanelAndMakesTheClockWindowOnlyForSyncs()
    {
        const auto clockWindows = [] {
            return int(std::ranges::count_if(QApplication::topLevelWidgets(),
                                             [](QWidget *w) { return qobject_cast<form_Time *>(w); }));
        };
        TestEnvironment env;
        {
            Suite suite;
            QVERIFY(!suite.host.owner(Program::Notes)->isVisible());
            // With the icons up and nothing else shown, no image plugin and no SVG renderer was loaded: they cost a
            // start more than the rest of the suite's own code.
            QFile maps(u"/proc/self/maps"_s);
            QVERIFY(maps.open(QIODevice::ReadOnly));
            const QByteArray mapped = maps.readAll();
            QVERIFY(mapped.contains("libQt6Gui"));
            QVERIFY(!mapped.contains("libQt6Svg"));
            QVERIFY(!mapped.contains("/imageformats/"));
            // Scheduled syncs are off at first: nothing needs the clock's window yet.
            QCOMPARE(clockWindows(), 0);

            // A start that does not show the panel does not make its controls; the first show, from a tray menu, does,
            // filled in.
            QVERIFY(!suite.box("check_StartNotes"));
            suite.menuItem("menu_Properties", Program::Clock)->trigger();
            QVERIFY(suite.panel.isVisible());
            QVERIFY(suite.box("check_StartNotes")->isChecked());

            // A left click on the mail icon opens no menu (a right click does: the desktop proves it); a double click
            // is its "check now"; a middle click means nothing to any owner.
            env.tray.click(suite.icon(Program::Email), platform::TrayClick::Left);
            QVERIFY(!suite.host.owner(Program::Email)->popupMenu()->isVisible());
            QCOMPARE(platform::trayClick(QSystemTrayIcon::DoubleClick), platform::TrayClick::Double);
            QCOMPARE(platform::trayClick(QSystemTrayIcon::MiddleClick), std::nullopt);

            // The user opens the clock from its icon and switches scheduled syncs on: the scheduler runs from then on.
            env.tray.click(suite.icon(Program::Clock), platform::TrayClick::Left);
            form_Time *window = suite.clockWindow();
            QVERIFY(window->isVisible());
            window->findChild<QRadioButton *>(u"option_Correct1"_s)->click();
            window->findChild<QPushButton *>(u"c_Ok"_s)->click();
            QVERIFY(suite.clock()->sync().scheduleRunning());
            suite.exit();
        }
        ResetSettings();
        // The next start loads it hidden, with the scheduler running.
        Suite suite;
        QCOMPARE(clockWindows(), 1);
        QVERIFY(!suite.clockWindow()->isVisible());
        QVERIFY(suite.clock()->sync().scheduleRunning());
        // Exited from its menu and started again from its picture, the clock is back with its scheduler.
        suite.menuItem("menu_Exittime", Program::Clock)->trigger();
        QVERIFY(!suite.clock()->sync().scheduleRunning());
        suite.panel.showControlPanel();
        QTest::mouseClick(suite.panel.findChild<QLabel *>(u"image_Clock"_s), Qt::LeftButton);
        QCOMPARE(env.tray.count(), 4);
        QVERIFY(suite.clock()->sync().scheduleRunning());
    }

    // What the settings file says starts; the panel shows only where nothing else can be reached.
    void storedChoicesDecideWhatStarts_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("icons");
        const QStringList none = {u"StartNotes=0"_s, u"StartClock=0"_s, u"StartEmail=0"_s, u"StartCalc=0"_s};
        QTest::newRow("first start") << QStringList()
                                     << QStringList{u"Atomic time"_s, u"Calculator"_s,
                                                    u"Email check (doubleclick to check)"_s, u"New note"_s};
        QTest::newRow("calculator only") << none.mid(0, 3) + QStringList{u"AcceptNotes=False"_s, u"PlaySound=False"_s,
                                                                         u"NoteSender=Kim"_s, u"totStart=41"_s}
                                         << QStringList{u"Calculator"_s};
        QTest::newRow("nothing") << none << QStringList();
    }
    void storedChoicesDecideWhatStarts()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, icons);
        TestEnvironment env;
        if (!values.isEmpty()) {
            writeFirstStartDefaults(); // the first start's defaults, the values over them
            storeSettings(values);
        }
        Suite suite(true);
        QCOMPARE(env.tray.tips(), icons);
        QCOMPARE(suite.panel.isVisible(), icons.isEmpty());
        QCOMPARE(env.logLines().replaceInStrings(QRegularExpression(u",.*"_s), QString()), QStringList{u"\"BEGIN\""_s});
        // The panel shows what was stored, and counts this start.
        int program = 0; // in the order of Program
        for (const char *box : {"check_StartNotes", "check_StartClock", "check_StartEmail", "check_StartCalc"})
            QCOMPARE(suite.box(box)->isChecked(), ProgramRunFlags().of(Program(program++)));
        const bool stored = values.size() > 4;
        QCOMPARE(Settings().totStart, stored ? 42 : 1);
        QCOMPARE(suite.box("check_AcceptNotes")->isChecked(), !stored);
        QCOMPARE(suite.action("menu_Sound")->isChecked(), !stored);
        QCOMPARE(suite.panel.findChild<QLineEdit *>(u"text_Name"_s)->text(), stored ? u"Kim"_s : QString());
    }

    void clearingTheLastStartBoxTicksItAgainAndClosingThePanelOnlyPutsItAway()
    {
        TestEnvironment env;
        Suite suite(true);
        for (const char *box : {"check_StartNotes", "check_StartClock", "check_StartCalc"})
            suite.box(box)->click();
        QCOMPARE(Settings().StartNotes + Settings().StartClock + Settings().StartCalc, 0);
        QVERIFY(env.messages.shown().isEmpty());

        env.messages.expect(platform::MsgAnswer::Ok);
        suite.box("check_StartEmail")->click();
        QVERIFY(suite.box("check_StartEmail")->isChecked());
        QCOMPARE(Settings().StartEmail, 1);

        // The choices reach the store with the next write.
        suite.panel.findChild<QPushButton *>(u"c_Ok"_s)->click();
        const QStringList expected = {u"StartNotes=0"_s, u"StartEmail=1"_s, u"cntControlPanel=1"_s};
        QCOMPARE(stored(expected), expected);
        QVERIFY(!suite.panel.isVisible());

        // Closing the panel only puts it away, and it keeps its height.
        suite.panel.showControlPanel();
        suite.panel.resize(500, 600);
        QCOMPARE(suite.panel.height(), ControlPanelHeight);
        QVERIFY(!suite.panel.close());
        QVERIFY(!suite.panel.isVisible());
        QCOMPARE(env.tray.count(), 4);
        QCOMPARE(env.logLines().size(), 1);
        suite.panel.showControlPanel();
        suite.panel.showMinimized();
        QTRY_VERIFY(!suite.panel.isVisible());
    }

    // Exit asks the keyring nothing (a prompt can wait for minutes): a password it does not hold yet is kept,
    // encoded, in the file.
    void theExitSequenceSavesEverythingAndEnds()
    {
        TestEnvironment env;
        env.secrets.m_available = true;
        Suite suite(true);
        suite.panel.findChild<QLineEdit *>(u"text_Name"_s)->setText(u"Robin"_s);
        suite.box("check_AcceptNotes")->click(); // writes at once
        QCOMPARE(stored({u"AcceptNotes"_s}), QStringList{u"AcceptNotes=False"_s});
        // Only the trash sound never cuts another short.
        PlaySound(u"new.wav"_s);
        PlaySound(u"trash.wav"_s);
        QCOMPARE(env.sound.m_played.size(), 2);
        QVERIFY(!env.sound.m_played[0].noStop && env.sound.m_played[1].noStop);
        Settings().POPServer[0] = u"pop.example.org"_s;
        Settings().PassWord[0] = u"typed-this-session"_s;
        env.clock.advanceMinutes(3);
        suite.exit();

        const QStringList &ending = suite.host.ending;
        QCOMPARE(ending.mid(ending.size() - 2), (QStringList{u"saveAllNotes"_s, u"endProcess"_s}));
        QCOMPARE(env.tray.count(), 0);
        QVERIFY(env.secrets.m_calls.isEmpty());
        QStringList expected =
            u"EndByEnd=True,NoteSender=Robin,totStart=1,RunningTime=3,cntControlPanel=1"_s.split(u',');
        expected << u"PassWord="_s + *EncodeStoredPassword(u"typed-this-session"_s);
        QCOMPARE(stored(expected), expected);
        QCOMPARE(env.logLines().replaceInStrings(QRegularExpression(u",.*"_s), QString()),
                 (QStringList{u"\"BEGIN\""_s, u"\"END\""_s, u"\"Ending windows session:1\""_s}));
        QVERIFY(!ProgramRunFlags().notes);

        suite.exit(); // a second request while ending does nothing more
        QCOMPARE(ending.count(u"endProcess"_s), 1);
    }

    void startAtLoginWritesTheAutostartEntry()
    {
        TestEnvironment env;
        const QString entry = env.root() + u"/config/autostart/tarnibe.desktop"_s;
        // Each step is a start of the suite: its box shows what the entry says.
        const auto startAtLogin = [&](bool expected, const std::function<void(QCheckBox *)> &step) {
            Suite suite(true);
            QCOMPARE(suite.box("check_StartAtLogin")->isChecked(), expected);
            step(suite.box("check_StartAtLogin"));
        };
        startAtLogin(false, [&](QCheckBox *box) {
            box->click();
            QFile file(entry);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            QVERIFY(text.startsWith(u"[Desktop Entry]\n"_s));
            QVERIFY(text.contains(u"\nExec="_s + QCoreApplication::applicationFilePath() + u'\n'));
            QVERIFY(text.contains(u"\nType=Application\n"_s));
        });
        startAtLogin(true, [&](QCheckBox *box) {
            box->click();
            QVERIFY(!QFile::exists(entry));
        });

        // Spaces need quotes; inside them a quote gets a backslash, written doubled since Exec is an escaped string;
        // a percent sign is a field code unless doubled.
        const std::pair<QString, QByteArray> quoted[] = {
            {u"/opt/My Apps/tar\"nibe"_s, "\"/opt/My Apps/tar\\\\\"nibe\""},
            {u"/opt/100%/tarnibe"_s, "\"/opt/100%%/tarnibe\""}};
        for (const auto &[program, exec] : quoted) {
            QVERIFY(platform::setAutostart(true, program));
            QFile written(entry);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QVERIFY2(written.readAll().split('\n').contains("Exec=" + exec), exec.constData());
        }

        // The desktop's own settings may switch an entry off without removing it.
        QFile file(entry);
        QVERIFY(file.open(QIODevice::Append) && file.write("Hidden=true\n") > 0);
        file.close();
        startAtLogin(false, [&](QCheckBox *) { QVERIFY(QFile::remove(entry)); });

        // The folder cannot be made (a file is in the way): the user is told, the box shows the truth.
        QVERIFY(QDir(env.root() + u"/config"_s).rmdir(u"autostart"_s));
        QVERIFY(QFile(env.root() + u"/config/autostart"_s).open(QIODevice::WriteOnly));
        startAtLogin(false, [&](QCheckBox *box) {
            env.messages.expect(platform::MsgAnswer::Ok);
            box->click();
            QVERIFY(!box->isChecked());
            QVERIFY(env.logLines().constLast().contains(u"err_tb_check_StartAtLogin_Click"_s));
        });
    }

    void everyHelpItemOpensItsOwnPage()
    {
        TestEnvironment env;
        Suite suite(true);
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
        suite.action("menu_TarnibeHelp")->trigger();
        QCOMPARE(opened(), u"control.html"_s);
        QStringList pages;
        for (Program program : {Program::Notes, Program::Calculator, Program::Clock, Program::Email}) {
            suite.menuItem("menu_Help", program)->trigger();
            pages << opened();
        }
        QCOMPARE(pages, (QStringList{u"notes.html"_s, u"calculator.html"_s, u"clock.html"_s, u"mail.html"_s}));
        suite.panel.findChild<QPushButton *>(u"c_NetUsers"_s)->click();
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto editor = std::find_if(windows.begin(), windows.end(),
                                         [](QWidget *w) { return w->objectName() == u"form_NetUsers"_s; });
        QVERIFY(editor != windows.end());
        (*editor)->findChild<QPushButton *>(u"c_Help"_s)->click();
        QCOMPARE(opened(), u"notes.html#network"_s);
        (*editor)->close();
        QCOMPARE(env.launcher.m_urls.size(), 6);

        // Without a browser the user learns where the manual is (that a box comes at all, the desktop proves).
        env.launcher.m_urlsOpen = false;
        env.messages.expect(platform::MsgAnswer::Ok);
        suite.action("menu_TarnibeHelp")->trigger();
        QTRY_COMPARE(env.messages.shown().size(), 1);
        QVERIFY(env.messages.shown().constLast().text.endsWith(env.launcher.m_urls.constLast().toLocalFile()));
        env.messages.expect(platform::MsgAnswer::Ok);
        suite.action("menu_About")->trigger();
    }

    // Runs on a bare X server with no tray host (ctest runs it as tst_NoTray, under xvfb-run): the real tray icons
    // have nowhere to go, so the control panel must stay in reach and lead to every program.
    void thePanelLeadsToEveryProgram()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("needs an X server without a tray (ctest runs it as tst_NoTray, under xvfb-run)");
        TestEnvironment env;
        platform::installTrayHost(nullptr); // the desktop's own tray, which is missing here
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        Suite suite;
        form_Tarnibe &panel = suite.panel;
        QVERIFY(QTest::qWaitForWindowExposed(&panel));

        // A right click on a running program's picture opens the menu its tray icon would have.
        const auto image = [&](const char *name) { return panel.findChild<QLabel *>(QString::fromLatin1(name)); };
        const std::pair<Program, const char *> images[] = {{Program::Notes, "image_Note"},
                                                           {Program::Clock, "image_Clock"},
                                                           {Program::Calculator, "image_Calc"},
                                                           {Program::Email, "image_Email"}};
        for (const auto &[program, name] : images) {
            QMenu *menu = suite.host.owner(program)->popupMenu();
            // Through the window, as the X server delivers it, so that the press becomes a context menu request.
            QTest::mouseClick(panel.windowHandle(), Qt::RightButton, {},
                              image(name)->mapTo(&panel, image(name)->rect().center()));
            QTRY_VERIFY2(menu->isVisible(), name);
            menu->hide();
        }

        // A left click is the icon's left click: the calculator opens its window.
        QTest::mouseClick(image("image_Calc"), Qt::LeftButton);
        auto *calculator = static_cast<form_GhostCalculator *>(suite.host.owner(Program::Calculator))->calculator();
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
        suite.menuItem("menu_Exit", Program::Email)->trigger();
        QVERIFY(!ProgramRunFlags().email);
        QTest::mouseClick(image("image_Email"), Qt::LeftButton);
        QVERIFY(ProgramRunFlags().email);
    }

    // A second launch asks the running copy to show itself and touches nothing; SIGTERM makes the suite save.
    void aSecondLaunchTouchesNothingAndATerminatedSuiteSaves()
    {
        Copies copies;
        {
            // The running copy's side in this process, so that its request can be seen.
            platform::SingleInstance running;
            QVERIFY(running.acquire());
            QSignalSpy shown(&running, &platform::SingleInstance::showRequested);
            const QStringList before = copies.snapshot();
            QProcess *second = copies.start();
            QTRY_COMPARE(shown.size(), 1);
            QTRY_COMPARE(second->state(), QProcess::NotRunning);
            QCOMPARE(second->exitCode(), 0);
            QCOMPARE(copies.snapshot(), before);
        }
        QProcess *first = copies.startAndWait();
        QVERIFY(first);

        // Whatever the file holds after SIGTERM was written on the way out: every key, as the end of a session.
        QFile::remove(copies.settingsPath());
        ::kill(pid_t(first->processId()), SIGTERM);
        QVERIFY(first->waitForFinished(5000));
        QCOMPARE(first->exitCode(), 0);
        QSettings settings(copies.settingsPath(), QSettings::IniFormat);
        settings.beginGroup(u"Settings"_s);
        QCOMPARE(settings.value(u"EndByEnd"_s).toString(), u"False"_s);
        QCOMPARE(settings.childKeys().size(), 76);
        QVERIFY(copies.logLines().constLast().startsWith(u"\"Ending windows session:2\""_s));

        // A new launch after the first has ended runs normally, and one after a crash takes its lock over.
        QProcess *third = copies.startAndWait();
        QVERIFY(third);
        third->kill();
        QVERIFY(third->waitForFinished(5000));
        QVERIFY(copies.startAndWait());
    }
};

QTEST_MAIN(tst_Lifecycle)
#include "tst_Lifecycle.moc"
