// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/windows1252.h"

#include "common/paths.h"

#include <array>
#include <cstdio>

namespace cartonym {
namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones keep their value.
// clang-format off
constexpr std::array<char32_t, 32> upper_code_points = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on

bool is_control_character(char32_t character) { return character < 0x20 || (character >= 0x7F && character <= 0x9F); }

} // namespace

char32_t code_point_from_cp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return upper_code_points[byte - 0x80];
    return byte;
}

std::optional<unsigned char> cp1252_from_code_point(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<unsigned char>(character);
    for (std::size_t i = 0; i < upper_code_points.size(); ++i) {
        if (upper_code_points[i] == character)
            return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

void append_utf8(std::string& target, char32_t character)
{
    if (character < 0x80) {
        target += static_cast<char>(character);
    } else if (character < 0x800) {
        target += static_cast<char>(0xC0 | (character >> 6));
        target += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        target += static_cast<char>(0xE0 | (character >> 12));
        target += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        target += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        target += static_cast<char>(0xF0 | (character >> 18));
        target += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        target += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        target += static_cast<char>(0x80 | (character & 0x3F));
    }
}

std::string utf8_from_cp1252(std::string_view text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 4);
    for (const char c : text)
        append_utf8(result, code_point_from_cp1252(static_cast<unsigned char>(c)));
    return result;
}

std::optional<std::string> cp1252_from_utf8(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t character = 0;
        if (!decode_utf8(text, pos, character))
            return std::nullopt;
        const auto byte = cp1252_from_code_point(character);
        if (!byte)
            return std::nullopt;
        result += static_cast<char>(*byte);
    }
    return result;
}

std::string cp1252_with_character_references(std::string_view text)
{
    std::string converted;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t character = 0;
        if (!decode_utf8(text, pos, character)) {
            character = U'\uFFFD';
            ++pos;
        }
        if (const auto byte = cp1252_from_code_point(character))
            converted += static_cast<char>(*byte);
        else
            converted += "&#" + std::to_string(static_cast<std::uint32_t>(character)) + ';';
    }
    return converted;
}

bool decode_utf8(std::string_view text, std::size_t& pos, char32_t& character)
{
    const auto first_byte = static_cast<unsigned char>(text[pos]);
    int continuation_bytes = 0;
    char32_t minimum = 0;
    if (first_byte < 0x80) {
        character = first_byte;
        ++pos;
        return true;
    } else if ((first_byte & 0xE0) == 0xC0) {
        character = first_byte & 0x1F;
        continuation_bytes = 1;
        minimum = 0x80;
    } else if ((first_byte & 0xF0) == 0xE0) {
        character = first_byte & 0x0F;
        continuation_bytes = 2;
        minimum = 0x800;
    } else if ((first_byte & 0xF8) == 0xF0) {
        character = first_byte & 0x07;
        continuation_bytes = 3;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (pos + static_cast<std::size_t>(continuation_bytes) >= text.size())
        return false;
    for (int i = 1; i <= continuation_bytes; ++i) {
        const auto continuation = static_cast<unsigned char>(text[pos + i]);
        if ((continuation & 0xC0) != 0x80)
            return false;
        character = (character << 6) | (continuation & 0x3F);
    }
    if (character < minimum || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return false;
    pos += continuation_bytes + 1;
    return true;
}

std::string ascii_lower(std::string_view text)
{
    std::string lower(text);
    for (char& character : lower) {
        if (character >= 'A' && character <= 'Z')
            character = static_cast<char>(character - 'A' + 'a');
    }
    return lower;
}

std::string escaped_file_name(std::string_view name)
{
    std::string text;
    std::size_t pos = 0;
    char buffer[16];
    while (pos < name.size()) {
        char32_t character = 0;
        if (!decode_utf8(name, pos, character)) {
            std::snprintf(
                buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(name[pos])));
            text += buffer;
            ++pos;
            continue;
        }
        // On Windows a backslash separates names and is never part of
        // one: it stands as itself, and a path stays readable.
        if (character == '\\' && !windows_paths) {
            text += "\\\\";
            continue;
        }
        const auto byte = cp1252_from_code_point(character);
        if (byte && !is_control_character(character)) {
            text += static_cast<char>(*byte);
            continue;
        }
        std::snprintf(buffer, sizeof buffer, "\\u{%04X}", static_cast<unsigned>(character));
        text += buffer;
    }
    return text;
}

} // namespace cartonym
