// The batch run, in process and through the real cartonym-cli: whole folder
// trees before and after, counts, messages, games.htm and unknown.log.
#include "common/system_calls.h"
#include "common/error.h"
#include "common/program_info.h"
#include "fixtures/rom_builder.h"
#include "operations/batch_run.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <tuple>
#include <vector>

namespace cartonym {
namespace {

using namespace std::string_literals;
using fixtures::Baue_rom;
using fixtures::Datenbankzeile;
using fixtures::Karte;
using fixtures::Kopierkopf;
using fixtures::Lies_datei;
using fixtures::Rombauplan;
using test::Baum;
using test::Hakenwaechter;
using json = nlohmann::json;
namespace fs = std::filesystem;

// The made-up games of these tests and their images.
const Rombauplan Alpha{.name = "ALPHA QUEST"};
const Rombauplan Alpha_lang{.name = "ALPHA QUEST", .datenlaenge = 0x40000}; // the same game, other bytes
const Rombauplan Beta{.kopf = Kopierkopf::SWC, .karte = Karte::HiRom, .name = "BETA & GAMMA", .land = 0};
const Rombauplan Gamma{.name = "GAMMA RAY"};
const Rombauplan Raetsel{.karte = Karte::HiRom, .name = "NOBODY KNOWS ME", .pruefsumme = 0xBEEF};
const Rombauplan Raetsel2{.name = "NOCH EINER"};
const std::string Datenbank = Datenbankzeile("ALPHA QUEST", "Alpha Quest") + Datenbankzeile("BETA & GAMMA", "Beta & Gamma")
    + Datenbankzeile("GAMMA RAY", "Gamma") + Datenbankzeile("SLASH GAME", "AC/DC Live")
    + Datenbankzeile("BACKSLASH GAME", "AC\\DC Live");
const std::string R = "Renamed_SNES_ROMs/", A = R + "Alpha Quest (USA).smc";

Listenzeile Zeile(const std::string& voll, const std::string& neu, const std::string& land = "1 = USA (NTSC)",
                  const std::string& format = "SNES LoRom, no Header")
{
    return {voll, neu, land, format};
}
const Listenzeile Zeile_alpha = Zeile("Alpha Quest", "Alpha Quest (USA).smc");

std::string Logeintrag(const std::string& datei, const std::string& format, const std::string& name, const std::string& crc)
{
    return Unbekannt_eintrag(datei, format, fixtures::Interner_name(name), "1 = USA (NTSC)", crc);
}
const std::string Log_raetsel = Logeintrag("mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME", "EF BE");

std::string Seite(const std::vector<Listenzeile>& zeilen)
{
    std::string seite = Listenkopf_text();
    for (const Listenzeile& zeile : zeilen)
        seite += Listenzeile_text(zeile);
    return seite + Listenende_text();
}

const std::string Langer_schlusstext =
    std::string("Batchrun finished !\n\nThere have been some unkown ROMs. A logfile named UNKNOWN.LOG was created. "
                "Please send this file to ")
    + Programm::Kontaktadresse + " so these ROMs can be added in the next version.\n\nThank you !";

std::tuple<std::string, std::string, Meldungssymbol> Teile(const Meldung& m) { return {m.titel, m.text, m.symbol}; }

struct Umgebung : test::Laufordner {
    // What the last run told its observer.
    std::vector<std::string> status, unbekannt;
    std::vector<float> fortschritt;
    std::vector<std::tuple<std::string, std::string, Meldungssymbol>> meldungen;
    int geleert = 0;

    Umgebung() : Laufordner(Datenbank) {}
    Baum baum() const { return test::Baumzustand(F); }
    Baum tempbaum() const { return test::Baumzustand(tempordner); }

