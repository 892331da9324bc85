// SPDX-License-Identifier: GPL-3.0-or-later
// Image analysis: copier header, memory map, rejection and header decoding.

#include "analysis/header_decoding.h"
#include "tests/testsupport.h"

#include <tuple>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace cartonym;
using namespace fixtures;

namespace {

// File offsets of the four header sites.
constexpr std::uint64_t Lo = 0x7FC0, Hi = 0xFFC0, lo_header = 0x81C0, hi_header = 0x101C0;

// A name that marks an unusable site although it does not begin with 0xFF.
const std::string special_name = "\xD7\x6F\x75\xF7\xDF\xFD\xD7\x5F\xD7\x75\xFD\xDF\xFF\xFF\xF7\xFD\xFF\xFD\xFF\xDF\xFF";

// Complement 0x1234, checksum 0xEDCB: passes the pair test.
const std::string good_check_bytes("\x34\x12\xCB\xED", 4);
const std::string no_check_bytes(4, '\0');

void set_site(std::string& image, std::uint64_t site, const std::string& name, const std::string& check_bytes)
{
    fixtures::set_bytes(image, site, fixtures::Interner_name(name));
    fixtures::set_bytes(image, site + 0x1C, check_bytes);
}

// An image of the given header kind in which no site passes the pair test.
std::string image_without_valid_site(CopierHeader header)
{
    std::string image = fixtures::build_rom({.header = header});
    set_site(image, header == CopierHeader::None ? Lo : lo_header, "LO", no_check_bytes);
    return image;
}

RomAnalysis analyse_image(const std::string& image)
{
    test::TempFolder folder;
    fixtures::write_file(folder / "image.smc", image);
    return Analysiere_rom(folder / "image.smc");
}

void expect_rejected(const RomAnalysis& a)
{
    EXPECT_FALSE(a.Rom_ok);
    EXPECT_EQ(a.Formatcode, "");
    EXPECT_EQ(a.Interner_name, "");
}

} // namespace

// --- The nine readings -------------------------------------------------------

struct FormatCase {
    const char* what; // the format code
    CopierHeader header;
    MemoryMap map;
    const char *extension, *file_type_text;
};
class EveryFormatCode : public ::testing::TestWithParam<FormatCase> { };

TEST_P(EveryFormatCode, ReadsFieldByField)
{
    const FormatCase& c = GetParam();
    const std::string name = std::string("GAME ") + c.what;
    const RomAnalysis a = analyse_image(fixtures::build_rom({.header = c.header,
        .map = c.map,
        .name = name,
        .rom_type = 2,
        .rom_size = 10,
        .country = 2,
        .licensee = 51,
        .checksum = 0xABCD}));
    ASSERT_TRUE(a.Rom_ok);
    EXPECT_EQ((std::vector{a.Formatcode, a.Endung, a.Dateityp_text, a.Interner_name, a.Cardid_text, a.Size_text,
                  a.Land_text, a.Landkuerzel, a.Hersteller_text, a.Pruefsumme, a.CRC1_text}),
        (std::vector<std::string>{c.what, c.extension, c.file_type_text, fixtures::Interner_name(name),
            "2 - ROM and Save RAM", "8 MegaBits", "2 = Australia, Europe, Oceania and Asia (PAL)", " (Euro)",
            "51 - Nintendo", "CDAB", "CD AB"}));
}

INSTANTIATE_TEST_SUITE_P(Each, EveryFormatCode,
    ::testing::Values(
        FormatCase{"SWC LO", CopierHeader::SWC, MemoryMap::LoRom, ".swc", "SNES LoRom, Super Wildcard Header (SWC)"},
        FormatCase{"SWC HI", CopierHeader::SWC, MemoryMap::HiRom, ".swc", "SNES HiRom, Super Wildcard Header (SWC)"},
        FormatCase{"GDR LO", CopierHeader::GDR, MemoryMap::LoRom, ".smc", "SNES LoRom, Game Dr. 3 Header"},
        FormatCase{"GDR HI", CopierHeader::GDR, MemoryMap::HiRom, ".smc", "SNES HiRom, Game Dr. 3 Header"},
        FormatCase{"FIG LO", CopierHeader::FIG, MemoryMap::LoRom, ".fig", "SNES LoRom, Pro Fighter Header (FIG)"},
        FormatCase{"FIG HI", CopierHeader::FIG, MemoryMap::HiRom, ".fig", "SNES HiRom, Pro Fighter Header (FIG)"},
        FormatCase{"COS LO", CopierHeader::COS, MemoryMap::LoRom, ".smc",
            "SNES LoRom, Custom unknown Header (mostly PD's and demos)"},
        FormatCase{"NO LO", CopierHeader::None, MemoryMap::LoRom, ".smc", "SNES LoRom, no Header"},
        FormatCase{"NO HI", CopierHeader::None, MemoryMap::HiRom, ".smc", "SNES HiRom, no Header"}),
    test::CaseName());

