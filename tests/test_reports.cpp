// The game list games.htm and the unknown-image log, byte for byte.
#include "common/dateisystem.h"
#include "common/fehler.h"
#include "common/programm.h"
#include "fixtures/rombau.h"
#include "reports/spielliste.h"
#include "reports/unbekanntlog.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>
#include <vector>

extern char** environ;

namespace cartonym {
namespace {

using fixtures::Lies_datei;
using fixtures::Schreibe_datei;
using test::Baumzustand;
using test::Tempordner;
namespace fs = std::filesystem;

// Removes every variable that names a temporary folder ("temp" in any
// letter case, TMPDIR) for one test, sets the given ones, and restores the
// environment afterwards.
class Temp_umgebung {
public:
    explicit Temp_umgebung(const std::vector<std::pair<std::string, std::string>>& setzen)
    {
        std::vector<std::string> namen;
        for (char** eintrag = environ; *eintrag != nullptr; ++eintrag) {
            std::string text = *eintrag;
            const std::string name = text.substr(0, text.find('='));
            std::string klein = name;
            for (char& zeichen : klein)
                zeichen = static_cast<char>(std::tolower(static_cast<unsigned char>(zeichen)));
            if (klein == "temp" || name == "TMPDIR") {
                namen.push_back(name);
                alt_.emplace_back(name, text.substr(name.size() + 1));
            }
        }
        for (const std::string& name : namen)
            ::unsetenv(name.c_str());
        for (const auto& [name, wert] : setzen)
            ::setenv(name.c_str(), wert.c_str(), 1);
        gesetzt_ = setzen;
    }
    ~Temp_umgebung()
    {
        for (const auto& [name, wert] : gesetzt_)
            ::unsetenv(name.c_str());
        for (const auto& [name, wert] : alt_)
            ::setenv(name.c_str(), wert.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::string>> alt_;
    std::vector<std::pair<std::string, std::string>> gesetzt_;
};

class Hakenwaechter {
public:
    explicit Hakenwaechter(Fehlerhaken haken) { alt_ = Setze_fehlerhaken(std::move(haken)); }
    ~Hakenwaechter() { Setze_fehlerhaken(std::move(alt_)); }

private:
    Fehlerhaken alt_;
};

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

TEST(Spielliste_text, HeadIsSixteenFixedLines)
{
    EXPECT_EQ(Listenkopf_text(), Erwarteter_kopf);
}

TEST(Spielliste_text, RowWritesTheFieldsAsTheyStand)
{
    EXPECT_EQ(Listenzeile_text({"Tom & Jerry <Deluxe> \"\xE9\"", "Tom & Jerry (USA).smc", "1 = USA (NTSC)",
                                "SNES LoRom, no Header"}),
              "<tr><td><tt><font color=\"#000099\">Tom & Jerry <Deluxe> \"\xE9\"</font></tt></td><td><tt><font "
              "color=\"#808080\">Tom & Jerry (USA).smc</font></tt></td><td><tt><font color=\"#000099\">1 = USA "
              "(NTSC)</font></tt></td><td><tt><font color=\"#808080\">SNES LoRom, no Header</font></tt></td></tr>\r\n");
}

TEST(Spielliste_text, EndIsFiveLinesWithTheLinkBarClosingTheCentre)
{
    const std::string ende = Listenende_text();
    std::vector<std::string> zeilen;
    for (std::size_t pos = 0; pos < ende.size();) {
        const auto schluss = ende.find("\r\n", pos);
        ASSERT_NE(schluss, std::string::npos) << "every line ends in CR LF";
        zeilen.push_back(ende.substr(pos, schluss - pos));
        pos = schluss + 2;
    }
    ASSERT_EQ(zeilen.size(), 5u);
    EXPECT_EQ(zeilen[0], "</table><center>");
    // The promotional paragraph is free text with links, but no line break.
    EXPECT_TRUE(zeilen[1].starts_with("<p><b><tt><font color=\"#999999\">"));
    EXPECT_TRUE(zeilen[1].ends_with("</font></tt></b>"));
    EXPECT_NE(zeilen[1].find("<a href=\""), std::string::npos);
    EXPECT_EQ(zeilen[1].find('\n'), std::string::npos);
    EXPECT_EQ(zeilen[2], "<br><b><tt><font color=\"#999999\">Thank you !</font></tt></b><b><tt><font "
                         "color=\"#999999\"></font></tt></b>");
    EXPECT_EQ(zeilen[3], Linkleiste() + "</center>");
    EXPECT_EQ(zeilen[4], "</body></html>");
}

// --- Temporary folder -------------------------------------------------------------

struct Tempfall {
    const char* beschreibung;
    std::vector<std::pair<std::string, std::string>> umgebung;
    const char* ordner;
    const char* arbeitsdatei;
};

class Temporaerordner_fall : public ::testing::TestWithParam<Tempfall> {};

TEST_P(Temporaerordner_fall, FoundAndJoined)
{
    const Temp_umgebung umgebung(GetParam().umgebung);
    EXPECT_EQ(Temporaerordner(), GetParam().ordner);
    EXPECT_EQ(Arbeitsdatei_spielliste(), GetParam().arbeitsdatei);
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Temporaerordner_fall,
    ::testing::Values(Tempfall{"lower", {{"temp", "/a/b"}, {"TMPDIR", "/x"}}, "/a/b", "/a/b/games.htm"},
                      Tempfall{"upper", {{"TEMP", "/a/b/"}}, "/a/b/", "/a/b/games.htm"},
                      Tempfall{"mixed", {{"TeMp", "/c"}}, "/c", "/c/games.htm"},
                      Tempfall{"empty", {{"temp", ""}, {"TMPDIR", "/x"}}, "", "/games.htm"},
                      Tempfall{"tmpdir", {{"TMPDIR", "/x/"}, {"TEMPO", "/no"}}, "/x/", "/x/games.htm"},
                      Tempfall{"none", {}, "/tmp", "/tmp/games.htm"}),
    [](const auto& fallinfo) { return std::string(fallinfo.param.beschreibung); });

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

TEST(Spielliste, WrittenInTheTemporaryFolderThenMovedIntoPlace)
{
    Listenumgebung u;
    Spielliste liste;
    liste.Schreibe_listenkopf();
    EXPECT_EQ(liste.arbeitsdatei(), u.arbeitsdatei());
    EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Erwarteter_kopf);
    liste.Schreibe_listenzeile(Beispielzeile);
    liste.Schreibe_listenende(u.F);
    EXPECT_FALSE(liste.offen());
    EXPECT_FALSE(fs::exists(u.arbeitsdatei()));
    EXPECT_EQ(Lies_datei(u.ziel()), Erwarteter_kopf + Listenzeile_text(Beispielzeile) + Listenende_text());
}

TEST(Spielliste, ListWithoutRowsIsACompletePage)
{
    Listenumgebung u;
    Spielliste liste;
    liste.Schreibe_listenkopf();
    liste.Schreibe_listenende(u.F + "/");
    EXPECT_EQ(Lies_datei(u.ziel()), Erwarteter_kopf + Listenende_text());
}

TEST(Spielliste, EarlierListInPlaceIsReplaced)
{
    Listenumgebung u;
    Schreibe_datei(u.ziel(), "alte Liste");
    Spielliste liste;
    liste.Schreibe_listenkopf();
    liste.Schreibe_listenende(u.F);
    EXPECT_EQ(Lies_datei(u.ziel()), Erwarteter_kopf + Listenende_text());
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

TEST(Spielliste, ClosedWithoutEndStaysIncompleteInTheTemporaryFolder)
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

TEST(Spielliste, MissingTargetFolderLeavesThePageSilently)
{
    Listenumgebung u;
    fs::remove(fs::path(u.F) / "Renamed_SNES_ROMs");
    Spielliste liste;
    liste.Schreibe_listenkopf();
    EXPECT_NO_THROW(liste.Schreibe_listenende(u.F));
    EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Erwarteter_kopf + Listenende_text());
}

TEST(Spielliste, AcrossFileSystemsTheCopyReplacesAnEarlierList)
{
    Listenumgebung u;
    Schreibe_datei(u.ziel(), "alte Liste");
    const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
        return operation == Systemoperation::Verschieben ? EXDEV : 0;
    });
    Spielliste liste;
    liste.Schreibe_listenkopf();
    liste.Schreibe_listenende(u.F);
    EXPECT_EQ(Baumzustand(u.t.pfad()),
              (std::map<std::string, std::string>{{"roms/Renamed_SNES_ROMs/games.htm", Erwarteter_kopf + Listenende_text()}}));
}

TEST(Spielliste, FailuresOfTheEndAreSilentButAFailedDeletionIsNot)
{
    {
        Listenumgebung u;
        const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
            return operation == Systemoperation::Schliessen ? EIO : 0;
        });
        Spielliste liste;
        liste.Schreibe_listenkopf();
        EXPECT_NO_THROW(liste.Schreibe_listenende(u.F));
        EXPECT_FALSE(liste.offen());
        EXPECT_FALSE(fs::exists(u.ziel()));
    }
    {
        Listenumgebung u;
        Schreibe_datei(u.ziel(), "alte Liste");
        const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
            return operation == Systemoperation::Loeschen ? EACCES : 0;
        });
        Spielliste liste;
        liste.Schreibe_listenkopf();
        try {
            liste.Schreibe_listenende(u.F);
            ADD_FAILURE() << "the failed deletion goes back to the caller";
        } catch (const Fehler& fehler) {
            EXPECT_EQ(fehler.nummer(), Fehlernummer::Keine_berechtigung);
        }
        EXPECT_EQ(Lies_datei(u.ziel()), "alte Liste");
        EXPECT_EQ(Lies_datei(u.arbeitsdatei()), Erwarteter_kopf + Listenende_text());
    }
}