    Batchergebnis lauf(bool spielliste = true, const std::string& ordner = "")
    {
        status.clear(), unbekannt.clear(), fortschritt.clear(), meldungen.clear(), geleert = 0;
        Batchbeobachter beobachter;
        beobachter.status = [this](const std::string& text) { status.push_back(text); };
        beobachter.fortschritt = [this](float wert) { fortschritt.push_back(wert); };
        beobachter.unbekannt = [this](const std::string& name) { unbekannt.push_back(name); };
        beobachter.unbekannte_geleert = [this] { ++geleert; };
        beobachter.meldung = [this](const Meldung& meldung) { meldungen.push_back(Teile(meldung)); };
        return Batchrun({ordner.empty() ? F : ordner, db, false, spielliste}, beobachter);
    }
    test::Aufruf cli(std::vector<std::string> optionen) const
    {
        optionen.insert(optionen.begin(), {"batch", "--db", db});
        optionen.push_back(F);
        return test::Rufe_programm(CARTONYM_CLI_PATH, optionen, t);
    }
};

// insgesamt, umbenannt, schon_richtig, unbekannt, duplikate
using Z = std::vector<std::int32_t>;
Z Zaehler(const Batchergebnis& e) { return {e.zaehler.insgesamt, e.zaehler.umbenannt, e.zaehler.schon_richtig, e.zaehler.unbekannt, e.zaehler.duplikate}; }

// The mixed folder: two copies of one game, one image already bearing its
// name, one differing from it only in letter case, an unknown image and a
// file that is no image.
void Fuelle_gemischt(const Umgebung& u)
{
    for (const auto& [name, plan] : {std::pair{"alpha copy.smc", Alpha}, {"alpha.smc", Alpha_lang},
                                     {"Beta & Gamma (JAP).swc", Beta}, {"gamma (usa).smc", Gamma}, {"mystery.smc", Raetsel}})
        u.bild(name, plan);
    u.datei("readme.txt", "no image\r\n");
}

// The mixed folder after a run with the game list, in either name style.
Baum Gemischt_danach(bool ohne_leerzeichen = false)
{
    const auto name = [&](std::string text) { return ohne_leerzeichen ? (std::ranges::replace(text, ' ', '_'), text) : text; };
    const Listenzeile alpha = Zeile("Alpha Quest", name("Alpha Quest (USA).smc")), gamma = Zeile("Gamma", name("Gamma (USA).smc")),
                      beta = Zeile("Beta & Gamma", name("Beta & Gamma (JAP).swc"), "0 = Japan (NTSC)", "SNES HiRom, Super Wildcard Header (SWC)");
    return {{R + alpha.Neuer_name, Baue_rom(Alpha)}, {R + beta.Neuer_name, Baue_rom(Beta)}, {R + gamma.Neuer_name, Baue_rom(Gamma)},
            {R + "games.htm", Seite({alpha, alpha, beta, gamma})}, {"Duplicates/alpha.smc", Baue_rom(Alpha_lang)},
            {"Unknown_ROMs/mystery.smc", Baue_rom(Raetsel)}, {"Unknown_ROMs/unknown.log", Log_raetsel}, {"readme.txt", "no image\r\n"}};
}

// --- In process ------------------------------------------------------------------

TEST(Batchrun, MixedFolderIsSortedCountedListedAndLogged)
{
    Umgebung u;
    Fuelle_gemischt(u);
    const Batchergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    EXPECT_EQ(Zaehler(ergebnis), (Z{6, 2, 1, 1, 1}));
    EXPECT_EQ(ergebnis.unbekannte, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.baum(), Gemischt_danach());
    EXPECT_TRUE(u.tempbaum().empty()) << "the page was moved, not copied";
    EXPECT_EQ(u.geleert, 1);
    EXPECT_EQ(u.unbekannt, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.status, std::vector<std::string>{"Batchmode finished successfull !"});
    EXPECT_EQ(u.meldungen, (std::vector{std::tuple{"Cartonym Message:"s, Langer_schlusstext, Meldungssymbol::Ausrufezeichen}}));
    EXPECT_EQ(ergebnis.meldung.text, Langer_schlusstext);
}

TEST(Batchrun, ProgressAdvancesBeforeEachFileAndEndsAtHundred)
{
    for (const int anzahl : {1, 3, 7}) {
        SCOPED_TRACE(anzahl);
        Umgebung u;
        for (int i = 0; i < anzahl; ++i)
            u.datei("datei" + std::to_string(i), "x");
        u.lauf(false);
        // 0, one step per file, 100; the rounded sum may hold back the last step.
        const std::vector<float>& werte = u.fortschritt;
        const std::size_t schritte = werte.size() - 2;
        EXPECT_TRUE(schritte == static_cast<std::size_t>(anzahl) || schritte + 1 == static_cast<std::size_t>(anzahl));
        EXPECT_EQ(werte.front(), 0.0f);
        EXPECT_EQ(werte.back(), 100.0f);
        for (std::size_t i = 1; i <= schritte; ++i)
            EXPECT_NEAR(werte[i], static_cast<float>(i) * 100.0f / static_cast<float>(anzahl), 1e-3);
    }
}

TEST(Batchrun, SecondRunReusesFoldersKeepsFilesReplacesListAppendsLog)
{
    Umgebung u;
    Fuelle_gemischt(u);
    u.lauf();
    u.bild("alpha again.smc", Alpha);
    u.bild("other unknown.smc", Raetsel2);
    EXPECT_EQ(Zaehler(u.lauf(true, u.F + "/")), (Z{3, 0, 0, 1, 1}));
    Baum erwartet = Gemischt_danach();
    erwartet["Duplicates/alpha again.smc"] = Baue_rom(Alpha);
    erwartet["Unknown_ROMs/other unknown.smc"] = Baue_rom(Raetsel2);
    erwartet["Unknown_ROMs/unknown.log"] = Log_raetsel + Logeintrag("other unknown.smc", "SNES LoRom, no Header", "NOCH EINER", "34 12");
    erwartet[R + "games.htm"] = Seite({Zeile_alpha});
    EXPECT_EQ(u.baum(), erwartet);
}

TEST(Batchrun, OnlyNonImagesLeaveTheFolderAsItWasAndRemoveAnEarlierList)
{
    Umgebung u;
    u.datei("a.txt", "eins");
    u.datei("unter/c.smc", Baue_rom(Alpha)); // files of sub-folders are not taken
    const Baum vorher = u.baum();
    const Batchergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    EXPECT_EQ(Zaehler(ergebnis), (Z{1, 0, 0, 0, 0}));
    EXPECT_EQ(u.baum(), vorher);
    EXPECT_EQ(std::distance(fs::directory_iterator(u.F), fs::directory_iterator()), 2) << "no folder left behind";
    EXPECT_EQ(u.tempbaum(), (Baum{{"games.htm", Seite({})}})) << "not placed, the folder had gone";
    EXPECT_EQ(u.meldungen, (std::vector{std::tuple{"Cartonym Message:"s, "Batchrun finished !"s, Meldungssymbol::Information}}));
    // A folder that holds files stays; an earlier list in it goes.
    u.datei(A, Baue_rom(Alpha));
    u.datei(R + "games.htm", "earlier list");
    u.lauf();
    EXPECT_EQ(u.baum(), (Baum{{A, Baue_rom(Alpha)}, {"a.txt", "eins"}, {"unter/c.smc", Baue_rom(Alpha)}}));
}

TEST(Batchrun, EmptyFolderOrOnlySubFoldersCreateNothing)
{
    for (const bool mit_unterordnern : {false, true}) {
        SCOPED_TRACE(mit_unterordnern);
        Umgebung u;
        if (mit_unterordnern) {
            u.datei("unter/bild.smc", Baue_rom(Alpha));
            u.datei(".versteckt.smc", Baue_rom(Alpha));
        }
        const Baum vorher = u.baum();
        const Batchergebnis ergebnis = u.lauf();
        EXPECT_EQ(ergebnis.ausgang, Batchausgang::Keine_dateien);
        EXPECT_EQ(Zaehler(ergebnis), (Z{0, 0, 0, 0, 0}));
        EXPECT_EQ(u.baum(), vorher);
        EXPECT_EQ(std::distance(fs::directory_iterator(u.F), fs::directory_iterator()), mit_unterordnern ? 2 : 0);
        EXPECT_EQ(u.status, std::vector<std::string>{"There are no files in this directory !"});
        EXPECT_EQ(u.meldungen, (std::vector{std::tuple{"Attention !"s, "There are no files in this directory !"s, Meldungssymbol::Information}}));
        EXPECT_EQ(u.tempbaum(), (Baum{{"games.htm", Listenkopf_text()}})) << "begun, closed, not placed";
    }
}

TEST(Batchrun, FailureStopsTheRunAndTheNextRunWorks)
{
    Umgebung u;
    u.bild("alpha copy.smc", Alpha);
    u.bild("alpha.smc", Alpha_lang);
    u.bild("mystery.smc", Raetsel);
    Batchergebnis ergebnis;
    {
        int verschiebungen = 0;
        const Hakenwaechter haken([&](Systemoperation operation, const std::string&) {
            return operation == Systemoperation::Verschieben && ++verschiebungen == 2 ? EIO : 0;
        });
        ergebnis = u.lauf();
    }
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(Zaehler(ergebnis), (Z{2, 1, 0, 0, 0}));
    EXPECT_EQ(ergebnis.Dateipfad, u.F + "/alpha.smc");
    EXPECT_EQ(u.meldungen, (std::vector{std::tuple{"Error !"s, test::Fehlertext(57, u.F + "/alpha.smc"), Meldungssymbol::Ausrufezeichen}}));
    EXPECT_EQ(ergebnis.meldung.text, test::Fehlertext(57, u.F + "/alpha.smc"));
    EXPECT_TRUE(u.status.empty());
    EXPECT_NE(u.fortschritt.back(), 100.0f);
    // Nothing after the failure: the folders stay, even the unused ones; the list is closed but not placed.
    EXPECT_EQ(u.baum(), (Baum{{A, Baue_rom(Alpha)}, {"alpha.smc", Baue_rom(Alpha_lang)}, {"mystery.smc", Baue_rom(Raetsel)}}));
    EXPECT_TRUE(fs::is_directory(u.F + "/Duplicates") && fs::is_directory(u.F + "/Unknown_ROMs"));
    EXPECT_EQ(u.tempbaum(), (Baum{{"games.htm", Listenkopf_text() + Listenzeile_text(Zeile_alpha)}}));

    EXPECT_EQ(Zaehler(u.lauf()), (Z{2, 0, 0, 1, 1}));
    EXPECT_EQ(u.baum(), (Baum{{A, Baue_rom(Alpha)}, {R + "games.htm", Seite({Zeile_alpha})}, {"Duplicates/alpha.smc", Baue_rom(Alpha_lang)},
                              {"Unknown_ROMs/mystery.smc", Baue_rom(Raetsel)}, {"Unknown_ROMs/unknown.log", Log_raetsel}}));
    EXPECT_TRUE(u.tempbaum().empty());
}

TEST(Batchrun, DatabaseRemovedBeforeTheRunStopsAtTheFirstImageAnAccessErrorPassesTheFileOver)
{
    Umgebung u;
    u.datei("a.txt", "kein Bild");
    u.bild("alpha.smc", Alpha);
    u.bild("beta.swc", Beta);
    {
        const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
            return operation == Systemoperation::Oeffnen && pfad == u.in_F("beta.swc") ? EXDEV : 0;
        });
        EXPECT_EQ(Zaehler(u.lauf(false)), (Z{3, 1, 0, 0, 0}));
    }
    u.bild("alpha.smc", Alpha);
    fs::remove(u.db);
    const Baum vorher = u.baum();
    EXPECT_EQ(u.lauf().meldung.text, test::Fehlertext(53, u.F + "/alpha.smc"));
    EXPECT_EQ(u.baum(), vorher);
}

