// cartonym-cli info: in-process through Cli_ausfuehren and a few runs of the
// real executable.
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "common/cp1252.h"
#include "common/programm.h"
#include "fixtures/rombau.h"
#include "naming/dateiname.h"
#include "naming/datenbank.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <set>
#include <sstream>
#include <sys/wait.h>

using namespace cartonym;
using fixtures::Karte;
using fixtures::Kopierkopf;
using nlohmann::json;

namespace {

struct Lauf {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<json> zeilen; // stdout, one JSON object a line
};

std::vector<json> Json_zeilen(const std::string& text)
{
    std::vector<json> zeilen;
    std::istringstream eingabe(text);
    for (std::string zeile; std::getline(eingabe, zeile);)
        zeilen.push_back(json::parse(zeile));
    return zeilen;
}

Lauf Cli(std::vector<std::string> args)
{
    args.insert(args.begin(), "cartonym-cli");
    std::ostringstream out, err;
    Lauf lauf;
    lauf.status = Cli_ausfuehren(args, out, err);
    lauf.out = out.str();
    lauf.err = err.str();
    if (lauf.out.starts_with('{'))
        lauf.zeilen = Json_zeilen(lauf.out);
    return lauf;
}

std::string Shellwort(const std::string& wort)
{
    std::string ergebnis = "'";
    for (const char c : wort)
        ergebnis += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return ergebnis + "'";
}

// Runs the built executable; stderr goes through a file in ordner.
Lauf Programm_lauf(const test::Tempordner& ordner, const std::vector<std::string>& args)
{
    std::string befehl = Shellwort(CARTONYM_CLI_PFAD);
    for (const auto& arg : args)
        befehl += " " + Shellwort(arg);
    befehl += " 2>" + Shellwort(ordner / "stderr.txt");
    Lauf lauf;
    FILE* rohr = ::popen(befehl.c_str(), "r");
    if (rohr == nullptr)
        return lauf;
    char puffer[4096];
    for (std::size_t n; (n = std::fread(puffer, 1, sizeof puffer, rohr)) > 0;)
        lauf.out.append(puffer, n);
    const int status = ::pclose(rohr);
    lauf.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    lauf.err = fixtures::Lies_datei(ordner / "stderr.txt");
    return lauf;
}

std::set<std::string> Schluessel(const json& objekt)
{
    std::set<std::string> schluessel;
    for (const auto& [name, wert] : objekt.items())
        schluessel.insert(name);
    return schluessel;
}

const std::set<std::string> Bildschluessel = {
    "file", "rom_ok", "format_code", "file_type", "extension", "internal_name", "rom_type", "rom_size",
    "country", "country_suffix", "licensee", "checksum_key", "checksum", "full_name", "new_name"};

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

// --- In-process --------------------------------------------------------------

TEST(CliInfo, EveryFieldOfAKnownImage)
{
    Umgebung u(fixtures::Datenbankzeile("OTHER", "Other") + fixtures::Datenbankzeile("WILD CARD HI", "Wild Card"));
    const std::string datei = u.Bild("w.bin", {.kopf = Kopierkopf::SWC, .karte = Karte::HiRom, .name = "WILD CARD HI",
                                               .romtyp = 19, .romgroesse = 0, .land = 14, .lizenz = 0,
                                               .pruefsumme = 0x0A38});
    const Lauf lauf = Cli({"info", "--db", u.db, datei});
    ASSERT_EQ(lauf.status, 0) << lauf.err;
    EXPECT_EQ(lauf.err, "");
    ASSERT_EQ(lauf.zeilen.size(), 1u);
    const json& z = lauf.zeilen[0];
    EXPECT_EQ(Schluessel(z), Bildschluessel);
    EXPECT_EQ(z["file"], datei);
    EXPECT_EQ(z["rom_ok"], true);
    EXPECT_EQ(z["format_code"], "SWC HI");
    EXPECT_EQ(z["file_type"], "SNES HiRom, Super Wildcard Header (SWC)");
    EXPECT_EQ(z["extension"], ".swc");
    EXPECT_EQ(z["internal_name"], "WILD CARD HI         ");
    EXPECT_EQ(z["rom_type"], "19 - ROM and Super FX chip");
    EXPECT_EQ(z["rom_size"], " 1.1 MegaBits"); // 131,584 bytes
    EXPECT_EQ(z["country"], "Hex E   = ?");
    EXPECT_EQ(z["country_suffix"], "");
    EXPECT_EQ(z["licensee"], " 0 - ?");
    EXPECT_EQ(z["checksum_key"], "38A");
    EXPECT_EQ(z["checksum"], "38 A");
    EXPECT_EQ(z["full_name"], "Wild Card");
    EXPECT_EQ(z["new_name"], "Wild Card.swc");
}

TEST(CliInfo, NineFormatsRejectedCorrectedAndUnknownInOrder)
{
    const struct {
        Kopierkopf kopf;
        Karte karte;
        const char* code;
        const char* endung;
    } formate[] = {
        {Kopierkopf::SWC, Karte::LoRom, "SWC LO", ".swc"}, {Kopierkopf::SWC, Karte::HiRom, "SWC HI", ".swc"},
        {Kopierkopf::GDR, Karte::LoRom, "GDR LO", ".smc"}, {Kopierkopf::GDR, Karte::HiRom, "GDR HI", ".smc"},
        {Kopierkopf::FIG, Karte::LoRom, "FIG LO", ".fig"}, {Kopierkopf::FIG, Karte::HiRom, "FIG HI", ".fig"},
        {Kopierkopf::COS, Karte::LoRom, "COS LO", ".smc"}, {Kopierkopf::Keiner, Karte::LoRom, "NO LO", ".smc"},
        {Kopierkopf::Keiner, Karte::HiRom, "NO HI", ".smc"},
    };
    std::string datenbank;
    for (const auto& f : formate)
        datenbank += fixtures::Datenbankzeile(std::string("GAME ") + f.code, std::string("Game ") + f.code);
    datenbank += fixtures::Datenbankzeile("X-MEN", "Not This One");
    Umgebung u(datenbank);

    std::vector<std::string> args = {"info", "--db", u.db};
    for (const auto& f : formate)
        args.push_back(u.Bild(std::string(f.code) + ".bin",
                              {.kopf = f.kopf, .karte = f.karte, .name = std::string("GAME ") + f.code, .land = 0}));

    // No candidate passes; two rejected names.
    std::string keine = fixtures::Baue_rom({});
    fixtures::Setze_bytes(keine, 0x7FDC, std::string(4, '\0'));
    fixtures::Schreibe_datei(u.ordner / "keine.bin", keine);
    std::string zwei = fixtures::Baue_rom({.name = "\xFF"});
    fixtures::Setze_bytes(zwei, 0xFFC0, "\xFF");
    fixtures::Schreibe_datei(u.ordner / "zwei.bin", zwei);
    args.push_back(u.ordner / "keine.bin");
    args.push_back(u.ordner / "zwei.bin");

    args.push_back(u.Bild("xmen738.bin", {.name = "X-MEN", .pruefsumme = 0x0873}));
    args.push_back(u.Bild("xmen.bin", {.name = "X-MEN", .pruefsumme = 0x0808}));
    args.push_back(u.Bild("unbekannt.bin", {.name = "NOT IN THE DATABASE"}));

    const Lauf lauf = Cli(args);
    ASSERT_EQ(lauf.status, 0) << lauf.err;
    ASSERT_EQ(lauf.zeilen.size(), 14u);
    for (std::size_t i = 0; i < 9; ++i) {
        const json& z = lauf.zeilen[i];
        SCOPED_TRACE(formate[i].code);
        EXPECT_EQ(Schluessel(z), Bildschluessel);
        EXPECT_EQ(z["file"], args[3 + i]);
        EXPECT_EQ(z["format_code"], formate[i].code);
        EXPECT_EQ(z["extension"], formate[i].endung);
        EXPECT_EQ(z["internal_name"], fixtures::Interner_name(std::string("GAME ") + formate[i].code));
        EXPECT_EQ(z["country_suffix"], " (JAP)");
        EXPECT_EQ(z["full_name"], std::string("Game ") + formate[i].code);
        EXPECT_EQ(z["new_name"], std::string("Game ") + formate[i].code + " (JAP)" + formate[i].endung);
    }
    for (const std::size_t i : {9u, 10u}) {
        EXPECT_EQ(lauf.zeilen[i], (json{{"file", args[3 + i]}, {"rom_ok", false}}));
    }
    EXPECT_EQ(lauf.zeilen[11]["checksum_key"], "738");
    EXPECT_EQ(lauf.zeilen[11]["full_name"], "X-Men Mutant Apocalypse");
    EXPECT_EQ(lauf.zeilen[11]["new_name"], "X-Men Mutant Apocalypse (USA).smc");
    // A checksum key without a correction: unknown, although the database has the name.
    EXPECT_EQ(lauf.zeilen[12]["full_name"], "");
    EXPECT_EQ(lauf.zeilen[12]["new_name"], "");
    // Unknown: the last record read is no result.
    EXPECT_EQ(lauf.zeilen[13]["rom_ok"], true);
    EXPECT_EQ(lauf.zeilen[13]["full_name"], "");
    EXPECT_EQ(lauf.zeilen[13]["new_name"], "");
}

TEST(CliInfo, InternalNameKeepsNulAndConvertsToUtf8)
{
    const std::string name("Caf\xE9\0\x80", 6);
    Umgebung u(fixtures::Datenbankzeile(name, "Caf\xE9 Stra\xDF" "e  Zwei"));
    const std::string datei = u.Bild("a.bin", {.name = name});
    for (const bool ohne : {false, true}) {
        std::vector<std::string> args = {"info", "--db", u.db, datei};
        if (ohne)
            args.insert(args.begin() + 1, "--no-spaces");
        const Lauf lauf = Cli(args);
        ASSERT_EQ(lauf.status, 0);
        ASSERT_EQ(lauf.zeilen.size(), 1u);
        EXPECT_NE(lauf.out.find("\\u0000"), std::string::npos);
        EXPECT_EQ(lauf.zeilen[0]["internal_name"], std::string("Caf\xC3\xA9\0\xE2\x82\xAC", 9) + std::string(15, ' '));
        EXPECT_EQ(lauf.zeilen[0]["full_name"], "Caf\xC3\xA9 Stra\xC3\x9F" "e  Zwei");
        EXPECT_EQ(lauf.zeilen[0]["new_name"], ohne ? "Caf\xC3\xA9_Stra\xC3\x9F" "e__Zwei_(USA).smc"
                                                   : "Caf\xC3\xA9 Stra\xC3\x9F" "e  Zwei (USA).smc");
    }
}

TEST(CliInfo, MissingFileGivesAnErrorLineAndGoesOn)
{
    Umgebung u(fixtures::Datenbankzeile("GAME", "Game"));
    const std::string gut = u.Bild("gut.bin", {.name = "GAME"});
    const Lauf lauf = Cli({"info", "--db", u.db, u.ordner / "fehlt.bin", gut, u.ordner.pfad().string()});
    EXPECT_EQ(lauf.status, 1);
    ASSERT_EQ(lauf.zeilen.size(), 3u);
    EXPECT_EQ(lauf.zeilen[0],
              (json{{"file", u.ordner / "fehlt.bin"}, {"error", {{"number", 53}, {"description", "File not found"}}}}));
    EXPECT_EQ(lauf.zeilen[1]["new_name"], "Game (USA).smc");
    EXPECT_EQ(lauf.zeilen[2]["error"]["number"], 75);
}

TEST(CliInfo, DatabaseProblems)
{
    Umgebung u;
    const std::string gut = u.Bild("gut.bin", {.name = "GAME"});
    const std::string aladdin = u.Bild("aladdin.bin", {.name = "ALADDIN"});

    const Lauf fehlt = Cli({"info", "--db", u.ordner / "fehlt.dat", gut});
    EXPECT_EQ(fehlt.status, 2);
    EXPECT_EQ(fehlt.out, "");
    EXPECT_EQ(fehlt.err, std::string("The file SNES.DAT is missing ! Download the complete version of the Cartonym from ")
                             + Programm::Homepage + " !\n\nProgram will close now.\n");

    // Any other failure is reported and the command goes on; corrections need
    // no database, searches fail.
    const Lauf ordner = Cli({"info", "--db", u.ordner.pfad().string(), gut, aladdin});
    EXPECT_EQ(ordner.status, 1);
    EXPECT_EQ(ordner.err, "Error Nr.  75 happened:\nPath/File access error\n");
    ASSERT_EQ(ordner.zeilen.size(), 2u);
    EXPECT_EQ(ordner.zeilen[0]["error"], (json{{"number", 75}, {"description", "Path/File access error"}}));
    EXPECT_EQ(ordner.zeilen[1]["new_name"], "Aladdin (USA).smc");

    // An empty database: lookups fail with input past end of file.
    const Lauf leer = Cli({"info", "--db", u.db, gut});
    EXPECT_EQ(leer.status, 1);
    EXPECT_EQ(leer.err, "");
    ASSERT_EQ(leer.zeilen.size(), 1u);
    EXPECT_EQ(leer.zeilen[0]["error"], (json{{"number", 62}, {"description", "Input past end of file"}}));
}

TEST(CliInfo, UsageErrorsAndVersion)
{
    Umgebung u;
    const std::vector<std::vector<std::string>> falsch = {
        {}, {"info"}, {"info", "--db"}, {"frobnicate", "x"}, {"info", "--bogus", "x"}, {"--no-spaces"}};
    for (const auto& args : falsch) {
        const Lauf lauf = Cli(args);
        EXPECT_EQ(lauf.status, 2) << ::testing::PrintToString(args);
    }
    const Lauf version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find(Programm::Versionstext), std::string::npos);
    EXPECT_EQ(Cli({"--help"}).status, 0);
    EXPECT_EQ(Cli({"info", "--help"}).status, 0);
}

