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

#include <QFile>
#include <QLabel>
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
        for (const auto &[key, value] : {std::pair{"StartNotes", "1"},
                                         {"StartCalc", "1"},
                                         {"StartClock", "0"},
                                         {"StartEmail", "0"},
                                         {"AcceptNotes", "False"}})
            SettingsStore().setValue(u"Settings"_s, QString::fromLatin1(key), QString::fromLatin1(value));
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
        const QRect homeFrame = desktop.frameGeometry(home);
        QVERIFY2(!homeFrame.intersects(desktop.frameGeometry(container)),
                 qPrintable(u"panel %1, container %2"_s.arg(rect(homeFrame), rect(desktop.frameGeometry(container)))));
        QVERIFY(panel.findChild<QLabel *>(u"label_NoTray"_s)->isVisible());

        // The calculator and a new note from their pictures, by real clicks: beside, not over.
        desktop.click(centreOf(panel, "image_Calc"));
        const qulonglong calculator = desktop.waitWindow(u"^Calculator$"_s);
        QVERIFY(calculator);
        desktop.settledGeometry(calculator);
        QVERIFY2(!homeFrame.intersects(desktop.frameGeometry(calculator)),
                 qPrintable(u"calculator %1"_s.arg(rect(desktop.frameGeometry(calculator)))));
        desktop.click(centreOf(panel, "image_Note"));
        QVERIFY(Desktop::waitFor([] { return NoteStore().count() == 2 && NoteWindow(2); }, 5000));
        const QRect noteFrame = NoteWindow(2)->frameGeometry();
        QVERIFY2(!noteFrame.intersects(homeFrame) && !noteFrame.intersects(desktop.frameGeometry(container)),
                 qPrintable(u"note %1"_s.arg(rect(noteFrame))));
        if (const QString shots = qEnvironmentVariable("TARNIBE_SHOTS"); !shots.isEmpty())
            desktop.run(u"import"_s, {u"-window"_s, u"root"_s, shots + u"/home-"_s + desktop.name() + u".png"_s});

        // The notes picture's tip, as the pointer rests on it: how many notes, and the next alarm.
        desktop.moveTo(centreOf(panel, "image_Note") + QPoint(3, 3));
        QVERIFY2(Desktop::waitFor([] { return QToolTip::isVisible(); }, 5000), "no tip came");
        QCOMPARE(QToolTip::text(), u"Notes\n2 notes\nNext alarm: 24-Dec-2026  8:15"_s);
    }

private:
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