TEST(Batchrun, NothingIsEverOverwritten)
{
    Umgebung u;
    for (const auto& [name, plan] : {std::pair{"alpha copy.smc", Alpha}, {"alpha.smc", Alpha_lang}, {"beta.swc", Beta},
                                     {"mystery.smc", Raetsel}, {"Gamma (USA).smc", Gamma}})
        u.bild(name, plan);
    // Every target each of them could take is taken already.
    for (const std::string& ziel : {A, R + "Beta & Gamma (JAP).swc", R + "Gamma (USA).smc", "Duplicates/alpha copy.smc"s,
                                   "Duplicates/alpha.smc"s, "Duplicates/Gamma (USA).smc"s, "Duplicates/mystery.smc"s,
                                   "Unknown_ROMs/mystery.smc"s})
        u.datei(ziel, "earlier " + ziel);
    u.datei("Unknown_ROMs/unknown.log", "earlier log\r\n");
    Baum erwartet = u.baum();
    const Batchergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    // The unknown image counts once, as a duplicate, but is listed and logged.
    EXPECT_EQ(Zaehler(ergebnis), (Z{5, 0, 0, 0, 5}));
    EXPECT_EQ(ergebnis.unbekannte, std::vector<std::string>{"mystery.smc"});
    erwartet.erase("beta.swc");
    erwartet["Duplicates/beta.swc"] = Baue_rom(Beta);
    erwartet["Unknown_ROMs/unknown.log"] = "earlier log\r\n" + Log_raetsel;
    EXPECT_EQ(u.baum(), erwartet);
}

