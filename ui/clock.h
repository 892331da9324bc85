// SPDX-License-Identifier: GPL-3.0-or-later
// The millisecond tick count the About window's scroller reads, behind an
// interface so that tests can drive it with a clock of their own.
#pragma once

#include <cstdint>

namespace cartonym::ui {

class Clock {
public:
    virtual ~Clock();
    // Milliseconds of a monotonic clock; never goes back.
    virtual std::int64_t milliseconds() const = 0;
};

// The system's monotonic clock, counted from an arbitrary fixed point (on
// Linux the start of the system), 64 bits wide so that it never wraps.
class MonotonicClock : public Clock {
public:
    std::int64_t milliseconds() const override;
};

Clock& default_clock();

} // namespace cartonym::ui
