// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the POSIX implementation files of the seam (*_posix.cpp) and
// by nothing else: the loop that puts each call behind the fault hook.
#pragma once

#include "common/system_error.h"

#include <string>

namespace cartonym::posix {

// The platform's number of the last failure of this thread, and setting it.
int last_error() noexcept;
void set_last_error(int number) noexcept;

// True when number says that a signal interrupted the call.
bool is_interruption(int number) noexcept;

// The result of a call that returned result: done for 0, else the last
// failure.
SystemResult result_of_call(long result) noexcept;

// Throws the last failure.
[[noreturn]] void throw_last_error();

// Whether a call interrupted by a signal is made again.
enum class Interrupted { retry, give_up };

// Runs call() behind the hook: an injected failure makes it return -1 with
// that failure as the last, and a call interrupted by a signal is made
// again unless told otherwise (close, whose descriptor is gone after an
// interruption).
template <typename Call>
auto system_call(SystemOperation operation, const std::string& path, Call&& call,
    Interrupted interrupted = Interrupted::retry) -> decltype(call())
{
    for (;;) {
        // An injected interruption is an interruption like a real one.
        if (const int error = injected_error(operation, path)) {
            set_last_error(error);
            if (is_interruption(error) && interrupted == Interrupted::retry)
                continue;
            return -1;
        }
        const auto result = call();
        if (!(result == -1 && is_interruption(last_error())) || interrupted == Interrupted::give_up)
            return result;
    }
}

} // namespace cartonym::posix
