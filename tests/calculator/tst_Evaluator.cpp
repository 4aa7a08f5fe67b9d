// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/Evaluator.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Match = u"Can not evaluate expression. "_s;

} // namespace

class tst_Evaluator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The lines and what they give, as the tape shows it, are in evaluator_lines.txt; an arithmetic fault's message
    // ends in its log tag.
    void lines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("value");   // the result's text, empty when the line fails
        QTest::addColumn<QString>("message"); // empty when the line evaluates to value
        QTest::addColumn<QString>("tag");     // the arithmetic fault's, empty when there is none
        QFile file(QFINDTESTDATA("evaluator_lines.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        static const QRegularExpression tagged(u"^(.*) \\[(\\w+)\\]$"_s);
        for (const QString &group : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            if (group.startsWith(u'#'))
                continue;
            for (QString entry : group.split(u"; "_s)) {
                entry.replace(u"\\t"_s, u"\t"_s).replace(u"\\r"_s, u"\r"_s).replace(u"\\n"_s, u"\n"_s);
                const QStringList parts = entry.split(u" → "_s);
                const bool number = parts[1][0].isDigit() || parts[1][0] == u'-';
                const auto fault = tagged.match(parts[1]);
                const QString message = number ? QString() : fault.hasMatch() ? fault.captured(1) : parts[1];
                const QString tag = fault.hasMatch() ? u"err_calc_e_%1 "_s.arg(fault.captured(2)) : QString();
                QTest::newRow(qPrintable(parts[0])) << parts[0] << (number ? parts[1] : QString()) << message << tag;
            }
        }
        // Numbers too long for the file.
        const QString big = u"1"_s + QString(308, u'0');
        QTest::newRow("1E308*10") << big + u"*10"_s << QString() << u"Overflow"_s << u"err_calc_e_prs "_s;
        QTest::newRow("1E400") << big + QString(92, u'0') << QString() << u"Overflow"_s << u"err_calc_e_prs "_s;
    }
    void lines()
    {
        QFETCH(QString, line);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, tag);
        Evaluator evaluator;
        double result = 12345;
        const bool ok = evaluator.evaluate(line, result);
        QCOMPARE(evaluator.message(), message);
        QCOMPARE(ok, message.isEmpty());
        if (ok)
            QCOMPARE(ResultText(result), value);
        // An arithmetic fault's kind is the one the message names.
        QCOMPARE(evaluator.fault() ? evaluator.fault()->tag : QString(), tag);
        if (evaluator.fault())
            QCOMPARE(platform::errorInfo(evaluator.fault()->kind).description, message);

        // The next line starts clean; a tiny number is zero, not a fault.
        QVERIFY(evaluator.evaluate(u"1+0."_s + QString(400, u'0') + u"1"_s, result));
        QVERIFY(!evaluator.fault());
        QCOMPARE(result, 1.0);
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
};

QTEST_GUILESS_MAIN(tst_Evaluator)
#include "tst_Evaluator.moc"
