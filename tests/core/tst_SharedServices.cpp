// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/TopMost.h"
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

class Notes : public TopMostTable {
public:
    std::array<QWidget, 3> windows;
    std::array<bool, 3> onTop{true, false, true};
    int count() const override { return 3; }
    QWidget *window(int index) override { return &windows[size_t(index - 1)]; }
    bool onTopChecked(int index) const override { return onTop[size_t(index - 1)]; }
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

    void onlyNotesMarkedOnTopAreLifted()
    {
        TestEnvironment env;
        CheckAndSetTopMost(); // no notes yet: nothing to do
        Notes notes;
        notes.windows[0].show();
        SetTopMostTable(&notes);
        CheckAndSetTopMost();
        QVERIFY(notes.windows[0].windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(notes.windows[0].isVisible()); // lifting a shown note keeps it shown
        QVERIFY(!notes.windows[1].windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(notes.windows[2].windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!notes.windows[2].isVisible()); // and a hidden one hidden
        SetTopMostTable(nullptr);
    }
};

QTEST_MAIN(tst_SharedServices)
#include "tst_SharedServices.moc"
