// SPDX-License-Identifier: GPL-3.0-or-later
// The one error type of the core: a number and a description, as shown in
// the program's "Error Nr." messages.
#pragma once

#include <stdexcept>
#include <string>

namespace cartonym {

// Error numbers and their descriptions. Every failure the core reports
// carries one of these; every failure of the operating system maps onto
// one of them (common/system_error.h).
enum class ErrorNumber : int {
    bad_file_name = 52,          // "Bad file name or number"
    file_not_found = 53,         // "File not found"
    device_io_error = 57,        // "Device I/O error"
    file_already_exists = 58,    // "File already exists"
    disk_full = 61,              // "Disk full"
    input_past_end_of_file = 62, // "Input past end of file"
    permission_denied = 70,      // "Permission denied"
    path_file_access_error = 75, // "Path/File access error"
    path_not_found = 76,         // "Path not found"
};

// The fixed description of an error number ("File not found" for 53).
const char* error_description(ErrorNumber number);

// what() is the detail when one was given (a message that names the file
// and the place of a fault), else the description.
class Error : public std::runtime_error {
public:
    explicit Error(ErrorNumber number);
    Error(ErrorNumber number, const std::string& detail);
    ErrorNumber number() const noexcept { return number_; }
    int value() const noexcept { return static_cast<int>(number_); }
    std::string description() const { return error_description(number_); }

private:
    ErrorNumber number_;
};

// "Error Nr. " <number> " happened:" LF <description>: the start-up text.
std::string short_error_text(const Error& error);

// The failure message of file and batch mode: the short text, then the file
// being processed and "Progress aborted !".
std::string file_error_text(const Error& error, const std::string& Dateipfad);

} // namespace cartonym
