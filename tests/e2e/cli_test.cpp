// cartonym-cli info: in process through Cli_ausfuehren, and once through the
// real executable.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "common/windows1252.h"
#include "common/program_info.h"
#include "fixtures/rom_builder.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <sstream>
#include <tuple>

using namespace cartonym;
using fixtures::Datenbankzeile;
using nlohmann::json;

namespace {

std::vector<json> Json_zeilen(const std::string& text)
{
    std::vector<json> zeilen;
    std::istringstream eingabe(text);
    for (std::string zeile; std::getline(eingabe, zeile);)
        zeilen.push_back(json::parse(zeile));
    return zeilen;
}

struct Lauf {
    int status;
    std::string out, err;
    std::vector<json> zeilen; // stdout, one JSON object a line
};

Lauf Cli(std::vector<std::string> args)
{
    args.insert(args.begin(), "cartonym-cli");
    std::ostringstream out, err;
    const int status = Cli_ausfuehren(args, out, err);
    return {status, out.str(), err.str(), out.str().starts_with('{') ? Json_zeilen(out.str()) : std::vector<json>{}};
}

const std::string Fehlt_text = std::string("The file SNES.DAT is missing ! Download the complete version of the "
                                           "Cartonym from ") + Programm::Homepage + " !\n\nProgram will close now.\n";

// A temporary folder with a database and images in it.
struct Umgebung {
    test::Tempordner ordner;
    std::string db = ordner / "snes.dat";

    explicit Umgebung(const std::string& datenbank = "") { fixtures::Schreibe_datei(db, datenbank); }
    std::string Bild(const std::string& datei, const fixtures::Rombauplan& plan)
    {
        fixtures::Schreibe_rom(ordner / datei, plan);
        return ordner / datei;
    }
};

} // namespace

TEST(CliInfo, EveryFieldOfAKnownImage)
{
    Umgebung u(Datenbankzeile("OTHER", "Other") + Datenbankzeile("WILD CARD HI", "Wild Card"));
    const std::string datei = u.Bild("w.bin", {.kopf = fixtures::Kopierkopf::SWC, .karte = fixtures::Karte::HiRom,
                                               .name = "WILD CARD HI", .romtyp = 19, .romgroesse = 0, .land = 14,
                                               .lizenz = 0, .pruefsumme = 0x0A38});
    const Lauf lauf = Cli({"info", "--db", u.db, datei});
    EXPECT_EQ(lauf.status + lauf.err.size(), 0u);
    EXPECT_EQ(lauf.zeilen, (std::vector{json{{"file", datei},
                                    {"rom_ok", true},
                                    {"format_code", "SWC HI"},
                                    {"file_type", "SNES HiRom, Super Wildcard Header (SWC)"},
                                    {"extension", ".swc"},
                                    {"internal_name", "WILD CARD HI         "},
                                    {"rom_type", "19 - ROM and Super FX chip"},
                                    {"rom_size", " 1.1 MegaBits"}, // 131,584 bytes
                                    {"country", "Hex E   = ?"},
                                    {"country_suffix", ""},
                                    {"licensee", " 0 - ?"},
                                    {"checksum_key", "38A"},
                                    {"checksum", "38 A"},
                                    {"full_name", "Wild Card"},
                                    {"new_name", "Wild Card.swc"}}}));
}

TEST(CliInfo, LinesInOrderForNoImageCorrectedUnknownAndFailedFiles)
{
    Umgebung u(Datenbankzeile("X-MEN", "Not This One") + Datenbankzeile("GAME", "Game"));
    std::string keine = fixtures::Baue_rom({});
    fixtures::Setze_bytes(keine, 0x7FDC, std::string(4, '\0')); // no site passes
    fixtures::Schreibe_datei(u.ordner / "keine.bin", keine);
    const std::vector<std::string> dateien = {
        u.ordner / "keine.bin", u.Bild("xmen738.bin", {.name = "X-MEN", .pruefsumme = 0x0873}),
        u.Bild("xmen.bin", {.name = "X-MEN", .pruefsumme = 0x0808}), u.Bild("unbekannt.bin", {.name = "NOBODY"}),
        u.ordner / "fehlt.bin", u.ordner.pfad().string(), u.Bild("gut.bin", {.name = "GAME"})};
    std::vector<std::string> args = {"info", "--db", u.db};
    args.insert(args.end(), dateien.begin(), dateien.end());
    const Lauf lauf = Cli(args);
    EXPECT_EQ(lauf.status, 1);
    ASSERT_EQ(lauf.zeilen.size(), 7u);
    EXPECT_EQ(lauf.zeilen[0], (json{{"file", dateien[0]}, {"rom_ok", false}}));
    EXPECT_EQ(lauf.zeilen[1]["checksum_key"], "738");
    EXPECT_EQ(lauf.zeilen[1]["new_name"], "X-Men Mutant Apocalypse (USA).smc");
    // A checksum key without a correction is unknown although the database has the name.
    for (const std::size_t i : {2u, 3u})
        EXPECT_EQ(json::array({lauf.zeilen[i]["rom_ok"], lauf.zeilen[i]["full_name"], lauf.zeilen[i]["new_name"]}), json::array({true, "", ""}));
    EXPECT_EQ(lauf.zeilen[4],
              (json{{"file", dateien[4]}, {"error", {{"number", 53}, {"description", "File not found"}}}}));
    EXPECT_EQ(lauf.zeilen[5]["error"]["number"], 75);
    EXPECT_EQ(lauf.zeilen[6]["new_name"], "Game (USA).smc");
}

