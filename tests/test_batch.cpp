// The batch run, in process and through the real cartonym-cli: whole folder
// trees before and after, counts, messages, games.htm and unknown.log.
#include "common/dateisystem.h"
#include "common/fehler.h"
#include "common/programm.h"
#include "fixtures/rombau.h"
#include "operations/batchlauf.h"
#include "reports/spielliste.h"
#include "reports/unbekanntlog.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sys/wait.h>
#include <utility>
#include <vector>

extern char** environ;

namespace cartonym {
namespace {

using fixtures::Baue_rom;
using fixtures::Datenbankzeile;
using fixtures::Interner_name;
using fixtures::Karte;
using fixtures::Kopierkopf;
using fixtures::Lies_datei;
using fixtures::Rombauplan;
using fixtures::Schreibe_datei;
using test::Baumzustand;
using test::Tempordner;
namespace fs = std::filesystem;
using Baum = std::map<std::string, std::string>;

// Points "temp" at a folder of the test; other variables naming a temporary
// folder are removed for the time of the test.
class Temp_umgebung {
public:
    explicit Temp_umgebung(const std::string& ordner)
    {
        for (char** eintrag = environ; *eintrag != nullptr; ++eintrag) {
            const std::string text = *eintrag;
            const std::string name = text.substr(0, text.find('='));
            std::string klein = name;
            std::transform(klein.begin(), klein.end(), klein.begin(), [](unsigned char c) { return std::tolower(c); });
            if (klein == "temp" || name == "TMPDIR")
                alt_.emplace_back(name, text.substr(name.size() + 1));
        }
        for (const auto& [name, wert] : alt_)
            ::unsetenv(name.c_str());
        ::setenv("temp", ordner.c_str(), 1);
    }
    ~Temp_umgebung()
    {
        ::unsetenv("temp");
        for (const auto& [name, wert] : alt_)
            ::setenv(name.c_str(), wert.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::string>> alt_;
};

class Hakenwaechter {
public:
    explicit Hakenwaechter(Fehlerhaken haken) { alt_ = Setze_fehlerhaken(std::move(haken)); }
    ~Hakenwaechter() { Setze_fehlerhaken(std::move(alt_)); }

private:
    Fehlerhaken alt_;
};

// The made-up games of these tests and their images.
Rombauplan Plan(const char* name, std::uint64_t datenlaenge = 0x20000)
{
    Rombauplan plan;
    plan.name = name;
    plan.datenlaenge = datenlaenge;
    return plan;
}
const Rombauplan Alpha = Plan("ALPHA QUEST");
const Rombauplan Alpha_lang = Plan("ALPHA QUEST", 0x40000); // the same game, other bytes
const Rombauplan Beta{Kopierkopf::SWC, Karte::HiRom, "BETA & GAMMA", 0, 9, 0, 1, 0x1234, 0x20000};
const Rombauplan Gamma = Plan("GAMMA RAY");
const Rombauplan Raetsel{Kopierkopf::Keiner, Karte::HiRom, "NOBODY KNOWS ME", 0, 9, 1, 1, 0xBEEF, 0x20000};
const Rombauplan Raetsel2 = Plan("NOCH EINER");
const Rombauplan Schraeg = Plan("SLASH GAME");
const Rombauplan Rueckschraeg = Plan("BACKSLASH GAME");

std::string Datenbank()
{
    return Datenbankzeile(Interner_name("ALPHA QUEST"), "Alpha Quest")
        + Datenbankzeile(Interner_name("BETA & GAMMA"), "Beta & Gamma")
        + Datenbankzeile(Interner_name("GAMMA RAY"), "Gamma")
        + Datenbankzeile(Interner_name("SLASH GAME"), "AC/DC Live")
        + Datenbankzeile(Interner_name("BACKSLASH GAME"), "AC\\DC Live");
}

const Listenzeile Zeile_alpha{"Alpha Quest", "Alpha Quest (USA).smc", "1 = USA (NTSC)", "SNES LoRom, no Header"};
const Listenzeile Zeile_beta{"Beta & Gamma", "Beta & Gamma (JAP).swc", "0 = Japan (NTSC)",
                             "SNES HiRom, Super Wildcard Header (SWC)"};
const Listenzeile Zeile_gamma{"Gamma", "Gamma (USA).smc", "1 = USA (NTSC)", "SNES LoRom, no Header"};

std::string Logeintrag(const std::string& datei, const std::string& format, const std::string& iname,
                       const std::string& crc)
{
    return "Datasource: The Cartonym ver. 0. 91. 0 Englisch\r\nFilename = \"" + datei + "\"\r\nFormat = " + format
        + "\r\nInternal name = \"" + iname + "\"\r\nCountry = 1 = USA (NTSC)\r\nCRC1 = " + crc + "\r\n\r\n";
}
const std::string Log_raetsel =
    Logeintrag("mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ", "EF BE");

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

// What a run told its observer.
struct Protokoll {
    std::vector<std::string> status;
    std::vector<float> fortschritt;
    std::vector<std::string> unbekannt;
    int geleert = 0;
    std::vector<Meldung> meldungen;
};

struct Umgebung {
    Tempordner t;
    std::string F = t / "roms";
    std::string db = t / "snes.dat";
    std::string tempordner = t / "temp";
    Temp_umgebung temp{tempordner};
    Protokoll protokoll;

    Umgebung()
    {
        fs::create_directory(F);
        fs::create_directory(tempordner);
        Schreibe_datei(db, Datenbank());
    }
    void bild(const std::string& name, const Rombauplan& plan) const { fixtures::Schreibe_rom(F + "/" + name, plan); }
    void datei(const std::string& name, const std::string& inhalt) const
    {
        fs::create_directories(fs::path(F + "/" + name).parent_path());
        Schreibe_datei(F + "/" + name, inhalt);
    }
    Baum baum() const { return Baumzustand(F); }
    Baum tempbaum() const { return Baumzustand(tempordner); }

    Batchergebnis lauf(bool spielliste = true, bool ohne_leerzeichen = false, std::string ordner = "")
    {
        protokoll = {};
        Batchbeobachter beobachter;
        beobachter.status = [this](const std::string& text) { protokoll.status.push_back(text); };
        beobachter.fortschritt = [this](float wert) { protokoll.fortschritt.push_back(wert); };
        beobachter.unbekannt = [this](const std::string& name) { protokoll.unbekannt.push_back(name); };
        beobachter.unbekannte_geleert = [this] { ++protokoll.geleert; };
        beobachter.meldung = [this](const Meldung& meldung) { protokoll.meldungen.push_back(meldung); };
        return Batchrun({ordner.empty() ? F : ordner, db, ohne_leerzeichen, spielliste}, beobachter);
    }
};

void Erwarte_zaehler(const Batchzaehler& z, std::int32_t insgesamt, std::int32_t umbenannt, std::int32_t schon_richtig,
                     std::int32_t unbekannt, std::int32_t duplikate)
{
    EXPECT_EQ(z.insgesamt, insgesamt);
    EXPECT_EQ(z.umbenannt, umbenannt);
    EXPECT_EQ(z.schon_richtig, schon_richtig);
    EXPECT_EQ(z.unbekannt, unbekannt);
    EXPECT_EQ(z.duplikate, duplikate);
}

void Erwarte_meldung(const Meldung& meldung, const std::string& titel, const std::string& text, Meldungssymbol symbol)
{
    EXPECT_EQ(meldung.titel, titel);
    EXPECT_EQ(meldung.text, text);
    EXPECT_EQ(meldung.symbol, symbol);
}

// The mixed folder: two copies of one game, one image already bearing its
// name, one differing from it only in letter case, an unknown image and a
// file that is no image.
void Fuelle_gemischt(const Umgebung& u)
{
    u.bild("alpha copy.smc", Alpha);
    u.bild("alpha.smc", Alpha_lang);
    u.bild("Beta & Gamma (JAP).swc", Beta);
    u.bild("gamma (usa).smc", Gamma);
    u.bild("mystery.smc", Raetsel);
    u.datei("readme.txt", "no image\r\n");
}

Baum Gemischt_danach()
{
    return {
        {"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
        {"Renamed_SNES_ROMs/Beta & Gamma (JAP).swc", Baue_rom(Beta)},
        {"Renamed_SNES_ROMs/Gamma (USA).smc", Baue_rom(Gamma)},
        {"Renamed_SNES_ROMs/games.htm", Seite({Zeile_alpha, Zeile_alpha, Zeile_beta, Zeile_gamma})},
        {"Duplicates/alpha.smc", Baue_rom(Alpha_lang)},
        {"Unknown_ROMs/mystery.smc", Baue_rom(Raetsel)},
        {"Unknown_ROMs/unknown.log", Log_raetsel},
        {"readme.txt", "no image\r\n"},
    };
}

// --- In process ------------------------------------------------------------------

TEST(Batchrun, MixedFolderIsSortedCountedListedAndLogged)
{
    Umgebung u;
    Fuelle_gemischt(u);
    const Batchergebnis ergebnis = u.lauf();

    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    EXPECT_FALSE(ergebnis.fehler);
    Erwarte_zaehler(ergebnis.zaehler, 6, 2, 1, 1, 1);
    EXPECT_EQ(ergebnis.zaehler.roms(), 5);
    EXPECT_EQ(ergebnis.unbekannte, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.baum(), Gemischt_danach());
    EXPECT_TRUE(u.tempbaum().empty()) << "the page was moved, not copied";

    EXPECT_EQ(u.protokoll.geleert, 1);
    EXPECT_EQ(u.protokoll.unbekannt, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.protokoll.status, std::vector<std::string>{"Batchmode finished successfull !"});
    ASSERT_EQ(u.protokoll.meldungen.size(), 1u);
    Erwarte_meldung(u.protokoll.meldungen[0], "Cartonym Message:", Langer_schlusstext, Meldungssymbol::Ausrufezeichen);
    Erwarte_meldung(ergebnis.meldung, "Cartonym Message:", Langer_schlusstext, Meldungssymbol::Ausrufezeichen);
}

TEST(Batchrun, ProgressAdvancesBeforeEachFileAndEndsAtHundred)
{
    for (const int anzahl : {1, 3, 7, 10}) {
        SCOPED_TRACE(anzahl);
        Umgebung u;
        for (int i = 0; i < anzahl; ++i)
            u.datei("datei" + std::to_string(i), "x");
        u.lauf(false);
        const std::vector<float>& werte = u.protokoll.fortschritt;
        // 0, one step per file, 100; the rounded sum may hold back the last step.
        const std::size_t schritte = werte.size() - 2;
        EXPECT_TRUE(schritte == static_cast<std::size_t>(anzahl) || schritte + 1 == static_cast<std::size_t>(anzahl))
            << werte.size();
        EXPECT_EQ(werte.front(), 0.0f);
        EXPECT_EQ(werte.back(), 100.0f);
        for (std::size_t i = 1; i <= schritte; ++i)
            EXPECT_NEAR(werte[i], static_cast<float>(i) * 100.0f / static_cast<float>(anzahl), 1e-3);
        for (const float wert : werte)
            EXPECT_LE(wert, 100.0f);
    }
}

TEST(Batchrun, SecondRunReusesFoldersKeepsFilesReplacesListAppendsLog)
{
    Umgebung u;
    Fuelle_gemischt(u);
    u.lauf();
    u.bild("alpha again.smc", Alpha);
    u.bild("other unknown.smc", Raetsel2);
    const Batchergebnis ergebnis = u.lauf();

    Erwarte_zaehler(ergebnis.zaehler, 3, 0, 0, 1, 1);
    EXPECT_EQ(ergebnis.unbekannte, std::vector<std::string>{"other unknown.smc"});
    Baum erwartet = Gemischt_danach();
    erwartet["Duplicates/alpha again.smc"] = Baue_rom(Alpha);
    erwartet["Unknown_ROMs/other unknown.smc"] = Baue_rom(Raetsel2);
    erwartet["Unknown_ROMs/unknown.log"] =
        Log_raetsel + Logeintrag("other unknown.smc", "SNES LoRom, no Header", "NOCH EINER           ", "34 12");
    erwartet["Renamed_SNES_ROMs/games.htm"] = Seite({Zeile_alpha});
    EXPECT_EQ(u.baum(), erwartet);
}

TEST(Batchrun, NoSpacesStyleInFileNamesAndList)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("Beta & Gamma (JAP).swc", Beta);
    u.bild("mystery.smc", Raetsel);
    const Batchergebnis ergebnis = u.lauf(true, true);

    Erwarte_zaehler(ergebnis.zaehler, 3, 2, 0, 1, 0);
    Listenzeile alpha = Zeile_alpha;
    alpha.Neuer_name = "Alpha_Quest_(USA).smc";
    Listenzeile beta = Zeile_beta;
    beta.Neuer_name = "Beta_&_Gamma_(JAP).swc";
    EXPECT_EQ(u.baum(), (Baum{
                            {"Renamed_SNES_ROMs/Alpha_Quest_(USA).smc", Baue_rom(Alpha)},
                            {"Renamed_SNES_ROMs/Beta_&_Gamma_(JAP).swc", Baue_rom(Beta)},
                            {"Renamed_SNES_ROMs/games.htm", Seite({alpha, beta})},
                            {"Unknown_ROMs/mystery.smc", Baue_rom(Raetsel)},
                            {"Unknown_ROMs/unknown.log", Log_raetsel},
                        }));
}

TEST(Batchrun, OnlyNonImagesLeaveTheFolderAsItWasAndNoList)
{
    Umgebung u;
    u.datei("a.txt", "eins");
    u.datei("b.doc", "zwei");
    u.datei("unter/c.smc", Baue_rom(Alpha)); // files of sub-folders are not taken
    const Baum vorher = u.baum();
    const Batchergebnis ergebnis = u.lauf();

    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    Erwarte_zaehler(ergebnis.zaehler, 2, 0, 0, 0, 0);
    EXPECT_EQ(u.baum(), vorher);
    std::vector<std::string> eintraege;
    for (const auto& eintrag : fs::directory_iterator(u.F))
        eintraege.push_back(eintrag.path().filename().string());
    std::sort(eintraege.begin(), eintraege.end());
    EXPECT_EQ(eintraege, (std::vector<std::string>{"a.txt", "b.doc", "unter"}));
    EXPECT_EQ(u.tempbaum(), (Baum{{"games.htm", Seite({})}})) << "not placed, the folder had gone";
    ASSERT_EQ(u.protokoll.meldungen.size(), 1u);
    Erwarte_meldung(u.protokoll.meldungen[0], "Cartonym Message:", "Batchrun finished !", Meldungssymbol::Information);
}

TEST(Batchrun, RunWithoutImagesRemovesAnEarlierListButKeepsFolderWithFiles)
{
    Umgebung u;
    u.datei("Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha));
    u.datei("Renamed_SNES_ROMs/games.htm", "earlier list");
    u.datei("a.txt", "eins");
    u.lauf();
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)}, {"a.txt", "eins"}}));
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
        Erwarte_zaehler(ergebnis.zaehler, 0, 0, 0, 0, 0);
        EXPECT_EQ(u.baum(), vorher);
        EXPECT_EQ(fs::exists(u.F + "/Renamed_SNES_ROMs") || fs::exists(u.F + "/Unknown_ROMs")
                      || fs::exists(u.F + "/Duplicates"),
                  false);
        EXPECT_EQ(u.protokoll.status, std::vector<std::string>{"There are no files in this directory !"});
        ASSERT_EQ(u.protokoll.meldungen.size(), 1u);
        Erwarte_meldung(u.protokoll.meldungen[0], "Attention !", "There are no files in this directory !",
                        Meldungssymbol::Information);
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
    ASSERT_TRUE(ergebnis.fehler);
    EXPECT_EQ(ergebnis.fehler->nummer(), Fehlernummer::Geraetefehler);
    Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 0, 0);
    EXPECT_EQ(ergebnis.Dateipfad, u.F + "/alpha.smc");
    Erwarte_meldung(ergebnis.meldung, "Error !",
                    "Error Nr.  57 happened:\nDevice I/O error\nThis error happend while processing the following "
                    "file: \n\n"
                        + u.F + "/alpha.smc\n\nProgress aborted !",
                    Meldungssymbol::Ausrufezeichen);
    ASSERT_EQ(u.protokoll.meldungen.size(), 1u);
    EXPECT_EQ(u.protokoll.meldungen[0].text, ergebnis.meldung.text);
    EXPECT_TRUE(u.protokoll.status.empty());
    EXPECT_NE(u.protokoll.fortschritt.back(), 100.0f);
    // Nothing after the failure: the folders stay, even the unused ones.
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
                              {"alpha.smc", Baue_rom(Alpha_lang)},
                              {"mystery.smc", Baue_rom(Raetsel)}}));
    EXPECT_TRUE(fs::is_directory(u.F + "/Duplicates") && fs::is_directory(u.F + "/Unknown_ROMs"));
    EXPECT_EQ(u.tempbaum(), (Baum{{"games.htm", Listenkopf_text() + Listenzeile_text(Zeile_alpha)}}));

    const Batchergebnis danach = u.lauf();
    EXPECT_EQ(danach.ausgang, Batchausgang::Abgeschlossen);
    Erwarte_zaehler(danach.zaehler, 2, 0, 0, 1, 1);
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
                              {"Renamed_SNES_ROMs/games.htm", Seite({Zeile_alpha})},
                              {"Duplicates/alpha.smc", Baue_rom(Alpha_lang)},
                              {"Unknown_ROMs/mystery.smc", Baue_rom(Raetsel)},
                              {"Unknown_ROMs/unknown.log", Log_raetsel}}));
    EXPECT_TRUE(u.tempbaum().empty());
}

