// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary text to the DAYTIME reply reader, as a broken or hostile time server would send it. Whatever it
// reads must be a real time of day and date, and the time to set must follow from them: one second and the offset
// later, the date carried across midnight; for a reply in NIST's layout, the UTC instant it states, one second on.

#include "clock/DaytimeReply.h"

#include <QTimeZone>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the offset (-12..12) and whether the date is asked for.
    const int hoursOff = data[0] % 25 - 12;
    const bool withDate = data[0] & 0x80;
    const QString reply = QString::fromLatin1(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QDate today(2026, 12, 6);

    const std::optional<QTime> time = DaytimeTimeOfDay(reply);
    const std::optional<QDate> date = DaytimeDate(reply);
    if ((time && !time->isValid()) || (date && !date->isValid()))
        fail("an invalid time or date read as valid");
    const std::optional<NewClockTime> target = ClockTimeFromReply(reply, hoursOff, withDate, today);
    // A reply in NIST's layout states UTC: its date is needed to know the instant, and the offset does not apply.
    const bool utc = DaytimeIsUtc(reply);
    if (target.has_value() != (time && ((utc || withDate) ? date.has_value() : true)))
        fail("a time to set without a time and date to set it from, or none with them");
    if (!target)
        return 0;
    if (utc) {
        const QDateTime instant = QDateTime(*date, *time, QTimeZone::utc()).addSecs(1);
        if (target->timeText != instant.toLocalTime().time().toString(QStringLiteral("HH:mm:ss")))
            fail("the new time is not the UTC reply's instant + 1 s");
        if (withDate && target->moment.toMSecsSinceEpoch() != instant.toMSecsSinceEpoch())
            fail("the clock is not set to the UTC reply's instant");
        if (!withDate && target->moment.date() != today)
            fail("without the date, the day changed");
        return 0;
    }
    const QDateTime from(withDate ? *date : today, *time, QTimeZone::utc());
    const QDateTime expected = from.addSecs(1 + hoursOff * 3600);
    if (target->timeText != expected.time().toString(QStringLiteral("HH:mm:ss")))
        fail("the new time is not the reply's time + 1 s + the offset");
    if (withDate && target->moment.date() != expected.date())
        fail("the day did not carry with the time");
    if (!withDate && target->moment.date() != today)
        fail("without the date, the day changed");
    return 0;
}
