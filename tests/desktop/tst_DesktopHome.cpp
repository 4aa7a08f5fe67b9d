// SPDX-License-Identifier: GPL-3.0-or-later
// Where no tray runs (GNOME without its tray extension, a bare window manager), the Control center is the way into
// the suite: it opens first and says why it stays, what the programs open goes beside it, and its pictures tell what
// the tray icons would. The suite runs in this process on a real window manager; the pointer is the X server's.
#include "Desktop.h"
#include "TestEnvironment.h"
#include "app/AppProgramHost.h"
#include "core/Settings.h"
#include "core/form_Tarnibe.h"
#include "notes/NoteFile.h"
#include "notes/NoteStore.h"
#include "notes/form_Note.h"
#include "platform/IniStore.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScreen>
#include <QTcpServer>
#include <QTest>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

class Host : public AppProgramHost {
public:
    void endProcess() override {}
};

class tst_DesktopHome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theControlCenterIsAHomeWithoutATray()
    {
        TestEnvironment env;
        env.tray.m_available = false;
        env.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
        Desktop desktop(false);
        writeFirstStartDefaults();
        // Ann's mailbox at a port where nothing answers; checked only when asked.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const QString server = u"127.0.0.1:"_s + QString::number(probe.serverPort());
        probe.close();
        const QMap<QString, QString> settings{{u"StartNotes"_s, u"1"_s},
                                              {u"StartCalc"_s, u"1"_s},
                                              {u"StartClock"_s, u"1"_s},
                                              {u"StartEmail"_s, u"1"_s},
                                              {u"AcceptNotes"_s, u"False"_s},
                                              {u"POPServer"_s, server},
                                              {u"UserName"_s, u"ann"_s},
                                              {u"CheckTime"_s, u"0"_s},
                                              // Syncs from a server here, where nothing answers either.
                                              {u"ClockActive"_s, u"True"_s},
                                              {u"UseCustomTimeserver"_s, u"True"_s},
                                              {u"CustomTimeserver"_s, u"127.0.0.1"_s}};
        for (auto it = settings.cbegin(); it != settings.cend(); ++it)
            SettingsStore().setValue(u"Settings"_s, it.key(), it.value());
        NoteRecord note;
        note.text = u"Dentist"_s;
        note.width = note.oldWidth = 1710;
        note.height = note.oldHeight = 1320;
        note.visible = false;
        note.alarmDate = u"24-Dec-2026"_s;
        note.alarmTime = u"8:15"_s;
        note.alarmRepeat = u"0"_s;
        QFile file(NotesFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(encodeNotes({note})) > 0);
        file.close();
        Host host;
        form_Tarnibe panel(host);
        host.attach(panel);
        panel.Form_Load();
        const auto cleanup = qScopeGuard([&] { host.unloadWindows(); });

        // The panel and the container, neither over the other; the panel says why it stays.
        const qulonglong home = desktop.waitWindow(u"^Control center$"_s);
        const qulonglong container = desktop.waitWindow(u"^Container$"_s);
        QVERIFY(home && container);
        desktop.settledGeometry(home);
        desktop.settledGeometry(container);
        // Where the panel is now: it moves aside once where a window fits beside it no other way.
        const auto homeFrame = [&] {
            desktop.settledGeometry(home);
            return desktop.frameGeometry(home);
        };
        QVERIFY2(
            !homeFrame().intersects(desktop.frameGeometry(container)),
            qPrintable(u"panel %1, container %2"_s.arg(rect(homeFrame()), rect(desktop.frameGeometry(container)))));
        QVERIFY(panel.findChild<QLabel *>(u"label_NoTray"_s)->isVisible());
        shot(desktop, u"start"_s);

        // The calculator and a new note from their pictures, by real clicks: beside, not over.
        desktop.click(centreOf(panel, "image_Calc"));
        const qulonglong calculator = desktop.waitWindow(u"^Calculator$"_s);
        QVERIFY(calculator);
        desktop.settledGeometry(calculator);
        QVERIFY2(!homeFrame().intersects(desktop.frameGeometry(calculator)),
                 qPrintable(u"calculator %1"_s.arg(rect(desktop.frameGeometry(calculator)))));
        desktop.click(centreOf(panel, "image_Note"));
        QVERIFY(Desktop::waitFor([] { return NoteStore().count() == 2 && NoteWindow(2); }, 5000));
        const QRect noteFrame = NoteWindow(2)->frameGeometry();
        QVERIFY2(!noteFrame.intersects(homeFrame()) && !noteFrame.intersects(desktop.frameGeometry(container)),
                 qPrintable(u"note %1"_s.arg(rect(noteFrame))));
        // Atomic time's window from its picture; its "Sync now" fails, and the failure's box is answered.
        desktop.click(centreOf(panel, "image_Clock"));
        const qulonglong clock = desktop.waitWindow(u"^Atomic time$"_s);
        QVERIFY(clock);
        desktop.settledGeometry(clock);
        QVERIFY2(!homeFrame().intersects(desktop.frameGeometry(clock)),
                 qPrintable(u"Atomic time %1"_s.arg(rect(desktop.frameGeometry(clock)))));
        env.messages.expect(platform::MsgAnswer::Ok);
        const QWidget *syncNow = nullptr;
        for (const QWidget *window : QApplication::topLevelWidgets())
            if (window->objectName() == u"form_Time"_s && window->isVisible())
                syncNow = window->findChild<QWidget *>(u"c_CheckNow"_s);
        QVERIFY(syncNow && syncNow->isEnabled());
        desktop.click(syncNow->mapToGlobal(syncNow->rect().center()));
        QVERIFY(Desktop::waitFor([&] { return env.messages.pending() == 0; }, 10000));
        shot(desktop, u"programs"_s);

        // The notes picture's tip, as the pointer rests on it: how many notes, and the next alarm.
        desktop.moveTo(centreOf(panel, "image_Note") + QPoint(3, 3));
        QVERIFY2(Desktop::waitFor([] { return QToolTip::isVisible(); }, 5000), "no tip came");
        QCOMPARE(QToolTip::text(), u"Notes\n2 notes\nNext alarm: 24-Dec-2026  8:15"_s);
        const QString clockTip = tipOf(desktop, panel, "image_Clock");
        QVERIFY2(clockTip.startsWith(u"Atomic time\nNot synchronised yet\n09:00:00: the clock could not be set ("_s),
                 qPrintable(clockTip));

        // "Check email now !" from the mail picture's menu: the check fails, the picture shows the failed envelope
        // and its tip says why.
        const QPoint mail = centreOf(panel, "image_Email");
        const QRect envelope(mail - QPoint(16, 16), QSize(32, 32));
        const QString idle = desktop.pixels(envelope);
        QVERIFY(desktop.chooseFromMenu(mail, u"c"_s));
        QVERIFY2(Desktop::waitFor([&] { return desktop.pixels(envelope) != idle; }, 15000),
                 "the picture never changed");
        const QString tip = tipOf(desktop, panel, "image_Email");
        qInfo("tips after the failures:\n%s\n%s", qPrintable(clockTip), qPrintable(tip));
        QVERIFY2(tip.startsWith(u"Email check\n"_s) && tip.contains(server), qPrintable(tip));

        // The list of net users from its button (it holds the keyboard until its OK), then the e-mail properties from
        // the picture's menu: beside too.
        const auto *netUsers = panel.findChild<QWidget *>(u"c_NetUsers"_s);
        desktop.click(netUsers->mapToGlobal(netUsers->rect().center()));
        const qulonglong users = desktop.waitWindow(u"^Users$"_s);
        QVERIFY(users);
        desktop.settledGeometry(users);
        QVERIFY2(!homeFrame().intersects(desktop.frameGeometry(users)),
                 qPrintable(u"Users "_s + rect(desktop.frameGeometry(users))));
        shot(desktop, u"users"_s);
        const QWidget *ok = nullptr;
        for (const QWidget *window : QApplication::topLevelWidgets())
            if (window->objectName() == u"form_NetUsers"_s)
                ok = window->findChild<QWidget *>(u"c_Ok"_s);
        QVERIFY(ok);
        desktop.click(ok->mapToGlobal(ok->rect().center()));
        QVERIFY(Desktop::waitFor([&] { return !desktop.isViewable(users); }, 5000));
        QVERIFY(desktop.chooseFromMenu(centreOf(panel, "image_Email"), u"p"_s));
        const qulonglong properties = desktop.waitWindow(u"^Email properties$"_s);
        QVERIFY(properties);
        desktop.settledGeometry(properties);
        QVERIFY2(!homeFrame().intersects(desktop.frameGeometry(properties)),
                 qPrintable(u"Email properties "_s + rect(desktop.frameGeometry(properties))));
        shot(desktop, u"properties"_s);
    }

