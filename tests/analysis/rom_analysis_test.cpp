// Image analysis: copier header, memory map, rejection and header decoding.
#include <gtest/gtest.h>

#include "analysis/rom_analysis.h"
#include "common/error.h"
#include "fixtures/rom_builder.h"
#include "tests/testsupport.h"

#include <stdexcept>
#include <tuple>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

using namespace cartonym;
using fixtures::Karte;
using fixtures::Kopierkopf;

namespace {

// File offsets of the four header sites.
constexpr std::uint64_t Lo = 0x7FC0, Hi = 0xFFC0, Lo_kopf = 0x81C0, Hi_kopf = 0x101C0;

// A name that marks an unusable site although it does not begin with 0xFF.
const std::string Sondername =
    "\xD7\x6F\x75\xF7\xDF\xFD\xD7\x5F\xD7\x75\xFD\xDF\xFF\xFF\xF7\xFD\xFF\xFD\xFF\xDF\xFF";

// Complement 0x1234, checksum 0xEDCB: passes the pair test.
const std::string Gute_pruefbytes("\x34\x12\xCB\xED", 4);
const std::string Keine_pruefbytes(4, '\0');

void Setze_stelle(std::string& bild, std::uint64_t stelle, const std::string& name, const std::string& pruefbytes)
{
    fixtures::Setze_bytes(bild, stelle, fixtures::Interner_name(name));
    fixtures::Setze_bytes(bild, stelle + 0x1C, pruefbytes);
}

// An image of the given header kind in which no site passes the pair test.
std::string Bild_ohne_gueltige_stelle(Kopierkopf kopf)
{
    std::string bild = fixtures::Baue_rom({.kopf = kopf});
    Setze_stelle(bild, kopf == Kopierkopf::Keiner ? Lo : Lo_kopf, "LO", Keine_pruefbytes);
    return bild;
}

Analyse Analysiere_bild(const std::string& bild)
{
    test::Tempordner ordner;
    fixtures::Schreibe_datei(ordner / "bild.smc", bild);
    return Analysiere_rom(ordner / "bild.smc");
}

void Erwarte_verworfen(const Analyse& a)
{
    EXPECT_FALSE(a.Rom_ok);
    EXPECT_EQ(a.Formatcode, "");
    EXPECT_EQ(a.Interner_name, "");
}

} // namespace

// --- The nine readings -------------------------------------------------------

TEST(Analyse, EveryFormatCodeFieldByField)
{
    const struct {
        Kopierkopf kopf;
        Karte karte;
        const char *code, *endung, *dateityp;
    } faelle[] = {
        {Kopierkopf::SWC, Karte::LoRom, "SWC LO", ".swc", "SNES LoRom, Super Wildcard Header (SWC)"},
        {Kopierkopf::SWC, Karte::HiRom, "SWC HI", ".swc", "SNES HiRom, Super Wildcard Header (SWC)"},
        {Kopierkopf::GDR, Karte::LoRom, "GDR LO", ".smc", "SNES LoRom, Game Dr. 3 Header"},
        {Kopierkopf::GDR, Karte::HiRom, "GDR HI", ".smc", "SNES HiRom, Game Dr. 3 Header"},
        {Kopierkopf::FIG, Karte::LoRom, "FIG LO", ".fig", "SNES LoRom, Pro Fighter Header (FIG)"},
        {Kopierkopf::FIG, Karte::HiRom, "FIG HI", ".fig", "SNES HiRom, Pro Fighter Header (FIG)"},
        {Kopierkopf::COS, Karte::LoRom, "COS LO", ".smc", "SNES LoRom, Custom unknown Header (mostly PD's and demos)"},
        {Kopierkopf::Keiner, Karte::LoRom, "NO LO", ".smc", "SNES LoRom, no Header"},
        {Kopierkopf::Keiner, Karte::HiRom, "NO HI", ".smc", "SNES HiRom, no Header"},
    };
    for (const auto& fall : faelle) {
        SCOPED_TRACE(fall.code);
        const std::string name = std::string("GAME ") + fall.code;
        const Analyse a = Analysiere_bild(fixtures::Baue_rom({.kopf = fall.kopf, .karte = fall.karte, .name = name,
                                                              .romtyp = 2, .romgroesse = 10, .land = 2,
                                                              .lizenz = 51, .pruefsumme = 0xABCD}));
        ASSERT_TRUE(a.Rom_ok);
        EXPECT_EQ((std::vector{a.Formatcode, a.Endung, a.Dateityp_text, a.Interner_name, a.Cardid_text, a.Size_text, a.Land_text,
                               a.Landkuerzel, a.Hersteller_text, a.Pruefsumme, a.CRC1_text}),
                  (std::vector<std::string>{fall.code, fall.endung, fall.dateityp, fixtures::Interner_name(name), "2 - ROM and Save RAM",
                                            "8 MegaBits", "2 = Australia, Europe, Oceania and Asia (PAL)", " (Euro)", "51 - Nintendo",
                                            "CDAB", "CD AB"}));
    }
}

