// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/Evaluator.h"

#include <QTest>

using namespace Qt::StringLiterals;
using platform::ErrorKind;

namespace {

const QString Primary = u"Can not evaluate expression:  '"_s;
const QString Match = u"Can not evaluate expression. "_s;
const QString LeftOver = u"Can not evaluate expression: '"_s;

// Lines and their values, "line → value" separated by "; ", grouped by what they exercise.
const char *const Values[] = {
    // The examples every calculator of this kind must get right.
    "1+2*3 → 7; (1+2)*3 → 9; 2^3^2 → 64; -2^2 → -4; 2^-1 → 0.5; 8-2-1 → 5; 1<2<3 → -1; -2*3 → -6",
    "not 1=2 → -1; not 1 and 0 → 0; 7\\2 → 3; -7\\2 → -3; 7 mod 3 → 1; -7 mod 3 → -1; 7.5 mod 2 → 0",
    "1<2 → -1; 1=2 → 0; (1<2) and (2<3) → -1; not 0 → -1; 5 and 3 → 1; 5 or 3 → 7; 5 xor 3 → 6",
    "0 eqv 0 → -1; 0 imp 5 → -1; 1 imp 0 → -2; ABS(-3) → 3; abs(-3) → 3; sqr(16) → 4; int(-2.5) → -3",
    "fix(-2.5) → -2; sgn(-0.1) → -1; 1.2.3 → 1.2; .5 → 0.5",
    // Precedence and associativity, worked out by hand from the level table; 2^-2^2 is 2^-(2^2).
    "-3^2 → -9; 2*-3^2 → -18; 2^-2^2 → 0.0625; (-2)^2 → 4; -2^-2 → -0.25; --2 → 2; -(2+3)*2 → -10",
    "10-2^3 → 2; 2*3^2 → 18; -2+3 → 1; 3--2 → 5; 5 - -5 * 2 → 15; -2 ^ 2 + 1 → -3; 2^3*2 → 16",
    "2^(1+1)^3 → 64; 100/10/5 → 2; 2-3-4 → -5; 1+2=3 → -1; 2*3=6 → -1; 1=1=0 → 0; 1=1=-1 → -1",
    "3 > 2 > 1 → 0; 2 <> 3 → -1; 2 <= 2 → -1; 3 >= 4 → 0; not 0 and 5 → 5; not 2=2 → 0; not 3+4 → -8",
    // not takes 0 + 1 and the minus takes not's result.
    "not -1 → 0; not not 5 → 5; not 5 or 3 → -5; not 0 = 0 → 0; -not 0 → 1; -not 0 + 1 → 2; 2*not 0 → -2",
    "12 and 10 → 8; 12 or 3 → 15; 12 xor 10 → 6; 5 eqv 3 → -7; 5 imp 3 → -5; 1 or 2 and 0 → 1",
    "1 xor 3 or 4 → 6; 6 and 3 = 3 → 6; 1 < 2 and 2 < 1 → 0; -1 and 255 → 255; 1 imp 1 imp 0 → 0",
    "0 eqv 1 eqv 0 → 1; 7 mod 4 * 2 → 7; 7 \\ 2 * 2 → 1; 7 mod 5 \\ 2 → 1; 2 + 7 mod 4 → 5; -7 mod -3 → -1",
    "abs(-2)^2 → 4; sqr(-2^2+8) → 2; 12 AND 10 Or 1 → 9; \t 1\t+\r\n2  → 3",
    // Rounding to 32-bit integers: halves to the even neighbour.
    "2.5 \\ 1 → 2; 3.5 \\ 1 → 4; -2.5 \\ 1 → -2; 7 \\ 1.5 → 3; 5.5 mod 4 → 2; 4.5 mod 4 → 0; 2.5 and 3 → 2",
    "3.5 and 7 → 4; -2.5 and -1 → -2; not 2.5 → -3; not 3.5 → -5; not -0.5 → -1",
    "2147483647.4 and 1 → 1; -2147483648 mod -1 → 0",
};

} // namespace

