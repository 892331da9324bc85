// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed tables that turn the bytes of an internal cartridge header into
// the texts of the analysis record.
#include "analysis/header_decoding.h"

#include "common/number_text.h"

#include <array>
#include <string_view>
#include <utility>

namespace cartonym {
namespace {

struct CountryEntry {
    std::string_view text;
    std::string_view suffix;
};

constexpr std::array<CountryEntry, 14> countries = {{
    {"0 = Japan (NTSC)", " (JAP)"},
    {"1 = USA (NTSC)", " (USA)"},
    {"2 = Australia, Europe, Oceania and Asia (PAL)", " (Euro)"},
    {"3 = Sweden (PAL)", " (Euro - Sweden)"},
    {"4 = Finland (PAL)", " (Euro - Finland)"},
    {"5 = Denmark (PAL)", " (Euro - Denmark)"},
    {"6 = France (PAL)", " (Euro - France)"},
    {"7 = Netherlands (PAL)", " (Euro - Netherlands)"},
    {"8 = Spain (PAL)", " (Euro - Spain)"},
    {"9 = Europe, Germany, Austria and Switzerland (PAL)", " (Euro - Germany)"},
    {"10 = Italy (PAL)", " (Euro - Italy)"},
    {"11 = Hong Kong and China (PAL)", " (China)"},
    {"12 = Indonesia (PAL)", " (Indonesia)"},
    {"13 = Korea (PAL)", " (Korea)"},
}};

// Licensee texts by code; each text begins with its own code.
// clang-format off
constexpr std::pair<std::uint8_t, std::string_view> licensees[] = {
    {1, "1 - Nintendo"}, {3, "3 - Imagineer-Zoom"}, {5, "5 - Zamuse"}, {6, "6 - Falcom"},
    {8, "8 - Capcom"}, {9, "9 - HOT-B"}, {10, "10 - Jaleco"}, {11, "11 - Coconuts"},
    {12, "12 - Rage Software"}, {14, "14 - Technos"}, {15, "15 - Mebio Software"},
    {18, "18 - Gremlin Graphics"}, {19, "19 - Electronic Arts"}, {21, "21 - COBRA Team"},
    {22, "22 - Human/Field"}, {23, "23 - KOEI"}, {24, "24 - Hudson Soft"}, {26, "26 - Yanoman"},
    {28, "28 - Tecmo"}, {30, "30 - Open System"}, {31, "31 - Virgin Games"}, {32, "32 - KSS"},
    {33, "33 - Sunsoft"}, {34, "34 - POW"}, {35, "35 - Micro World"}, {38, "38 - Enix"},
    {39, "39 - Loriciel/Electro Brain"}, {40, "40 - Kemco"}, {41, "41 - Seta Co.,Ltd."},
    {45, "45 - Visit Co.,Ltd."}, {49, "49 - Carrozzeria"}, {50, "50 - Dynamic"},
    {51, "51 - Nintendo"}, {52, "52 - Magifact"}, {53, "53 - Hect"}, {60, "60 - Empire Software"},
    {61, "61 - Loriciel"}, {64, "64 - Seika Corp."}, {65, "65 - UBI Soft"}, {70, "70 - System 3"},
    {71, "71 - Spectrum Holobyte"}, {73, "73 - Irem"}, {75, "75 - Raya Systems/Sculptured Software"},
    {76, "76 - Renovation Products"}, {77, "77 - Malibu Games/Black Pearl"}, {79, "79 - U.S. Gold"},
    {80, "80 - Absolute Entertainment"}, {81, "81 - Acclaim"}, {82, "82 - Activision"},
    {83, "83 - American Sammy"}, {84, "84 - GameTek"}, {85, "85 - Hi Tech Expressions"},
    {86, "86 - LJN Toys"}, {90, "90 - Mindscape"}, {93, "93 - Tradewest"},
    {95, "95 - American Softworks Corp."}, {96, "96 - Titus"},
    {97, "97 - Virgin Interactive Entertainment"}, {98, "98 - Maxis"}, {103, "103 - Ocean"},
    {105, "105 - Electronic Arts"}, {107, "107 - Laser Beam"}, {110, "110 - Elite"},
    {111, "111 - Electro Brain"}, {112, "112 - Infogrames"}, {113, "113 - Interplay"},
    {114, "114 - LucasArts"}, {115, "115 - Parker Brothers"}, {117, "117 - STORM"},
    {120, "120 - THQ Software"}, {121, "121 - Accolade Inc."}, {122, "122 - Triffix Entertainment"},
    {124, "124 - Microprose"}, {127, "127 - Kemco"}, {128, "128 - Misawa"}, {129, "129 - Teichio"},
    {130, "130 - Namco Ltd."}, {131, "131 - Lozc"}, {132, "132 - Koei"},
    {134, "134 - Tokuma Shoten Intermedia"}, {136, "136 - DATAM-Polystar"},
    {139, "139 - Bullet-Proof Software"}, {140, "140 - Vic Tokai"}, {142, "142 - Character Soft"},
    {143, "143 - I''Max"}, {144, "144 - Takara"}, {145, "145 - CHUN Soft"},
    {146, "146 - Video System Co., Ltd."}, {147, "147 - BEC"}, {149, "149 - Varie"},
    {151, "151 - Kaneco"}, {153, "153 - Pack in Video"}, {154, "154 - Nichibutsu"},
    {155, "155 - TECMO"}, {156, "156 - Imagineer Co."}, {160, "160 - Telenet"}, {164, "164 - Konami"},
    {165, "165 - K.Amusement Leasing Co."}, {167, "167 - Takara"}, {169, "169 - Technos Jap."},
    {170, "170 - JVC"}, {172, "172 - Toei Animation"}, {173, "173 - Toho"}, {175, "175 - Namco Ltd."},
    {177, "177 - ASCII Co. Activison"}, {178, "178 - BanDai America"}, {180, "180 - Enix"},
    {182, "182 - Halken"}, {186, "186 - Culture Brain"}, {187, "187 - Sunsoft"},
    {188, "188 - Toshiba EMI"}, {189, "189 - Sony Imagesoft"}, {191, "191 - Sammy"},
    {192, "192 - Taito"}, {194, "194 - Kemco"}, {195, "195 - Square"}, {196, "196 - Tokuma Soft"},
    {197, "197 - Data East"}, {198, "198 - Tonkin House"}, {200, "200 - KOEI"},
    {202, "202 - Konami USA"}, {203, "203 - NTVIC"}, {205, "205 - Meldac"}, {206, "206 - Pony Canyon"},
    {207, "207 - Sotsu Agency/Sunrise"}, {208, "208 - Disco/Taito"}, {209, "209 - Sofel"},
    {210, "210 - Quest Corp."}, {211, "211 - Sigma"}, {214, "214 - Naxat"},
    {216, "216 - Capcom Co., Ltd."}, {217, "217 - Banpresto"}, {218, "218 - Tomy"},
    {219, "219 - Acclaim"}, {221, "221 - NCS"}, {222, "222 - Human Entertainment"},
    {223, "223 - Altron"}, {224, "224 - Jaleco"}, {226, "226 - Yutaka"}, {228, "228 - T&E Soft"},
    {229, "229 - EPOCH Co.,Ltd."}, {231, "231 - Athena"}, {232, "232 - Asmik"}, {233, "233 - Natsume"},
    {234, "234 - King Records"}, {235, "235 - Atlus"}, {236, "236 - Sony Music Entertainment"},
    {238, "238 - IGS"}, {241, "241 - Motown Software"}, {242, "242 - Left Field Entertainment"},
    {243, "243 - Beam Software"}, {244, "244 - Tec Magik"}, {249, "249 - Cybersoft"},
    {255, "255 - Hudson Soft"},
};
// clang-format on
static_assert(std::size(licensees) == 154);

// Rounds zaehler / nenner to the nearest integer, halves to the even one.
std::uint64_t round_half_to_even(std::uint64_t counts, std::uint64_t denominator)
{
    const std::uint64_t whole = counts / denominator;
    const std::uint64_t remainder = counts % denominator;
    if (2 * remainder > denominator || (2 * remainder == denominator && whole % 2 == 1))
        return whole + 1;
    return whole;
}

} // namespace

std::string rom_type_text(std::uint8_t rom_type)
{
    switch (rom_type) {
    case 0: return "0 - ROM only";
    case 1: return "1 - ROM and RAM";
    case 2: return "2 - ROM and Save RAM";
    case 3: return "3 - ROM and DSP1 chip";
    case 4: return "4 - ROM, RAM and DSP1 chip";
    case 5: return "5 - ROM, Save RAM and DSP1 chip";
    case 19: return "19 - ROM and Super FX chip";
    case 227: return "227 - ROM, RAM and GameBoy data";
    case 246: return "246 - ROM and DSP2 chip";
    default: return decimal_text(rom_type) + " - unknown";
    }
}

std::string rom_size_text(std::uint8_t rom_size, std::uint64_t file_length)
{
    switch (rom_size) {
    case 8: return "2 MegaBits";
    case 9: return "4 MegaBits";
    case 10: return "8 MegaBits";
    case 11: return "16 MegaBits";
    case 12: return "32 MegaBits";
    default: break;
    }
    // Decimal megabits, length x 8 / 1,000,000, to one decimal place: the exact
    // ratio in tenths is length x 8 / 100,000, rounded halves to even. The
    // length is below 2^61 on any real file system, so the product fits.
    const std::uint64_t tenths = round_half_to_even(file_length * 8, 100000);
    return decimal_text_of_tenths(static_cast<std::int64_t>(tenths)) + " MegaBits";
}

std::string country_text(std::uint8_t country)
{
    if (country < countries.size())
        return std::string(countries[country].text);
    return "Hex " + hex_text(country) + "   = ?";
}

std::string country_suffix(std::uint8_t country)
{
    return country < countries.size() ? std::string(countries[country].suffix) : std::string();
}

std::string licensee_text(std::uint8_t licensee)
{
    for (const auto& [code, text] : licensees) {
        if (code == licensee)
            return std::string(text);
    }
    return decimal_text(licensee) + " - ?";
}

void decode_header(const HeaderBytes& bytes, std::uint64_t file_length, RomAnalysis& analysis)
{
    analysis.Pruefsumme = hex_text(bytes.checksum_lo) + hex_text(bytes.checksum_hi);
    analysis.CRC1_text = hex_text(bytes.checksum_lo) + " " + hex_text(bytes.checksum_hi);
    analysis.Cardid_text = rom_type_text(bytes.rom_type);
    analysis.Size_text = rom_size_text(bytes.rom_size, file_length);
    analysis.Land_text = country_text(bytes.country);
    analysis.Landkuerzel = country_suffix(bytes.country);
    analysis.Hersteller_text = licensee_text(bytes.licensee);
}

} // namespace cartonym
