// The game list games.htm and the unknown-image log, byte for byte.
#include "common/system_calls.h"
#include "common/error.h"
#include "common/program_info.h"
#include "fixtures/rom_builder.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

namespace cartonym {
namespace {

using fixtures::Lies_datei;
using fixtures::Schreibe_datei;
using test::Baum;
using test::Baumzustand;
using test::Fehlernummer_von;
using test::Hakenwaechter;
using test::Scheitere_bei;
using test::Temp_umgebung;
using test::Tempordner;
namespace fs = std::filesystem;

std::string Zeilen(const std::vector<std::string>& zeilen)
{
    std::string text;
    for (const std::string& zeile : zeilen)
        text += zeile + "\r\n";
    return text;
}

std::string Linkleiste()
{
    return std::string("<p><b><tt><font color=\"#999999\">[</font><font color=\"#333333\"> <a href=\"")
        + Programm::Homepage
        + "\">The Cartonym Homepage</a> </font><font color=\"#999999\">] [</font><font color=\"#333333\"> <a "
          "href=\""
        + Programm::Herstellerseite + "\">" + Programm::Herstellerseite_name
        + "</a> </font><font color=\"#999999\">]</font></tt></b>";
}

const std::string Erwarteter_kopf = Zeilen({
    "<!doctype html public \"-//w3c//dtd html 4.0 transitional//en\">",
    "<html>",
    "<head>",
    "   <meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
    std::string("   <meta name=\"GENERATOR\" content=\"The Cartonym - ") + Programm::Herstellerseite + "\">",
    "   <title>SNES ROM Image List</title>",
    "</head>",
    "<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#33CCFF\" vlink=\"#33CCFF\" alink=\"#33CCFF\">",
    "<center><b><i><tt><font color=\"#999999\"><font size=+3>SNES ROM Image List</font></font></tt></i></b>",
    "<br><b><tt><font color=\"#333333\">created by the Cartonym</font></tt></b><b><tt><font color=\"#999999\"></font>"
    "</tt></b>",
    Linkleiste(),
    "<br><b><tt><font color=\"#999999\"></font></tt></b>&nbsp;<b><tt><font color=\"#333333\"></font></tt></b>",
    "<p><b><tt><font color=\"#333333\">Attention:</font></tt></b>",
    "<br><b><tt><font color=\"#999999\">This program is designed to identify, rename and list SNES ROM images. It is "
    "forbidden to download ROMs and to use them without the original cardridge. The author of the of the Cartonym is "
    "in no way responsible for any ROM pirating activites. The distribution of this program together with illegal "
    "ROMs is strictly forbidden !</font></tt></b></center><br>&nbsp;",
    "<table BORDER=\"0\" CELLSPACING=\"3\" CELLPADDING=\"3\" WIDTH=\"100%\" BGCOLOR=\"#CCFFFF\"><tr><td>",
    "<center><b><i><tt><font color=\"#666666\">Name</font></tt></i></b></center></td><td><center><b><i><tt><font "
    "color=\"#666666\">Filename</font></tt></i></b></center></td><td><center><b><i><tt><font color=\"#666666\">"
    "Country</font></tt></i></b></center></td><td><center><b><i><tt><font color=\"#666666\">Fileformat</font></tt>"
    "</i></b></center></td></tr>",
});

// --- Page text ------------------------------------------------------------------

TEST(Spielliste_text, HeadRowAndEnd)
{
    EXPECT_EQ(Listenkopf_text(), Erwarteter_kopf);
    EXPECT_EQ(Listenzeile_text({"Tom & Jerry <Deluxe> \"\xE9\"", "Tom & Jerry (USA).smc", "1 = USA (NTSC)",
                                "SNES LoRom, no Header"}),
              "<tr><td><tt><font color=\"#000099\">Tom & Jerry <Deluxe> \"\xE9\"</font></tt></td><td><tt><font "
              "color=\"#808080\">Tom & Jerry (USA).smc</font></tt></td><td><tt><font color=\"#000099\">1 = USA "
              "(NTSC)</font></tt></td><td><tt><font color=\"#808080\">SNES LoRom, no Header</font></tt></td></tr>\r\n");

    // Five lines; the promotional paragraph is free text with links, but no line break.
    const std::string ende = Listenende_text();
    const auto absatz = ende.find("\r\n") + 2;
    const auto danach = ende.find("\r\n", absatz);
    ASSERT_NE(danach, std::string::npos);
    const std::string text = ende.substr(absatz, danach - absatz);
    EXPECT_TRUE(text.starts_with("<p><b><tt><font color=\"#999999\">") && text.ends_with("</font></tt></b>"));
    EXPECT_NE(text.find("<a href=\""), std::string::npos);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(ende.substr(0, absatz) + ende.substr(danach + 2),
              Zeilen({"</table><center>",
                      "<br><b><tt><font color=\"#999999\">Thank you !</font></tt></b><b><tt><font color=\"#999999\">"
                      "</font></tt></b>",
                      Linkleiste() + "</center>", "</body></html>"}));
}

TEST(Spielliste_text, TemporaryFolder)
{
    const struct {
        std::vector<std::pair<std::string, std::string>> umgebung;
        const char *ordner, *arbeitsdatei;
    } faelle[] = {
        {{{"temp", "/a/b"}, {"TMPDIR", "/x"}}, "/a/b", "/a/b/games.htm"},
        {{{"TEMP", "/a/b/"}}, "/a/b/", "/a/b/games.htm"},
        {{{"TeMp", "/c"}}, "/c", "/c/games.htm"},
        {{{"temp", ""}, {"TMPDIR", "/x"}}, "", "/games.htm"},
        {{{"TMPDIR", "/x/"}, {"TEMPO", "/no"}}, "/x/", "/x/games.htm"},
        {{}, "/tmp", "/tmp/games.htm"},
    };
    for (const auto& fall : faelle) {
        const Temp_umgebung umgebung(fall.umgebung);
        EXPECT_EQ(Temporaerordner(), fall.ordner);
        EXPECT_EQ(Arbeitsdatei_spielliste(), fall.arbeitsdatei);
    }
}

// --- The list on disk ----------------------------------------------------------------

struct Listenumgebung {
    Tempordner t;
    std::string tempordner = t / "temp";
    std::string F = t / "roms";
    Temp_umgebung umgebung{{{"temp", tempordner}}};
    Listenumgebung()
    {
        fs::create_directory(tempordner);
        fs::create_directories(fs::path(F) / "Renamed_SNES_ROMs");
    }
    std::string arbeitsdatei() const { return tempordner + "/games.htm"; }
    std::string ziel() const { return F + "/Renamed_SNES_ROMs/games.htm"; }
};

const Listenzeile Beispielzeile{"Alpha", "Alpha (USA).smc", "1 = USA (NTSC)", "SNES LoRom, no Header"};
const std::string Leere_seite = Erwarteter_kopf + Listenende_text();

TEST(Spielliste, WrittenInTheTemporaryFolderThenMovedOverAnEarlierList)
{
    for (const bool ueber_laufwerke : {false, true}) {
        SCOPED_TRACE(ueber_laufwerke);
        Listenumgebung u;
        Schreibe_datei(u.ziel(), "alte Liste");
        const Hakenwaechter haken(ueber_laufwerke ? Scheitere_bei(Systemoperation::Verschieben, EXDEV) : Fehlerhaken());
        Spielliste liste;
        liste.Schreibe_listenkopf();
        EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Erwarteter_kopf);
        liste.Schreibe_listenzeile(Beispielzeile);
        liste.Schreibe_listenende(u.F + "/");
        EXPECT_FALSE(liste.offen());
        EXPECT_EQ(Baumzustand(u.t.pfad()), (Baum{{"roms/Renamed_SNES_ROMs/games.htm",
                                                  Erwarteter_kopf + Listenzeile_text(Beispielzeile) + Listenende_text()}}));
    }
}

TEST(Spielliste, LeftoverWorkingFileIsReplacedAndALinkNeverFollowed)
{
    Listenumgebung u;
    Schreibe_datei(u.t / "fremd", "fremde Datei");
    fs::create_symlink(u.t / "fremd", u.arbeitsdatei());
    Spielliste liste;
    liste.Schreibe_listenkopf();
    EXPECT_FALSE(fs::is_symlink(u.arbeitsdatei()));
    EXPECT_EQ(Lies_datei(u.t / "fremd"), "fremde Datei");
    liste.Schliesse();
    Schreibe_datei(u.arbeitsdatei(), std::string(100000, 'x'));
    liste.Schreibe_listenkopf();
    liste.Schliesse();
    EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Erwarteter_kopf);
}

