// unknown.log: seven-line entries describing the images the name database
// does not know, appended across runs beside the images in Unknown_ROMs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cartonym {

// One entry, each line ended by CR LF. All arguments Windows-1252.
std::string unknown_log_entry(const std::string& file, const std::string& format, const std::string& iname,
                              const std::string& country, const std::string& crc);

// Appends one entry to ordner, its separator and "unknown.log", creating the
// file when it is missing. ordner is a file-system path, the other texts are
// Windows-1252. Failures throw Error; the entry may then be incomplete. A
// log that is a link, a FIFO or anything but a plain file is never opened
// for writing through: Error 75.
void Schreibe_unbekannt(const std::string& ordner, const std::string& datei, const std::string& format,
                        const std::string& iname, const std::string& land, const std::string& crc);

// A file-system name (UTF-8, possibly malformed) as Windows-1252 text for the
// log and the messages, without losing anything: every character the code
// page has stands as itself, except these escapes:
//   "\\"        a backslash
//   "\xHH"      a byte that is not part of valid UTF-8 (two hex digits)
//   "\u{HHHH}"  a control character (U+0000 to U+001F, U+007F to U+009F) or a
//               character the code page lacks (four to six hex digits)
// Hex digits are uppercase. file_name_from_escaped reverses it.
std::string escaped_file_name(std::string_view name);

// The file-system name back from its escaped Windows-1252 form; nullopt for a
// malformed escape.
std::optional<std::string> file_name_from_escaped(std::string_view text);

} // namespace cartonym