TEST(Spielliste, HeadAndRowFailuresGoBackToTheCaller)
{
    Listenumgebung u;
    Spielliste liste;
    {
        const Temp_umgebung fehlt({{"temp", u.t / "fehlt"}});
        EXPECT_THROW(liste.Schreibe_listenkopf(), Fehler);
        EXPECT_FALSE(liste.offen());
    }
    try {
        liste.Schreibe_listenzeile(Beispielzeile);
        ADD_FAILURE() << "a row without an open list";
    } catch (const Fehler& fehler) {
        EXPECT_EQ(fehler.nummer(), Fehlernummer::Dateiname_falsch);
    }
    liste.Schreibe_listenkopf();
    const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
        return operation == Systemoperation::Schreiben ? ENOSPC : 0;
    });
    try {
        liste.Schreibe_listenzeile(Beispielzeile);
        ADD_FAILURE() << "a failed write";
    } catch (const Fehler& fehler) {
        EXPECT_EQ(fehler.nummer(), Fehlernummer::Datentraeger_voll);
    }
}

// --- Unknown-image log -------------------------------------------------------------------

const std::string Erster_eintrag = "Datasource: The Cartonym ver. 0. 91. 0 Englisch\r\n"
                                   "Filename = \"mystery.smc\"\r\n"
                                   "Format = SNES HiRom, no Header\r\n"
                                   "Internal name = \"NOBODY KNOWS ME      \"\r\n"
                                   "Country = 1 = USA (NTSC)\r\n"
                                   "CRC1 = EF BE\r\n"
                                   "\r\n";