TEST(Spielliste, UnfinishedOrUnplaceablePageStaysInTheTemporaryFolderSilentlyButAFailedDeletionIsNot)
{
    {
        Listenumgebung u;
        {
            Spielliste liste;
            liste.Schreibe_listenkopf();
            liste.Schreibe_listenzeile(Beispielzeile);
        } // the destructor closes it
        EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Erwarteter_kopf + Listenzeile_text(Beispielzeile));
        EXPECT_FALSE(fs::exists(u.ziel()));
    }
    for (const bool ordner_fehlt : {true, false}) { // or closing fails
        Listenumgebung u;
        if (ordner_fehlt)
            fs::remove(fs::path(u.F) / "Renamed_SNES_ROMs");
        const Hakenwaechter haken(ordner_fehlt ? Fehlerhaken() : Scheitere_bei(Systemoperation::Schliessen, EIO));
        Spielliste liste;
        liste.Schreibe_listenkopf();
        EXPECT_NO_THROW(liste.Schreibe_listenende(u.F));
        EXPECT_FALSE(liste.offen() || fs::exists(u.ziel()));
        EXPECT_TRUE(!ordner_fehlt || Lies_datei(u.arbeitsdatei()) == Leere_seite);
    }
    Listenumgebung u;
    Schreibe_datei(u.ziel(), "alte Liste");
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Loeschen, EACCES));
    Spielliste liste;
    liste.Schreibe_listenkopf();
    EXPECT_EQ(Fehlernummer_von([&] { liste.Schreibe_listenende(u.F); }), 70);
    EXPECT_EQ(Lies_datei(u.ziel()), "alte Liste");
    EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Leere_seite);
}

