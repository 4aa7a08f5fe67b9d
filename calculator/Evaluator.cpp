// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculator/Evaluator.h"

#include <QByteArray>
#include <QStringList>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using platform::ErrorKind;

namespace {

constexpr char TagPrs[] = "err_calc_e_prs ";
constexpr char TagFunction[] = "err_calc_e_function ";

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The binary operators: the lowest level p at which each applies, and the level its right operand is parsed at.
struct Operator {
    const char16_t *token;
    int level;
    int right;
};

constexpr std::array<Operator, 18> Operators{{
    {u"^", 11, 12},
    {u"*", 10, 11},
    {u"/", 10, 11},
    {u"\\", 9, 10},
    {u"mod", 8, 9},
    {u"+", 7, 8},
    {u"-", 7, 8},
    {u"=", 6, 7},
    {u"<", 6, 7},
    {u">", 6, 7},
    {u"<>", 6, 7},
    {u"<=", 6, 7},
    {u">=", 6, 7},
    {u"and", 5, 6},
    {u"or", 4, 5},
    {u"xor", 3, 4},
    {u"eqv", 2, 3},
    {u"imp", 1, 2},
}};

const Operator *findOperator(const QString &token)
{
    for (const Operator &op : Operators) {
        if (token == QStringView(op.token))
            return &op;
    }
    return nullptr;
}

} // namespace

double RndSequence::next(double arg)
{
    if (arg == 0)
        return m_last;
    if (arg < 0) {
        // Fold every bit of the argument into the 24-bit state, so that nearby arguments start different sequences.
        const auto bits = std::bit_cast<std::uint64_t>(arg);
        m_state = std::uint32_t((bits ^ (bits >> 24) ^ (bits >> 48)) & 0xFFFFFF);
    }
    m_state = (m_state * 1140671485u + 12820163u) & 0xFFFFFF;
    m_last = m_state / 16777216.0;
    return m_last;
}

std::optional<std::int32_t> RoundToLong(double x)
{
    double r = std::floor(x);
    const double fraction = x - r;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0))
        r += 1;
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        return std::nullopt;
    return std::int32_t(r);
}

std::optional<double> NumberValue(QStringView spelling)
{
    qsizetype end = 0;
    bool point = false;
    while (end < spelling.size()) {
        const QChar c = spelling[end];
        if (c == u'.') {
            if (point)
                break;
            point = true;
        } else if (!isAsciiDigit(c)) {
            break;
        }
        ++end;
    }
    QByteArray digits = spelling.first(end).toLatin1();
    if (digits.endsWith('.'))
        digits.chop(1);
    if (digits.startsWith('.'))
        digits.prepend('0');
    if (digits.isEmpty())
        return 0.0;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(digits.cbegin(), digits.cend(), value, std::chars_format::fixed);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range) {
        // Out of range with a whole part other than zero is too large; without one it is too small to tell from 0.
        const qsizetype dot = digits.indexOf('.');
        const QByteArray whole = dot < 0 ? digits : digits.first(dot);
        for (char c : whole) {
            if (c != '0')
                return std::nullopt;
        }
        return 0.0;
    }
    return value;
}

QString ResultText(double value)
{
    if (value == 0)
        value = 0; // no "-0" on the tape
    // Qt formats the number the same in every language: a decimal point, never a comma.
    return QString::asprintf("%.15G", value);
}

void Evaluator::begin(const QString &s)
{
    m_failed = false;
    m_token.clear();
    m_spelling.clear();
    m_buffer = s;
    m_pos = 0;
    m_depth = 0;
    m_message.clear();
    m_fault.reset();
}

bool Evaluator::evaluate(const QString &s, double &value)
{
    begin(s);
    nextToken();
    double n = 0;
    parseLevel(1, n);
    if (!m_token.isEmpty() && !m_failed)
        report(u"Can not evaluate expression: '"_s + m_spelling + u"'"_s);
    value = n;
    return !m_failed;
}