TEST(Analyse, InternalNameKeepsBlanksAndNuls)
{
    for (const std::string& name : {std::string(21, ' '), std::string("NUL\0NAME\0\0\0\0\0\0\0\0\0\0\0\0\0", 21),
                                   std::string("Caf\xE9 \x80 ", 7) + std::string(14, ' ')}) {
        const Analyse a = Analysiere_bild(fixtures::Baue_rom({.name = name}));
        ASSERT_TRUE(a.Rom_ok);
        EXPECT_EQ(a.Interner_name.size(), 21u);
        EXPECT_EQ(a.Interner_name, name);
    }
}

// --- Choosing the site ---------------------------------------------------------

TEST(Analyse, SiteChoiceAndRejection)
{
    struct Stellenangabe {
        std::uint64_t stelle;
        std::string name, pruefbytes;
    };
    const std::string ff_name(21, '\xFF'), ff_bytes(4, '\xFF');
    const struct {
        const char* fall;
        Kopierkopf kopf;
        std::vector<Stellenangabe> stellen; // written over an image in which no site passes
        const char* code;                   // "" when the image is rejected
        std::string name;
    } faelle[] = {
        {"no candidate passes", Kopierkopf::Keiner, {}, "", ""},
        {"LoRom passes", Kopierkopf::Keiner, {{Lo, "LO", Gute_pruefbytes}}, "NO LO", "LO"},
        {"HiRom passes", Kopierkopf::Keiner, {{Hi, "HI", Gute_pruefbytes}}, "NO HI", "HI"},
        {"both pass: LoRom wins", Kopierkopf::Keiner, {{Lo, "LO", Gute_pruefbytes}, {Hi, "HI", Gute_pruefbytes}},
         "NO LO", "LO"},
        {"any bytes whose OR is 0xFF pass", Kopierkopf::Keiner, {{Lo, "LO", "\xF0\x0F\x0F\xF0"}}, "NO LO", "LO"},
        {"one pair short of 0xFF fails", Kopierkopf::Keiner, {{Lo, "LO", "\x34\x12\xCB\xEC"}}, "", ""},
        {"all-0xFF LoRom site forces HiRom", Kopierkopf::Keiner, {{Lo, ff_name, ff_bytes}, {Hi, "HI", Keine_pruefbytes}},
         "NO HI", "HI"},
        {"special name at NO LO forces NO HI", Kopierkopf::Keiner,
         {{Lo, Sondername, Gute_pruefbytes}, {Hi, "HI", Keine_pruefbytes}}, "NO HI", "HI"},
        {"special name at NO HI forces NO LO", Kopierkopf::Keiner, {{Hi, Sondername, Gute_pruefbytes}}, "NO LO", "LO"},
        {"two rejected names", Kopierkopf::Keiner, {{Lo, Sondername, Gute_pruefbytes}, {Hi, "\xFFHI", Gute_pruefbytes}},
         "", ""},
        {"rejected SWC LO name forces SWC HI", Kopierkopf::SWC,
         {{Lo_kopf, "\xFF" "BAD", Gute_pruefbytes}, {Hi_kopf, "HI", Keine_pruefbytes}}, "SWC HI", "HI"},
        {"GDR HiRom site", Kopierkopf::GDR, {{Hi_kopf, "HI", Gute_pruefbytes}}, "GDR HI", "HI"},
        {"FIG sites fail although a headerless site passes", Kopierkopf::FIG,
         {{Lo, "LO", Gute_pruefbytes}, {Hi, "HI", Gute_pruefbytes}}, "", ""},
        {"COS needs no check bytes", Kopierkopf::COS, {{Lo_kopf, "CUSTOM", Keine_pruefbytes}}, "COS LO", "CUSTOM"},
        {"COS keeps a rejected name", Kopierkopf::COS, {{Lo_kopf, "\xFF" "DEMO", Keine_pruefbytes}}, "COS LO",
         "\xFF" "DEMO"},
        {"COS keeps the special name", Kopierkopf::COS, {{Lo_kopf, Sondername, Gute_pruefbytes}}, "COS LO", Sondername},
    };
    for (const auto& fall : faelle) {
        SCOPED_TRACE(fall.fall);
        std::string bild = Bild_ohne_gueltige_stelle(fall.kopf);
        for (const auto& angabe : fall.stellen)
            Setze_stelle(bild, angabe.stelle, angabe.name, angabe.pruefbytes);
        const Analyse a = Analysiere_bild(bild);
        if (*fall.code == '\0') {
            Erwarte_verworfen(a);
            continue;
        }
        ASSERT_TRUE(a.Rom_ok);
        EXPECT_EQ(a.Formatcode, fall.code);
        EXPECT_EQ(a.Interner_name, fixtures::Interner_name(fall.name));
    }
}

