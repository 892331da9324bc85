// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/record_fields.h"

#include "common/number_text.h"

#include <charconv>

namespace cartonym {
namespace {

bool needs_escape(unsigned char byte) { return byte <= 0x20 || byte >= 0x7F || byte == '%'; }

template <typename Number> std::optional<Number> number_of(std::string_view text)
{
    Number value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace

std::string percent_escaped(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (!needs_escape(byte)) {
            result += character;
            continue;
        }
        const std::string digits = hex_text(byte);
        result += digits.size() == 1 ? "%0" + digits : "%" + digits;
    }
    return result;
}

std::optional<std::string> percent_unescaped(std::string_view text)
{
    std::string result;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] != '%') {
            result += text[pos];
            continue;
        }
        unsigned value = 0;
        const std::string_view digits = text.substr(pos + 1, 2);
        const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (digits.size() != 2 || error != std::errc() || stop != digits.data() + 2)
            return std::nullopt;
        result += static_cast<char>(value);
        pos += 2;
    }
    return result;
}

std::optional<std::int64_t> signed_number(std::string_view text) { return number_of<std::int64_t>(text); }

std::optional<std::uint64_t> unsigned_number(std::string_view text) { return number_of<std::uint64_t>(text); }

std::vector<std::string_view> space_separated_fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto cut = line.find(' ', start);
        fields.push_back(line.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start));
        if (cut == std::string_view::npos)
            return fields;
        start = cut + 1;
    }
}

} // namespace cartonym
