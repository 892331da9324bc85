// File-system primitives, the folder listing and file mode.
#include "common/system_calls.h"
#include "common/error.h"
#include "fixtures/rom_builder.h"
#include "operations/file_mode.h"
#include "common/file_operations.h"
#include "operations/folder_listing.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <tuple>
#include <sys/stat.h>
#include <vector>

namespace cartonym {
namespace {

using fixtures::Datenbankzeile;
using fixtures::Lies_datei;
using fixtures::Schreibe_datei;
using test::Baum;
using test::Baumzustand;
using test::Fehlernummer_von;
using test::Hakenwaechter;
using test::Scheitere_bei;
using test::Tempordner;
namespace fs = std::filesystem;

// --- Moving -----------------------------------------------------------------

TEST(Verschiebe_datei, MovesButNeverReplaces)
{
    using Vorbereitung = std::function<void(const Tempordner&)>;
    const struct {
        const char* fall;
        Vorbereitung vorbereitung;
        const char *quelle, *ziel;
        int nummer;
    } faelle[] = {
        {"free target", [](const Tempordner&) {}, "a", "b", 0},
        {"existing file", [](const Tempordner& t) { Schreibe_datei(t / "b", "ziel"); }, "a", "b", 58},
        {"existing folder", [](const Tempordner& t) { fs::create_directory(t / "b"); }, "a", "b", 58},
        {"dangling link", [](const Tempordner& t) { fs::create_symlink(t / "nirgends", t / "b"); }, "a", "b", 58},
        {"its own name", [](const Tempordner&) {}, "a", "a", 58},
        {"missing source", [](const Tempordner&) {}, "fehlt", "b", 53},
        {"missing target folder", [](const Tempordner&) {}, "a", "fehlt/b", 53},
    };
    for (const auto& fall : faelle) {
        for (const bool ueber_laufwerke : {false, true}) {
            SCOPED_TRACE(std::string(fall.fall) + (ueber_laufwerke ? " (across file systems)" : ""));
            Tempordner t;
            Schreibe_datei(t / "a", "quelle");
            fall.vorbereitung(t);
            const Baum vorher = Baumzustand(t.pfad());
            // EXDEV makes the move take the copying path, as onto another file system.
            const Hakenwaechter haken(ueber_laufwerke ? Scheitere_bei(Systemoperation::Verschieben, EXDEV)
                                                      : Fehlerhaken());
            const int nummer = Fehlernummer_von([&] {
                if (ueber_laufwerke)
                    Verschiebe_ueber_laufwerke(t / fall.quelle, t / fall.ziel);
                else
                    Verschiebe_datei(t / fall.quelle, t / fall.ziel);
            });
            EXPECT_EQ(nummer, fall.nummer);
            EXPECT_EQ(Baumzustand(t.pfad()), (nummer == 0 ? Baum{{"b", "quelle"}} : vorher));
            EXPECT_EQ(fs::is_symlink(t / "b"), std::string(fall.fall) == "dangling link");
        }
    }
}

TEST(Verschiebe_datei, InjectedFailuresKeepTheSource)
{
    for (const auto& [errnum, nummer] : {std::pair{EIO, 57}, {ENOSPC, 61}, {EXDEV, 75}, {EEXIST, 58}}) {
        Tempordner t;
        Schreibe_datei(t / "a", "quelle");
        const Hakenwaechter haken(Scheitere_bei(Systemoperation::Verschieben, errnum));
        EXPECT_EQ(Fehlernummer_von([&] { Verschiebe_datei(t / "a", t / "b"); }), nummer) << errnum;
        EXPECT_EQ(Baumzustand(t.pfad()), (Baum{{"a", "quelle"}}));
    }
}

TEST(Verschiebe_ueber_laufwerke, CopiesWithRightsSynchronisesThenRemovesTheSource)
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
    EXPECT_EQ(Baumzustand(t.pfad()), (Baum{{"ziel/b", inhalt}}));
    EXPECT_EQ(fs::status(t / "ziel/b").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_NE(std::find(folge.begin(), folge.end(), Systemoperation::Synchronisieren), folge.end());
    EXPECT_EQ(folge.back(), Systemoperation::Loeschen);
}

TEST(Verschiebe_ueber_laufwerke, FailedCopyLeavesNoPartialTarget)
{
    for (const Systemoperation scheiternd :
         {Systemoperation::Kopieren, Systemoperation::Schreiben, Systemoperation::Synchronisieren}) {
        SCOPED_TRACE(static_cast<int>(scheiternd));
        Tempordner t;
        Schreibe_datei(t / "a", "seite");
        fs::create_directory(t / "ziel");
        const Hakenwaechter haken([scheiternd](Systemoperation operation, const std::string&) {
            return operation == Systemoperation::Verschieben ? EXDEV : operation == scheiternd ? ENOSPC : 0;
        });
        EXPECT_EQ(Fehlernummer_von([&] { Verschiebe_ueber_laufwerke(t / "a", t / "ziel/b"); }), 61);
        EXPECT_EQ(Baumzustand(t.pfad()), (Baum{{"a", "seite"}}));
        EXPECT_TRUE(fs::is_empty(t / "ziel"));
    }
}

// --- Folders and deleting --------------------------------------------------

TEST(Ordner, CreateRemoveDeleteAndTheirFailures)
{
    Tempordner t;
    Lege_ordner_an(t / "neu");
    EXPECT_TRUE(fs::is_directory(t / "neu"));
    EXPECT_EQ(Fehlernummer_von([&] { Lege_ordner_an(t / "neu"); }), 75);
    Schreibe_datei(t / "datei", "x");
    EXPECT_EQ(Fehlernummer_von([&] { Lege_ordner_an(t / "datei"); }), 75);
    EXPECT_EQ(Fehlernummer_von([&] { Loesche_datei(t / "neu"); }), 75);

    Schreibe_datei(t / "neu/inhalt", "bleibt");
    EXPECT_EQ(Fehlernummer_von([&] { Entferne_ordner(t / "neu"); }), 75);
    Loesche_datei(t / "neu/inhalt");
    EXPECT_EQ(Fehlernummer_von([&] { Loesche_datei(t / "neu/inhalt"); }), 53);
    {
        const Hakenwaechter haken(Scheitere_bei(Systemoperation::Ordner_entfernen, EIO));
        EXPECT_EQ(Fehlernummer_von([&] { Entferne_ordner(t / "neu"); }), 57);
    }
    Entferne_ordner(t / "neu");
    EXPECT_EQ(Fehlernummer_von([&] { Entferne_ordner(t / "neu"); }), 53);
    {
        const Hakenwaechter haken(Scheitere_bei(Systemoperation::Ordner_anlegen, EACCES));
        EXPECT_EQ(Fehlernummer_von([&] { Lege_ordner_an(t / "neu"); }), 70);
    }
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Loeschen, EACCES));
    EXPECT_EQ(Fehlernummer_von([&] { Loesche_datei(t / "datei"); }), 70);
    EXPECT_EQ(Baumzustand(t.pfad()), (Baum{{"datei", "x"}}));
    EXPECT_FALSE(fs::exists(t / "neu"));
}

