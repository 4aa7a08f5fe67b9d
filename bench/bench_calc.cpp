// SPDX-License-Identifier: GPL-3.0-or-later
// Times the calculator's evaluator on a short line (20 tokens, what a user types) and a long one (2,000 tokens,
// a pasted column of figures). Prints evaluations per second, the median of 10 runs of at least 0.2 s each.
#include "calculator/Evaluator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double evaluationsPerSecond(const QString &line)
{
    Evaluator evaluator;
    double value = 0;
    std::vector<double> rates;
    for (int run = 0; run < 10; ++run) {
        QElapsedTimer timer;
        timer.start();
        qint64 count = 0;
        while (timer.nsecsElapsed() < 200'000'000) {
            if (!evaluator.evaluate(line, value)) {
                std::fprintf(stderr, "the line failed: %s\n", qPrintable(evaluator.message()));
                std::exit(1);
            }
            ++count;
        }
        rates.push_back(double(count) * 1e9 / double(timer.nsecsElapsed()));
    }
    std::sort(rates.begin(), rates.end());
    return (rates[4] + rates[5]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // 20 tokens: numbers, every kind of operator level, a function and parentheses.
    const QString shortLine = QStringLiteral("(12.5+7)*3-sqr(16)/2^3 mod 5+1");
    // 2,000 tokens: a long sum of products with decimals, as a pasted column of figures gives. "-0" is two tokens,
    // each "+1.25*4" four, and "+1" two.
    const QString longLine = QStringLiteral("-0") + QStringLiteral("+1.25*4").repeated(499) + QStringLiteral("+1");
    std::printf("%5d tokens: %12.0f evaluations/s\n", 20, evaluationsPerSecond(shortLine));
    std::printf("%5d tokens: %12.0f evaluations/s\n", 2000, evaluationsPerSecond(longLine));
    return 0;
}