private:
    // The whole screen as the X server has it, frames included, for whoever asks for it.
    static void shot(const Desktop &desktop, const QString &name)
    {
        if (const QString shots = qEnvironmentVariable("TARNIBE_SHOTS"); !shots.isEmpty())
            QGuiApplication::primaryScreen()->grabWindow(0).save(shots + u"/home-"_s + desktop.name() + u"-"_s + name +
                                                                 u".png"_s);
    }
    // The tip that comes as the pointer rests on a picture.
    static QString tipOf(const Desktop &desktop, const QWidget &panel, const char *name)
    {
        const auto *picture = panel.findChild<QWidget *>(QString::fromLatin1(name));
        desktop.moveTo(centreOf(panel, name) + QPoint(3, 3));
        Desktop::waitFor([&] { return QToolTip::isVisible() && QToolTip::text().startsWith(picture->toolTip()); },
                         5000);
        return QToolTip::text();
    }
    static QPoint centreOf(const QWidget &panel, const char *name)
    {
        const auto *picture = panel.findChild<QWidget *>(QString::fromLatin1(name));
        return picture->mapToGlobal(picture->rect().center());
    }
    static QString rect(const QRect &r)
    {
        return u"%1,%2 %3x%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
};

} // namespace

QTEST_MAIN(tst_DesktopHome)
#include "tst_DesktopHome.moc"
