// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/Programs.h"
#include "core/Settings.h"
#include "core/Sound.h"
#include "core/TrayIcon.h"
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

QString name(Program program)
{
    switch (program) {
    case Program::Notes:
        return u"notes"_s;
    case Program::Clock:
        return u"clock"_s;
    case Program::Email:
        return u"email"_s;
    case Program::Calculator:
        break;
    }
    return u"calculator"_s;
}

// Records what the control panel asks of the programs, in order.
class RecordingHost : public ProgramHost {
public:
    QStringList calls;
    void readNetUsers() override { calls << u"readNetUsers"_s; }
    void loadClockWindow() override { calls << u"loadClockWindow"_s; }
    void startProgram(Program p) override { calls << u"start "_s + name(p); }
    void startClockSync() override { calls << u"startClockSync"_s; }
    void checkMissedAlarms() override { calls << u"checkMissedAlarms"_s; }
    void setupNetwork(bool listen) override { calls << u"setupNetwork "_s + (listen ? u"on"_s : u"off"_s); }
    void setAcceptNotes(bool listen) override { calls << u"accept "_s + (listen ? u"on"_s : u"off"_s); }
    void openNetUsers() override { calls << u"openNetUsers"_s; }
    void deleteTrayIcon(Program p) override { calls << u"delete "_s + name(p); }
    void saveAllNotes() override { calls << u"saveAllNotes"_s; }
    void unloadWindows() override { calls << u"unloadWindows"_s; }
    void endProcess() override { calls << u"endProcess"_s; }
};

QString stored(const QString &key)
{
    return SettingsStore().value(u"Settings"_s, key).value_or(u"<missing>"_s);
}

} // namespace