TEST(Unbekanntlog, EntryIsSevenLines)
{
    EXPECT_EQ(Unbekannt_eintrag("mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ", "1 = USA (NTSC)",
                                "EF BE"),
              Erster_eintrag);
}

TEST(Unbekanntlog, AppendedAcrossCallsWithOrWithoutFinalSeparator)
{
    Tempordner t;
    Schreibe_unbekannt(t.pfad().string() + "/", "mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ",
                       "1 = USA (NTSC)", "EF BE");
    Schreibe_unbekannt(t.pfad().string(), "Caf\xE9.fig", "SNES LoRom, Pro Fighter Header (FIG)",
                       std::string(21, ' '), "0 = Japan (NTSC)", "0 0");
    EXPECT_EQ(Lies_datei(t / "unknown.log"), Erster_eintrag
                                                 + "Datasource: The Cartonym ver. 0. 91. 0 Englisch\r\n"
                                                   "Filename = \"Caf\xE9.fig\"\r\n"
                                                   "Format = SNES LoRom, Pro Fighter Header (FIG)\r\n"
                                                   "Internal name = \"                     \"\r\n"
                                                   "Country = 0 = Japan (NTSC)\r\n"
                                                   "CRC1 = 0 0\r\n"
                                                   "\r\n");
}

TEST(Unbekanntlog, FailuresGoBackToTheCaller)
{
    Tempordner t;
    try {
        Schreibe_unbekannt(t / "fehlt", "a", "b", "c", "d", "e");
        ADD_FAILURE() << "missing folder";
    } catch (const Fehler& fehler) {
        EXPECT_EQ(fehler.nummer(), Fehlernummer::Datei_fehlt);
    }
    const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
        return operation == Systemoperation::Schreiben ? ENOSPC : 0;
    });
    EXPECT_THROW(Schreibe_unbekannt(t.pfad().string(), "a", "b", "c", "d", "e"), Fehler);
}

