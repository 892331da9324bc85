// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252 texts. The core keeps every text as Windows-1252 bytes, the
// code page of cartridge headers, the name database and the reports; the
// conversions here are used at the edges (window, file names, JSON).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cartonym {

// The Unicode code point that a Windows-1252 byte stands for. The five bytes
// the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// C1 control characters of the same value, so every byte survives a round trip.
char32_t code_point_from_cp1252(unsigned char byte);

// The Windows-1252 byte for a code point, if the code page has one.
std::optional<unsigned char> cp1252_from_code_point(char32_t character);

std::string utf8_from_cp1252(std::string_view text);

// Converts UTF-8 to Windows-1252; nullopt when the text is not valid UTF-8
// or holds a character the code page cannot write.
std::optional<std::string> cp1252_from_utf8(std::string_view text);

// Converts UTF-8 to Windows-1252 for an HTML page: a character the code
// page lacks is written as a numeric character reference ("&#9731;"), a
// byte that is not part of valid UTF-8 as that of U+FFFD.
std::string cp1252_with_character_references(std::string_view text);

// Appends the UTF-8 form of a code point.
void append_utf8(std::string& target, char32_t character);

// Decodes one well-formed UTF-8 sequence at pos (shortest form, no
// surrogates, at most U+10FFFF) and moves pos past it; false leaves pos
// unchanged.
bool decode_utf8(std::string_view text, std::size_t& pos, char32_t& character);

// The text with the ASCII letters A to Z folded to lower case; every other
// byte stays. The one case fold of the program (folder order, corrections,
// the temporary folder's variable name).
std::string ascii_lower(std::string_view text);

// A file-system name (UTF-8, possibly malformed) as Windows-1252 text for the
// log and the messages, without losing anything: every character the code
// page has stands as itself, except these escapes:
//   "\\"        a backslash (not on Windows, where it separates names and
//               is never part of one: there it stands as itself)
//   "\xHH"      a byte that is not part of valid UTF-8 (two hex digits)
//   "\u{HHHH}"  a control character (U+0000 to U+001F, U+007F to U+009F) or a
//               character the code page lacks (four to six hex digits)
// Hex digits are uppercase.
std::string escaped_file_name(std::string_view name);

} // namespace cartonym
