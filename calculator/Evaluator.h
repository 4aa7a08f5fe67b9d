// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ErrorCodes.h"

#include <QString>
#include <cstdint>
#include <optional>

// The calculator's random numbers: a 24-bit linear congruential sequence, as BASIC's rnd has always had.
class RndSequence {
public:
    // Negative arg restarts the sequence from a seed made of arg (the same arg gives the same number), 0 repeats
    // the last number, anything else gives the next one. The result lies in [0, 1).
    double next(double arg);

private:
    std::uint32_t m_state = 0x50000;
    double m_last = 0x50000 / 16777216.0;
};

// An arithmetic fault: the procedure it happened in, as its log tag, and what went wrong.
struct EvalFault {
    QString tag;
    platform::ErrorKind kind;
};

// Evaluates one calculator line: numbers, the arithmetic, comparison and bitwise operators and twelve functions,
// computed while parsing. Comparisons give -1 for true and 0 for false. Nothing here shows anything: a failed line
// leaves the text of its "Info" box in message(), and an arithmetic fault also leaves fault() for the log.
class Evaluator {
public:
    // True when the line was evaluated; value is meaningful only then.
    bool evaluate(const QString &s, double &value);

    QString message() const { return m_message; }
    const std::optional<EvalFault> &fault() const { return m_fault; }

    // Parentheses, minus signs, "not"s and function calls nested deeper than this fail the line instead of
    // exhausting the stack.
    static constexpr int MaxDepth = 256;

private:
    void begin(const QString &s);
    void nextToken();
    void expect(const QString &token);
    // Parses from operator level `level` on, computing as it goes.
    void parseLevel(int level, double &n);
    double callFunction(const QString &name, double arg);

    QString m_token;
    QString m_spelling;
    bool m_failed = false;
    void report(const QString &message);
    void raise(const char *tag, platform::ErrorKind kind);
    double settle(double result, const char *tag);
    std::optional<std::int32_t> toLong(double x, const char *tag);
    void binary(const QString &op, double &n, double t);

    QString m_buffer;
    qsizetype m_pos = 0;
    int m_depth = 0;
    QString m_message;
    std::optional<EvalFault> m_fault;
    RndSequence m_rnd;
};

// Rounds to the nearest 32-bit integer, halves to the even neighbour; nothing when the result does not fit.
std::optional<std::int32_t> RoundToLong(double x);

// The value of a number as typed: the leading decimal number, up to a second point (1.2.3 is 1.2, a lone point 0).
// Nothing when it is too large for a double.
std::optional<double> NumberValue(QStringView spelling);

// A result as the tape shows it: at most 15 significant digits, exponent form (1E+20, 1E-05) for very large or
// small values, and always a point as the decimal separator.
QString ResultText(double value);
