// SPDX-License-Identifier: GPL-3.0-or-later
// Fields of line-based records: texts escaped so that any bytes stay in one
// space-free field, and decimal numbers read back exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// The text with every byte that is a space, a control character, not
// ASCII, or '%' written as %XX (two uppercase hex digits).
std::string percent_escaped(std::string_view text);

// The text percent_escaped() wrote (hex digits in either case); nullopt
// when a '%' is not followed by two hex digits.
std::optional<std::string> percent_unescaped(std::string_view text);

// A decimal number, optionally with a leading '-', that fits 64 bits;
// nullopt for anything else (an empty text, a stray character, overflow).
std::optional<std::int64_t> signed_number(std::string_view text);
std::optional<std::uint64_t> unsigned_number(std::string_view text);

// The fields of a line separated by single spaces (empty fields kept).
std::vector<std::string_view> space_separated_fields(std::string_view line);

} // namespace cartonym
