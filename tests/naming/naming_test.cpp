// The name database, the lookup with its corrections, and new file names.
#include <gtest/gtest.h>

#include "common/program_info.h"
#include "fixtures/rom_builder.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "tests/testsupport.h"

#include <optional>
#include <tuple>
#include <vector>

using namespace cartonym;
using namespace std::string_literals;
using fixtures::Datenbankzeile;

using test::Analyse_fuer;
using fixtures::Interner_name;

// --- Item syntax -------------------------------------------------------------

TEST(Eintragsleser, ItemSyntax)
{
    const struct {
        const char* fall;
        std::string text;
        std::vector<std::string> elemente; // then the reader is at the end
    } faelle[] = {
        {"quoted items", "\"A B\",\"C, D\"\r\n", {"A B", "C, D"}},
        {"quoted blanks belong to the item", "\" A \",\"B  \"\r\n", {" A ", "B  "}},
        {"unquoted items", "abc,def\r\n", {"abc", "def"}},
        {"blanks before items skipped", "   \"A\",  \"B\"\r\n  ghi, jkl", {"A", "B", "ghi", "jkl"}},
        {"trailing blanks of unquoted items dropped", "abc   ,  de f  \r\n", {"abc", "de f"}},
        {"text after the closing quote ignored", "\"A\"junk ,\"B\"xyz\r\n", {"A", "B"}},
        {"CR-only line ends", "\"A\",\"B\"\r\"C\",\"D\"\r", {"A", "B", "C", "D"}},
        {"LF-only line ends", "\"A\",\"B\"\n\"C\",\"D\"", {"A", "B", "C", "D"}},
        {"blank lines between records", "\"A\",\"B\"\r\n\r\n\n  \r\n\"C\",\"D\"\r\n\r\n", {"A", "B", "C", "D"}},
        {"NUL bytes inside a key", "\"X\0Y\",\"Z\"\r\n"s, {"X\0Y"s, "Z"}},
        {"empty text", "", {}},
        {"only line ends", "\r\n \r\n", {}},
    };
    for (const auto& fall : faelle) {
        SCOPED_TRACE(fall.fall);
        Eintragsleser leser(fall.text);
        for (const auto& element : fall.elemente)
            EXPECT_EQ(leser.naechstes_element(), element);
        EXPECT_TRUE(leser.am_ende());
        EXPECT_EQ(test::Fehlernummer_von([&] { leser.naechstes_element(); }), 62);
    }
}

// --- Database search ------------------------------------------------------------

