// File-system primitives, the folder listing and file mode.
#include "common/dateisystem.h"
#include "common/fehler.h"
#include "fixtures/rombau.h"
#include "operations/dateimodus.h"
#include "operations/dateioperationen.h"
#include "operations/ordnerliste.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace cartonym {
namespace {

using fixtures::Datenbankzeile;
using fixtures::Lies_datei;
using fixtures::Rombauplan;
using fixtures::Schreibe_datei;
using fixtures::Schreibe_rom;
using test::Baumzustand;
using test::Tempordner;
namespace fs = std::filesystem;

// Installs a hook for one test and removes it again.
class Hakenwaechter {
public:
    explicit Hakenwaechter(Fehlerhaken haken) { alt_ = Setze_fehlerhaken(std::move(haken)); }
    ~Hakenwaechter() { Setze_fehlerhaken(std::move(alt_)); }

private:
    Fehlerhaken alt_;
};

// Fails every operation of one kind with errnum.
Fehlerhaken Scheitere_bei(Systemoperation gesucht, int errnum)
{
    return [gesucht, errnum](Systemoperation operation, const std::string&) {
        return operation == gesucht ? errnum : 0;
    };
}

template <typename Aktion>
Fehlernummer Fehler_von(Aktion&& aktion)
{
    try {
        aktion();
    } catch (const Fehler& fehler) {
        return fehler.nummer();
    }
    ADD_FAILURE() << "no Fehler thrown";
    return Fehlernummer::Zugriffsfehler;
}

std::vector<std::string> Eintraege(const fs::path& ordner)
{
    std::vector<std::string> namen;
    for (const auto& eintrag : fs::directory_iterator(ordner))
        namen.push_back(eintrag.path().filename().string());
    std::sort(namen.begin(), namen.end());
    return namen;
}

// --- Moving within one file system -------------------------------------

TEST(Verschiebe_datei, MovesTheFileAndItsContent)
{
    Tempordner t;
    Schreibe_datei(t / "a", "inhalt");
    Verschiebe_datei(t / "a", t / "b");
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"b", "inhalt"}}));
}

TEST(Verschiebe_datei, RefusesAnExistingTargetAndKeepsBothFiles)
{
    Tempordner t;
    Schreibe_datei(t / "a", "quelle");
    Schreibe_datei(t / "b", "ziel");
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "a", t / "b"); }), Fehlernummer::Datei_existiert);
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"a", "quelle"}, {"b", "ziel"}}));
}

TEST(Verschiebe_datei, RefusesAnExistingFolderOrLinkAsTarget)
{
    Tempordner t;
    Schreibe_datei(t / "a", "quelle");
    fs::create_directory(t / "ordner");
    fs::create_symlink(t / "nirgends", t / "link");
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "a", t / "ordner"); }), Fehlernummer::Datei_existiert);
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "a", t / "link"); }), Fehlernummer::Datei_existiert);
    EXPECT_EQ(Lies_datei(t / "a"), "quelle");
    EXPECT_TRUE(fs::is_symlink(t / "link"));
}

TEST(Verschiebe_datei, OntoItsOwnNameIsATakenName)
{
    Tempordner t;
    Schreibe_datei(t / "a", "quelle");
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "a", t / "a"); }), Fehlernummer::Datei_existiert);
    EXPECT_EQ(Lies_datei(t / "a"), "quelle");
}

TEST(Verschiebe_datei, MissingSourceOrTargetFolder)
{
    Tempordner t;
    Schreibe_datei(t / "a", "quelle");
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "fehlt", t / "b"); }), Fehlernummer::Datei_fehlt);
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "a", t / "fehlt/b"); }), Fehlernummer::Datei_fehlt);
    EXPECT_EQ(Lies_datei(t / "a"), "quelle");
}

struct Injektionsfall {
    int errnum;
    Fehlernummer nummer;
};

class Verschiebe_injiziert : public ::testing::TestWithParam<Injektionsfall> {};

