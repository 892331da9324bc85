#include "common/zahltext.h"

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

std::string Dezimaltext(std::int64_t zahl)
{
    if (zahl < 0)
        return "-" + std::to_string(-static_cast<std::uint64_t>(zahl));
    return " " + std::to_string(zahl);
}

std::string Dezimaltext_zehntel(std::int64_t zehntel)
{
    const bool negativ = zehntel < 0;
    const std::uint64_t betrag = negativ ? -static_cast<std::uint64_t>(zehntel) : static_cast<std::uint64_t>(zehntel);
    std::string text = (negativ ? "-" : " ") + std::to_string(betrag / 10);
    if (betrag % 10 != 0)
        text += "." + std::to_string(betrag % 10);
    return text;
}

} // namespace cartonym
