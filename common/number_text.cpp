// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/number_text.h"

namespace cartonym {

char hex_digit(unsigned value, bool lower_case)
{
    static constexpr char digits[] = "0123456789ABCDEF0123456789abcdef";
    return digits[(value & 0x0F) + (lower_case ? 16 : 0)];
}

std::string hex_text(std::uint8_t byte)
{
    std::string text;
    if (byte >= 0x10)
        text += hex_digit(byte >> 4);
    text += hex_digit(byte);
    return text;
}

// The sign position first (a blank for a number that is not negative),
// then the digits.
std::string decimal_text(std::int64_t value)
{
    std::string text(1, value < 0 ? '-' : ' ');
    text += std::to_string(value < 0 ? -static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value));
    return text;
}

std::string decimal_text_of_tenths(std::int64_t tenths)
{
    const std::uint64_t amount = tenths < 0 ? -static_cast<std::uint64_t>(tenths) : static_cast<std::uint64_t>(tenths);
    std::string text(1, tenths < 0 ? '-' : ' ');
    text += std::to_string(amount / 10);
    if (amount % 10 != 0) {
        text += '.';
        text += std::to_string(amount % 10);
    }
    return text;
}

} // namespace cartonym
