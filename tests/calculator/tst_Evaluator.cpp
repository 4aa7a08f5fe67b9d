// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/Evaluator.h"

#include <QTest>

using namespace Qt::StringLiterals;
using platform::ErrorKind;

namespace {

const QString Primary = u"Can not evaluate expression:  '"_s;
const QString Match = u"Can not evaluate expression. "_s;
const QString LeftOver = u"Can not evaluate expression: '"_s;

// A row whose message is empty must evaluate to value; any other row must fail with exactly that message. The
// line is the row's name unless a name is given.
void row(const char *line, double value)
{
    QTest::newRow(line) << QString::fromUtf8(line) << value << QString();
}

void row(const char *name, const QString &line, double value)
{
    QTest::newRow(name) << line << value << QString();
}

void failing(const char *line, const QString &message)
{
    QTest::newRow(line) << QString::fromUtf8(line) << 0.0 << message;
}

void failing(const char *name, const QString &line, const QString &message)
{
    QTest::newRow(name) << line << 0.0 << message;
}

} // namespace

class tst_Evaluator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("message");

        // The examples every calculator of this kind must get right.
        row("1+2*3", 7);
        row("(1+2)*3", 9);
        row("2^3^2", 64);
        row("-2^2", -4);
        row("2^-1", 0.5);
        row("8-2-1", 5);
        row("1<2<3", -1);
        row("-2*3", -6);
        row("not 1=2", -1);
        row("not 1 and 0", 0);
        row("7\\2", 3);
        row("-7\\2", -3);
        row("7 mod 3", 1);
        row("-7 mod 3", -1);
        row("7.5 mod 2", 0);
        row("1<2", -1);
        row("1=2", 0);
        row("(1<2) and (2<3)", -1);
        row("not 0", -1);
        row("5 and 3", 1);
        row("5 or 3", 7);
        row("5 xor 3", 6);
        row("0 eqv 0", -1);
        row("0 imp 5", -1);
        row("1 imp 0", -2);
        row("ABS(-3)", 3);
        row("abs(-3)", 3);
        row("sqr(16)", 4);
        row("int(-2.5)", -3);
        row("fix(-2.5)", -2);
        row("sgn(-0.1)", -1);
        row("1.2.3", 1.2);
        row(".5", 0.5);
        failing("1,5", LeftOver + u",'");
        failing("empty", QString(), Primary + u"'");
        failing("2+", Primary + u"'");
        failing("(1+2", Match);
        failing("1+2)", LeftOver + u")'");
        failing("foo(1)", u"Undefined function  'foo'"_s);
        failing("pi", Match);
        failing("2 >> 1", LeftOver + u">>'");

        // Precedence and associativity, worked out by hand from the level table.
        row("-3^2", -9);
        row("2*-3^2", -18);
        row("2^-2^2", 0.0625); // the minus takes 2^2 as its operand: 2^-(2^2)
        row("(-2)^2", 4);
        row("-2^-2", -0.25);
        row("--2", 2);
        row("-(2+3)*2", -10);
        row("10-2^3", 2);
        row("2*3^2", 18);
        row("-2+3", 1);
        row("3--2", 5);
        row("5 - -5 * 2", 15);
        row("-2 ^ 2 + 1", -3);
        row("2^3*2", 16);
        row("2^(1+1)^3", 64);
        row("100/10/5", 2);
        row("2-3-4", -5);
        row("1+2=3", -1);
        row("2*3=6", -1);
        row("1=1=0", 0);
        row("1=1=-1", -1);
        row("3 > 2 > 1", 0);
        row("2 <> 3", -1);
        row("2 <= 2", -1);
        row("3 >= 4", 0);
        row("not 0 and 5", 5);
        row("not 2=2", 0);
        row("not 3+4", -8);
        row("not -1", 0);
        row("not not 5", 5);
        row("not 5 or 3", -5);
        row("not 0 = 0", 0);
        row("-not 0", 1);
        row("-not 0 + 1", 2); // not takes 0 + 1, the minus takes not's result
        row("2*not 0", -2);
        row("12 and 10", 8);
        row("12 or 3", 15);
        row("12 xor 10", 6);
        row("5 eqv 3", -7);
        row("5 imp 3", -5);
        row("1 or 2 and 0", 1);
        row("1 xor 3 or 4", 6);
        row("6 and 3 = 3", 6);
        row("1 < 2 and 2 < 1", 0);
        row("-1 and 255", 255);
        row("1 imp 1 imp 0", 0);
        row("0 eqv 1 eqv 0", 1);
        row("7 mod 4 * 2", 7);
        row("7 \\ 2 * 2", 1);
        row("7 mod 5 \\ 2", 1);
        row("2 + 7 mod 4", 5);
        row("-7 mod -3", -1);
        row("abs(-2)^2", 4);
        row("sqr(-2^2+8)", 2);
        row("keywords in capitals", u"12 AND 10 Or 1"_s, 9);
        row("blanks, tabs and line breaks", u" 1\t+\r\n2 "_s, 3);

        // Rounding to 32-bit integers: halves to the even neighbour.
        row("2.5 \\ 1", 2);
        row("3.5 \\ 1", 4);
        row("-2.5 \\ 1", -2);
        row("7 \\ 1.5", 3);
        row("5.5 mod 4", 2);
        row("4.5 mod 4", 0);
        row("2.5 and 3", 2);
        row("3.5 and 7", 4);
        row("-2.5 and -1", -2);
        row("not 2.5", -3);
        row("not 3.5", -5);
        row("not -0.5", -1);
        row("largest long", u"2147483647.4 and 1"_s, 1);
        row("smallest long mod -1", u"-2147483648 mod -1"_s, 0);

        // The messages, word for word.
        failing("operator first", u"*5"_s, Primary + u"*'");
        failing("keyword first", u"AND 1"_s, Primary + u"And'");
        failing("function without parentheses", u"abs 5"_s, Match);
        failing("name with a blank", u"x + 1"_s, Match);
        failing("unknown function spelled as typed", u"FOO(1)"_s, u"Undefined function  'Foo'"_s);
        failing("two numbers", u"1 2"_s, LeftOver + u"2'");
        failing("the first error wins", u"(foo(1)"_s, u"Undefined function  'foo'"_s);
        failing("after a name the next character is lower case", u"2 modÖ 1"_s, Primary + u"ö'");
        failing("a character outside the basic plane", u"1 \U0001F600"_s, LeftOver + u"\U0001F600'");
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(double, value);
        QFETCH(QString, message);
        Evaluator evaluator;
        double result = 12345;
        const bool ok = evaluator.e_eval(line, result);
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
        const QString prs = u"err_calc_e_prs "_s;
        const QString function = u"err_calc_e_function "_s;
        QTest::newRow("1/0") << u"1/0"_s << ErrorKind::DivisionByZero << prs;
        QTest::newRow("0/0") << u"0/0"_s << ErrorKind::DivisionByZero << prs;
        QTest::newRow("divisor rounds to 0") << u"5\\0.4"_s << ErrorKind::DivisionByZero << prs;
        QTest::newRow("mod 0") << u"5 mod 0"_s << ErrorKind::DivisionByZero << prs;
        QTest::newRow("0^-1") << u"0^-1"_s << ErrorKind::DivisionByZero << prs;
        QTest::newRow("10^400") << u"10^400"_s << ErrorKind::Overflow << prs;
        QTest::newRow("product") << u"1"_s + QString(308, u'0') + u"*10"_s << ErrorKind::Overflow << prs;
        QTest::newRow("400 digits") << u"1"_s + QString(400, u'0') << ErrorKind::Overflow << prs;
        QTest::newRow("exp(1000)") << u"exp(1000)"_s << ErrorKind::Overflow << function;
        QTest::newRow("and beyond 32 bits") << u"3000000000 and 1"_s << ErrorKind::Overflow << prs;
        QTest::newRow("not beyond 32 bits") << u"not 2147483647.5"_s << ErrorKind::Overflow << prs;
        QTest::newRow("quotient beyond 32 bits") << u"-2147483648 \\ -1"_s << ErrorKind::Overflow << prs;
        QTest::newRow("log(0)") << u"log(0)"_s << ErrorKind::InvalidCall << function;
        QTest::newRow("log(-1)") << u"log(-1)"_s << ErrorKind::InvalidCall << function;
        QTest::newRow("sqr(-1)") << u"sqr(-1)"_s << ErrorKind::InvalidCall << function;
        QTest::newRow("root of a negative") << u"(-8)^(1/3)"_s << ErrorKind::InvalidCall << prs;
        QTest::newRow("the fault comes first") << u"1/0 + foo(1)"_s << ErrorKind::DivisionByZero << prs;
    }
    void arithmeticFaultsFailTheLine()
    {
        QFETCH(QString, line);
        QFETCH(ErrorKind, kind);
        QFETCH(QString, tag);
        Evaluator evaluator;
        double value = 0;
        QVERIFY(!evaluator.e_eval(line, value));
        QVERIFY(evaluator.fault());
        QCOMPARE(evaluator.fault()->kind, kind);
        QCOMPARE(evaluator.fault()->tag, tag);
        QCOMPARE(evaluator.message(), platform::errorInfo(kind).description);

        // The next line starts clean.
        QVERIFY(evaluator.e_eval(u"1+1"_s, value));
        QVERIFY(!evaluator.fault());
        QCOMPARE(value, 2.0);
    }

    void tinyNumbersAreZeroNotFaults()
    {
        Evaluator evaluator;
        double value = 1;
        QVERIFY(evaluator.e_eval(u"0."_s + QString(400, u'0') + u"1"_s, value));
        QCOMPARE(value, 0.0);
    }

    void nestingIsBounded()
    {
        Evaluator evaluator;
        double value = 0;
        const auto nested = [](int depth) -> QString { return QString(depth, u'(') + u"1"_s + QString(depth, u')'); };
        QVERIFY(evaluator.e_eval(nested(Evaluator::MaxDepth), value));
        QCOMPARE(value, 1.0);
        QVERIFY(!evaluator.e_eval(nested(Evaluator::MaxDepth + 1), value));
        QCOMPARE(evaluator.message(), Match);
        for (const QChar c : {u'(', u'-'}) {
            QVERIFY(!evaluator.e_eval(QString(10000, c) + u"1"_s, value));
            QCOMPARE(evaluator.message(), Match);
        }
        QVERIFY(!evaluator.e_eval(QString(10000, u'n').replace(u"n"_s, u"not "_s) + u"1"_s, value));
        QVERIFY(!evaluator.e_eval(QString(5000, u'a').replace(u"a"_s, u"abs("_s) + u"1"_s, value));
        // Long flat lines are not nesting.
        QString sum = u"1"_s;
        for (int i = 0; i < 5000; ++i)
            sum += u"+1";
        QVERIFY(evaluator.e_eval(sum, value));
        QCOMPARE(value, 5001.0);
    }

    void tokensAsTyped()
    {
        Evaluator evaluator;
        evaluator.start(u"AbC<=>>x_1 .5. MoD<>>="_s);
        QStringList seen;
        for (evaluator.e_nxt(); !evaluator.e_tok.isEmpty(); evaluator.e_nxt())
            seen << evaluator.e_tok + u'|' + evaluator.e_spelling;
        QCOMPARE(seen, (QStringList{u"id|Abc"_s, u"<=|<="_s, u">>|>>"_s, u"id|x_1"_s, u"num|.5."_s, u"mod|Mod"_s,
                                    u"<>|<>"_s, u">=|>="_s}));
        QCOMPARE(evaluator.e_spelling, QString());
    }

    void rndRepeatsOnRequest()
    {
        Evaluator evaluator;
        const auto eval = [&evaluator](const QString &line) {
            double value = -1;
            [&] { QVERIFY(evaluator.e_eval(line, value)); }();
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

    void resultText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 3.0 << u"3"_s;
        QTest::newRow("quarter") << 0.25 << u"0.25"_s;
        QTest::newRow("negative") << -1.5 << u"-1.5"_s;
        QTest::newRow("minus zero") << -0.0 << u"0"_s;
        QTest::newRow("third") << 1.0 / 3 << u"0.333333333333333"_s;
        QTest::newRow("15 digits") << 1e14 << u"100000000000000"_s;
        QTest::newRow("1E+15") << 1e15 << u"1E+15"_s;
        QTest::newRow("1E+20") << 1e20 << u"1E+20"_s;
        QTest::newRow("rounded mantissa") << 123456789012345678.0 << u"1.23456789012346E+17"_s;
        QTest::newRow("0.0001") << 0.0001 << u"0.0001"_s;
        QTest::newRow("1E-05") << 0.00001 << u"1E-05"_s;
        QTest::newRow("largest") << 1.7976931348623157e308 << u"1.79769313486232E+308"_s;
    }
    void resultText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(ResultText(value), text);
    }
};

QTEST_GUILESS_MAIN(tst_Evaluator)
#include "tst_Evaluator.moc"
