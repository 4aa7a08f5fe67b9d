// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/TrayIcon.h"

#include <QTest>
#include <QWidget>
#include <array>

using namespace Qt::StringLiterals;

namespace {

class Owner : public TrayOwner {
public:
    QList<int> messages;
    void trayActivated(platform::TrayMessage message) override { messages << message; }
};

} // namespace

class tst_SharedServices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachOwnerHasItsOwnIconAndClicks()
    {
        TestEnvironment env;
        Owner first;
        Owner second;
        AddTrayIcon(&first, QIcon(), u"New note"_s);
        AddTrayIcon(&second, QIcon(), u"Calculator"_s);
        DeleteTrayIcon(&first);
        QVERIFY(!env.tray.contains(&first));
        QVERIFY(env.tray.contains(&second));
        QCOMPARE(env.tray.tips(), QStringList{u"Calculator"_s});
        env.tray.click(&second, 517);
        QCOMPARE(second.messages, QList<int>{517});
        // A double click is the mail icon's "check now"; a middle click means nothing to any owner.
        QCOMPARE(platform::trayMessage(QSystemTrayIcon::DoubleClick), 515);
        QCOMPARE(platform::trayMessage(QSystemTrayIcon::MiddleClick), 0);
    }
};

QTEST_MAIN(tst_SharedServices)
#include "tst_SharedServices.moc"