TEST(Batchrun, UnwritableNamesAreEscapedInTheLog)
{
    Umgebung u;
    const std::string name = "\xE6\x97\xA5 \\ caf\xC3\xA9.smc";
    u.bild(name, Raetsel);
    u.lauf(false);
    EXPECT_EQ(Lies_datei(u.F + "/Unknown_ROMs/unknown.log"),
              Logeintrag("\\u{65E5} \\\\ caf\xE9.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME", "EF BE"));
    EXPECT_EQ(u.unbekannt, std::vector<std::string>{name}) << "the list keeps the file-system name";
}

// --- The real cartonym-cli ------------------------------------------------------------

// z: total, roms, renamed, already_correct, duplicates
json Json_ergebnis(const char* ausgang, const Z& z, const json& unbekannt, const std::string& meldung)
{
    return {{"outcome", ausgang}, {"total", z[0]},          {"roms", z[1]},       {"renamed", z[2]},
            {"already_correct", z[3]}, {"duplicates", z[4]}, {"unknown", unbekannt}, {"message", meldung}};
}

TEST(Cli_batch, PrintsTheMessageThenThePanelAndTheUnknownNamesEscaped)
{
    Umgebung u;
    Fuelle_gemischt(u);
    const test::Aufruf aufruf = u.cli({"--gamelist"});
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(aufruf.out, Langer_schlusstext
                              + "\nTotal files in directory:  6\nSNES ROMs:  5\n"
                                "ROMs that had alredy the correct filename:  1\nSuccessfully renamed:  2\n"
                                "Duplicates (see subdir Duplicates):  1\nmystery.smc\n");
    EXPECT_EQ(aufruf.err, "") << "no progress indicator when stderr is no terminal";
    EXPECT_EQ(u.baum(), Gemischt_danach());
    u.bild("two\nlines.smc", Raetsel);
    u.bild("back\\slash.smc", Raetsel2);
    EXPECT_TRUE(u.cli({}).out.ends_with("\nback\\\\slash.smc\ntwo\\u{000A}lines.smc\n"));
}