// --- The folder listing ------------------------------------------------------

TEST(Liste_dateien, VisibleRegularFilesAndLinksToThemSortedWithoutRegardToCase)
{
    Tempordner t;
    for (const char* name : {"b.smc", "a.smc", "C.fig", "A.smc", "_x", "Z", "aa", "10", "2", ".versteckt"})
        Schreibe_datei(t / name, name);
    fs::create_directory(t / "unterordner");
    fs::create_symlink(t / "Z", t / "link_auf_datei");
    fs::create_symlink(t / "unterordner", t / "link_auf_ordner");
    fs::create_symlink(t / "fehlt", t / "toter_link");
    test::Lege_fifo_an(t / "fifo");
    test::Lege_socket_an(t / "sock");
    // Equal when folded: the byte order decides ("A.smc" before "a.smc").
    EXPECT_EQ(Liste_dateien(t.pfad().string()), (std::vector<std::string>{"10", "2", "_x", "A.smc", "a.smc", "aa",
                                                                          "b.smc", "C.fig", "link_auf_datei", "Z"}));
}

TEST(Liste_dateien, EmptyFolderAndFailures)
{
    Tempordner t;
    EXPECT_TRUE(Liste_dateien(t.pfad().string()).empty());
    EXPECT_EQ(Fehlernummer_von([&] { Liste_dateien(t / "fehlt"); }), 53);
    Schreibe_datei(t / "datei", "x");
    EXPECT_EQ(Fehlernummer_von([&] { Liste_dateien(t / "datei"); }), 76);
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Auflisten, EIO));
    EXPECT_EQ(Fehlernummer_von([&] { Liste_dateien(t.pfad().string()); }), 57);
}

