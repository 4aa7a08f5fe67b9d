// SPDX-License-Identifier: GPL-3.0-or-later
// The suite on a StatusNotifierItem tray (KDE Plasma, GNOME's AppIndicator extension): a watcher on the desktop's
// bus, the items driven and read as such a panel does, through GLib's own D-Bus client.
#include "Desktop.h"
#include "Pop3TestServer.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The panel's side of the bus, through gdbus: its watcher, the items by the Id each states, their menus.
struct Tray {
    Desktop &desktop;
    QProcess *watcher = nullptr;

    QString call(const QString &service, const QString &path, const QString &method, const QStringList &args = {}) const
    {
        return desktop.run(u"gdbus"_s, QStringList{u"call"_s, u"--session"_s, u"--dest"_s, service, u"--object-path"_s,
                                                   path, u"--method"_s, method} +
                                           args);
    }
    QString property(const QString &item, const QString &name) const
    {
        return call(item, u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties.Get"_s,
                    {u"org.kde.StatusNotifierItem"_s, name});
    }
    bool startWatcher()
    {
        watcher = desktop.startHelper(u"/usr/bin/python3"_s, {QStringLiteral(SNI_WATCHER)});
        return Desktop::waitFor([this] { return watcher->readAllStandardOutput().contains("ready"); }, 10000);
    }
    // Waits until the watcher holds `count` items; their services by their Ids.
    QMap<QString, QString> waitItems(int count) const
    {
        QMap<QString, QString> items;
        Desktop::waitFor(
            [&] {
                items.clear();
                const QString list = call(u"org.kde.StatusNotifierWatcher"_s, u"/StatusNotifierWatcher"_s,
                                          u"org.freedesktop.DBus.Properties.Get"_s,
                                          {u"org.kde.StatusNotifierWatcher"_s, u"RegisteredStatusNotifierItems"_s});
                static const QRegularExpression entry(u"'([^'/]+)/StatusNotifierItem'"_s);
                for (auto it = entry.globalMatch(list); it.hasNext();) {
                    const QString service = it.next().captured(1);
                    items.insert(quoted(property(service, u"Id"_s)), service);
                }
                return items.size() == count;
            },
            10000);
        return items;
    }
    static QString quoted(const QString &reply)
    {
        static const QRegularExpression text(u"'([^']*)'"_s);
        return text.match(reply).captured(1);
    }
};

// These scenarios play the panel themselves, with a watcher of their own beside a classic tray; where the desktop's
// panel is the watcher already (Xfce, KWin's lxqt-panel), the other scenarios drive the suite's items through it.
bool panelIsWatcher(const Desktop &desktop)
{
    return desktop.name() == u"xfce"_s || desktop.name() == u"kwin"_s;
}