void Evaluator::nextToken()
{
    m_token.clear();
    m_spelling.clear();
    const qsizetype size = m_buffer.size();
    while (m_pos < size) {
        const QChar c = m_buffer[m_pos];
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n')
            break;
        ++m_pos;
    }
    if (m_pos < size) {
        // A character outside the basic plane is one token, not two halves.
        const qsizetype length =
            m_buffer[m_pos].isHighSurrogate() && m_pos + 1 < size && m_buffer[m_pos + 1].isLowSurrogate() ? 2 : 1;
        const QString c = m_buffer.mid(m_pos, length);
        m_pos += length;
        const QChar first = c[0];
        if (isAsciiDigit(first) || first == u'.') {
            m_token = u"num"_s;
            m_spelling = c;
            while (m_pos < size && (isAsciiDigit(m_buffer[m_pos]) || m_buffer[m_pos] == u'.'))
                m_spelling += m_buffer[m_pos++];
        } else if (isAsciiLetter(first.toLower()) || first == u'_') {
            m_token = u"id"_s;
            m_spelling = c;
            while (m_pos < size) {
                const QChar lower = m_buffer[m_pos].toLower();
                if (!isAsciiLetter(lower) && !isAsciiDigit(lower) && lower != u'_') {
                    m_buffer[m_pos] = lower; // the character after a name goes back in lower case
                    break;
                }
                m_spelling += lower;
                ++m_pos;
            }
            static const QStringList keywords{u"and"_s, u"eqv"_s, u"imp"_s, u"mod"_s, u"not"_s, u"or"_s, u"xor"_s};
            const QString lower = m_spelling.toLower();
            if (keywords.contains(lower))
                m_token = lower;
        } else if (first == u'<' || first == u'>') {
            m_token = c;
            if (m_pos < size && (m_buffer[m_pos] == u'=' || m_buffer[m_pos] == u'>'))
                m_token += m_buffer[m_pos++];
        } else {
            m_token = c;
        }
    }
    if (m_spelling.isEmpty())
        m_spelling = m_token;
}

void Evaluator::expect(const QString &token)
{
    if (m_token != token && !m_failed)
        report(u"Can not evaluate expression. "_s);
    nextToken();
}

void Evaluator::parseLevel(int p, double &n)
{
    n = 0;
    if (m_depth > MaxDepth) {
        report(u"Can not evaluate expression. "_s);
        return;
    }
    ++m_depth;
    double t = 0;
    if (m_token == u"num") {
        const std::optional<double> value = NumberValue(m_spelling);
        if (value)
            n = *value;
        else
            raise(TagPrs, ErrorKind::Overflow);
        nextToken();
    } else if (m_token == u"-") {
        nextToken();
        parseLevel(11, t);
        n = -t;
    } else if (m_token == u"not") {
        nextToken();
        parseLevel(6, t);
        if (const std::optional<std::int32_t> value = toLong(t, TagPrs))
            n = ~*value;
    } else if (m_token == u"(") {
        nextToken();
        parseLevel(1, t);
        n = t;
        expect(u")"_s);
    } else if (m_token == u"id") {
        const QString name = m_spelling;
        nextToken();
        expect(u"("_s);
        parseLevel(1, t);
        expect(u")"_s);
        n = callFunction(name, t);
    } else if (!m_failed) {
        report(u"Can not evaluate expression:  '"_s + m_spelling + u"'"_s);
    }

    while (!m_failed) {
        const Operator *op = findOperator(m_token);
        if (!op || p > op->level)
            break;
        const QString token = m_token;
        nextToken();
        parseLevel(op->right, t);
        if (!m_failed)
            binary(token, n, t);
    }
    --m_depth;
}