TEST(RomAnalysis, InternalNameKeepsBlanksAndNuls)
{
    for (const std::string& name : {std::string(21, ' '), std::string("NUL\0NAME\0\0\0\0\0\0\0\0\0\0\0\0\0", 21),
             std::string("Caf\xE9 \x80 ", 7) + std::string(14, ' ')}) {
        const RomAnalysis a = analyse_image(fixtures::build_rom({.name = name}));
        EXPECT_TRUE(a.Rom_ok);
        EXPECT_EQ(a.Interner_name, name);
    }
}

// --- Choosing the site ---------------------------------------------------------

struct SiteInfo {
    std::uint64_t site;
    std::string name, check_bytes;
};
struct SiteCase {
    const char* what;
    CopierHeader header;
    std::vector<SiteInfo> sites; // written over an image in which no site passes
    const char* code;            // "" when the image is rejected
    std::string name;
};
class SiteChoice : public ::testing::TestWithParam<SiteCase> { };

TEST_P(SiteChoice, AcceptsTheRightSiteOrRejects)
{
    std::string image = image_without_valid_site(GetParam().header);
    for (const auto& info : GetParam().sites)
        set_site(image, info.site, info.name, info.check_bytes);
    const RomAnalysis a = analyse_image(image);
    const bool accepted = *GetParam().code != '\0';
    EXPECT_EQ(std::tie(a.Rom_ok, a.Formatcode, a.Interner_name),
        std::tuple(accepted, GetParam().code, accepted ? fixtures::Interner_name(GetParam().name) : ""));
}

const std::string ff_name(21, '\xFF'), ff_bytes(4, '\xFF'), ff = "\xFF";
INSTANTIATE_TEST_SUITE_P(Each, SiteChoice,
    ::testing::Values(SiteCase{"no candidate passes", CopierHeader::None, {}, "", ""},
        SiteCase{"LoRom passes", CopierHeader::None, {{Lo, "LO", good_check_bytes}}, "NO LO", "LO"},
        SiteCase{"HiRom passes", CopierHeader::None, {{Hi, "HI", good_check_bytes}}, "NO HI", "HI"},
        SiteCase{"both pass: LoRom wins", CopierHeader::None,
            {{Lo, "LO", good_check_bytes}, {Hi, "HI", good_check_bytes}}, "NO LO", "LO"},
        SiteCase{
            "any bytes whose OR is 0xFF pass", CopierHeader::None, {{Lo, "LO", "\xF0\x0F\x0F\xF0"}}, "NO LO", "LO"},
        SiteCase{"one pair short of 0xFF fails", CopierHeader::None, {{Lo, "LO", "\x34\x12\xCB\xEC"}}, "", ""},
        SiteCase{"all-0xFF LoRom site forces HiRom", CopierHeader::None,
            {{Lo, ff_name, ff_bytes}, {Hi, "HI", no_check_bytes}}, "NO HI", "HI"},
        SiteCase{"special name at NO LO forces NO HI", CopierHeader::None,
            {{Lo, special_name, good_check_bytes}, {Hi, "HI", no_check_bytes}}, "NO HI", "HI"},
        SiteCase{"special name at NO HI forces NO LO", CopierHeader::None, {{Hi, special_name, good_check_bytes}},
            "NO LO", "LO"},
        SiteCase{"two rejected names", CopierHeader::None,
            {{Lo, special_name, good_check_bytes}, {Hi, "\xFFHI", good_check_bytes}}, "", ""},
        SiteCase{"rejected SWC LO name forces SWC HI", CopierHeader::SWC,
            {{lo_header, ff + "BAD", good_check_bytes}, {hi_header, "HI", no_check_bytes}}, "SWC HI", "HI"},
        SiteCase{"GDR HiRom site", CopierHeader::GDR, {{hi_header, "HI", good_check_bytes}}, "GDR HI", "HI"},
        SiteCase{"FIG sites fail although a headerless site passes", CopierHeader::FIG,
            {{Lo, "LO", good_check_bytes}, {Hi, "HI", good_check_bytes}}, "", ""},
        SiteCase{
            "COS needs no check bytes", CopierHeader::COS, {{lo_header, "CUSTOM", no_check_bytes}}, "COS LO", "CUSTOM"},
        SiteCase{"COS keeps a rejected name", CopierHeader::COS, {{lo_header, ff + "DEMO", no_check_bytes}}, "COS LO",
            ff + "DEMO"},
        SiteCase{"COS keeps the special name", CopierHeader::COS, {{lo_header, special_name, good_check_bytes}},
            "COS LO", special_name}),
    test::CaseName());

