// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary text to the calculator's evaluator. Every line must end either in a finite result or in one of
// the calculator's messages, never in a crash, a hang or an infinite or undefined number on the tape; and the same
// line must give the same outcome twice.

#include "calculator/Evaluator.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

bool knownMessage(const QString &message)
{
    using platform::ErrorKind;
    for (ErrorKind kind : {ErrorKind::DivisionByZero, ErrorKind::Overflow, ErrorKind::InvalidCall}) {
        if (message == platform::errorInfo(kind).description)
            return true;
    }
    return message.startsWith(QLatin1String("Can not evaluate expression")) ||
           message.startsWith(QLatin1String("Undefined function  '"));
}

[[noreturn]] void fail(const char *what, const QString &line)
{
    std::fprintf(stderr, "%s for the line: %s\n", what, line.toUtf8().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    Evaluator first;
    Evaluator second;
    double value = 0;
    double again = 0;
    const bool ok = first.evaluate(line, value);
    if (ok != second.evaluate(line, again) || first.message() != second.message() || (ok && value != again))
        fail("two evaluations differ", line);
    if (ok) {
        if (!std::isfinite(value))
            fail("an infinite or undefined result", line);
        if (!first.message().isEmpty())
            fail("a message on success", line);
        const QString text = ResultText(value);
        if (text.isEmpty() || text.contains(QLatin1String("INF")) || text.contains(QLatin1String("NAN")))
            fail("a result text that is no number", line);
    } else if (!knownMessage(first.message())) {
        fail("an unknown message", line);
    }
    return 0;
}
