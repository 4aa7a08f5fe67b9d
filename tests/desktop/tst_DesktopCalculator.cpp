// SPDX-License-Identifier: GPL-3.0-or-later
// The calculator as a user meets it on a German desktop: opened from its tray icon, sums typed on the keyboard,
// lines taken back from the tape, and lines it cannot evaluate.
#include "Desktop.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class tst_DesktopCalculator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sumsAndFailuresOnAGermanDesktop()
    {
        Desktop desktop;
        QVERIFY2(desktop.ready(), qPrintable(desktop.error()));
        desktop.startNotes({}, {u"LANG=de_DE.UTF-8"_s, u"LC_ALL=de_DE.UTF-8"_s, u"LANGUAGE=de"_s},
                           {{u"StartNotes"_s, u"0"_s}, {u"StartCalc"_s, u"1"_s}});
        const QList<QRect> icons = desktop.waitTrayIcons(1);
        QCOMPARE(icons.size(), 1);
        desktop.click(icons[0].center());
        const qulonglong window = desktop.waitWindow(u"^Calculator$"_s);
        QVERIFY2(window, "the icon opened no calculator");
        const QRect frame = desktop.settledGeometry(window);
        // The lower half of the window is tape, clear of its scroll bar.
        const QRect tape(frame.left() + 4, frame.center().y(), frame.width() - 30, frame.height() / 2 - 4);
        // Once it holds still: a compositing window manager lets a new window grow in for a moment.
        QString emptyTape = desktop.pixels(tape);
        const auto still = [&] {
            const QString now = desktop.pixels(tape);
            return std::exchange(emptyTape, now) == now;
        };
        QVERIFY(Desktop::waitFor(still, 5000));
        // What the box shows, copied to the clipboard with the keyboard. The suite may take its time over the keys,
        // and no two copies in a row below are alike: the clipboard is read until it changes.
        QString last;
        const auto copied = [&] {
            desktop.key(u"ctrl+a ctrl+c"_s);
            QString now;
            const auto changed = [&] { return (now = desktop.run(u"python3"_s, {QStringLiteral(CLIPBOARD)})) != last; };
            Desktop::waitFor(changed, 3000);
            return last = now;
        };
        // A tape line taken back into the box: Tab to the tape, Home, Down to the row, Enter.
        const auto takeBack = [&](int row) {
            desktop.key(u"Tab Home "_s + u"Down "_s.repeated(row) + u"Return"_s);
            return copied();
        };
        // Enter on a line that fails: a box says so, and Enter closes it; the calculator has the keyboard again
        // once it is the active window, as a user sees.
        const auto failingEnter = [&] {
            desktop.key(u"Return"_s);
            const qulonglong box = desktop.waitWindow(u"^Info$"_s, 5000);
            if (box)
                desktop.key(u"Return"_s);
            return box && Desktop::waitFor([&] { return !desktop.isViewable(box); }, 3000) &&
                   Desktop::waitFor([&] { return desktop.activeWindow() == window; }, 3000);
        };

        // A decimal comma types a point; the tape holds the line, "= " and the result, and a rule, and the box is
        // empty again. A result taken back goes on in the next sum, and the desktop's language puts no comma in it.
        desktop.type(u"1,5*2"_s);
        desktop.key(u"Return"_s);
        desktop.type(u"x"_s);
        QCOMPARE(copied(), u"x"_s);
        QCOMPARE(takeBack(0), u"1.5*2"_s);
        QCOMPARE(takeBack(2), u"---------------------"_s);
        QCOMPARE(takeBack(1), u"3"_s);
        desktop.key(u"End"_s);
        desktop.type(u"/12"_s);
        desktop.key(u"Return"_s);
        QCOMPARE(takeBack(4), u"0.25"_s);

        // A line that fails stays in the box less the character left of the caret, and adds nothing to the tape.
        desktop.type(u"2+*3"_s);
        Desktop::pause(1000);
        const QString sums = desktop.pixels(tape);
        QVERIFY2(failingEnter(), "no box for 2+*3");
        QCOMPARE(copied(), u"2+*"_s);
        desktop.key(u"End"_s);
        desktop.key(u"Left"_s);
        QVERIFY(failingEnter());
        QCOMPARE(copied(), u"2*"_s);
        desktop.type(u"1/0"_s);
        QVERIFY(failingEnter());
        QVERIFY(QString::fromUtf8(desktop.readData(u"error.log"_s)).contains(u"err_calc_e_prs 11 Division by zero"_s));
        // Once the window is active again, as when the tape was seen.
        const auto unchanged = [&] { return desktop.pixels(tape) == sums; };
        QVERIFY2(Desktop::waitFor(unchanged, 3000), "a failing line changed the tape");

        // Edit > Clear empties the tape and the box.
        desktop.key(u"alt+e"_s);
        Desktop::pause(300);
        desktop.key(u"l"_s);
        QVERIFY2(Desktop::waitFor([&] { return desktop.pixels(tape) == emptyTape; }, 3000), "Clear left the tape");
        desktop.type(u"7"_s);
        QCOMPARE(copied(), u"7"_s);

        // Minimised, the icon's click brings it back.
        desktop.xdotool({u"windowminimize"_s, QString::number(window)});
        QVERIFY(Desktop::waitFor([&] { return desktop.isMinimized(window); }, 3000));
        desktop.click(icons[0].center());
        QVERIFY2(Desktop::waitFor([&] { return !desktop.isMinimized(window) && desktop.isViewable(window); }, 3000),
                 "the icon left it minimised");
    }
};

} // namespace

QTEST_GUILESS_MAIN(tst_DesktopCalculator)
#include "tst_DesktopCalculator.moc"
