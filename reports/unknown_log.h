// SPDX-License-Identifier: GPL-3.0-or-later
// unknown.log: seven-line entries describing the images the name database
// does not know, appended across runs beside the images in Unknown_ROMs.
#pragma once

#include <string>
#include <string_view>

namespace cartonym {

// The log's name in Unknown_ROMs; no image is ever filed under it.
inline constexpr const char* unknown_log_name = "unknown.log";

// The first line of every entry, with its line end.
std::string unknown_log_entry_head();

// True when text is the beginning of one entry, at most the whole of it:
// what an append stopped part way may have left.
bool is_start_of_unknown_log_entry(std::string_view text);

// One entry, each line ended by CR LF. All arguments Windows-1252.
std::string unknown_log_entry(const std::string& file, const std::string& format, const std::string& iname,
    const std::string& country, const std::string& crc);

// Appends one entry to ordner, its separator and "unknown.log", creating the
// file when it is missing. ordner is a file-system path, the other texts are
// Windows-1252. Failures throw Error; the entry may then be incomplete. A
// log that is a link, a FIFO or anything but a plain file is never opened
// for writing through: Error 75, whose what() is the log's path, so that
// the run can stop before the image moves and name the log: an entry that
// goes nowhere must not pass as written.
void Schreibe_unbekannt(const std::string& ordner, const std::string& datei, const std::string& format,
    const std::string& iname, const std::string& land, const std::string& crc);

} // namespace cartonym
