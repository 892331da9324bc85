// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows side of the seam's errors: the system's error codes
// (GetLastError) onto outcomes and error numbers, as the POSIX side maps
// its own numbers.
#include "common/system_call_windows.h"
#include "common/system_error.h"

namespace cartonym {
namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64's headers lack.
constexpr DWORD disk_quota_exceeded = 1295;

ErrorNumber error_number_of(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return ErrorNumber::file_not_found;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return ErrorNumber::file_already_exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD: return ErrorNumber::permission_denied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case disk_quota_exceeded:
    case ERROR_FILE_TOO_LARGE: return ErrorNumber::disk_full;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_HANDLE: return ErrorNumber::bad_file_name;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_CANT_RESOLVE_FILENAME: return ErrorNumber::path_not_found;
    case ERROR_DIR_NOT_EMPTY:
    case ERROR_SHARING_VIOLATION: // a file another program holds open
    case ERROR_LOCK_VIOLATION:
    case ERROR_NOT_SAME_DEVICE:
    case ERROR_TOO_MANY_OPEN_FILES:
    case ERROR_BUSY:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return ErrorNumber::path_file_access_error;
    default:
        // ERROR_IO_DEVICE and everything unforeseen: treated as a device
        // failure, which stops a batch run instead of silently passing the
        // file over.
        return ErrorNumber::device_io_error;
    }
}

SystemOutcome outcome_of(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return SystemOutcome::done;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return SystemOutcome::exists;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return SystemOutcome::missing;
    case ERROR_DIRECTORY: return SystemOutcome::not_a_folder;
    case ERROR_DIR_NOT_EMPTY: return SystemOutcome::not_empty;
    case ERROR_NOT_SAME_DEVICE: return SystemOutcome::other_volume;
    case ERROR_INVALID_PARAMETER:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED: return SystemOutcome::unsupported;
    case ERROR_PRIVILEGE_NOT_HELD: return SystemOutcome::not_permitted;
    case ERROR_WRITE_PROTECT: return SystemOutcome::read_only;
    case ERROR_OPERATION_ABORTED: return SystemOutcome::interrupted;
    default: return SystemOutcome::failed;
    }
}

// The code a call fails with for each outcome.
DWORD code_of(SystemOutcome outcome)
{
    switch (outcome) {
    case SystemOutcome::done: return ERROR_SUCCESS;
    case SystemOutcome::exists: return ERROR_ALREADY_EXISTS;
    case SystemOutcome::missing: return ERROR_FILE_NOT_FOUND;
    case SystemOutcome::not_a_folder: return ERROR_DIRECTORY;
    case SystemOutcome::not_empty: return ERROR_DIR_NOT_EMPTY;
    case SystemOutcome::other_volume: return ERROR_NOT_SAME_DEVICE;
    case SystemOutcome::unsupported: return ERROR_NOT_SUPPORTED;
    case SystemOutcome::not_permitted: return ERROR_PRIVILEGE_NOT_HELD;
    case SystemOutcome::read_only: return ERROR_WRITE_PROTECT;
    case SystemOutcome::interrupted: return ERROR_OPERATION_ABORTED;
    case SystemOutcome::failed: break;
    }
    return ERROR_IO_DEVICE;
}

} // namespace

SystemResult result_of_platform_number(int number)
{
    const auto code = static_cast<DWORD>(number);
    return code == ERROR_SUCCESS ? SystemResult{} : SystemResult{outcome_of(code), number, error_number_of(code)};
}

SystemResult result_of(SystemOutcome outcome) { return result_of_platform_number(static_cast<int>(code_of(outcome))); }

} // namespace cartonym