TEST_P(Verschiebe_injiziert, FailsWithTheMappedNumberAndLeavesTheSource)
{
    Tempordner t;
    Schreibe_datei(t / "a", "quelle");
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Verschieben, GetParam().errnum));
    EXPECT_EQ(Fehler_von([&] { Verschiebe_datei(t / "a", t / "b"); }), GetParam().nummer);
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"a", "quelle"}}));
}

INSTANTIATE_TEST_SUITE_P(Fehlerarten, Verschiebe_injiziert,
                         ::testing::Values(Injektionsfall{EIO, Fehlernummer::Geraetefehler},
                                           Injektionsfall{ENOSPC, Fehlernummer::Datentraeger_voll},
                                           Injektionsfall{EACCES, Fehlernummer::Keine_berechtigung},
                                           Injektionsfall{EXDEV, Fehlernummer::Zugriffsfehler},
                                           Injektionsfall{EEXIST, Fehlernummer::Datei_existiert}));

TEST(Verschiebe_datei, HookSeesTheTargetPath)
{
    Tempordner t;
    Schreibe_datei(t / "a", "quelle");
    std::vector<std::string> gesehen;
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        if (operation == Systemoperation::Verschieben)
            gesehen.push_back(pfad);
        return 0;
    });
    Verschiebe_datei(t / "a", t / "b");
    EXPECT_EQ(gesehen, std::vector<std::string>{t / "b"});
}

// --- Moving across file systems ------------------------------------------
// A move that the kernel refuses with EXDEV takes the copying path; the hook
// stands in for a second file system.

TEST(Verschiebe_ueber_laufwerke, SameFileSystemIsAPlainMove)
{
    Tempordner t;
    Schreibe_datei(t / "a", "seite");
    fs::create_directory(t / "ziel");
    Verschiebe_ueber_laufwerke(t / "a", t / "ziel/b");
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"ziel/b", "seite"}}));
}

TEST(Verschiebe_ueber_laufwerke, CopiesSynchronisesAndRemovesTheSource)
{
    Tempordner t;
    const std::string inhalt(200000, 'x'); // more than one copy buffer
    Schreibe_datei(t / "a", inhalt);
    ::chmod((t / "a").c_str(), 0640);
    fs::create_directory(t / "ziel");
    std::vector<Systemoperation> folge;
    const Hakenwaechter haken([&](Systemoperation operation, const std::string&) {
        folge.push_back(operation);
        return operation == Systemoperation::Verschieben ? EXDEV : 0;
    });
    Verschiebe_ueber_laufwerke(t / "a", t / "ziel/b");
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"ziel/b", inhalt}}));
    EXPECT_EQ(Eintraege(t.pfad() / "ziel"), std::vector<std::string>{"b"});
    EXPECT_EQ(fs::status(t.pfad() / "ziel/b").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_NE(std::find(folge.begin(), folge.end(), Systemoperation::Synchronisieren), folge.end());
    EXPECT_EQ(folge.back(), Systemoperation::Loeschen);
}

TEST(Verschiebe_ueber_laufwerke, ExistingTargetIsRefusedOnBothPaths)
{
    for (const bool anderes_laufwerk : {false, true}) {
        SCOPED_TRACE(anderes_laufwerk);
        Tempordner t;
        Schreibe_datei(t / "a", "neu");
        Schreibe_datei(t / "b", "alt");
        const Hakenwaechter haken(anderes_laufwerk ? Scheitere_bei(Systemoperation::Verschieben, EXDEV) : Fehlerhaken());
        EXPECT_EQ(Fehler_von([&] { Verschiebe_ueber_laufwerke(t / "a", t / "b"); }), Fehlernummer::Datei_existiert);
        EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"a", "neu"}, {"b", "alt"}}));
    }
}

class Kopie_scheitert : public ::testing::TestWithParam<Systemoperation> {};

