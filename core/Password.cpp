// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Password.h"

#include <array>

namespace {

// Shift of positions 1 to 10; every later position uses the tenth.
constexpr std::array<int, 10> Shifts = {3, 1, 4, 1, 5, 2, 6, 5, 3, 5};

std::optional<QString> shifted(const QString &text, int direction)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int shift = Shifts[size_t(qMin<qsizetype>(i, Shifts.size() - 1))];
        const int code = text.at(i).unicode() + direction * shift;
        if (code < 0 || code > 255)
            return std::nullopt;
        result.append(QChar(code));
    }
    return result;
}

} // namespace

std::optional<QString> EncodeStoredPassword(const QString &plain)
{
    return shifted(plain, +1);
}

std::optional<QString> DecodeStoredPassword(const QString &stored)
{
    return shifted(stored, -1);
}
