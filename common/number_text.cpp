#include "common/number_text.h"

namespace cartonym {

std::string Hextext(std::uint8_t byte)
{
    static constexpr char ziffern[] = "0123456789ABCDEF";
    std::string text;
    if (byte >= 0x10)
        text += ziffern[byte >> 4];
    text += ziffern[byte & 0x0F];
    return text;
}

// The sign position first (a blank for a number that is not negative),
// then the digits.
std::string Dezimaltext(std::int64_t zahl)
{
    std::string text(1, zahl < 0 ? '-' : ' ');
    text += std::to_string(zahl < 0 ? -static_cast<std::uint64_t>(zahl) : static_cast<std::uint64_t>(zahl));
    return text;
}

std::string Dezimaltext_zehntel(std::int64_t zehntel)
{
    const std::uint64_t betrag = zehntel < 0 ? -static_cast<std::uint64_t>(zehntel) : static_cast<std::uint64_t>(zehntel);
    std::string text(1, zehntel < 0 ? '-' : ' ');
    text += std::to_string(betrag / 10);
    if (betrag % 10 != 0) {
        text += '.';
        text += std::to_string(betrag % 10);
    }
    return text;
}

} // namespace cartonym
