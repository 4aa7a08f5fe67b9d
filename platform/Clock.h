// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

namespace platform {

// Where the present time comes from. The suite reads the time only through Clock, so that tests can set it.
class ClockSource {
public:
    virtual ~ClockSource() = default;
    virtual QDateTime now() const = 0;
};

class Clock {
public:
    // The present local date and time.
    static QDateTime now();
    // Replaces the system clock; nullptr puts the system clock back. The source must outlive its use.
    static void install(const ClockSource *source);
};

} // namespace platform
