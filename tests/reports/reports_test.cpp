// SPDX-License-Identifier: GPL-3.0-or-later
// The game list games.htm and the unknown-image log, byte for byte.
#include "common/program_info.h"
#include "common/windows1252.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"
#include "tests/testsupport.h"

#include <cerrno>

namespace cartonym {
namespace {

using namespace fixtures;
using namespace test;
namespace fs = std::filesystem;

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string link_bar()
{
    return std::string("<p><b><tt><font color=\"#999999\">[</font><font color=\"#333333\"> <a href=\"")
        + program_info::homepage_address
        + "\">The Cartonym Homepage</a> </font><font color=\"#999999\">] [</font><font color=\"#333333\"> <a "
          "href=\""
        + program_info::maker_site + "\">" + program_info::maker_site_name
        + "</a> </font><font color=\"#999999\">]</font></tt></b>";
}

const std::string expected_head = Lines({"<!doctype html public \"-//w3c//dtd html 4.0 transitional//en\">", "<html>",
    "<head>", "   <meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
    std::string("   <meta name=\"GENERATOR\" content=\"The Cartonym - ") + program_info::maker_site + "\">",
    "   <title>SNES ROM Image List</title>", "</head>",
    "<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#33CCFF\" vlink=\"#33CCFF\" alink=\"#33CCFF\">",
    "<center><b><i><tt><font color=\"#999999\"><font size=+3>SNES ROM Image List</font></font></tt></i></b>",
    "<br><b><tt><font color=\"#333333\">created by the Cartonym</font></tt></b><b><tt><font color=\"#999999\"></font>"
    "</tt></b>",
    link_bar(),
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
    "</i></b></center></td></tr>"});

TEST(GameListText, HeadRowAndEnd)
{
    EXPECT_EQ(game_list_head_text(), expected_head);
    EXPECT_EQ(game_list_row_text({"Tom & Jerry <Deluxe> \"\xE9\"", "Tom & Jerry (USA).smc", "1 = USA (NTSC)",
                  "SNES LoRom, no Header"}),
        "<tr><td><tt><font color=\"#000099\">Tom & Jerry <Deluxe> \"\xE9\"</font></tt></td><td><tt><font "
        "color=\"#808080\">Tom & Jerry (USA).smc</font></tt></td><td><tt><font color=\"#000099\">1 = USA "
        "(NTSC)</font></tt></td><td><tt><font color=\"#808080\">SNES LoRom, no Header</font></tt></td></tr>\r\n");

    // Five lines; the promotional paragraph is free text with links, but no line break.
    const std::string end = game_list_end_text();
    const std::string before = "</table><center>\r\n<p><b><tt><font color=\"#999999\">";
    const std::string after = "</font></tt></b>\r\n"
        + Lines({"<br><b><tt><font color=\"#999999\">Thank you !</font></tt></b><b><tt><font color=\"#999999\">"
                 "</font></tt></b>",
            link_bar() + "</center>", "</body></html>"});
    ASSERT_TRUE(end.starts_with(before) && end.ends_with(after)) << end;
    const std::string paragraph = end.substr(before.size(), end.size() - before.size() - after.size());
    EXPECT_NE(paragraph.find("<a href=\""), std::string::npos);
    EXPECT_EQ(paragraph.find('\n'), std::string::npos);
}

TEST(GameListText, TemporaryFolder)
{
#ifdef _WIN32
    // Windows: "temp" (in any letter case), then TMP, then the system's.
    const std::tuple<std::vector<std::pair<std::string, std::string>>, const char*, const char*> cases[] = {
        {{{"temp", "C:\\a\\b"}, {"TMP", "C:\\x"}}, "C:\\a\\b", "C:\\a\\b\\cartonym-"},
        {{{"TEMP", "C:\\a\\b\\"}}, "C:\\a\\b\\", "C:\\a\\b\\cartonym-"},
        {{{"temp", ""}, {"TMP", "D:\\x"}}, "D:\\x", "D:\\x\\cartonym-"}, // empty counts as unset
    };
#else
    const std::tuple<std::vector<std::pair<std::string, std::string>>, const char*, const char*> cases[] = {
        {{{"temp", "/a/b"}, {"TMPDIR", "/x"}}, "/a/b", "/a/b/cartonym-"},
        {{{"TEMP", "/a/b/"}}, "/a/b/", "/a/b/cartonym-"},
        {{{"TeMp", "/c"}}, "/c", "/c/cartonym-"},
        {{{"temp", ""}, {"TMPDIR", "/x"}}, "/x", "/x/cartonym-"}, // empty counts as unset
        {{{"TMPDIR", "/x/"}, {"TEMPO", "/no"}}, "/x/", "/x/cartonym-"},
        {{}, "/tmp", "/tmp/cartonym-"},
    };
#endif
    for (const auto& [variables, folder, working_file] : cases) {
        const TempEnvironment environment(variables);
        EXPECT_EQ(temporary_folder(), folder);
        EXPECT_TRUE(game_list_working_file_template().starts_with(working_file)) << folder;
    }
}

struct GameListWorld {
    TempFolder t;
    std::string temp_folder = t / "temp";
    std::string F = t / "roms";
    TempEnvironment environment{{{"temp", temp_folder}}};
    GameListWorld()
    {
        fs::create_directory(temp_folder);
        fs::create_directories(fs::path(F) / "Renamed_SNES_ROMs");
    }
    std::string target() const { return F + "/Renamed_SNES_ROMs/games.htm"; }
};

const GameListRow sample_row{"Alpha", "Alpha (USA).smc", "1 = USA (NTSC)", "SNES LoRom, no Header"};

// Each run writes a private working file in the temporary folder, touches no one else's file there,
// and moves its page over an earlier list, also across file systems.
TEST(GameList, EachRunWritesAPrivateFileThenMovesItOverAnEarlierList)
{
    for (const bool across_file_systems : {false, true}) {
        SCOPED_TRACE(across_file_systems);
        GameListWorld u;
        write_file(u.t / "other", "someone else's file");
        fs::create_symlink(u.t / "other", u.temp_folder + "/games.htm");
        const ScopedFaultHook hook(across_file_systems ? fail_on(SystemOperation::move, EXDEV) : FaultHook());
        GameList first, second;
        first.Schreibe_listenkopf();
        second.Schreibe_listenkopf();
        std::vector<std::string> heads; // the two private working files
        for (const auto& entry : fs::directory_iterator(u.temp_folder))
            if (entry.path().filename().string().starts_with("cartonym-"))
                heads.push_back(read_file(entry.path().string()));
        EXPECT_EQ(heads, std::vector<std::string>(2, expected_head));
        first.Schreibe_listenzeile(sample_row);
        second.Schreibe_listenende(u.F);
        first.Schreibe_listenende(u.F + "/"); // the second list is placed; the first replaces it
        EXPECT_FALSE(first.is_open());
        EXPECT_EQ(tree_of(u.t.path()),
            (Tree{{"other", "someone else's file"},
                {"roms/Renamed_SNES_ROMs/games.htm",
                    expected_head + game_list_row_text(sample_row) + game_list_end_text()}}));
        EXPECT_TRUE(fs::is_symlink(u.temp_folder + "/games.htm"));
    }
}

TEST(GameList, AnUnfinishedOrUnplaceablePageIsRemovedSilentlyButAFailedDeletionIsNot)
{
    for (const std::string how : {"never ended", "folder missing", "closing fails"}) {
        SCOPED_TRACE(how);
        GameListWorld u;
        if (how == "folder missing")
            fs::remove(fs::path(u.F) / "Renamed_SNES_ROMs");
        const ScopedFaultHook hook(how == "closing fails" ? fail_on(SystemOperation::close, EIO) : FaultHook());
        std::optional<GameList> list(std::in_place);
        list->Schreibe_listenkopf();
        list->Schreibe_listenzeile(sample_row);
        if (how == "never ended")
            list.reset(); // the destructor closes it and removes the working file
        else
            list->Schreibe_listenende(u.F); // fails silently, and the list is closed and removed
        EXPECT_FALSE((list && list->is_open()) || fs::exists(u.target()));
        EXPECT_TRUE(fs::is_empty(u.temp_folder));
    }
    GameListWorld u;
    write_file(u.target(), "alte Liste");
    const ScopedFaultHook hook(fail_on(SystemOperation::remove, EACCES));
    GameList list;
    list.Schreibe_listenkopf();
    EXPECT_EQ(error_number_of([&] { list.Schreibe_listenende(u.F); }), 70);
    EXPECT_EQ(read_file(u.target()), "alte Liste");
}

TEST(GameList, HeadAndRowFailuresGoBackToTheCaller)
{
    GameListWorld u;
    GameList list;
    {
        const TempEnvironment missing({{"temp", u.t / "missing"}});
        EXPECT_NE(error_number_of([&] { list.Schreibe_listenkopf(); }), 0);
        EXPECT_FALSE(list.is_open());
    }
    EXPECT_EQ(error_number_of([&] { list.Schreibe_listenzeile(sample_row); }), 52) << "no open list";
    list.Schreibe_listenkopf();
    const ScopedFaultHook hook(fail_on(SystemOperation::write, ENOSPC));
    EXPECT_EQ(error_number_of([&] { list.Schreibe_listenzeile(sample_row); }), 61);
}

TEST(UnknownLog, SevenLineEntriesAppended)
{
    TempFolder t; // the entries come from unknown_log_entry, which other tests use as their expected text
    Schreibe_unbekannt(t.path().string() + "/", "mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME      ",
        "1 = USA (NTSC)", "EF BE");
    Schreibe_unbekannt(t.path().string(), "Caf\xE9.fig", "SNES LoRom, Pro Fighter Header (FIG)", std::string(21, ' '),
        "0 = Japan (NTSC)", "0 0");
    EXPECT_EQ(read_file(t / "unknown.log"),
        Lines({"Datasource: The Cartonym ver. 0. 91. 0 Englisch", "Filename = \"mystery.smc\"",
            "Format = SNES HiRom, no Header", "Internal name = \"NOBODY KNOWS ME      \"", "Country = 1 = USA (NTSC)",
            "CRC1 = EF BE", ""})
            + Lines({"Datasource: The Cartonym ver. 0. 91. 0 Englisch", "Filename = \"Caf\xE9.fig\"",
                "Format = SNES LoRom, Pro Fighter Header (FIG)", "Internal name = \"                     \"",
                "Country = 0 = Japan (NTSC)", "CRC1 = 0 0", ""}));
    EXPECT_EQ(error_number_of([&] { Schreibe_unbekannt(t / "missing", "a", "b", "c", "d", "e"); }), 53);
    const ScopedFaultHook hook(fail_on(SystemOperation::write, ENOSPC));
    EXPECT_EQ(error_number_of([&] { Schreibe_unbekannt(t.path().string(), "a", "b", "c", "d", "e"); }), 61);
}

TEST(UnknownLog, FileNamesEscapeOnlyWhatTheCodePageCannotHold)
{
    const std::pair<std::string, std::string> cases[] = {{"%41 100% [!].smc", "%41 100% [!].smc"},
        {"Caf\xC3\xA9 \xE2\x82\xAC\xC5\xB8.smc", "Caf\xE9 \x80\x9F.smc"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.smc", "\\u{65E5}\\u{672C}.smc"}, {"\xF0\x9F\x8E\xAE", "\\u{1F3AE}"},
        {"a\\b \\x41", "a\\\\b \\\\x41"}, {"line\none\r\t.smc", "line\\u{000A}one\\u{000D}\\u{0009}.smc"},
        {"\xC2\x81\xC2\x9D", "\\u{0081}\\u{009D}"}, {"latin1 \xE9\xFF.smc", "latin1 \\xE9\\xFF.smc"}, {"\xC3", "\\xC3"},
        {"\xC0\x80 \xED\xA0\x80", "\\xC0\\x80 \\xED\\xA0\\x80"}};
    for (const auto& [file_name, log_text] : cases)
        EXPECT_EQ(escaped_file_name(file_name), log_text);
}

// A log that is no plain file (a link, dead or not, a FIFO, a folder) is
// never written through: error 75 naming the log, so that the run can stop
// and say where the entry did not go.
TEST(UnknownLog, ALogThatIsNoPlainFileIsRefusedNamingIt)
{
    for (const std::string kind : {"link", "dead link", "fifo", "folder"}) {
        SCOPED_TRACE(kind);
        TempFolder t;
        const std::string log = t / "unknown.log";
        write_file(t / "foreign", "foreign");
        kind == "fifo"         ? make_fifo(log)
            : kind == "folder" ? static_cast<void>(fs::create_directory(log))
                               : fs::create_symlink(t / (kind == "link" ? "foreign" : "elsewhere"), log);
        try {
            Schreibe_unbekannt(t.path().string(), "a.smc", "SNES LoRom, no Header", std::string(21, 'A'), "", "1");
            ADD_FAILURE() << "written through";
        } catch (const Error& error) {
            EXPECT_EQ(error.value(), 75);
            EXPECT_EQ(std::string(error.what()), log);
        }
        EXPECT_FALSE(fs::exists(t / "elsewhere"));
        EXPECT_EQ(read_file(t / "foreign"), "foreign");
    }
}

} // namespace
} // namespace cartonym