TEST(Datenbank, Search)
{
    const std::string a = Datenbankzeile("ALPHA", "Alpha"), game = Interner_name("GAME");
    const std::string nul("NUL\0GAME", 8);
    const struct {
        const char* fall;
        std::string datenbank, name;
        std::string voller_name; // also after a failed search; the new name is "" when Known is false
        bool bekannt;
        std::string db_interner_name; // the last record read
        int fehler = 0;
    } faelle[] = {
        {"first matching record wins", a + Datenbankzeile("GAME", "First") + Datenbankzeile("GAME", "Second"), "GAME", "First", true, game},
        {"the last record matches", a + Datenbankzeile("GAME", "Last"), "GAME", "Last", true, game},
        {"the last record matches without a line end", a + "\"" + game + "\",\"Last\"", "GAME", "Last", true, game},
        {"case differs", a + Datenbankzeile("game", "Lower") + Datenbankzeile("OMEGA", "Omega"), "GAME", "Omega", false, Interner_name("OMEGA")},
        {"trailing blanks missing", a + "\"GAME\",\"Short\"\r\n", "GAME", "Short", false, "GAME"},
        {"key longer than the name", a + "\"" + game + "X\",\"Longer\"\r\n", "GAME", "Longer", false, game + "X"},
        {"unquoted key loses its trailing blanks", game + ",Unquoted\r\n", "GAME", "Unquoted", false, "GAME"},
        {"CR-only, LF-only and blank lines", "\"ALPHA\",\"Alpha\"\r\r\n\n\"" + game + "\",\"Game\"\n", "GAME", "Game", true, game},
        {"NUL inside the key", Datenbankzeile(nul, "Nul Game"), nul, "Nul Game", true, Interner_name(nul)},
        {"a match before a cut record", Datenbankzeile("GAME", "Game") + "\"CUT\"\r\n", "GAME", "Game", true, game},
        {"the search reaches a cut record", a + "\"CUT\"\r\n", "GAME", "", false, "", 62},
        {"empty database", "", "GAME", "", false, "", 62},
        {"only line ends", "\r\n\r\n", "GAME", "", false, "", 62},
    };
    // The search over text in memory and the one over the file must agree.
    test::Tempordner ordner;
    int nummer = 0;
    for (const auto& fall : faelle) {
        const std::string datei = ordner / ("snes" + std::to_string(++nummer) + ".dat");
        fixtures::Schreibe_datei(datei, fall.datenbank);
        for (const bool aus_datei : {false, true}) {
            SCOPED_TRACE(std::string(fall.fall) + (aus_datei ? " (file)" : " (text)"));
            std::optional<Namensergebnis> ergebnis;
            EXPECT_EQ(test::Fehlernummer_von([&] {
                          ergebnis = aus_datei ? Finde_romname(Analyse_fuer(fall.name), datei)
                                               : Finde_romname_in(Analyse_fuer(fall.name), fall.datenbank);
                      }),
                      fall.fehler);
            if (fall.fehler != 0)
                continue;
            ASSERT_TRUE(ergebnis);
            EXPECT_EQ(std::tie(ergebnis->Neuer_name, ergebnis->Voller_name, ergebnis->Db_interner_name),
                      std::tuple(fall.bekannt ? fall.voller_name + " (JAP).fig" : "", fall.voller_name, fall.db_interner_name));
        }
    }
}

// --- Corrections -----------------------------------------------------------------

TEST(Datenbank, Corrections)
{
    test::Tempordner ordner;
    // Every name below that reaches the database finds a record of its own.
    std::string datenbank;
    for (const char* name : {"ALADIN", "SUPPLIED BY ADJ/FLT!!", "bs_dr mario", "BS_DR MARIO", "super v.g.cona-s.d.l", "X-MEN",
                             "X-MEN 2", "wcw superbrawl", "FIRST SAMURA"})
        datenbank += Datenbankzeile(name, "DB "s + name);
    fixtures::Schreibe_datei(ordner / "snes.dat", datenbank);

    const struct {
        std::string name, schluessel, voller_name; // "" for unknown
    } faelle[] = {
        {"ALADDIN", "3412", "Aladdin"}, {"aladdinXYZ", "3412", "Aladdin"}, {"ALADIN", "3412", "DB ALADIN"},
        {"SUPPLIED BY ADJ/FLT!!", "3581", "Back to the Future 2 (Hacked)"}, {"SUPPLIED BY ADJ/FLT!!", "3582", "DB SUPPLIED BY ADJ/FLT!!"},
        {"BS_Dr Mario", "3412", "Dr. Mario"}, {"bs_dr mario", "3412", "DB bs_dr mario"}, {"BS_DR MARIO", "3412", "DB BS_DR MARIO"},
        {"FIRST SAMURAI", "3412", "First Samurai"}, {"FIRST SAMURA", "3412", "DB FIRST SAMURA"},
        {"Super V.G.CONA-S.D.L", "3412", "Super V.G."}, {"super v.g.cona-s.d.l", "3412", "DB super v.g.cona-s.d.l"},
        {"wcw.SuperBrawl II", "3412", "WCW Super Brawl"}, {"wcw superbrawl", "3412", "DB wcw superbrawl"},
        {"X-MEN", "F0C5", "X-Men Arcades Revenge"}, {"X-MEN", "738", "X-Men Mutant Apocalypse"}, {"X-MEN", "3412", ""},
        {"X-MEN", "f0c5", ""}, {"X-MEN", "7380", ""}, {"X-MEN 2", "738", "DB X-MEN 2"},
    };
    for (const auto& fall : faelle) {
        SCOPED_TRACE(fall.name + " / " + fall.schluessel);
        const Namensergebnis ergebnis = Finde_romname(Analyse_fuer(fall.name, fall.schluessel), ordner / "snes.dat");
        EXPECT_EQ(ergebnis.Voller_name, fall.voller_name);
        EXPECT_EQ(ergebnis.Neuer_name, fall.voller_name.empty() ? "" : fall.voller_name + " (JAP).fig");
    }
}

