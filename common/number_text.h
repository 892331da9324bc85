// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts as the program writes them into labels, messages and reports.
#pragma once

#include <cstdint>
#include <string>

namespace cartonym {

// The hexadecimal digit of value (0 to 15), uppercase unless lower_case.
char hex_digit(unsigned value, bool lower_case = false);

// Uppercase hexadecimal digits without leading zeros: 0x0A gives "A".
std::string hex_text(std::uint8_t byte);

// Decimal text with one blank where a plus sign would stand: 53 gives " 53",
// -5 gives "-5".
std::string decimal_text(std::int64_t value);

// Decimal text of a number given in tenths, with a point and one decimal
// place, the ".0" left out: 84 gives " 8.4", 40 gives " 4", 4 gives " 0.4".
std::string decimal_text_of_tenths(std::int64_t tenths);

} // namespace cartonym