TEST(Batchrun, MissingDatabaseStopsAtTheFirstImage)
{
    Umgebung u;
    u.datei("a.txt", "kein Bild");
    u.bild("alpha.smc", Alpha);
    fs::remove(u.db);
    const Batchergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.fehler->nummer(), Fehlernummer::Datei_fehlt);
    EXPECT_EQ(ergebnis.meldung.text, "Error Nr.  53 happened:\nFile not found\nThis error happend while processing the "
                                     "following file: \n\n"
                                         + u.F + "/alpha.smc\n\nProgress aborted !");
    EXPECT_EQ(u.baum(), (Baum{{"a.txt", "kein Bild"}, {"alpha.smc", Baue_rom(Alpha)}}));
}

TEST(Batchrun, NameThatWouldLeaveTheFolderStopsTheRun)
{
    for (const Rombauplan* plan : {&Schraeg, &Rueckschraeg}) {
        SCOPED_TRACE(plan->name);
        Umgebung u;
        u.bild("alpha.smc", Alpha);
        u.bild("slash.smc", *plan);
        fs::create_directories(u.F + "/Renamed_SNES_ROMs/AC"); // a folder the name could lead into
        const Batchergebnis ergebnis = u.lauf();
        EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
        EXPECT_EQ(ergebnis.fehler->nummer(), Fehlernummer::Dateiname_falsch);
        Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 0, 0);
        EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
                                  {"slash.smc", Baue_rom(*plan)}}));
    }
}