TEST(Datenbank, CorrectionsNeedNoDatabaseAndTakeTheImagesSuffixAndExtension)
{
    const std::string fehlt = "/nonexistent/snes.dat";
    EXPECT_EQ(Finde_romname(Analyse_fuer("Super V.G.CONA-S.D.L", "1", "", ".fig"), fehlt).Neuer_name, "Super V.G..fig");
    EXPECT_EQ(Finde_romname(Analyse_fuer("aladdin", "1", " (Euro - Germany)", ".smc"), fehlt).Neuer_name,
              "Aladdin (Euro - Germany).smc");
    EXPECT_EQ(test::Fehlernummer_von([&] { Finde_romname(Analyse_fuer("GAME"), fehlt); }), 53);
}

TEST(Datenbank, StartupCheck)
{
    test::Tempordner ordner;
    const Startpruefung fehlt = Pruefe_datenbank(ordner / "snes.dat");
    EXPECT_EQ(fehlt.zustand, Startzustand::Datenbank_fehlt);
    EXPECT_EQ(fehlt.meldung, std::string("The file SNES.DAT is missing ! Download the complete version of the "
                                         "Cartonym from ") + Programm::Homepage + " !\n\nProgram will close now.");
    const Startpruefung ordner_statt_datei = Pruefe_datenbank(ordner.pfad().string());
    EXPECT_EQ(ordner_statt_datei.zustand, Startzustand::Datenbank_fehlerhaft);
    EXPECT_EQ(ordner_statt_datei.meldung, "Error Nr.  75 happened:\nPath/File access error");
    // An empty database passes the check, but every search of it fails.
    fixtures::Schreibe_datei(ordner / "snes.dat", "");
    EXPECT_EQ(Pruefe_datenbank(ordner / "snes.dat").zustand, Startzustand::Bereit);
    EXPECT_EQ(test::Fehlernummer_von([&] { Finde_romname(Analyse_fuer("GAME"), ordner / "snes.dat"); }), 62);
}

// --- File names --------------------------------------------------------------------

TEST(Dateiname, UnderscoreStyle)
{
    const std::pair<std::string, std::string> faelle[] = {
        {"Super V.G. (JAP).fig", "Super_V.G._(JAP).fig"}, {"A  B   C.smc", "A__B___C.smc"}, {" Lead and trail ", "_Lead_and_trail_"},
        {"NoSpaces.smc", "NoSpaces.smc"}, {"Caf\xE9 \x80.swc", "Caf\xE9_\x80.swc"}, {"", ""}};
    for (const auto& [normal, ohne] : faelle) {
        std::string Neuer_name = normal;
        EXPECT_EQ(Baue_dateiname(Neuer_name), ohne);
        EXPECT_EQ(Neuer_name, ohne) << "the text itself is changed";
        EXPECT_EQ(Baue_dateiname(Neuer_name), ohne) << "twice changes nothing";
    }
}

TEST(Dateiname, NormalFormAndPaths)
{
    EXPECT_EQ(Normaler_name("First Samurai", " (Euro)", ".smc"), "First Samurai (Euro).smc");
    EXPECT_EQ(Normaler_name("Super V.G.", "", ".fig"), "Super V.G..fig");
    const std::pair<const char*, const char*> faelle[] = {
        {"/", "/a.smc"}, {"/roms", "/roms/a.smc"}, {"/roms/", "/roms/a.smc"}, {"", "/a.smc"}};
    for (const auto& [ordner, pfad] : faelle)
        EXPECT_EQ(Verbinde_pfad(ordner, "a.smc"), pfad) << ordner;
    EXPECT_EQ(Dateisystemname("Caf\xE9 \x80.smc"), "Caf\xC3\xA9 \xE2\x82\xAC.smc");
}