TEST(RomAnalysis, CopierHeaderRecognition)
{
    // The image's SWC LoRom site is valid; everything else fails. A header
    // taken for anything but SWC therefore rejects the image.
    const std::pair<std::string, bool> cases[] = {{std::string("\0\xAA\xBB\x04", 4), true},
        {std::string("\0\xAA\xBB\x06", 4), true}, {std::string("\0\x0A\xAB\xB4", 4), true},
        {std::string("\xAA\xBB\x04\0", 4), true}, {std::string("\x0A\xAB\xB4\0", 4), true},
        {std::string("\xAA\xBB\x06\0", 4), false}, // "AABB6" only at 8..10
        {std::string("\0\xAA\xBB\x05", 4), false}, {std::string("\0\xAB\xBB\x04", 4), false}};
    for (const auto& [bytes, swc] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        std::string image = fixtures::build_rom({.header = CopierHeader::SWC});
        fixtures::set_bytes(image, 7, bytes);
        EXPECT_EQ(analyse_image(image).Formatcode, swc ? "SWC LO" : "");
    }

    // A custom-header signature needs bytes 57..511 to be zero (byte 56 is not
    // summed); with a near miss of it, zero bytes there read as Pro Fighter;
    // the Game Doctor signature counts whatever bytes 57..511 hold.
    const std::tuple<CopierHeader, std::uint64_t, const char*, const char*> changes[] = {
        {CopierHeader::COS, 57, "\x01", ""}, {CopierHeader::COS, 511, "\x01", ""},
        {CopierHeader::COS, 56, "\x01", "COS LO"}, {CopierHeader::COS, 5, "\x32", "FIG LO"},
        {CopierHeader::GDR, 300, "\x55", "GDR LO"}};
    for (const auto& [header, offset, byte, code] : changes) {
        std::string image = fixtures::build_rom({.header = header});
        fixtures::set_bytes(image, offset, byte);
        const RomAnalysis a = analyse_image(image);
        EXPECT_EQ(std::tie(a.Rom_ok, a.Formatcode), std::tuple(*code != '\0', code)) << offset;
        EXPECT_TRUE(*code || a.Interner_name.empty()) << offset;
    }
}

// --- Short files, unusual files ------------------------------------------------

TEST(RomAnalysis, BytesBeyondTheEndReadAsZero)
{
    const std::string whole = fixtures::build_rom({.map = MemoryMap::HiRom, .name = "LONG HIROM"});
    ASSERT_TRUE(analyse_image(whole).Rom_ok);
    // The same image cut before its checksum: the missing bytes are zero, not
    // whatever the earlier image held there.
    expect_rejected(analyse_image(whole.substr(0, Hi + 0x1E)));

    // A file that ends right after its LoRom site.
    const RomAnalysis a =
        analyse_image(fixtures::build_rom({.name = "SHORT LOROM", .rom_size = 0}).substr(0, Lo + 0x20));
    ASSERT_TRUE(a.Rom_ok);
    EXPECT_EQ(a.Formatcode, "NO LO");
    EXPECT_EQ(a.Size_text, " 0.3 MegaBits"); // 32,736 bytes
    for (const std::string& content : {std::string(), std::string(512, '\0')})
        expect_rejected(analyse_image(content));
}

TEST(RomAnalysis, FailuresToOpen)
{
    test::TempFolder folder;
    const auto number = [](const std::string& path) { return test::error_number_of([&] { Analysiere_rom(path); }); };
    // (Windows tells a missing folder from a missing file: "Path not found".)
    EXPECT_EQ(number(folder / "missing/a.smc"), windows_paths ? 76 : 53);
    EXPECT_EQ(number(folder.path().string()), 75);
    fixtures::write_rom(folder / "a.smc", {});
    EXPECT_EQ(number(folder / "a.smc/b.smc"), 76);
#ifndef _WIN32 // (Windows has no mode bits that deny reading)
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod((folder / "a.smc").c_str(), 0), 0);
        EXPECT_EQ(number(folder / "a.smc"), 70);
    }