TEST(Batchrun, AccessErrorInTheAnalysisPassesTheFileOver)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("beta.swc", Beta);
    u.bild("mystery.smc", Raetsel);
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        return operation == Systemoperation::Oeffnen && pfad == u.F + "/beta.swc" ? EXDEV : 0;
    });
    const Batchergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    Erwarte_zaehler(ergebnis.zaehler, 3, 1, 0, 1, 0);
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
                              {"beta.swc", Baue_rom(Beta)},
                              {"Unknown_ROMs/mystery.smc", Baue_rom(Raetsel)},
                              {"Unknown_ROMs/unknown.log", Log_raetsel}}));
}

TEST(Batchrun, FolderPathWithFinalSeparator)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    const Batchergebnis ergebnis = u.lauf(true, false, u.F + "/");
    Erwarte_zaehler(ergebnis.zaehler, 1, 1, 0, 0, 0);
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
                              {"Renamed_SNES_ROMs/games.htm", Seite({Zeile_alpha})}}));
}

TEST(Batchrun, NothingIsEverOverwritten)
{
    Umgebung u;
    u.bild("alpha copy.smc", Alpha);
    u.bild("alpha.smc", Alpha_lang);
    u.bild("beta.swc", Beta);
    u.bild("mystery.smc", Raetsel);
    u.bild("Gamma (USA).smc", Gamma);
    // Every target each of them could take is taken already.
    u.datei("Renamed_SNES_ROMs/Alpha Quest (USA).smc", "earlier alpha");
    u.datei("Renamed_SNES_ROMs/Beta & Gamma (JAP).swc", "earlier beta");
    u.datei("Renamed_SNES_ROMs/Gamma (USA).smc", "earlier gamma");
    u.datei("Duplicates/alpha copy.smc", "earlier duplicate 1");
    u.datei("Duplicates/alpha.smc", "earlier duplicate 2");
    u.datei("Duplicates/Gamma (USA).smc", "earlier duplicate 3");
    u.datei("Duplicates/mystery.smc", "earlier duplicate 4");
    u.datei("Unknown_ROMs/mystery.smc", "earlier unknown");
    u.datei("Unknown_ROMs/unknown.log", "earlier log\r\n");
    const Baum vorher = u.baum();

    const Batchergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    // The unknown image counts once, as a duplicate, but is listed and logged.
    Erwarte_zaehler(ergebnis.zaehler, 5, 0, 0, 0, 5);
    EXPECT_EQ(ergebnis.unbekannte, std::vector<std::string>{"mystery.smc"});
    ASSERT_EQ(u.protokoll.meldungen.size(), 1u);
    EXPECT_EQ(u.protokoll.meldungen[0].text, "Batchrun finished !");

    Baum erwartet = vorher;
    erwartet.erase("beta.swc");
    erwartet["Duplicates/beta.swc"] = Baue_rom(Beta);
    erwartet["Unknown_ROMs/unknown.log"] = "earlier log\r\n" + Log_raetsel;
    EXPECT_EQ(u.baum(), erwartet);
}