TEST_P(Kopie_scheitert, LeavesNoPartialTargetAndKeepsTheSource)
{
    Tempordner t;
    Schreibe_datei(t / "a", "seite");
    fs::create_directory(t / "ziel");
    const Systemoperation scheiternd = GetParam();
    const Hakenwaechter haken([scheiternd](Systemoperation operation, const std::string&) {
        if (operation == Systemoperation::Verschieben)
            return EXDEV;
        return operation == scheiternd ? ENOSPC : 0;
    });
    EXPECT_EQ(Fehler_von([&] { Verschiebe_ueber_laufwerke(t / "a", t / "ziel/b"); }), Fehlernummer::Datentraeger_voll);
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"a", "seite"}}));
    EXPECT_TRUE(Eintraege(t.pfad() / "ziel").empty());
}

INSTANTIATE_TEST_SUITE_P(Schritte, Kopie_scheitert,
                         ::testing::Values(Systemoperation::Kopieren, Systemoperation::Schreiben,
                                           Systemoperation::Synchronisieren));

// --- Folders and deleting --------------------------------------------------

TEST(Ordner, CreateRemoveAndTheirAccessErrors)
{
    Tempordner t;
    Lege_ordner_an(t / "neu");
    EXPECT_TRUE(fs::is_directory(t.pfad() / "neu"));
    EXPECT_EQ(Fehler_von([&] { Lege_ordner_an(t / "neu"); }), Fehlernummer::Zugriffsfehler);
    Schreibe_datei(t / "datei", "x");
    EXPECT_EQ(Fehler_von([&] { Lege_ordner_an(t / "datei"); }), Fehlernummer::Zugriffsfehler);
    EXPECT_EQ(Lies_datei(t / "datei"), "x");

    Schreibe_datei(t / "neu/inhalt", "bleibt");
    EXPECT_EQ(Fehler_von([&] { Entferne_ordner(t / "neu"); }), Fehlernummer::Zugriffsfehler);
    EXPECT_EQ(Lies_datei(t / "neu/inhalt"), "bleibt");
    fs::remove(t.pfad() / "neu/inhalt");
    Entferne_ordner(t / "neu");
    EXPECT_FALSE(fs::exists(t.pfad() / "neu"));
    EXPECT_EQ(Fehler_von([&] { Entferne_ordner(t / "neu"); }), Fehlernummer::Datei_fehlt);
}

TEST(Ordner, InjectedFailures)
{
    Tempordner t;
    {
        const Hakenwaechter haken(Scheitere_bei(Systemoperation::Ordner_anlegen, EACCES));
        EXPECT_EQ(Fehler_von([&] { Lege_ordner_an(t / "neu"); }), Fehlernummer::Keine_berechtigung);
        EXPECT_FALSE(fs::exists(t.pfad() / "neu"));
    }
    fs::create_directory(t.pfad() / "leer");
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Ordner_entfernen, EIO));
    EXPECT_EQ(Fehler_von([&] { Entferne_ordner(t / "leer"); }), Fehlernummer::Geraetefehler);
    EXPECT_TRUE(fs::is_directory(t.pfad() / "leer"));
}

TEST(Loesche_datei, DeletesFilesOnly)
{
    Tempordner t;
    Schreibe_datei(t / "a", "x");
    Loesche_datei(t / "a");
    EXPECT_FALSE(fs::exists(t.pfad() / "a"));
    EXPECT_EQ(Fehler_von([&] { Loesche_datei(t / "a"); }), Fehlernummer::Datei_fehlt);
    fs::create_directory(t.pfad() / "ordner");
    EXPECT_EQ(Fehler_von([&] { Loesche_datei(t / "ordner"); }), Fehlernummer::Zugriffsfehler);
    EXPECT_TRUE(fs::is_directory(t.pfad() / "ordner"));
    Schreibe_datei(t / "b", "x");
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Loeschen, EACCES));
    EXPECT_EQ(Fehler_von([&] { Loesche_datei(t / "b"); }), Fehlernummer::Keine_berechtigung);
    EXPECT_EQ(Lies_datei(t / "b"), "x");
}

// --- The folder listing ------------------------------------------------------

