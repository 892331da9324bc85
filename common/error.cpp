#include "common/error.h"

#include "common/number_text.h"
#include "common/system_error.h"

#include <cerrno>

namespace cartonym {

const char* error_description(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::bad_file_name: return "Bad file name or number";
    case ErrorNumber::file_not_found: return "File not found";
    case ErrorNumber::device_io_error: return "Device I/O error";
    case ErrorNumber::file_already_exists: return "File already exists";
    case ErrorNumber::disk_full: return "Disk full";
    case ErrorNumber::input_past_end_of_file: return "Input past end of file";
    case ErrorNumber::permission_denied: return "Permission denied";
    case ErrorNumber::path_file_access_error: return "Path/File access error";
    case ErrorNumber::path_not_found: return "Path not found";
    }
    return "Path/File access error";
}

ErrorNumber error_number_from_errno(int errnum)
{
    switch (errnum) {
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

Error::Error(ErrorNumber number, int system_error)
    : std::runtime_error(error_description(number))
    , number_(number)
    , system_error_(system_error)
{ }

Error::Error(ErrorNumber number, const std::string& detail)
    : std::runtime_error(detail)
    , number_(number)
{ }

void throw_errno(int errnum)
{
    throw SystemError(SystemResult{SystemOutcome::failed, errnum, error_number_from_errno(errnum)});
}

std::string short_error_text(const Error& error)
{
    return "Error Nr. " + decimal_text(error.value()) + " happened:\n" + error.description();
}

std::string file_error_text(const Error& error, const std::string& Dateipfad)
{
    return short_error_text(error) + "\nThis error happend while processing the following file: \n\n" + Dateipfad
        + "\n\nProgress aborted !";
}

} // namespace cartonym