// --- File mode ----------------------------------------------------------------

TEST(Waehle_datei, ThreeStatesInBothStyles)
{
    Tempordner t;
    Schreibe_datei(t / "snes.dat", Datenbankzeile("OTHER GAME", "Other Game") + Datenbankzeile("SUPER TEST", "Super Test Game"));
    Schreibe_datei(t / "kein.smc", "kein Bild");
    fixtures::Schreibe_rom(t / "unbekannt.smc", {.name = "NIEMAND KENNT MICH"});
    fixtures::Schreibe_rom(t / "bekannt.smc", {.name = "SUPER TEST"});
    using enum Auswahlzustand;
    const std::tuple<std::string, bool, Auswahlzustand, std::string, std::string> faelle[] = { // file, no spaces, state, names
        {"kein.smc", false, Kein_bild, "", ""}, {"kein.smc", true, Kein_bild, "", ""},
        {"unbekannt.smc", false, Unbekannt, "ROM unknown !", ""}, {"unbekannt.smc", true, Unbekannt, "ROM_unknown_!", ""},
        {"bekannt.smc", false, Bekannt, "Super Test Game (USA).smc", "Super Test Game"},
        {"bekannt.smc", true, Bekannt, "Super_Test_Game_(USA).smc", "Super Test Game"}};
    for (const auto& [datei, ohne, zustand, neuer_name, voller_name] : faelle) {
        const Dateiauswahl a = Waehle_datei(t / datei, t / "snes.dat", ohne);
        EXPECT_EQ(std::tie(a.zustand, a.namen.Neuer_name, a.namen.Voller_name), std::tie(zustand, neuer_name, voller_name)) << datei << ohne;
        EXPECT_EQ(a.analyse.Rom_ok, zustand != Kein_bild);
    }
    EXPECT_EQ(Fehlernummer_von([&] { Waehle_datei(t / "fehlt.smc", t / "snes.dat", false); }), 53);
    EXPECT_EQ(Fehlernummer_von([&] { Waehle_datei(t / "bekannt.smc", t / "fehlt.dat", false); }), 53);
}

TEST(Benenne_datei_um, RenamesInsideTheFolderWithTheWindowsNameAsUtf8)
{
    Tempordner t;
    Schreibe_datei(t / "alt.smc", "bild");
    Benenne_datei_um(t / "alt.smc", t.pfad().string() + "/", "Caf\xE9 \x80.smc");
    EXPECT_EQ(Baumzustand(t.pfad()), (Baum{{"Caf\xC3\xA9 \xE2\x82\xAC.smc", "bild"}}));
}

TEST(Benenne_datei_um, RefusesTakenNamesNamesLeavingTheFolderAndMissingFiles)
{
    const std::pair<std::string, int> faelle[] = {
        {"Neu.smc", 58}, {"alt.smc", 58}, {"../raus.smc", 52}, {"unter/raus.smc", 52}, {"a\\b.smc", 52},
        {".", 52},       {"..", 52},      {"", 52},            {std::string("a\0b", 3), 52}, {std::string(256, 'L'), 52}};
    for (const auto& [name, nummer] : faelle) {
        SCOPED_TRACE(name);
        Tempordner t;
        fs::create_directories(t / "ordner/unter");
        Schreibe_datei(t / "ordner/alt.smc", "bild");
        Schreibe_datei(t / "ordner/Neu.smc", "anderes");
        const Baum vorher = Baumzustand(t.pfad());
        EXPECT_EQ(Fehlernummer_von([&] { Benenne_datei_um(t / "ordner/alt.smc", t / "ordner", name); }), nummer);
        EXPECT_EQ(Baumzustand(t.pfad()), vorher);
    }
    Tempordner t;
    EXPECT_EQ(Fehlernummer_von([&] { Benenne_datei_um(t / "fehlt.smc", t.pfad().string(), "neu.smc"); }), 53);
}

} // namespace
} // namespace cartonym
