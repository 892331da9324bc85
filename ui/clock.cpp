// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/clock.h"

#include <chrono>

namespace cartonym::ui {

Clock::~Clock() = default;

std::int64_t MonotonicClock::milliseconds() const
{
    const auto since_start = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count();
}

Clock& default_clock()
{
    static MonotonicClock clock;
    return clock;
}

} // namespace cartonym::ui