#endif
}

// --- Header decoding ---------------------------------------------------------------

TEST(HeaderDecoding, ChecksumRomTypeAndSizeTexts)
{
    const std::tuple<std::uint8_t, std::uint8_t, std::string, std::string> cases[] = {// lo, hi, key, shown
        {0x00, 0x05, "05", "0 5"}, {0x00, 0x00, "00", "0 0"}, {0xCD, 0xAB, "CDAB", "CD AB"},
        {0x38, 0x0A, "38A", "38 A"}, {0x5A, 0x00, "5A0", "5A 0"}, {0x05, 0xA0, "5A0", "5 A0"}};
    for (const auto& [lo, hi, key, display] : cases) {
        RomAnalysis a;
        decode_header({.checksum_lo = lo, .checksum_hi = hi}, 0, a);
        EXPECT_EQ(std::tie(a.Pruefsumme, a.CRC1_text), std::tie(key, display));
    }

    const std::pair<std::uint8_t, const char*> types[] = {{0, "0 - ROM only"}, {5, "5 - ROM, Save RAM and DSP1 chip"},
        {19, "19 - ROM and Super FX chip"}, {227, "227 - ROM, RAM and GameBoy data"}, {246, "246 - ROM and DSP2 chip"},
        {6, " 6 - unknown"}, {255, " 255 - unknown"}};
    for (const auto& [byte, text] : types)
        EXPECT_EQ(rom_type_text(byte), text);

    const struct {
        std::uint8_t byte;
        std::uint64_t length;
        const char* text;
    } sizes[] = {{8, 0, "2 MegaBits"}, {12, 0, "32 MegaBits"}, {0, 1048576, " 8.4 MegaBits"},
        {13, 500000, " 4 MegaBits"}, {13, 4194816, " 33.6 MegaBits"}, {255, 0, " 0 MegaBits"},
        {7, 56251, " 0.5 MegaBits"},
        // Exact halves go to the even neighbour: 0.15, 0.25, 0.05, 0.45.
        {7, 18750, " 0.2 MegaBits"}, {7, 31250, " 0.2 MegaBits"}, {7, 6250, " 0 MegaBits"}, {7, 56250, " 0.4 MegaBits"},
        {0, 5368709120ULL, " 42949.7 MegaBits"}};
    for (const auto& case_ : sizes)
        EXPECT_EQ(rom_size_text(case_.byte, case_.length), case_.text) << int(case_.byte) << " " << case_.length;
}

TEST(HeaderDecoding, CountriesAndLicensees)
{
    const std::tuple<std::uint8_t, std::string, std::string> countries_[] = {{0, "0 = Japan (NTSC)", " (JAP)"},
        {3, "3 = Sweden (PAL)", " (Euro - Sweden)"},
        {9, "9 = Europe, Germany, Austria and Switzerland (PAL)", " (Euro - Germany)"},
        {13, "13 = Korea (PAL)", " (Korea)"}, {14, "Hex E   = ?", ""}, {0xFF, "Hex FF   = ?", ""}};
    for (const auto& [byte, text, suffix] : countries_)
        EXPECT_EQ(std::tuple(country_text(byte), country_suffix(byte)), std::tie(text, suffix)) << int(byte);

    const std::pair<std::uint8_t, const char*> companies[] = {{1, "1 - Nintendo"}, {0x33, "51 - Nintendo"},
        {143, "143 - I''Max"}, {41, "41 - Seta Co.,Ltd."}, {255, "255 - Hudson Soft"}, {0, " 0 - ?"},
        {250, " 250 - ?"}};
    for (const auto& [byte, text] : companies)
        EXPECT_EQ(licensee_text(byte), text);
}

// Every pair of low bytes and every pair of high bytes, the other pair passing.
TEST(HeaderDetection, EveryPairOfCheckBytesAgainstTheRule)
{
    int passing = 0;
    for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 256; ++second) {
            const auto a = static_cast<unsigned char>(first), b = static_cast<unsigned char>(second);
            const bool rule = (a | b) == 0xFF;
            passing += rule;
            ASSERT_EQ(checksum_pair_test({a, 0x00, b, 0xFF}), rule) << first << " " << second;
            ASSERT_EQ(checksum_pair_test({0x0F, a, 0xF0, b}), rule) << first << " " << second;
        }
    }
    EXPECT_EQ(passing, 6561) << "3^8 pairs: each bit set in at least one byte";
}