TEST(CliInfo, InternalNameKeepsNulAndTextsBecomeUtf8InBothStyles)
{
    const std::string name("Caf\xE9\0\x80", 6);
    Umgebung u(Datenbankzeile(name, "Caf\xE9 Stra\xDF" "e  Zwei"));
    const std::string datei = u.Bild("a.bin", {.name = name});
    for (const bool ohne : {false, true}) {
        const Lauf lauf = ohne ? Cli({"info", "--no-spaces", "--db", u.db, datei}) : Cli({"info", "--db", u.db, datei});
        ASSERT_EQ(lauf.zeilen.size(), 1u);
        EXPECT_NE(lauf.out.find("\\u0000"), std::string::npos);
        EXPECT_EQ(lauf.zeilen[0]["internal_name"], std::string("Caf\xC3\xA9\0\xE2\x82\xAC", 9) + std::string(15, ' '));
        EXPECT_EQ(lauf.zeilen[0]["new_name"], ohne ? "Caf\xC3\xA9_Stra\xC3\x9F" "e__Zwei_(USA).smc"
                                                   : "Caf\xC3\xA9 Stra\xC3\x9F" "e  Zwei (USA).smc");
    }
}

TEST(CliInfo, DatabaseRules)
{
    Umgebung u;
    const std::string gut = u.Bild("gut.bin", {.name = "GAME"});
    const std::string aladdin = u.Bild("aladdin.bin", {.name = "ALADDIN"});

    const Lauf fehlt = Cli({"info", "--db", u.ordner / "fehlt.dat", gut});
    EXPECT_EQ(std::tie(fehlt.status, fehlt.out, fehlt.err), std::tuple(2, "", Fehlt_text));

    // Any other failure is reported and the command goes on; corrections need
    // no database, searches fail.
    const Lauf ordner = Cli({"info", "--db", u.ordner.pfad().string(), gut, aladdin});
    EXPECT_EQ(ordner.status, 1);
    EXPECT_EQ(ordner.err, "Error Nr.  75 happened:\nPath/File access error\n");
    ASSERT_EQ(ordner.zeilen.size(), 2u);
    EXPECT_EQ(ordner.zeilen[0]["error"], (json{{"number", 75}, {"description", "Path/File access error"}}));
    EXPECT_EQ(ordner.zeilen[1]["new_name"], "Aladdin (USA).smc");

    const Lauf leer = Cli({"info", "--db", u.db, gut});
    EXPECT_EQ(std::tie(leer.status, leer.err), std::tuple(1, ""));
    EXPECT_EQ(leer.zeilen, (std::vector{json{{"file", gut}, {"error", {{"number", 62}, {"description", "Input past end of file"}}}}}));
}

TEST(CliInfo, UsageErrorsHelpAndVersion)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"info"}, {"info", "--db"}, {"frobnicate", "x"}, {"info", "--bogus", "x"}, {"--no-spaces"},
             {"batch"}, {"batch", "--unknown-option", "x"}})
        EXPECT_EQ(Cli(args).status, 2) << ::testing::PrintToString(args);
    EXPECT_NE(Cli({"--version"}).out.find(Programm::Versionstext), std::string::npos);
    EXPECT_EQ(Cli({"--help"}).status, 0);
    EXPECT_EQ(Cli({"info", "--help"}).status, 0);
}

TEST(CliProgramm, InfoWithTheDatabaseBesideTheProgramStreamsAndExitStatuses)
{
    // The first record of the database that lies beside the executable.
    const std::string programm = CARTONYM_CLI_PATH;
    const std::string datenbank = fixtures::Lies_datei(programm.substr(0, programm.rfind('/')) + "/snes.dat");
    if (datenbank.empty())
        GTEST_SKIP() << "no database beside the program";
    Eintragsleser leser(datenbank);
    const std::string schluessel = leser.naechstes_element();
    const std::string voller_name = leser.naechstes_element();

    Umgebung u;
    const std::string datei = u.Bild("a.bin", {.kopf = fixtures::Kopierkopf::FIG, .name = schluessel, .land = 2});
    const test::Aufruf lauf = test::Rufe_programm(programm, {"info", "--no-spaces", datei, u.ordner / "f.bin"}, u.ordner);
    EXPECT_EQ(lauf.status, 1);
    EXPECT_EQ(lauf.out.back(), '\n');
    const std::vector<json> zeilen = Json_zeilen(lauf.out);
    ASSERT_EQ(zeilen.size(), 2u);
    std::string erwartet = voller_name + " (Euro).fig";
    Baue_dateiname(erwartet);
    EXPECT_EQ(zeilen[0]["new_name"], Utf8_aus_cp1252(erwartet));
    EXPECT_EQ(zeilen[1]["error"]["number"], 53);

    const test::Aufruf fehlt = test::Rufe_programm(programm, {"info", "--db", u.ordner / "f.dat", datei}, u.ordner);
    EXPECT_EQ(std::tie(fehlt.status, fehlt.out, fehlt.err), std::tuple(2, "", Fehlt_text));
    EXPECT_EQ(test::Rufe_programm(programm, {"info"}, u.ordner).status, 2);
    EXPECT_EQ(test::Rufe_programm(programm, {"--version"}, u.ordner).status, 0);
}
