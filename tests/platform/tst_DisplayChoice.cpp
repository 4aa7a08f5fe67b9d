#include "platform/DisplayChoice.h"

#include <QTest>

using platform::DisplayChoice;

class tst_DisplayChoice : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void x11WhereverItRunsUnlessTheUserChose_data()
    {
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("x11");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<DisplayChoice>("expected");
        QTest::newRow("X11 desktop") << QByteArray() << QByteArray(":0") << QByteArray() << DisplayChoice::AsChosen;
        QTest::newRow("Wayland with Xwayland")
            << QByteArray("wayland-0") << QByteArray(":0") << QByteArray() << DisplayChoice::UseXcb;
        QTest::newRow("Wayland alone") << QByteArray("wayland-0") << QByteArray() << QByteArray()
                                       << DisplayChoice::WaylandOnly;
        QTest::newRow("the user chose Wayland")
            << QByteArray("wayland-0") << QByteArray(":0") << QByteArray("wayland") << DisplayChoice::AsChosen;
        QTest::newRow("the user chose offscreen")
            << QByteArray("wayland-0") << QByteArray() << QByteArray("offscreen") << DisplayChoice::AsChosen;
    }
    void x11WhereverItRunsUnlessTheUserChose()
    {
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, x11);
        QFETCH(QByteArray, chosen);
        QFETCH(DisplayChoice, expected);
        QCOMPARE(platform::chooseDisplay(wayland, x11, chosen), expected);
    }
};

QTEST_GUILESS_MAIN(tst_DisplayChoice)
#include "tst_DisplayChoice.moc"
