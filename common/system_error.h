// SPDX-License-Identifier: GPL-3.0-or-later
// What a call of the operating system came to, in the seam's own terms:
// the outcomes a caller branches on, and the failure it throws. Nothing
// here depends on one platform: the platform's own number of a failure
// (POSIX's EEXIST, ENOENT and kin) travels as a plain number beside the
// program's error number, and only the platform's implementation files
// read it.
//
// One error convention: a failure throws SystemError (an Error). A call
// whose expected failures the caller branches on (a taken name, nothing
// there, another file system) has a twin taking no_throw that returns a
// SystemResult instead; its outcome says which, and raise() throws the
// failure when the caller does not expect it.
#pragma once

#include "common/error.h"

#include <functional>
#include <string>

namespace cartonym {

// The kind of an operation, as the fault hook sees it.
enum class SystemOperation {
    open,
    read,
    write,
    sync,
    close,
    move,
    copy,
    create_folder,
    remove_folder,
    remove,
    list,
    examine,
    link, // a hard link: the no-replace move's second route
    lock,
};

// Asked before every operation of the seam: returns the platform's number
// of a failure to inject (EIO, EXDEV... on POSIX), which the operation then
// fails with, or 0 to let it run. Tests use it to fail the n-th operation
// of a kind; an injected interruption is repeated like a real one.
using FaultHook = std::function<int(SystemOperation, const std::string& path)>;

// Installs the hook (an empty function removes it); returns the previous one.
FaultHook set_fault_hook(FaultHook hook);

// The platform's number the hook injects for this operation, or 0.
int injected_error(SystemOperation operation, const std::string& path);

// What a call came to, as far as callers branch on it.
enum class SystemOutcome {
    done,
    exists,        // the name is taken
    missing,       // nothing has that name
    not_a_folder,  // a part of the path, or the entry itself, is no folder
    not_empty,     // the folder still holds entries
    other_volume,  // source and target lie on different file systems
    unsupported,   // the file system does not offer the call (or not with these arguments)
    not_permitted, // the file system forbids this kind of call (hard links on FAT)
    read_only,     // the file system is mounted read-only
    interrupted,   // a signal interrupted the call
    failed,        // anything else
};

// The outcome of one call, with the platform's number and the program's
// error number of a failure (0 and unused when done).
struct SystemResult {
    SystemOutcome outcome = SystemOutcome::done;
    int platform_number = 0;
    ErrorNumber number = ErrorNumber::device_io_error;

    bool done() const noexcept { return outcome == SystemOutcome::done; }
    bool is(SystemOutcome wanted) const noexcept { return outcome == wanted; }
    // Throws the failure as SystemError.
    [[noreturn]] void raise() const;
    // Throws the failure, if there is one.
    void raise_if_failed() const
    {
        if (!done())
            raise();
    }
};

// The result of a failure with the platform's number (done for 0). Made
// by the platform's implementation, which maps every number it knows onto
// an outcome and an error number; one it does not know is a device failure
// (57), which stops a batch run instead of silently passing a file over.
SystemResult result_of_platform_number(int number);

// The result a call of the platform would give with outcome: for a step that
// learns the outcome without asking the system (a taken name found by a
// look before creating). Made by the platform's implementation.
SystemResult result_of(SystemOutcome outcome);

// A failed call of the operating system: the program's error number (what
// the user is shown), the outcome and the platform's own number.
class SystemError : public Error {
public:
    explicit SystemError(const SystemResult& result)
        : SystemError(result.number, result)
    { }
    // Reported as number, whatever the platform's number maps to.
    SystemError(ErrorNumber number, const SystemResult& result)
        : Error(number)
        , outcome_(result.outcome)
        , platform_number_(result.platform_number)
    { }
    SystemOutcome outcome() const noexcept { return outcome_; }
    int platform_number() const noexcept { return platform_number_; }

private:
    SystemOutcome outcome_;
    int platform_number_;
};

inline void SystemResult::raise() const { throw SystemError(*this); }

// The tag of the twins that return a SystemResult instead of throwing.
struct NoThrow {
    explicit NoThrow() = default;
};
inline constexpr NoThrow no_throw{};

} // namespace cartonym
