// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX side of the seam's errors: errno onto outcomes and error numbers.
#include "common/system_call_posix.h"
#include "common/system_error.h"

#include <cerrno>

namespace cartonym {
namespace {

ErrorNumber error_number_of(int error)
{
    switch (error) {
    case ENOENT: return ErrorNumber::file_not_found;
    case EEXIST: return ErrorNumber::file_already_exists;
    case EACCES:
    case EPERM:
    case EROFS: return ErrorNumber::permission_denied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ErrorNumber::disk_full;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case EBADF: return ErrorNumber::bad_file_name;
    case ENOTDIR:
    case ELOOP: return ErrorNumber::path_not_found;
    case EISDIR:
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
    case EXDEV:
    case EMFILE:
    case ENFILE:
    case ENXIO:
    case ENODEV:
    case EWOULDBLOCK: return ErrorNumber::path_file_access_error;
    default:
        // EIO and everything unforeseen: treated as a device failure, which
        // stops a batch run instead of silently passing the file over.
        return ErrorNumber::device_io_error;
    }
}

SystemOutcome outcome_of(int error)
{
    switch (error) {
    case 0: return SystemOutcome::done;
    case EEXIST: return SystemOutcome::exists;
    case ENOENT: return SystemOutcome::missing;
    case ENOTDIR: return SystemOutcome::not_a_folder;
    case ENOTEMPTY: return SystemOutcome::not_empty;
    case EXDEV: return SystemOutcome::other_volume;
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP: return SystemOutcome::unsupported;
    case EPERM: return SystemOutcome::not_permitted;
    case EROFS: return SystemOutcome::read_only;
    case EINTR: return SystemOutcome::interrupted;
    default: return SystemOutcome::failed;
    }
}

// The errno a call fails with for each outcome.
int errno_of(SystemOutcome outcome)
{
    switch (outcome) {
    case SystemOutcome::done: return 0;
    case SystemOutcome::exists: return EEXIST;
    case SystemOutcome::missing: return ENOENT;
    case SystemOutcome::not_a_folder: return ENOTDIR;
    case SystemOutcome::not_empty: return ENOTEMPTY;
    case SystemOutcome::other_volume: return EXDEV;
    case SystemOutcome::unsupported: return ENOSYS;
    case SystemOutcome::not_permitted: return EPERM;
    case SystemOutcome::read_only: return EROFS;
    case SystemOutcome::interrupted: return EINTR;
    case SystemOutcome::failed: break;
    }
    return EIO;
}

} // namespace

SystemResult result_of_platform_number(int number)
{
    if (number == 0)
        return {};
    return {outcome_of(number), number, error_number_of(number)};
}

SystemResult result_of(SystemOutcome outcome) { return result_of_platform_number(errno_of(outcome)); }

namespace posix {

int last_error() noexcept { return errno; }

void set_last_error(int number) noexcept { errno = number; }

bool is_interruption(int number) noexcept { return number == EINTR; }

SystemResult result_of_call(long result) noexcept
{
    return result == 0 ? SystemResult{} : result_of_platform_number(errno);
}

void throw_last_error() { result_of_platform_number(errno).raise(); }

} // namespace posix
} // namespace cartonym
