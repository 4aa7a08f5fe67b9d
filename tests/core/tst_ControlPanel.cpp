// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Password.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/Sound.h"
#include "core/form_Tarnibe.h"
#include "platform/Autostart.h"
#include "platform/IniStore.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Records what the control panel asks of the programs, in order.
class RecordingHost : public ProgramHost {
public:
    QStringList calls;
    static QString name(Program p)
    {
        static const char *const names[] = {"notes", "clock", "email", "calculator"}; // as Program orders them
        return QString::fromLatin1(names[int(p)]);
    }
    void readNetUsers() override { calls << u"readNetUsers"_s; }
    void loadClockWindow() override { calls << u"loadClockWindow"_s; }
    void startProgram(Program p) override { calls << u"start "_s + name(p); }
    void startClockSync() override { calls << u"startClockSync"_s; }
    void checkMissedAlarms() override { calls << u"checkMissedAlarms"_s; }
    void openNetUsers() override { calls << u"openNetUsers"_s; }
    void deleteTrayIcon(Program p) override { calls << u"delete "_s + name(p); }
    void saveAllNotes() override { calls << u"saveAllNotes"_s; }
    void unloadWindows() override { calls << u"unloadWindows"_s; }
    void endProcess() override { calls << u"endProcess"_s; }
    void setAcceptNotes(bool) override {}
    void trayMessage(Program, int) override {}
};

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

// The control panel with a recording host, on test folders of its own.
struct Panel {
    TestEnvironment env;
    RecordingHost host;
    form_Tarnibe panel{host};

    // Starts the suite on a settings file that holds `values` ("key=value") over the first start's defaults.
    void load(const QStringList &values = {})
    {
        if (!values.isEmpty()) {
            WriteToRegistry();
            for (const QString &value : values)
                SettingsStore().setValue(u"Settings"_s, value.section(u'=', 0, 0), value.section(u'=', 1));
            QVERIFY(SettingsStore().sync());
        }
        panel.ensureWindow();
        panel.Form_Load();
    }
    QCheckBox *box(const char *name) const { return panel.findChild<QCheckBox *>(QString::fromLatin1(name)); }
    QAction *action(const char *name) const { return panel.findChild<QAction *>(QString::fromLatin1(name)); }
};

} // namespace