void Evaluator::binary(const QString &op, double &n, double t)
{
    if (op == u"^") {
        if (n == 0 && t < 0)
            raise(TagPrs, ErrorKind::DivisionByZero);
        else
            n = settle(std::pow(n, t), TagPrs);
    } else if (op == u"*") {
        n = settle(n * t, TagPrs);
    } else if (op == u"/") {
        if (t == 0)
            raise(TagPrs, ErrorKind::DivisionByZero);
        else
            n = settle(n / t, TagPrs);
    } else if (op == u"+") {
        n = settle(n + t, TagPrs);
    } else if (op == u"-") {
        n = settle(n - t, TagPrs);
    } else if (op == u"=") {
        n = n == t ? -1 : 0;
    } else if (op == u"<") {
        n = n < t ? -1 : 0;
    } else if (op == u">") {
        n = n > t ? -1 : 0;
    } else if (op == u"<>") {
        n = n != t ? -1 : 0;
    } else if (op == u"<=") {
        n = n <= t ? -1 : 0;
    } else if (op == u">=") {
        n = n >= t ? -1 : 0;
    } else {
        // The integer operators: both operands rounded to 32-bit integers first.
        const std::optional<std::int32_t> a = toLong(n, TagPrs);
        const std::optional<std::int32_t> b = a ? toLong(t, TagPrs) : std::nullopt;
        if (!a || !b)
            return;
        if ((op == u"\\" || op == u"mod") && *b == 0) {
            raise(TagPrs, ErrorKind::DivisionByZero);
        } else if (op == u"\\") {
            // The one quotient that does not fit in 32 bits.
            if (*a == std::numeric_limits<std::int32_t>::min() && *b == -1)
                raise(TagPrs, ErrorKind::Overflow);
            else
                n = *a / *b;
        } else if (op == u"mod") {
            n = *b == -1 ? 0 : *a % *b;
        } else if (op == u"and") {
            n = *a & *b;
        } else if (op == u"or") {
            n = *a | *b;
        } else if (op == u"xor") {
            n = *a ^ *b;
        } else if (op == u"eqv") {
            n = ~(*a ^ *b);
        } else if (op == u"imp") {
            n = ~*a | *b;
        }
    }
}

double Evaluator::callFunction(const QString &fun, double arg)
{
    const QString name = fun.toLower();
    double result = 0;
    if (name == u"abs") {
        result = std::fabs(arg);
    } else if (name == u"atn") {
        result = std::atan(arg);
    } else if (name == u"cos") {
        result = std::cos(arg);
    } else if (name == u"exp") {
        result = std::exp(arg);
    } else if (name == u"fix") {
        result = std::trunc(arg);
    } else if (name == u"int") {
        result = std::floor(arg);
    } else if (name == u"log") {
        if (arg <= 0) {
            raise(TagFunction, ErrorKind::InvalidCall);
            return 0;
        }
        result = std::log(arg);
    } else if (name == u"rnd") {
        result = m_rnd.next(arg);
    } else if (name == u"sgn") {
        result = arg > 0 ? 1 : arg < 0 ? -1 : 0;
    } else if (name == u"sin") {
        result = std::sin(arg);
    } else if (name == u"sqr") {
        result = std::sqrt(arg);
    } else if (name == u"tan") {
        result = std::tan(arg);
    } else {
        if (!m_failed)
            report(u"Undefined function  '"_s + fun + u"'"_s);
        return 0;
    }
    return settle(result, TagFunction);
}

void Evaluator::report(const QString &message)
{
    if (m_failed)
        return;
    m_failed = true;
    m_message = message;
}

void Evaluator::raise(const char *tag, ErrorKind kind)
{
    if (m_failed)
        return;
    m_failed = true;
    m_fault = EvalFault{QString::fromLatin1(tag), kind};
    m_message = platform::errorInfo(kind).description;
}

double Evaluator::settle(double result, const char *tag)
{
    if (std::isnan(result)) {
        raise(tag, ErrorKind::InvalidCall);
        return 0;
    }
    if (std::isinf(result)) {
        raise(tag, ErrorKind::Overflow);
        return 0;
    }
    return result;
}

std::optional<std::int32_t> Evaluator::toLong(double x, const char *tag)
{
    const std::optional<std::int32_t> value = RoundToLong(x);
    if (!value)
        raise(tag, ErrorKind::Overflow);
    return value;
}
