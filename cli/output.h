// SPDX-License-Identifier: GPL-3.0-or-later
// What every cartonym-cli command shares: its exit statuses and how it
// writes texts and JSON.
#pragma once

#include "common/windows1252.h"

#include <nlohmann/json.hpp>

#include <string>

namespace cartonym::cli_output {

using json = nlohmann::json;

inline constexpr int exit_ok = 0;      // everything processed
inline constexpr int exit_failure = 1; // something failed and is named
inline constexpr int exit_usage = 2;   // a usage error, or nothing could start

// A Windows-1252 text of the core as UTF-8 for the terminal and JSON.
inline std::string as_utf8(const std::string& cp1252) { return utf8_from_cp1252(cp1252); }

// A file-system name exactly, whatever its bytes: the form unknown.log
// writes (escapes for bytes that are not UTF-8 and for characters the code
// page lacks), as UTF-8.
inline std::string exact_name(const std::string& name) { return as_utf8(escaped_file_name(name)); }

// One JSON object on one line. File names as given may be invalid UTF-8;
// such bytes become U+FFFD (the exact names go in fields of their own).
inline std::string json_line(const nlohmann::json& object)
{
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A file name on one output line: a control character (a line break in a
// name, say) is written as \u{XXXX} and a backslash doubled, so that every
// name stays on its line and can be read back exactly.
std::string name_on_one_line(const std::string& name);

} // namespace cartonym::cli_output
