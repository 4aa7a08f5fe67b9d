// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/Evaluator.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using platform::ErrorKind;

namespace {

const QString Match = u"Can not evaluate expression. "_s;

} // namespace

class tst_Evaluator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The lines and what they give are in evaluator_lines.txt.
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("message"); // empty when the line evaluates to value
        QFile file(QFINDTESTDATA("evaluator_lines.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        for (const QString &group : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            if (group.startsWith(u'#'))
                continue;
            for (QString entry : group.split(u"; "_s)) {
                entry.replace(u"\\t"_s, u"\t"_s).replace(u"\\r"_s, u"\r"_s).replace(u"\\n"_s, u"\n"_s);
                const QStringList parts = entry.split(u" → "_s);
                bool number = false;
                const double value = parts[1].toDouble(&number);
                QTest::newRow(qPrintable(parts[0])) << parts[0] << value << (number ? QString() : parts[1]);
            }
        }
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