TEST(Liste_dateien, RegularFilesSortedWithoutRegardToCase)
{
    Tempordner t;
    for (const char* name : {"b.smc", "a.smc", "C.fig", "A.smc", "_x", "Z", "aa", "10", "2"})
        Schreibe_datei(t / name, name);
    // Equal when folded: the byte order decides ("A.smc" before "a.smc").
    EXPECT_EQ(Liste_dateien(t.pfad().string()),
              (std::vector<std::string>{"10", "2", "_x", "A.smc", "a.smc", "aa", "b.smc", "C.fig", "Z"}));
}

TEST(Liste_dateien, OnlyVisibleRegularFilesAndLinksToThem)
{
    Tempordner t;
    Schreibe_datei(t / "datei", "x");
    Schreibe_datei(t / ".versteckt", "x");
    fs::create_directory(t.pfad() / "unterordner");
    fs::create_directory(t.pfad() / ".versteckter_ordner");
    fs::create_symlink(t / "datei", t / "link_auf_datei");
    fs::create_symlink(t / "unterordner", t / "link_auf_ordner");
    fs::create_symlink(t / "fehlt", t / "toter_link");
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un adresse{};
    adresse.sun_family = AF_UNIX;
    const std::string sockpfad = t / "sock";
    ASSERT_LT(sockpfad.size(), sizeof adresse.sun_path);
    sockpfad.copy(adresse.sun_path, sockpfad.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse), 0);
    ::close(sock);
    EXPECT_EQ(Liste_dateien(t.pfad().string()), (std::vector<std::string>{"datei", "link_auf_datei"}));
}

TEST(Liste_dateien, EmptyFolderAndFailures)
{
    Tempordner t;
    EXPECT_TRUE(Liste_dateien(t.pfad().string()).empty());
    EXPECT_EQ(Fehler_von([&] { Liste_dateien(t / "fehlt"); }), Fehlernummer::Datei_fehlt);
    Schreibe_datei(t / "datei", "x");
    EXPECT_EQ(Fehler_von([&] { Liste_dateien(t / "datei"); }), Fehlernummer::Pfad_fehlt);
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Auflisten, EIO));
    EXPECT_EQ(Fehler_von([&] { Liste_dateien(t.pfad().string()); }), Fehlernummer::Geraetefehler);
}

// --- File mode ----------------------------------------------------------------

struct Auswahlfall {
    const char* beschreibung;
    bool bild;
    bool bekannt;
    bool ohne_leerzeichen;
    Auswahlzustand zustand;
    const char* Neuer_name;
    const char* Voller_name;
};

class Waehle_datei_fall : public ::testing::TestWithParam<Auswahlfall> {};

TEST_P(Waehle_datei_fall, StateAndSuggestedName)
{
    const Auswahlfall& fall = GetParam();
    Tempordner t;
    Schreibe_datei(t / "snes.dat", Datenbankzeile(fixtures::Interner_name("ANDERES SPIEL"), "Other Game")
                                       + Datenbankzeile(fixtures::Interner_name("SUPER TEST"), "Super Test Game"));
    Rombauplan plan;
    plan.name = fall.bekannt ? "SUPER TEST" : "NIEMAND KENNT MICH";
    if (fall.bild)
        Schreibe_rom(t / "bild.smc", plan);
    else
        Schreibe_datei(t / "bild.smc", "kein Bild");
    const Dateiauswahl auswahl = Waehle_datei(t / "bild.smc", t / "snes.dat", fall.ohne_leerzeichen);
    EXPECT_EQ(auswahl.zustand, fall.zustand);
    EXPECT_EQ(auswahl.analyse.Rom_ok, fall.bild);
    EXPECT_EQ(auswahl.namen.Neuer_name, fall.Neuer_name);
    EXPECT_EQ(auswahl.namen.Voller_name, fall.Voller_name);
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Waehle_datei_fall,
    ::testing::Values(
        Auswahlfall{"no image", false, false, false, Auswahlzustand::Kein_bild, "", ""},
        Auswahlfall{"no image, no spaces", false, false, true, Auswahlzustand::Kein_bild, "", ""},
        Auswahlfall{"unknown", true, false, false, Auswahlzustand::Unbekannt, "ROM unknown !", ""},
        Auswahlfall{"unknown, no spaces", true, false, true, Auswahlzustand::Unbekannt, "ROM_unknown_!", ""},
        Auswahlfall{"known", true, true, false, Auswahlzustand::Bekannt, "Super Test Game (USA).smc", "Super Test Game"},
        Auswahlfall{"known, no spaces", true, true, true, Auswahlzustand::Bekannt, "Super_Test_Game_(USA).smc",
                    "Super Test Game"}),
    [](const auto& fallinfo) {
        std::string name = fallinfo.param.beschreibung;
        for (char& zeichen : name)
            zeichen = std::isalnum(static_cast<unsigned char>(zeichen)) ? zeichen : '_';
        return name;
    });

