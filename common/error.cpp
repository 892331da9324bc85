#include "common/error.h"

#include "common/number_text.h"

#include <cerrno>

namespace cartonym {

const char* error_description(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::BadFileName: return "Bad file name or number";
    case ErrorNumber::FileNotFound: return "File not found";
    case ErrorNumber::DeviceIoError: return "Device I/O error";
    case ErrorNumber::FileAlreadyExists: return "File already exists";
    case ErrorNumber::DiskFull: return "Disk full";
    case ErrorNumber::InputPastEndOfFile: return "Input past end of file";
    case ErrorNumber::PermissionDenied: return "Permission denied";
    case ErrorNumber::PathFileAccessError: return "Path/File access error";
    case ErrorNumber::PathNotFound: return "Path not found";
    }
    return "Path/File access error";
}

ErrorNumber error_number_from_errno(int errnum)
{
    switch (errnum) {
    case ENOENT: return ErrorNumber::FileNotFound;
    case EEXIST: return ErrorNumber::FileAlreadyExists;
    case EACCES:
    case EPERM:
    case EROFS: return ErrorNumber::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ErrorNumber::DiskFull;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case EBADF: return ErrorNumber::BadFileName;
    case ENOTDIR:
    case ELOOP: return ErrorNumber::PathNotFound;
    case EISDIR:
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
    case EXDEV:
    case EMFILE:
    case ENFILE:
    case ENXIO:
    case ENODEV:
    case EWOULDBLOCK: return ErrorNumber::PathFileAccessError;
    default:
        // EIO and everything unforeseen: treated as a device failure, which
        // stops a batch run instead of silently passing the file over.
        return ErrorNumber::DeviceIoError;
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

void throw_errno(int errnum) { throw Error(error_number_from_errno(errnum), errnum); }

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