TEST(Cli_batch, JsonOutcomeInTheNoSpacesStyle)
{
    Umgebung u;
    Fuelle_gemischt(u);
    const test::Aufruf aufruf = u.cli({"--json", "--no-spaces", "--gamelist"});
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(json::parse(aufruf.out), Json_ergebnis("completed", {6, 5, 3, 0, 1}, {"mystery.smc"}, Langer_schlusstext));
    // "gamma (usa).smc" no longer bears its name; the list shows the new names.
    EXPECT_EQ(u.baum(), Gemischt_danach(true));
}

TEST(Cli_batch, FolderWithoutFiles)
{
    Umgebung u;
    fs::create_directory(u.F + "/unter");
    test::Aufruf aufruf = u.cli({});
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(aufruf.out, "There are no files in this directory !\n");
    aufruf = u.cli({"--json"});
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(json::parse(aufruf.out),
              Json_ergebnis("no_files", {0, 0, 0, 0, 0}, json::array(), "There are no files in this directory !"));
}

TEST(Cli_batch, NameThatWouldLeaveTheFolderStopsTheRunWithOne)
{
    for (const std::string& name : {"SLASH GAME"s, "BACKSLASH GAME"s}) {
        SCOPED_TRACE(name);
        Umgebung u;
        u.bild("alpha.smc", Alpha);
        u.bild("slash.smc", {.name = name});
        const std::string fehlertext = test::Fehlertext(52, u.F + "/slash.smc");
        const test::Aufruf aufruf = u.cli({"--json", "--gamelist"});
        EXPECT_EQ(aufruf.status, 1);
        EXPECT_EQ(aufruf.err, fehlertext + "\n");
        EXPECT_EQ(json::parse(aufruf.out), Json_ergebnis("failed", {2, 1, 1, 0, 0}, json::array(), fehlertext));
        EXPECT_EQ(u.baum(), (Baum{{A, Baue_rom(Alpha)}, {"slash.smc", Baue_rom({.name = name})}}));
    }
}

TEST(Cli_batch, MissingDatabaseExitsWithTwoAndTouchesNothing)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    fs::remove(u.db);
    const test::Aufruf aufruf = u.cli({"--gamelist"});
    EXPECT_EQ(aufruf.status, 2);
    EXPECT_EQ(aufruf.out, "");
    EXPECT_TRUE(aufruf.err.starts_with("The file SNES.DAT is missing !"));
    EXPECT_EQ(u.baum(), (Baum{{"alpha.smc", Baue_rom(Alpha)}}));
    EXPECT_TRUE(u.tempbaum().empty());
}

} // namespace
} // namespace cartonym