class tst_Evaluator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("message"); // empty when the line evaluates to value
        for (const char *group : Values) {
            for (const QString &entry : QString::fromUtf8(group).split(u"; "_s)) {
                const QStringList parts = entry.split(u" → "_s);
                QTest::newRow(qPrintable(parts[0])) << parts[0] << parts[1].toDouble() << QString();
            }
        }
        const auto failing = [](const QString &line, const QString &message) {
            QTest::newRow(qPrintable(line)) << line << 0.0 << message;
        };
        failing(u"1,5"_s, LeftOver + u",'");
        failing(QString(), Primary + u"'");
        failing(u"2+"_s, Primary + u"'");
        failing(u"(1+2"_s, Match);
        failing(u"1+2)"_s, LeftOver + u")'");
        failing(u"foo(1)"_s, u"Undefined function  'foo'"_s);
        failing(u"pi"_s, Match);
        failing(u"2 >> 1"_s, LeftOver + u">>'");
        // The messages, word for word; a name keeps its first character as typed and lowers the rest.
        failing(u"*5"_s, Primary + u"*'");
        failing(u"AND 1"_s, Primary + u"And'");
        failing(u"abs 5"_s, Match);
        failing(u"x + 1"_s, Match);
        failing(u"FOO(1)"_s, u"Undefined function  'Foo'"_s);
        failing(u"x_1(1)"_s, u"Undefined function  'x_1'"_s);
        failing(u"1 2"_s, LeftOver + u"2'");
        failing(u"(foo(1)"_s, u"Undefined function  'foo'"_s); // the first error wins
        failing(u"2 modÖ 1"_s, Primary + u"ö'");               // after a name the next character is lower case
        failing(u"1 \U0001F600"_s, LeftOver + u"\U0001F600'"); // outside the basic plane
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(double, value);
        QFETCH(QString, message);
        Evaluator evaluator;
        double result = 12345;
        const bool ok = evaluator.evaluate(line, result);
        QCOMPARE(evaluator.message(), message);
        QCOMPARE(ok, message.isEmpty());
        QVERIFY(!evaluator.fault());
        if (ok)
            QCOMPARE(result, value);
    }

    void arithmeticFaultsFailTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<ErrorKind>("kind");
        QTest::addColumn<QString>("tag");
        const auto row = [](const QString &line, ErrorKind kind, const char *tag = "prs") {
            QTest::newRow(qPrintable(line.left(40))) << line << kind << u"err_calc_e_%1 "_s.arg(QLatin1String(tag));
        };
        for (const char *line : {"1/0", "0/0", "5\\0.4", "5 mod 0", "0^-1", "1/0 + foo(1)"})
            row(QString::fromLatin1(line), ErrorKind::DivisionByZero);
        for (const char *line : {"10^400", "3000000000 and 1", "not 2147483647.5", "-2147483648 \\ -1"})
            row(QString::fromLatin1(line), ErrorKind::Overflow);
        row(u"1"_s + QString(308, u'0') + u"*10"_s, ErrorKind::Overflow);
        row(u"1"_s + QString(400, u'0'), ErrorKind::Overflow);
        row(u"exp(1000)"_s, ErrorKind::Overflow, "function");
        for (const char *line : {"log(0)", "log(-1)", "sqr(-1)"})
            row(QString::fromLatin1(line), ErrorKind::InvalidCall, "function");
        row(u"(-8)^(1/3)"_s, ErrorKind::InvalidCall);
    }
    void arithmeticFaultsFailTheLine()
    {
        QFETCH(QString, line);
        QFETCH(ErrorKind, kind);
        QFETCH(QString, tag);
        Evaluator evaluator;
        double value = 0;
        QVERIFY(!evaluator.evaluate(line, value));
        QVERIFY(evaluator.fault());
        QCOMPARE(evaluator.fault()->kind, kind);
        QCOMPARE(evaluator.fault()->tag, tag);
        QCOMPARE(evaluator.message(), platform::errorInfo(kind).description);

        // The next line starts clean; a tiny number is zero, not a fault.
        QVERIFY(evaluator.evaluate(u"1+0."_s + QString(400, u'0') + u"1"_s, value));
        QVERIFY(!evaluator.fault());
        QCOMPARE(value, 1.0);
    }

    void nestingIsBounded()
    {
        Evaluator evaluator;
        double value = 0;
        const auto nested = [](int depth) -> QString { return QString(depth, u'(') + u"1"_s + QString(depth, u')'); };
        QVERIFY(evaluator.evaluate(nested(Evaluator::MaxDepth), value));
        QCOMPARE(value, 1.0);
        for (const QString &deep :
             QStringList{nested(Evaluator::MaxDepth + 1), QString(10000, u'(') + u"1"_s, QString(10000, u'-') + u"1"_s,
                         u"not "_s.repeated(10000) + u"1"_s, u"abs("_s.repeated(5000) + u"1"_s}) {
            QVERIFY(!evaluator.evaluate(deep, value));
            QCOMPARE(evaluator.message(), Match);
        }
        // Long flat lines are not nesting.
        QVERIFY(evaluator.evaluate(u"1"_s + u"+1"_s.repeated(5000), value));
        QCOMPARE(value, 5001.0);
    }

    void rndRepeatsOnRequest()
    {
        Evaluator evaluator;
        const auto eval = [&evaluator](const QString &line) {
            double value = -1;
            [&] { QVERIFY(evaluator.evaluate(line, value)); }();
            return value;
        };
        const double first = eval(u"rnd(-7)"_s);
        const double next = eval(u"rnd(1)"_s);
        QCOMPARE(eval(u"rnd(0)"_s), next);
        QCOMPARE(eval(u"rnd(-7)"_s), first);
        QCOMPARE(eval(u"rnd(1)"_s), next);
        QVERIFY(eval(u"rnd(-8)"_s) != first);
        QSet<double> distinct;
        for (int i = 0; i < 1000; ++i) {
            const double value = eval(u"rnd(1)"_s);
            QVERIFY(value >= 0 && value < 1);
            distinct.insert(value);
        }
        QCOMPARE(distinct.size(), 1000);
    }

    void resultText()
    {
        QStringList texts;
        for (double value : {3.0, 0.25, -1.5, -0.0, 1.0 / 3, 1e14, 1e15, 1e20, 123456789012345678.0, 0.0001, 0.00001,
                             1.7976931348623157e308})
            texts << ResultText(value);
        QCOMPARE(texts, (QStringList{u"3"_s, u"0.25"_s, u"-1.5"_s, u"0"_s, u"0.333333333333333"_s, u"100000000000000"_s,
                                     u"1E+15"_s, u"1E+20"_s, u"1.23456789012346E+17"_s, u"0.0001"_s, u"1E-05"_s,
                                     u"1.79769313486232E+308"_s}));
    }
};

QTEST_GUILESS_MAIN(tst_Evaluator)
#include "tst_Evaluator.moc"
