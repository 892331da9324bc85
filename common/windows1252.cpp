#include "common/windows1252.h"

#include <array>

namespace cartonym {
namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones keep their value.
constexpr std::array<char32_t, 32> obere_steuerzeichen = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one UTF-8 sequence at pos; returns false for a malformed one.
bool Lies_utf8(std::string_view text, std::size_t& pos, char32_t& zeichen)
{
    const auto erstes = static_cast<unsigned char>(text[pos]);
    int folgebytes = 0;
    char32_t minimum = 0;
    if (erstes < 0x80) {
        zeichen = erstes;
        ++pos;
        return true;
    } else if ((erstes & 0xE0) == 0xC0) {
        zeichen = erstes & 0x1F;
        folgebytes = 1;
        minimum = 0x80;
    } else if ((erstes & 0xF0) == 0xE0) {
        zeichen = erstes & 0x0F;
        folgebytes = 2;
        minimum = 0x800;
    } else if ((erstes & 0xF8) == 0xF0) {
        zeichen = erstes & 0x07;
        folgebytes = 3;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (pos + static_cast<std::size_t>(folgebytes) >= text.size())
        return false;
    for (int i = 1; i <= folgebytes; ++i) {
        const auto folge = static_cast<unsigned char>(text[pos + i]);
        if ((folge & 0xC0) != 0x80)
            return false;
        zeichen = (zeichen << 6) | (folge & 0x3F);
    }
    if (zeichen < minimum || zeichen > 0x10FFFF || (zeichen >= 0xD800 && zeichen <= 0xDFFF))
        return false;
    pos += folgebytes + 1;
    return true;
}

} // namespace

char32_t Zeichen_aus_cp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return obere_steuerzeichen[byte - 0x80];
    return byte;
}

std::optional<unsigned char> Cp1252_aus_zeichen(char32_t zeichen)
{
    if (zeichen < 0x80 || (zeichen >= 0xA0 && zeichen <= 0xFF))
        return static_cast<unsigned char>(zeichen);
    for (std::size_t i = 0; i < obere_steuerzeichen.size(); ++i) {
        if (obere_steuerzeichen[i] == zeichen)
            return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

void Haenge_utf8_an(std::string& ziel, char32_t zeichen)
{
    if (zeichen < 0x80) {
        ziel += static_cast<char>(zeichen);
    } else if (zeichen < 0x800) {
        ziel += static_cast<char>(0xC0 | (zeichen >> 6));
        ziel += static_cast<char>(0x80 | (zeichen & 0x3F));
    } else if (zeichen < 0x10000) {
        ziel += static_cast<char>(0xE0 | (zeichen >> 12));
        ziel += static_cast<char>(0x80 | ((zeichen >> 6) & 0x3F));
        ziel += static_cast<char>(0x80 | (zeichen & 0x3F));
    } else {
        ziel += static_cast<char>(0xF0 | (zeichen >> 18));
        ziel += static_cast<char>(0x80 | ((zeichen >> 12) & 0x3F));
        ziel += static_cast<char>(0x80 | ((zeichen >> 6) & 0x3F));
        ziel += static_cast<char>(0x80 | (zeichen & 0x3F));
    }
}

std::string Utf8_aus_cp1252(std::string_view text)
{
    std::string ergebnis;
    ergebnis.reserve(text.size() + text.size() / 4);
    for (const char c : text)
        Haenge_utf8_an(ergebnis, Zeichen_aus_cp1252(static_cast<unsigned char>(c)));
    return ergebnis;
}

std::optional<std::string> Cp1252_aus_utf8(std::string_view text)
{
    std::string ergebnis;
    ergebnis.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t zeichen = 0;
        if (!Lies_utf8(text, pos, zeichen))
            return std::nullopt;
        const auto byte = Cp1252_aus_zeichen(zeichen);
        if (!byte)
            return std::nullopt;
        ergebnis += static_cast<char>(*byte);
    }
    return ergebnis;
}

} // namespace cartonym