class tst_ControlPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartStartsEveryProgramInOrder()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();

        QCOMPARE(host.calls, (QStringList{u"readNetUsers"_s, u"loadClockWindow"_s, u"start notes"_s,
                                          u"checkMissedAlarms"_s, u"start calculator"_s, u"start clock"_s,
                                          u"startClockSync"_s, u"start email"_s, u"setupNetwork on"_s}));
        QCOMPARE(CountRunningPrograms(), 4);
        QCOMPARE(env.logLines().size(), 1);
        QVERIFY(env.logLines()[0].startsWith(u"\"BEGIN\""_s));
        QCOMPARE(Settings().totStart, 1);
        QCOMPARE(panel.windowTitle(), u"Control center"_s);
        QVERIFY(!panel.isVisible()); // the programs are in the tray; the panel waits there too
        QVERIFY(panel.findChild<QCheckBox *>(u"check_StartEmail"_s)->isChecked());
        QVERIFY(panel.findChild<QAction *>(u"menu_Sound"_s)->isChecked());
    }

    void storedChoicesDecideWhatStarts()
    {
        TestEnvironment env;
        WriteToRegistry();
        for (const char *key : {"StartNotes", "StartClock", "StartEmail"})
            SettingsStore().setValue(u"Settings"_s, QString::fromLatin1(key), u"0"_s);
        SettingsStore().setValue(u"Settings"_s, u"AcceptNotes"_s, u"False"_s);
        SettingsStore().setValue(u"Settings"_s, u"PlaySound"_s, u"False"_s);
        SettingsStore().setValue(u"Settings"_s, u"NoteSender"_s, u"Kim"_s);
        SettingsStore().setValue(u"Settings"_s, u"totStart"_s, u"41"_s);
        QVERIFY(SettingsStore().sync());

        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        QCOMPARE(host.calls,
                 (QStringList{u"readNetUsers"_s, u"loadClockWindow"_s, u"start calculator"_s, u"setupNetwork off"_s}));
        QVERIFY(ProgramRunFlags().calculator && !ProgramRunFlags().notes);
        QCOMPARE(Settings().totStart, 42);
        QVERIFY(!panel.findChild<QCheckBox *>(u"check_StartNotes"_s)->isChecked());
        QVERIFY(!panel.findChild<QCheckBox *>(u"check_AcceptNotes"_s)->isChecked());
        QVERIFY(!panel.findChild<QAction *>(u"menu_Sound"_s)->isChecked());
        QCOMPARE(panel.findChild<QLineEdit *>(u"text_Name"_s)->text(), u"Kim"_s);
    }

    void thePanelShowsWhenNothingElseCouldBeReached()
    {
        TestEnvironment env;
        WriteToRegistry();
        for (const char *key : {"StartNotes", "StartClock", "StartCalc", "StartEmail"})
            SettingsStore().setValue(u"Settings"_s, QString::fromLatin1(key), u"0"_s);
        RecordingHost host;
        form_Tarnibe idle(host);
        idle.Form_Load();
        QCOMPARE(CountRunningPrograms(), 0);
        QVERIFY(idle.isVisible());

        TestEnvironment trayless; // every program starts, but no tray shows their icons
        trayless.tray.m_available = false;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        QCOMPARE(CountRunningPrograms(), 4);
        QVERIFY(panel.isVisible());
    }

    void clearingTheLastStartBoxTicksItAgain()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        const QStringList boxes = {u"check_StartNotes"_s, u"check_StartClock"_s, u"check_StartCalc"_s};
        for (const QString &box : boxes)
            panel.findChild<QCheckBox *>(box)->click();
        QCOMPARE(Settings().StartNotes + Settings().StartClock + Settings().StartCalc, 0);
        QVERIFY(env.messages.shown().isEmpty());

        env.messages.expect(platform::MsgAnswer::Ok);
        auto *email = panel.findChild<QCheckBox *>(u"check_StartEmail"_s);
        email->click();
        QCOMPARE(env.messages.shown().size(), 1);
        QCOMPARE(env.messages.shown()[0].title, u"Info"_s);
        QCOMPARE(env.messages.shown()[0].text, u"You always have to start at least one Tarnibe program !"_s);
        QCOMPARE(env.messages.shown()[0].icon, platform::MsgIcon::Information);
        QVERIFY(email->isChecked());
        QCOMPARE(Settings().StartEmail, 1);

        // The choices reach the store with the next write.
        panel.findChild<QPushButton *>(u"c_Ok"_s)->click();
        QCOMPARE(stored(u"StartNotes"_s), u"0"_s);
        QCOMPARE(stored(u"StartEmail"_s), u"1"_s);
        QCOMPARE(stored(u"cntControlPanel"_s), u"1"_s);
        QCOMPARE(stored(u"totControl"_s), u"1"_s);
        QVERIFY(!panel.isVisible());
    }

    void programImagesStartTheirProgramNow()
    {
        TestEnvironment env;
        WriteToRegistry();
        SettingsStore().setValue(u"Settings"_s, u"StartClock"_s, u"0"_s);
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        host.calls.clear();
        QVERIFY(!ProgramRunFlags().clock);
        panel.image_Clock_Click();
        QCOMPARE(host.calls, (QStringList{u"start clock"_s, u"loadClockWindow"_s, u"startClockSync"_s}));
        QVERIFY(ProgramRunFlags().clock);
    }

    void theExitSequenceSavesEverythingAndEnds()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        panel.findChild<QLineEdit *>(u"text_Name"_s)->setText(u"Robin"_s);
        { // ticking the accept box writes at once
            auto *accept = panel.findChild<QCheckBox *>(u"check_AcceptNotes"_s);
            accept->click();
            QCOMPARE(stored(u"AcceptNotes"_s), u"False"_s);
        }
        host.calls.clear();
        env.clock.advanceMinutes(3);
        panel.menu_Exit_Click();

        QCOMPARE(host.calls,
                 (QStringList{u"delete clock"_s, u"delete notes"_s, u"delete calculator"_s, u"delete email"_s,
                              u"saveAllNotes"_s, u"unloadWindows"_s, u"delete clock"_s, u"delete notes"_s,
                              u"delete calculator"_s, u"saveAllNotes"_s, u"endProcess"_s}));
        const QStringList log = env.logLines();
        QCOMPARE(log.size(), 3);
        QVERIFY(log[1].startsWith(u"\"END\""_s));
        QVERIFY(log[2].startsWith(u"\"Ending windows session:1\""_s));
        QCOMPARE(stored(u"EndByEnd"_s), u"True"_s);
        QCOMPARE(stored(u"NoteSender"_s), u"Robin"_s);
        QCOMPARE(stored(u"totStart"_s), u"1"_s);
        QCOMPARE(stored(u"RunningTime"_s), u"3"_s);
        QCOMPARE(stored(u"cntControlPanel"_s), u"1"_s);
        QVERIFY(!ProgramRunFlags().notes);

        panel.menu_Exit_Click(); // a second request while ending does nothing more
        QCOMPARE(host.calls.count(u"endProcess"_s), 1);
    }

    void endingTheSessionSavesWithReasonTwo()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        host.calls.clear();
        Settings().CalcSize = 5;
        panel.EndSession();
        QCOMPARE(host.calls, (QStringList{u"delete clock"_s, u"delete notes"_s, u"delete calculator"_s,
                                          u"saveAllNotes"_s, u"endProcess"_s}));
        QVERIFY(env.logLines().constLast().startsWith(u"\"Ending windows session:2\""_s));
        QCOMPARE(stored(u"CalcSize"_s), u"5"_s);
        QCOMPARE(stored(u"EndByEnd"_s), u"False"_s);
    }

    void closingThePanelOnlyPutsItAway()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        panel.showControlPanel();
        QVERIFY(panel.isVisible());
        host.calls.clear();
        QVERIFY(!panel.close());
        QVERIFY(!panel.isVisible());
        QVERIFY(host.calls.isEmpty());
        QCOMPARE(env.logLines().size(), 1);
    }

    void theHeightStaysPut()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.show();
        panel.resize(500, 600);
        QCOMPARE(panel.height(), ControlPanelHeight);
        panel.showMinimized();
        QTRY_VERIFY(!panel.isVisible());
    }

    void soundMenuSwitchesSoundsInMemoryOnly()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        panel.Form_Load();
        PlaySound(u"new.wav"_s);
        PlaySound(u"trash.wav"_s);
        QCOMPARE(env.sound.m_played.size(), 2);
        QVERIFY(!env.sound.m_played[0].noStop);
        QVERIFY(env.sound.m_played[1].noStop);

        panel.findChild<QAction *>(u"menu_Sound"_s)->trigger();
        QVERIFY(!Settings().PlaySound);
        QVERIFY(!panel.findChild<QAction *>(u"menu_Sound"_s)->isChecked());
        PlaySound(u"clock.wav"_s);
        QCOMPARE(env.sound.m_played.size(), 2);
        QCOMPARE(stored(u"PlaySound"_s), u"True"_s);
        WriteGlobalVariables();
        QCOMPARE(stored(u"PlaySound"_s), u"False"_s);
    }

    void startAtLoginWritesTheAutostartEntry()
    {
        TestEnvironment env;
        RecordingHost host;
        const QString entry = env.root() + u"/config/autostart/tarnibe.desktop"_s;
        QCOMPARE(platform::autostartEntryPath(), entry);
        {
            form_Tarnibe panel(host);
            panel.ensureWindow();
            panel.Form_Load();
            auto *box = panel.findChild<QCheckBox *>(u"check_StartAtLogin"_s);
            QCOMPARE(box->text(), u"Start Tarnibe when I log in"_s);
            QVERIFY(!box->isChecked());
            box->click();
            QFile file(entry);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            QVERIFY(text.startsWith(u"[Desktop Entry]\n"_s));
            QVERIFY(text.contains(u"\nExec="_s + QCoreApplication::applicationFilePath() + u'\n'));
            QVERIFY(text.contains(u"\nType=Application\n"_s));
        }
        {
            // A later start finds the entry; unticking removes it.
            form_Tarnibe panel(host);
            panel.ensureWindow();
            panel.Form_Load();
            auto *box = panel.findChild<QCheckBox *>(u"check_StartAtLogin"_s);
            QVERIFY(box->isChecked());
            box->click();
            QVERIFY(!QFile::exists(entry));
        }
        {
            // The desktop's own settings may switch an entry off without removing it.
            QVERIFY(platform::setAutostart(true, u"/usr/bin/tarnibe"_s));
            QFile file(entry);
            QVERIFY(file.open(QIODevice::Append));
            file.write("Hidden=true\n");
            file.close();
            form_Tarnibe panel(host);
            panel.ensureWindow();
            panel.Form_Load();
            QVERIFY(!panel.findChild<QCheckBox *>(u"check_StartAtLogin"_s)->isChecked());
            QVERIFY(QFile::remove(entry));
        }
        {
            // The folder cannot be made (a file is in the way): the user is told, the box shows the truth.
            QVERIFY(QDir(env.root() + u"/config"_s).rmdir(u"autostart"_s));
            QFile blocker(env.root() + u"/config/autostart"_s);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            form_Tarnibe panel(host);
            panel.ensureWindow();
            panel.Form_Load();
            auto *box = panel.findChild<QCheckBox *>(u"check_StartAtLogin"_s);
            env.messages.expect(platform::MsgAnswer::Ok);
            box->click();
            QVERIFY(env.messages.shown().constLast().text.startsWith(u"Could not change starting at login: "_s));
            QVERIFY(!box->isChecked());
            QVERIFY(env.logLines().constLast().contains(u"err_tb_check_StartAtLogin_Click"_s));
        }
    }

    void autostartExecIsQuotedForTheDesktop()
    {
        TestEnvironment env;
        const auto execLine = [](const QString &program) {
            if (!platform::setAutostart(true, program))
                return QString();
            QFile file(platform::autostartEntryPath());
            if (!file.open(QIODevice::ReadOnly))
                return QString();
            for (const QByteArray &line : file.readAll().split('\n'))
                if (line.startsWith("Exec="))
                    return QString::fromUtf8(line.mid(5));
            return QString();
        };
        QCOMPARE(execLine(u"/usr/bin/tarnibe"_s), u"/usr/bin/tarnibe"_s);
        // Spaces need quotes; inside them a quote gets a backslash, written doubled since Exec is an escaped
        // string; a percent sign is a field code unless doubled.
        QCOMPARE(execLine(u"/opt/My Apps/tar\"nibe"_s), u"\"/opt/My Apps/tar\\\\\"nibe\""_s);
        QCOMPARE(execLine(u"/opt/100%/tarnibe"_s), u"\"/opt/100%%/tarnibe\""_s);
    }

    void helpAboutAndNetUsers()
    {
        TestEnvironment env;
        RecordingHost host;
        form_Tarnibe panel(host);
        panel.ensureWindow();
        env.messages.expect(platform::MsgAnswer::Ok);
        panel.findChild<QAction *>(u"menu_About"_s)->trigger();
        QCOMPARE(env.messages.shown().constLast().title, u"version"_s);
        QCOMPARE(env.messages.shown().constLast().text, u"Tarnibe ver 2.0.0"_s);

        panel.findChild<QAction *>(u"menu_TarnibeHelp"_s)->trigger();
        QCOMPARE(env.launcher.m_urls.size(), 1);
        const QString page = env.launcher.m_urls[0].toLocalFile();
        QVERIFY(page.endsWith(u"/control.html"_s));
        QVERIFY(QFile(page).size() > 0); // the manual was put where a browser can read it
        // Without a browser the user learns where the manual is.
        env.launcher.m_urlsOpen = false;
        env.messages.expect(platform::MsgAnswer::Ok);
        panel.findChild<QAction *>(u"menu_TarnibeHelp"_s)->trigger();
        QTRY_COMPARE(env.messages.shown().constLast().title, u"Help"_s);
        QVERIFY(env.messages.shown().constLast().text.endsWith(page));

        panel.findChild<QPushButton *>(u"c_NetUsers"_s)->click();
        QCOMPARE(host.calls, QStringList{u"openNetUsers"_s});
    }
};

QTEST_MAIN(tst_ControlPanel)
#include "tst_ControlPanel.moc"