TEST(Batchrun, UnknownImageWhoseNameIsTakenGoesToDuplicates)
{
    Umgebung u;
    u.bild("mystery.smc", Raetsel);
    u.datei("Unknown_ROMs/mystery.smc", "earlier unknown");
    const Batchergebnis ergebnis = u.lauf(false);
    Erwarte_zaehler(ergebnis.zaehler, 1, 0, 0, 0, 1);
    EXPECT_EQ(ergebnis.zaehler.roms(), 1);
    EXPECT_EQ(u.protokoll.unbekannt, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.baum(), (Baum{{"Duplicates/mystery.smc", Baue_rom(Raetsel)},
                              {"Unknown_ROMs/mystery.smc", "earlier unknown"},
                              {"Unknown_ROMs/unknown.log", Log_raetsel}}));
}

TEST(Batchrun, UnwritableNamesAreEscapedInTheLogAndTheMessage)
{
    Umgebung u;
    const std::string name = "\xE6\x97\xA5 \\ caf\xC3\xA9.smc";
    u.bild(name, Raetsel);
    u.lauf(false);
    EXPECT_EQ(Lies_datei(u.F + "/Unknown_ROMs/unknown.log"),
              Logeintrag("\\u{65E5} \\\\ caf\xE9.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ", "EF BE"));
    EXPECT_EQ(u.protokoll.unbekannt, std::vector<std::string>{name}) << "the list keeps the file-system name";
}