// --- The real executable ----------------------------------------------------------

TEST(CliProgramm, InfoWithTheDatabaseBesideTheProgram)
{
    // The first record of the database that lies beside the executable.
    const std::string programm = CARTONYM_CLI_PFAD;
    const std::string datenbank = fixtures::Lies_datei(programm.substr(0, programm.rfind('/')) + "/snes.dat");
    if (datenbank.empty())
        GTEST_SKIP() << "no database beside the program";
    Eintragsleser leser(datenbank);
    const std::string schluessel = leser.naechstes_element();
    const std::string voller_name = leser.naechstes_element();
    ASSERT_EQ(schluessel.size(), 21u);

    Umgebung u;
    const std::string datei = u.Bild("a.bin", {.kopf = Kopierkopf::FIG, .name = schluessel, .land = 2});
    const Lauf lauf = Programm_lauf(u.ordner, {"info", "--no-spaces", datei, u.ordner / "fehlt.bin"});
    EXPECT_EQ(lauf.status, 1);
    const std::vector<json> zeilen = Json_zeilen(lauf.out);
    ASSERT_EQ(zeilen.size(), 2u);
    std::string erwartet = voller_name + " (Euro).fig";
    Baue_dateiname(erwartet);
    EXPECT_EQ(zeilen[0]["new_name"], Utf8_aus_cp1252(erwartet));
    EXPECT_EQ(zeilen[1]["error"]["number"], 53);
}

TEST(CliProgramm, ExitStatusAndStreams)
{
    Umgebung u;
    const Lauf fehlt = Programm_lauf(u.ordner, {"info", "--db", u.ordner / "fehlt.dat", "x.bin"});
    EXPECT_EQ(fehlt.status, 2);
    EXPECT_EQ(fehlt.out, "");
    EXPECT_NE(fehlt.err.find("The file SNES.DAT is missing !"), std::string::npos);

    const Lauf version = Programm_lauf(u.ordner, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find(Programm::Versionstext), std::string::npos);

    EXPECT_EQ(Programm_lauf(u.ordner, {"info"}).status, 2);

    const std::string name("NUL\0", 4);
    fixtures::Schreibe_datei(u.db, fixtures::Datenbankzeile(name, "Nul"));
    const std::string datei = u.Bild("n.bin", {.name = name});
    const Lauf nul = Programm_lauf(u.ordner, {"info", "--db", u.db, datei});
    EXPECT_EQ(nul.status, 0);
    EXPECT_EQ(nul.err, "");
    EXPECT_NE(nul.out.find("\"NUL\\u0000                 \""), std::string::npos) << nul.out;
    EXPECT_EQ(nul.out.back(), '\n');
}