TEST(Analyse, CopierHeaderRecognition)
{
    // The image's SWC LoRom site is valid; everything else fails. A header
    // taken for anything but SWC therefore rejects the image.
    const std::pair<std::string, bool> faelle[] = {
        {std::string("\0\xAA\xBB\x04", 4), true},  {std::string("\0\xAA\xBB\x06", 4), true},
        {std::string("\0\x0A\xAB\xB4", 4), true},  {std::string("\xAA\xBB\x04\0", 4), true},
        {std::string("\x0A\xAB\xB4\0", 4), true},  {std::string("\xAA\xBB\x06\0", 4), false}, // "AABB6" only at 8..10
        {std::string("\0\xAA\xBB\x05", 4), false}, {std::string("\0\xAB\xBB\x04", 4), false},
    };
    for (const auto& [bytes, swc] : faelle) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        std::string bild = fixtures::Baue_rom({.kopf = Kopierkopf::SWC});
        fixtures::Setze_bytes(bild, 7, bytes);
        EXPECT_EQ(Analysiere_bild(bild).Formatcode, swc ? "SWC LO" : "");
    }

    // A custom-header signature needs bytes 57..511 to be zero.
    std::string cos = fixtures::Baue_rom({.kopf = Kopierkopf::COS});
    fixtures::Setze_bytes(cos, 511, "\x01");
    Erwarte_verworfen(Analysiere_bild(cos));
    // Zero bytes 57..511 with a near miss of the custom signature: Pro Fighter.
    std::string fig = fixtures::Baue_rom({.kopf = Kopierkopf::COS});
    fixtures::Setze_bytes(fig, 5, "\x32");
    EXPECT_EQ(Analysiere_bild(fig).Formatcode, "FIG LO");
    // The Game Doctor signature counts whatever bytes 57..511 hold.
    std::string gdr = fixtures::Baue_rom({.kopf = Kopierkopf::GDR});
    fixtures::Setze_bytes(gdr, 300, "\x55");
    EXPECT_EQ(Analysiere_bild(gdr).Formatcode, "GDR LO");
}

// --- Short files, unusual files ------------------------------------------------

TEST(Analyse, BytesBeyondTheEndReadAsZero)
{
    test::Tempordner ordner;
    const std::string ganz = fixtures::Baue_rom({.karte = Karte::HiRom, .name = "LONG HIROM"});
    fixtures::Schreibe_datei(ordner / "ganz.smc", ganz);
    ASSERT_TRUE(Analysiere_rom(ordner / "ganz.smc").Rom_ok);
    // The same image cut before its checksum: the missing bytes are zero, not
    // whatever the earlier image held there.
    Erwarte_verworfen(Analysiere_bild(ganz.substr(0, Hi + 0x1E)));

    // A file that ends right after its LoRom site.
    const Analyse a = Analysiere_bild(fixtures::Baue_rom({.name = "SHORT LOROM", .romgroesse = 0}).substr(0, Lo + 0x20));
    ASSERT_TRUE(a.Rom_ok);
    EXPECT_EQ(a.Formatcode, "NO LO");
    EXPECT_EQ(a.Size_text, " 0.3 MegaBits"); // 32,736 bytes
    for (const std::string& inhalt : {std::string(), std::string(512, '\0')})
        Erwarte_verworfen(Analysiere_bild(inhalt));
}

TEST(Analyse, FailuresToOpen)
{
    test::Tempordner ordner;
    const auto nummer = [](const std::string& pfad) { return test::Fehlernummer_von([&] { Analysiere_rom(pfad); }); };
    EXPECT_EQ(nummer(ordner / "fehlt/a.smc"), 53);
    EXPECT_EQ(nummer(ordner.pfad().string()), 75);
    fixtures::Schreibe_rom(ordner / "a.smc", {});
    EXPECT_EQ(nummer(ordner / "a.smc/b.smc"), 76);
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod((ordner / "a.smc").c_str(), 0), 0);
        EXPECT_EQ(nummer(ordner / "a.smc"), 70);
    }
}

// --- Header decoding ---------------------------------------------------------------