// --- The real cartonym-cli ------------------------------------------------------------

struct Aufruf {
    int status = -1;
    std::string out;
    std::string err;
};

Aufruf Rufe_cli(const Umgebung& u, const std::string& argumente)
{
    const std::string out = u.t / "cli.out";
    const std::string err = u.t / "cli.err";
    const std::string befehl = std::string("'") + CARTONYM_CLI_PFAD + "' " + argumente + " >'" + out + "' 2>'" + err
        + "' </dev/null";
    const int roh = std::system(befehl.c_str());
    Aufruf aufruf;
    aufruf.status = WIFEXITED(roh) ? WEXITSTATUS(roh) : -1;
    aufruf.out = Lies_datei(out);
    aufruf.err = Lies_datei(err);
    return aufruf;
}

std::string Argumente(const Umgebung& u, const std::string& optionen)
{
    return "batch --db '" + u.db + "' " + optionen + " '" + u.F + "'";
}

TEST(Cli_batch, PrintsTheMessageThenThePanelAndTheUnknownNames)
{
    Umgebung u;
    Fuelle_gemischt(u);
    const Aufruf aufruf = Rufe_cli(u, Argumente(u, "--gamelist"));
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(aufruf.out, Langer_schlusstext
                              + "\nTotal files in directory:  6\n"
                                "SNES ROMs:  5\n"
                                "ROMs that had alredy the correct filename:  1\n"
                                "Successfully renamed:  2\n"
                                "Duplicates (see subdir Duplicates):  1\n"
                                "mystery.smc\n");
    EXPECT_EQ(aufruf.err, "") << "no progress indicator when stderr is no terminal";
    EXPECT_EQ(u.baum(), Gemischt_danach());
}