TEST(Waehle_datei, UnreadableImageOrDatabaseThrows)
{
    Tempordner t;
    Schreibe_rom(t / "bild.smc", Rombauplan{});
    EXPECT_EQ(Fehler_von([&] { Waehle_datei(t / "fehlt.smc", t / "snes.dat", false); }), Fehlernummer::Datei_fehlt);
    EXPECT_EQ(Fehler_von([&] { Waehle_datei(t / "bild.smc", t / "snes.dat", false); }), Fehlernummer::Datei_fehlt);
}

TEST(Benenne_datei_um, RenamesInsideTheFolder)
{
    Tempordner t;
    Schreibe_datei(t / "alt.smc", "bild");
    Benenne_datei_um(t / "alt.smc", t.pfad().string(), "Neu (USA).smc");
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"Neu (USA).smc", "bild"}}));
}

TEST(Benenne_datei_um, WindowsNameBecomesUtf8)
{
    Tempordner t;
    Schreibe_datei(t / "alt.smc", "bild");
    Benenne_datei_um(t / "alt.smc", t.pfad().string() + "/", "Caf\xE9 \x80.smc");
    EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"Caf\xC3\xA9 \xE2\x82\xAC.smc", "bild"}}));
}

TEST(Benenne_datei_um, TakenNameFailsAndChangesNothing)
{
    Tempordner t;
    Schreibe_datei(t / "alt.smc", "bild");
    Schreibe_datei(t / "Neu.smc", "anderes");
    EXPECT_EQ(Fehler_von([&] { Benenne_datei_um(t / "alt.smc", t.pfad().string(), "Neu.smc"); }),
              Fehlernummer::Datei_existiert);
    EXPECT_EQ(Fehler_von([&] { Benenne_datei_um(t / "alt.smc", t.pfad().string(), "alt.smc"); }),
              Fehlernummer::Datei_existiert);
    EXPECT_EQ(Baumzustand(t.pfad()),
              (std::map<std::string, std::string>{{"alt.smc", "bild"}, {"Neu.smc", "anderes"}}));
}

TEST(Benenne_datei_um, NamesLeavingTheFolderAreRefused)
{
    const std::vector<std::string> namen = {"../raus.smc", "unter/raus.smc", "a\\b.smc", ".", "..", "",
                                            std::string("a\0b", 3)};
    for (const std::string& name : namen) {
        SCOPED_TRACE(name);
        Tempordner t;
        fs::create_directory(t.pfad() / "ordner");
        fs::create_directory(t.pfad() / "ordner/unter");
        Schreibe_datei(t / "ordner/alt.smc", "bild");
        EXPECT_EQ(Fehler_von([&] { Benenne_datei_um(t / "ordner/alt.smc", t / "ordner", name); }),
                  Fehlernummer::Dateiname_falsch);
        EXPECT_EQ(Baumzustand(t.pfad()), (std::map<std::string, std::string>{{"ordner/alt.smc", "bild"}}));
    }
}

TEST(Benenne_datei_um, MissingFileFails)
{
    Tempordner t;
    EXPECT_EQ(Fehler_von([&] { Benenne_datei_um(t / "fehlt.smc", t.pfad().string(), "neu.smc"); }),
              Fehlernummer::Datei_fehlt);
    EXPECT_TRUE(Eintraege(t.pfad()).empty());
}

} // namespace
} // namespace cartonym
