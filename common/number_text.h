// Number texts as the program writes them into labels, messages and reports.
#pragma once

#include <cstdint>
#include <string>

namespace cartonym {

// Uppercase hexadecimal digits without leading zeros: 0x0A gives "A".
std::string Hextext(std::uint8_t byte);

// Decimal text with one blank where a plus sign would stand: 53 gives " 53",
// -5 gives "-5".
std::string Dezimaltext(std::int64_t zahl);

// Decimal text of a number given in tenths, with a point and one decimal
// place, the ".0" left out: 84 gives " 8.4", 40 gives " 4", 4 gives " 0.4".
std::string Dezimaltext_zehntel(std::int64_t zehntel);

} // namespace cartonym