TEST(Cli_batch, JsonOutcomeWithNoSpacesAndWithoutList)
{
    Umgebung u;
    Fuelle_gemischt(u);
    const Aufruf aufruf = Rufe_cli(u, Argumente(u, "--json --no-spaces"));
    EXPECT_EQ(aufruf.status, 0);
    const auto json = nlohmann::json::parse(aufruf.out);
    EXPECT_EQ(json, nlohmann::json({{"outcome", "completed"},
                                    {"total", 6},
                                    {"roms", 5},
                                    {"renamed", 3},
                                    {"already_correct", 0},
                                    {"duplicates", 1},
                                    {"unknown", {"mystery.smc"}},
                                    {"message", Langer_schlusstext}}));
    EXPECT_TRUE(fs::exists(u.F + "/Renamed_SNES_ROMs/Beta_&_Gamma_(JAP).swc"));
    EXPECT_FALSE(fs::exists(u.F + "/Renamed_SNES_ROMs/games.htm"));
}

TEST(Cli_batch, FolderWithoutFiles)
{
    Umgebung u;
    fs::create_directory(u.F + "/unter");
    Aufruf aufruf = Rufe_cli(u, Argumente(u, ""));
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(aufruf.out, "There are no files in this directory !\n");
    aufruf = Rufe_cli(u, Argumente(u, "--json"));
    EXPECT_EQ(aufruf.status, 0);
    EXPECT_EQ(nlohmann::json::parse(aufruf.out),
              nlohmann::json({{"outcome", "no_files"},
                              {"total", 0},
                              {"roms", 0},
                              {"renamed", 0},
                              {"already_correct", 0},
                              {"duplicates", 0},
                              {"unknown", nlohmann::json::array()},
                              {"message", "There are no files in this directory !"}}));
    EXPECT_EQ(u.baum(), Baum{});
}