class tst_ControlPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What the settings file says starts, in order; the panel shows only where nothing else can be reached.
    void storedChoicesDecideWhatStarts_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("panelShown");
        const QStringList all = {u"start notes"_s, u"checkMissedAlarms"_s, u"start calculator"_s,
                                 u"start clock"_s, u"startClockSync"_s,    u"start email"_s};
        const QStringList none = {u"StartNotes=0"_s, u"StartClock=0"_s, u"StartEmail=0"_s, u"StartCalc=0"_s};
        QTest::newRow("first start") << QStringList() << all << false;
        QTest::newRow("calculator only") << none.mid(0, 3) + QStringList{u"AcceptNotes=False"_s, u"PlaySound=False"_s,
                                                                         u"NoteSender=Kim"_s, u"totStart=41"_s}
                                         << QStringList{u"start calculator"_s} << false;
        QTest::newRow("nothing") << none << QStringList() << true;
    }
    void storedChoicesDecideWhatStarts()
    {
        QFETCH(QStringList, values);
        QFETCH(QStringList, calls);
        QFETCH(bool, panelShown);
        Panel p;
        p.load(values);
        QCOMPARE(p.host.calls, QStringList({u"readNetUsers"_s, u"loadClockWindow"_s}) + calls);
        QCOMPARE(p.panel.isVisible(), panelShown);
        QCOMPARE(p.env.logLines().size(), 1);
        QVERIFY(p.env.logLines()[0].startsWith(u"\"BEGIN\""_s));
        // The panel shows what was stored, and counts this start.
        const std::pair<const char *, Program> boxes[] = {{"check_StartNotes", Program::Notes},
                                                          {"check_StartClock", Program::Clock},
                                                          {"check_StartEmail", Program::Email},
                                                          {"check_StartCalc", Program::Calculator}};
        for (const auto &[box, program] : boxes)
            QCOMPARE(p.box(box)->isChecked(), ProgramRunFlags().of(program));
        const bool stored = values.size() > 4;
        QCOMPARE(Settings().totStart, stored ? 42 : 1);
        QCOMPARE(p.box("check_AcceptNotes")->isChecked(), !stored);
        QCOMPARE(p.action("menu_Sound")->isChecked(), !stored);
        QCOMPARE(p.panel.findChild<QLineEdit *>(u"text_Name"_s)->text(), stored ? u"Kim"_s : QString());
    }

    void clearingTheLastStartBoxTicksItAgain()
    {
        Panel p;
        p.load();
        for (const char *box : {"check_StartNotes", "check_StartClock", "check_StartCalc"})
            p.box(box)->click();
        QCOMPARE(Settings().StartNotes + Settings().StartClock + Settings().StartCalc, 0);
        QVERIFY(p.env.messages.shown().isEmpty());

        p.env.messages.expect(platform::MsgAnswer::Ok);
        p.box("check_StartEmail")->click();
        QVERIFY(p.box("check_StartEmail")->isChecked());
        QCOMPARE(Settings().StartEmail, 1);

        // The choices reach the store with the next write.
        p.panel.findChild<QPushButton *>(u"c_Ok"_s)->click();
        const QStringList expected = {u"StartNotes=0"_s, u"StartEmail=1"_s, u"cntControlPanel=1"_s};
        QCOMPARE(stored(expected), expected);
        QVERIFY(!p.panel.isVisible());
    }

    void programImagesStartTheirProgramNow()
    {
        Panel p;
        p.load({u"StartClock=0"_s});
        p.host.calls.clear();
        p.panel.image_Clock_Click();
        QCOMPARE(p.host.calls, (QStringList{u"start clock"_s, u"loadClockWindow"_s, u"startClockSync"_s}));
        QVERIFY(ProgramRunFlags().clock);
    }

    // Exit asks the keyring nothing (a prompt can wait for minutes): a password it does not hold yet is kept,
    // encoded, in the file.
    void theExitSequenceSavesEverythingAndEnds()
    {
        Panel p;
        p.env.secrets.m_available = true;
        p.load();
        p.panel.findChild<QLineEdit *>(u"text_Name"_s)->setText(u"Robin"_s);
        p.box("check_AcceptNotes")->click(); // writes at once
        QCOMPARE(stored({u"AcceptNotes"_s}), QStringList{u"AcceptNotes=False"_s});
        Settings().POPServer[0] = u"pop.example.org"_s;
        Settings().PassWord[0] = u"typed-this-session"_s;
        p.host.calls.clear();
        p.env.clock.advanceMinutes(3);
        p.panel.menu_Exit_Click();

        QCOMPARE(p.host.calls.mid(p.host.calls.size() - 2), (QStringList{u"saveAllNotes"_s, u"endProcess"_s}));
        QVERIFY(p.env.secrets.m_calls.isEmpty());
        const QStringList expected = {
            u"EndByEnd=True"_s,     u"NoteSender=Robin"_s,
            u"totStart=1"_s,        u"RunningTime=3"_s,
            u"cntControlPanel=1"_s, u"PassWord="_s + *EncodeStoredPassword(u"typed-this-session"_s)};
        QCOMPARE(stored(expected), expected);
        const QStringList log = p.env.logLines();
        QCOMPARE(log.size(), 3);
        QVERIFY(log[1].startsWith(u"\"END\""_s));
        QVERIFY(log[2].startsWith(u"\"Ending windows session:1\""_s));
        QVERIFY(!ProgramRunFlags().notes);

        p.panel.menu_Exit_Click(); // a second request while ending does nothing more
        QCOMPARE(p.host.calls.count(u"endProcess"_s), 1);
    }

    void endingTheSessionSavesWithReasonTwo()
    {
        Panel p;
        p.load();
        p.host.calls.clear();
        Settings().CalcSize = 5;
        p.panel.EndSession();
        QCOMPARE(p.host.calls.mid(p.host.calls.size() - 2), (QStringList{u"saveAllNotes"_s, u"endProcess"_s}));
        QVERIFY(p.env.logLines().constLast().startsWith(u"\"Ending windows session:2\""_s));
        const QStringList expected = {u"CalcSize=5"_s, u"EndByEnd=False"_s};
        QCOMPARE(stored(expected), expected);
    }

    void closingThePanelOnlyPutsItAwayAndKeepsItsHeight()
    {
        Panel p;
        p.load();
        p.panel.showControlPanel();
        p.panel.resize(500, 600);
        QCOMPARE(p.panel.height(), ControlPanelHeight);
        p.host.calls.clear();
        QVERIFY(!p.panel.close());
        QVERIFY(!p.panel.isVisible());
        QVERIFY(p.host.calls.isEmpty());
        QCOMPARE(p.env.logLines().size(), 1);
        p.panel.showControlPanel();
        p.panel.showMinimized();
        QTRY_VERIFY(!p.panel.isVisible());
    }

    void soundMenuSwitchesSoundsInMemoryOnly()
    {
        Panel p;
        p.load();
        PlaySound(u"new.wav"_s);
        PlaySound(u"trash.wav"_s);
        QCOMPARE(p.env.sound.m_played.size(), 2);
        QVERIFY(!p.env.sound.m_played[0].noStop);
        QVERIFY(p.env.sound.m_played[1].noStop);

        p.action("menu_Sound")->trigger();
        QVERIFY(!p.action("menu_Sound")->isChecked());
        PlaySound(u"clock.wav"_s);
        QCOMPARE(p.env.sound.m_played.size(), 2);
        QCOMPARE(stored({u"PlaySound"_s}), QStringList{u"PlaySound=True"_s});
        WriteGlobalVariables();
        QCOMPARE(stored({u"PlaySound"_s}), QStringList{u"PlaySound=False"_s});
    }

    void startAtLoginWritesTheAutostartEntry()
    {
        TestEnvironment env;
        RecordingHost host;
        const QString entry = env.root() + u"/config/autostart/tarnibe.desktop"_s;
        QCOMPARE(platform::autostartEntryPath(), entry);
        // Each step is a start of the suite: its box shows what the entry says.
        const auto startAtLogin = [&](bool expected, const std::function<void(QCheckBox *)> &step) {
            form_Tarnibe panel(host);
            panel.ensureWindow();
            panel.Form_Load();
            auto *box = panel.findChild<QCheckBox *>(u"check_StartAtLogin"_s);
            QCOMPARE(box->isChecked(), expected);
            step(box);
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

        // The desktop's own settings may switch an entry off without removing it.
        QVERIFY(platform::setAutostart(true, u"/usr/bin/tarnibe"_s));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::Append));
        file.write("Hidden=true\n");
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

    void autostartExecIsQuotedForTheDesktop_data()
    {
        // A plain path goes as it is (the entry above); spaces need quotes; inside them a quote gets a backslash,
        // written doubled since Exec is an escaped string; a percent sign is a field code unless doubled.
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("quote") << u"/opt/My Apps/tar\"nibe"_s << u"\"/opt/My Apps/tar\\\\\"nibe\""_s;
        QTest::newRow("percent") << u"/opt/100%/tarnibe"_s << u"\"/opt/100%%/tarnibe\""_s;
    }
    void autostartExecIsQuotedForTheDesktop()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        TestEnvironment env;
        QVERIFY(platform::setAutostart(true, program));
        QFile file(platform::autostartEntryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().split('\n').contains("Exec=" + exec.toUtf8()), qPrintable(exec));
    }

    void helpAboutAndNetUsers()
    {
        Panel p;
        p.panel.ensureWindow();
        p.env.messages.expect(platform::MsgAnswer::Ok);
        p.action("menu_About")->trigger();

        // Without a browser the user learns where the manual is (that a box comes at all, the desktop proves).
        p.env.launcher.m_urlsOpen = false;
        p.env.messages.expect(platform::MsgAnswer::Ok);
        p.action("menu_TarnibeHelp")->trigger();
        QTRY_COMPARE(p.env.messages.shown().size(), 2);
        QVERIFY(p.env.messages.shown().constLast().text.endsWith(p.env.launcher.m_urls.constLast().toLocalFile()));
        p.panel.findChild<QPushButton *>(u"c_NetUsers"_s)->click();
        QCOMPARE(p.host.calls, QStringList{u"openNetUsers"_s});
    }
};

QTEST_MAIN(tst_ControlPanel)
#include "tst_ControlPanel.moc"