class tst_DesktopTray : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A panel that runs before the suite: four items it can tell apart, menus it draws itself, and a click on the
    // mail item that checks mail; an account that fails (Bob's, unknown to the server) shows on the item's tip.
    void statusNotifierTrayGetsFourItems()
    {
        if (!DovecotServer::installed())
            QSKIP("Dovecot is not installed (scripts/install-deps.sh test)");
        // Ann's mailbox on a real Dovecot, and a desktop of its own with a StatusNotifier watcher on its bus.
        AnnsMailbox mailbox;
        DovecotServer &dovecot = mailbox.dovecot;
        QVERIFY2(mailbox.failure().isEmpty(), qPrintable(mailbox.failure()));
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        if (panelIsWatcher(desktop))
            QSKIP("the desktop's own panel is the StatusNotifierItem watcher here");
        Tray tray{desktop};
        QVERIFY2(tray.startWatcher(), "the watcher did not come up");
        QVERIFY(!dovecot.deliver(u"ann"_s, "From: bob@example.org\r\nSubject: Hi\r\n\r\nHello.\r\n").isEmpty());
        desktop.writeMailAccount(dovecot.plainPort, u"secret"_s, u"60"_s, true, true);
        const QString server = u"127.0.0.1:"_s + QString::number(dovecot.plainPort);
        desktop.startSuite();

        const QMap<QString, QString> byId = tray.waitItems(4);
        QCOMPARE(byId.keys(),
                 QStringList({u"tarnibe-calculator"_s, u"tarnibe-clock"_s, u"tarnibe-mail"_s, u"tarnibe-notes"_s}));
        QCOMPARE(Tray::quoted(tray.property(byId[u"tarnibe-notes"_s], u"Title"_s)), u"Tarnibe Notes"_s);
        QVERIFY(tray.property(byId[u"tarnibe-mail"_s], u"ToolTip"_s).contains(u"Email check (click to check)"_s));
        // The classic tray beside it gets no second set of icons.
        QVERIFY(desktop.waitTrayIcons(0, 1000).isEmpty());

        // A host that asks for the menu at a place gets it there. The start is over first: the notes' container,
        // which it shows last, is no menu.
        QVERIFY(desktop.waitWindow(u"^Container$"_s));
        const QList<qulonglong> before = desktop.windowsOfClass(u"tarnibe"_s);
        tray.call(byId[u"tarnibe-calculator"_s], u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem.ContextMenu"_s,
                  {u"420"_s, u"310"_s});
        const qulonglong popup = desktop.waitNewWindow(before, 5000);
        QVERIFY2(popup, "ContextMenu opened no menu");
        QCOMPARE(desktop.geometry(popup).topLeft(), QPoint(420, 310));
        desktop.key(u"Escape"_s);

        // The mail icon takes no clicks while a check runs (the start's own, say); its menu shows that too.
        const QString mail = byId.value(u"tarnibe-mail"_s);
        // The id of the exported menu's entry with this label (mnemonic "_" kept), 0 when it has none.
        const QString layout = tray.call(mail, Tray::quoted(tray.property(mail, u"Menu"_s)),
                                         u"com.canonical.dbusmenu.GetLayout"_s, {u"0"_s, u"10"_s, u"[]"_s});
        static const QRegularExpression entry(u"<\\((\\d+), \\{[^}]*'label': <'_Check email now !'>"_s);
        const int checkNow = entry.match(layout).captured(1).toInt();
        QVERIFY2(checkNow, "the mail item's menu has no Check email now !");
        const QStringList enabled{QString::number(checkNow), u"enabled"_s};
        const auto on = [&] {
            return tray.call(mail, u"/MenuBar"_s, u"com.canonical.dbusmenu.GetProperty"_s, enabled);
        };
        const auto takesClicks = [&] { return Desktop::waitFor([&] { return on().contains(u"true"_s); }, 10000); };

        // One activation of the mail item checks mail: the notice comes for the waiting message.
        QVERIFY(takesClicks());
        const qsizetype logins = dovecot.logins(u"ann"_s);
        tray.call(mail, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem.Activate"_s, {u"0"_s, u"0"_s});
        QVERIFY2(desktop.waitWindow(u"^You have new email !$"_s, 15000), "Activate started no check");
        QCOMPARE(dovecot.logins(u"ann"_s), logins + 1);

        // "Check email now !" chosen in the panel's menu checks again.
        QVERIFY(takesClicks());
        tray.call(mail, u"/MenuBar"_s, u"com.canonical.dbusmenu.Event"_s,
                  {QString::number(checkNow), u"clicked"_s, u"<0>"_s, u"0"_s});
        QVERIFY2(Desktop::waitFor([&] { return dovecot.logins(u"ann"_s) == logins + 2; }, 15000),
                 "the menu's Check email now ! started no check");
        const QString tip = tray.property(mail, u"ToolTip"_s);
        QVERIFY2(tip.contains(u"Last check failed"_s) && tip.contains(server), qPrintable(tip));
        QVERIFY(QString::fromUtf8(desktop.readData(u"error.log"_s)).contains(u"err_Notify_CheckMail "_s));
    }

    // A panel that comes after the suite (a login where the suite starts first) takes the icons over from the
    // classic tray, and hands them back when it goes.
    void lateTrayTakesTheIconsOver()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        if (panelIsWatcher(desktop))
            QSKIP("the desktop's own panel is the StatusNotifierItem watcher here");
        desktop.startSuite();
        QCOMPARE(desktop.waitTrayIcons(4).size(), 4);

        Tray tray{desktop};
        QVERIFY2(tray.startWatcher(), "the watcher did not come up");
        const QMap<QString, QString> items = tray.waitItems(4);
        QCOMPARE(items.size(), 4);
        QVERIFY2(Desktop::waitFor([&] { return desktop.waitTrayIcons(0, 300).isEmpty(); }, 5000),
                 "the classic tray kept its icons");
        QVERIFY(tray.property(items.value(u"tarnibe-mail"_s), u"ToolTip"_s).contains(u"(click to check)"_s));

        tray.watcher->terminate();
        QCOMPARE(desktop.waitTrayIcons(4).size(), 4);
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopTray)
#include "tst_DesktopTray.moc"