TEST(Cli_batch, FailureExitsWithOneAndTellsStderr)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("slash.smc", Schraeg);
    const std::string fehlertext = "Error Nr.  52 happened:\nBad file name or number\nThis error happend while "
                                   "processing the following file: \n\n"
        + u.F + "/slash.smc\n\nProgress aborted !";
    const Aufruf aufruf = Rufe_cli(u, Argumente(u, "--json --gamelist"));
    EXPECT_EQ(aufruf.status, 1);
    EXPECT_EQ(aufruf.err, fehlertext + "\n");
    EXPECT_EQ(nlohmann::json::parse(aufruf.out),
              nlohmann::json({{"outcome", "failed"},
                              {"total", 2},
                              {"roms", 1},
                              {"renamed", 1},
                              {"already_correct", 0},
                              {"duplicates", 0},
                              {"unknown", nlohmann::json::array()},
                              {"message", fehlertext}}));
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs/Alpha Quest (USA).smc", Baue_rom(Alpha)},
                              {"slash.smc", Baue_rom(Schraeg)}}));
}

TEST(Cli_batch, MissingDatabaseExitsWithTwoAndTouchesNothing)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    fs::remove(u.db);
    const Aufruf aufruf = Rufe_cli(u, Argumente(u, "--gamelist"));
    EXPECT_EQ(aufruf.status, 2);
    EXPECT_EQ(aufruf.out, "");
    EXPECT_EQ(aufruf.err, std::string("The file SNES.DAT is missing ! Download the complete version of the Cartonym "
                                      "from ")
                              + Programm::Homepage + " !\n\nProgram will close now.\n");
    EXPECT_EQ(u.baum(), (Baum{{"alpha.smc", Baue_rom(Alpha)}}));
    EXPECT_TRUE(u.tempbaum().empty());
}

TEST(Cli_batch, UsageErrorsExitWithTwo)
{
    Umgebung u;
    EXPECT_EQ(Rufe_cli(u, "batch").status, 2);
    EXPECT_EQ(Rufe_cli(u, "batch --unknown-option '" + u.F + "'").status, 2);
}

} // namespace
} // namespace cartonym
