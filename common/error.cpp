// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/error.h"

#include "common/number_text.h"

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

Error::Error(ErrorNumber number)
    : std::runtime_error(error_description(number))
    , number_(number)
{ }

Error::Error(ErrorNumber number, const std::string& detail)
    : std::runtime_error(detail)
    , number_(number)
{ }

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