// --- File names in the log -------------------------------------------------------------------

struct Namensfall {
    std::string dateiname; // file-system bytes
    std::string logtext;   // Windows-1252
};

class Namensumwandlung : public ::testing::TestWithParam<Namensfall> {};

TEST_P(Namensumwandlung, EscapesOnlyWhatTheCodePageCannotHoldAndReverses)
{
    EXPECT_EQ(Cp1252_aus_dateiname(GetParam().dateiname), GetParam().logtext);
    EXPECT_EQ(Dateiname_aus_logtext(GetParam().logtext), std::optional<std::string>(GetParam().dateiname));
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Namensumwandlung,
    ::testing::Values(Namensfall{"Mario (USA) [!].smc", "Mario (USA) [!].smc"},
                      Namensfall{"%41 100%.smc", "%41 100%.smc"},
                      Namensfall{"Caf\xC3\xA9 \xE2\x82\xAC\xC5\xB8.smc", "Caf\xE9 \x80\x9F.smc"},
                      Namensfall{"\xE6\x97\xA5\xE6\x9C\xAC.smc", "\\u{65E5}\\u{672C}.smc"},
                      Namensfall{"\xF0\x9F\x8E\xAE", "\\u{1F3AE}"},
                      Namensfall{"a\\b", "a\\\\b"},
                      Namensfall{"\\x41", "\\\\x41"},
                      Namensfall{"zeile\neins\r\t.smc", "zeile\\u{000A}eins\\u{000D}\\u{0009}.smc"},
                      Namensfall{"\xC2\x81\xC2\x9D", "\\u{0081}\\u{009D}"},
                      Namensfall{"latin1 \xE9\xFF.smc", "latin1 \\xE9\\xFF.smc"},
                      Namensfall{"\xC3", "\\xC3"},
                      Namensfall{"\xC0\x80 \xED\xA0\x80", "\\xC0\\x80 \\xED\\xA0\\x80"}));

TEST(Namensumwandlung, MalformedEscapesAreRejected)
{
    for (const char* text : {"\\", "a\\q", "\\x4", "\\xG1", "\\u{41}", "\\u{1234567}", "\\u{D800}", "\\u{110000}",
                             "\\u0041", "\\u{00ZZ}"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Dateiname_aus_logtext(text), std::nullopt);
    }
}

} // namespace
} // namespace cartonym