TEST(Spielliste, HeadAndRowFailuresGoBackToTheCaller)
{
    Listenumgebung u;
    Spielliste liste;
    {
        const Temp_umgebung fehlt({{"temp", u.t / "fehlt"}});
        EXPECT_NE(Fehlernummer_von([&] { liste.Schreibe_listenkopf(); }), 0);
        EXPECT_FALSE(liste.offen());
    }
    EXPECT_EQ(Fehlernummer_von([&] { liste.Schreibe_listenzeile(Beispielzeile); }), 52) << "no open list";
    liste.Schreibe_listenkopf();
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Schreiben, ENOSPC));
    EXPECT_EQ(Fehlernummer_von([&] { liste.Schreibe_listenzeile(Beispielzeile); }), 61);
}

// --- Unknown-image log -------------------------------------------------------------------

TEST(Unbekanntlog, SevenLineEntriesAppended)
{
    const std::string erster = Zeilen({"Datasource: The Cartonym ver. 0. 91. 0 Englisch", "Filename = \"mystery.smc\"",
                                        "Format = SNES HiRom, no Header", "Internal name = \"NOBODY KNOWS ME      \"",
                                        "Country = 1 = USA (NTSC)", "CRC1 = EF BE", ""});
    EXPECT_EQ(Unbekannt_eintrag("mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ", "1 = USA (NTSC)", "EF BE"), erster);
    Tempordner t;
    Schreibe_unbekannt(t.pfad().string() + "/", "mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ", "1 = USA (NTSC)", "EF BE");
    Schreibe_unbekannt(t.pfad().string(), "Caf\xE9.fig", "SNES LoRom, Pro Fighter Header (FIG)", std::string(21, ' '), "0 = Japan (NTSC)", "0 0");
    EXPECT_EQ(Lies_datei(t / "unknown.log"), erster + Zeilen({"Datasource: The Cartonym ver. 0. 91. 0 Englisch", "Filename = \"Caf\xE9.fig\"",
                                                             "Format = SNES LoRom, Pro Fighter Header (FIG)",
                                                             "Internal name = \"                     \"", "Country = 0 = Japan (NTSC)",
                                                             "CRC1 = 0 0", ""}));
    EXPECT_EQ(Fehlernummer_von([&] { Schreibe_unbekannt(t / "fehlt", "a", "b", "c", "d", "e"); }), 53);
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Schreiben, ENOSPC));
    EXPECT_EQ(Fehlernummer_von([&] { Schreibe_unbekannt(t.pfad().string(), "a", "b", "c", "d", "e"); }), 61);
}

TEST(Unbekanntlog, FileNamesEscapeOnlyWhatTheCodePageCannotHoldAndReverse)
{
    const std::pair<std::string, std::string> faelle[] = {
        {"%41 100% [!].smc", "%41 100% [!].smc"},
        {"Caf\xC3\xA9 \xE2\x82\xAC\xC5\xB8.smc", "Caf\xE9 \x80\x9F.smc"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.smc", "\\u{65E5}\\u{672C}.smc"},
        {"\xF0\x9F\x8E\xAE", "\\u{1F3AE}"},
        {"a\\b \\x41", "a\\\\b \\\\x41"},
        {"zeile\neins\r\t.smc", "zeile\\u{000A}eins\\u{000D}\\u{0009}.smc"},
        {"\xC2\x81\xC2\x9D", "\\u{0081}\\u{009D}"},
        {"latin1 \xE9\xFF.smc", "latin1 \\xE9\\xFF.smc"},
        {"\xC3", "\\xC3"},
        {"\xC0\x80 \xED\xA0\x80", "\\xC0\\x80 \\xED\\xA0\\x80"},
    };
    for (const auto& [dateiname, logtext] : faelle) {
        EXPECT_EQ(Cp1252_aus_dateiname(dateiname), logtext);
        EXPECT_EQ(Dateiname_aus_logtext(logtext), std::optional<std::string>(dateiname));
    }
    for (const char* text : {"\\", "a\\q", "\\x4", "\\xG1", "\\u{41}", "\\u{1234567}", "\\u{D800}", "\\u{110000}",
                             "\\u0041"})
        EXPECT_EQ(Dateiname_aus_logtext(text), std::nullopt) << text;
}

} // namespace
} // namespace cartonym
