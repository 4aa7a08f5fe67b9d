// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnvironment.h"
#include "core/TopMost.h"
#include "platform/Tray.h"

#include <QTest>
#include <QWidget>
#include <array>

namespace {

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
    // A double click is the mail icon's "check now"; a middle click means nothing to any owner.
    void trayClicksBecomeTheOwnersMessages()
    {
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