TEST(Kopfdekodierung, ChecksumTexts)
{
    const std::tuple<std::uint8_t, std::uint8_t, std::string, std::string> faelle[] = { // lo, hi, key, shown
        {0x00, 0x05, "05", "0 5"}, {0x00, 0x00, "00", "0 0"},   {0xCD, 0xAB, "CDAB", "CD AB"},
        {0x38, 0x0A, "38A", "38 A"}, {0x5A, 0x00, "5A0", "5A 0"}, {0x05, 0xA0, "5A0", "5 A0"}};
    for (const auto& [lo, hi, schluessel, anzeige] : faelle) {
        Analyse a;
        Dekodiere_kopf({.pruefsumme_lo = lo, .pruefsumme_hi = hi}, 0, a);
        EXPECT_EQ(std::tie(a.Pruefsumme, a.CRC1_text), std::tie(schluessel, anzeige));
    }
}

TEST(Kopfdekodierung, RomTypesAndSizes)
{
    const std::pair<std::uint8_t, const char*> typen[] = {
        {0, "0 - ROM only"}, {5, "5 - ROM, Save RAM and DSP1 chip"}, {19, "19 - ROM and Super FX chip"},
        {227, "227 - ROM, RAM and GameBoy data"}, {246, "246 - ROM and DSP2 chip"}, {6, " 6 - unknown"},
        {255, " 255 - unknown"}};
    for (const auto& [byte, text] : typen)
        EXPECT_EQ(Cardid_text_fuer(byte), text);

    const struct {
        std::uint8_t byte;
        std::uint64_t laenge;
        const char* text;
    } groessen[] = {
        {8, 0, "2 MegaBits"}, {12, 0, "32 MegaBits"}, {0, 1048576, " 8.4 MegaBits"}, {13, 500000, " 4 MegaBits"},
        {13, 4194816, " 33.6 MegaBits"}, {255, 0, " 0 MegaBits"}, {7, 56251, " 0.5 MegaBits"},
        // Exact halves go to the even neighbour: 0.15, 0.25, 0.05, 0.45.
        {7, 18750, " 0.2 MegaBits"}, {7, 31250, " 0.2 MegaBits"}, {7, 6250, " 0 MegaBits"},
        {7, 56250, " 0.4 MegaBits"}, {0, 5368709120ULL, " 42949.7 MegaBits"},
    };
    for (const auto& fall : groessen)
        EXPECT_EQ(Size_text_fuer(fall.byte, fall.laenge), fall.text) << int(fall.byte) << " " << fall.laenge;
}

TEST(Kopfdekodierung, SizeOfAFileOf256MiB)
{
    test::Tempordner ordner;
    try {
        fixtures::Schreibe_rom(ordner / "gross.smc", {.romgroesse = 0, .datenlaenge = 268435456}, true);
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "the file system cannot hold a sparse file of 256 MiB";
    }
    EXPECT_EQ(Analysiere_rom(ordner / "gross.smc").Size_text, " 2147.5 MegaBits");
}

TEST(Kopfdekodierung, CountriesAndLicensees)
{
    const std::tuple<std::uint8_t, std::string, std::string> laender[] = {
        {0, "0 = Japan (NTSC)", " (JAP)"}, {3, "3 = Sweden (PAL)", " (Euro - Sweden)"},
        {9, "9 = Europe, Germany, Austria and Switzerland (PAL)", " (Euro - Germany)"}, {13, "13 = Korea (PAL)", " (Korea)"},
        {14, "Hex E   = ?", ""}, {0xFF, "Hex FF   = ?", ""}};
    for (const auto& [byte, text, kuerzel] : laender)
        EXPECT_EQ(std::tuple(Land_text_fuer(byte), Landkuerzel_fuer(byte)), std::tie(text, kuerzel)) << int(byte);

    const std::pair<std::uint8_t, const char*> firmen[] = {
        {1, "1 - Nintendo"}, {0x33, "51 - Nintendo"}, {143, "143 - I''Max"}, {41, "41 - Seta Co.,Ltd."},
        {255, "255 - Hudson Soft"}, {0, " 0 - ?"}, {250, " 250 - ?"}};
    for (const auto& [byte, text] : firmen)
        EXPECT_EQ(Hersteller_text_fuer(byte), text);
    // Every code has a text; a named one begins with its own code.
    int benannt = 0;
    for (int code = 0; code < 256; ++code) {
        const std::string text = Hersteller_text_fuer(static_cast<std::uint8_t>(code));
        if (text.starts_with(std::to_string(code) + " - "))
            ++benannt;
        else
            EXPECT_EQ(text, " " + std::to_string(code) + " - ?");
    }
    EXPECT_EQ(benannt, 154);
}
