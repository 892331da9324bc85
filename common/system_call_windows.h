// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the Windows implementation files of the seam (*_windows.cpp)
// and by nothing else: UTF-8 inside, UTF-16 at the system's calls, paths in
// the long form, and the loop that puts each call behind the fault hook.
#pragma once

#include "common/system_error.h"

#include <string>
#include <string_view>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace cartonym::windows {

// UTF-8 to UTF-16 and back. A name the system holds that is no valid
// UTF-16 (a lone surrogate) comes back as the three bytes that encode its
// unit, so every name survives the round trip; bytes that are no valid
// UTF-8 become U+FFFD.
std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

// path as the system's calls take it: absolute (from the current folder),
// "/" read as "\", "." and ".." taken out, in the long form ("\\?\C:\...",
// "\\?\UNC\server\share\...") that lifts the limit of 260 characters and
// keeps every name as it is written (a final dot or space too).
std::wstring system_path(const std::string& path);

// A path the system gave back (GetFinalPathNameByHandleW), without the long
// form's prefix.
std::string program_path(std::wstring_view path);

// The result of the last failure of this thread (GetLastError).
SystemResult last_result() noexcept;

// Throws the last failure.
[[noreturn]] void throw_last_error();

// The number the hook injects as an interruption, which is repeated as on
// POSIX (no call of Windows is interrupted by a signal).
inline constexpr DWORD interruption = ERROR_OPERATION_ABORTED;

// Runs call(), which returns true on success and leaves its failure in
// GetLastError(), behind the hook: an injected failure becomes the last
// error and the call is not made; an injected interruption is asked again
// unless retrying is off (closing, which happens either way).
template <typename Call>
bool system_call(SystemOperation operation, const std::string& path, Call&& call, bool retry_interruptions = true)
{
    for (;;) {
        if (const int error = injected_error(operation, path)) {
            ::SetLastError(static_cast<DWORD>(error));
            if (static_cast<DWORD>(error) == interruption && retry_interruptions)
                continue;
            return false;
        }
        return call();
    }
}

// The result of a call made behind the hook.
template <typename Call> SystemResult call_result(SystemOperation operation, const std::string& path, Call&& call)
{
    return system_call(operation, path, std::forward<Call>(call)) ? SystemResult{} : last_result();
}

// A handle of the system closed when it goes (for the seam's own short
// uses; open files are FileDescriptors).
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle)
        : handle_(handle)
    { }
    ~ScopedHandle()
    {
        if (is_open())
            ::CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

private:
    HANDLE handle_;
};

// Opens path for its attributes only (which never conflicts with how
// others share it), a folder too, following a link at the end or not.
HANDLE open_for_attributes(const std::string& path, bool follow_links);

} // namespace cartonym::windows
