// SPDX-License-Identifier: GPL-3.0-or-later
// The name database, the lookup with its corrections, and new file names.

#include "common/program_info.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "tests/front_to_back_search.h"
#include "tests/testsupport.h"

#include <tuple>

using namespace cartonym;
using namespace std::string_literals;
using namespace fixtures;

using test::analysis_for, test::answer, test::found;

// Each text gives these items, then the reader is at its end and one more item fails with 62.
struct ItemCase {
    const char* what;
    std::string text;
    std::vector<std::string> items;
};
class ItemSyntax : public ::testing::TestWithParam<ItemCase> { };

TEST_P(ItemSyntax, GivesTheItemsThenFails)
{
    RecordReader reader(GetParam().text);
    for (const auto& item : GetParam().items)
        EXPECT_EQ(reader.next_item(), item);
    EXPECT_TRUE(reader.at_end());
    EXPECT_EQ(test::error_number_of([&] { reader.next_item(); }), 62);
}

INSTANTIATE_TEST_SUITE_P(Each, ItemSyntax,
    ::testing::Values(ItemCase{"quoted items", "\"A B\",\"C, D\"\r\n", {"A B", "C, D"}},
        ItemCase{"quoted blanks belong to the item", "\" A \",\"B  \"\r\n", {" A ", "B  "}},
        ItemCase{"unquoted items", "abc,def\r\n", {"abc", "def"}},
        ItemCase{"blanks before items skipped", "   \"A\",  \"B\"\r\n  ghi, jkl", {"A", "B", "ghi", "jkl"}},
        ItemCase{"trailing blanks of unquoted items dropped", "abc   ,  de f  \r\n", {"abc", "de f"}},
        ItemCase{"text after the closing quote ignored", "\"A\"junk ,\"B\"xyz\r\n", {"A", "B"}},
        ItemCase{"CR-only line ends", "\"A\",\"B\"\r\"C\",\"D\"\r", {"A", "B", "C", "D"}},
        ItemCase{"LF-only line ends", "\"A\",\"B\"\n\"C\",\"D\"", {"A", "B", "C", "D"}},
        ItemCase{"blank lines between records", "\"A\",\"B\"\r\n\r\n\n  \r\n\"C\",\"D\"\r\n\r\n", {"A", "B", "C", "D"}},
        ItemCase{"NUL bytes inside a key", "\"X\0Y\",\"Z\"\r\n"s, {"X\0Y"s, "Z"}}, ItemCase{"empty text", "", {}},
        ItemCase{"only line ends", "\r\n \r\n", {}}),
    test::CaseName());

// Database, name, answer: new name ("" when unknown) | full name | key of the
// last record read, or the failure. The search over text in memory (the
// reference of the index tests) and the one over a file must both give it.
struct SearchCase {
    const char* what;
    std::string database, name, expected;
};
class DatabaseSearch : public ::testing::TestWithParam<SearchCase> { };

TEST_P(DatabaseSearch, AnswersFromTextAndFile)
{
    const SearchCase& c = GetParam();
    test::TempFolder folder;
    fixtures::write_file(folder / "snes.dat", c.database);
    EXPECT_EQ(answer([&] { return test::search_database_text(analysis_for(c.name), c.database); }), c.expected);
    EXPECT_EQ(answer([&] { return Finde_romname(analysis_for(c.name), folder / "snes.dat"); }), c.expected);
}

const std::string alpha = database_line("ALPHA", "Alpha"), game = Interner_name("GAME"), nul("NUL\0GAME", 8);
INSTANTIATE_TEST_SUITE_P(Each, DatabaseSearch,
    ::testing::Values(
        SearchCase{"first matching record wins",
            alpha + database_line("GAME", "First") + database_line("GAME", "Second"), "GAME", found("GAME", "First")},
        SearchCase{"the last record matches", alpha + database_line("GAME", "Last"), "GAME", found("GAME", "Last")},
        SearchCase{"the last record matches without a line end", alpha + "\"" + game + "\",\"Last\"", "GAME",
            found("GAME", "Last")},
        SearchCase{"case differs", alpha + database_line("game", "Lower") + database_line("OMEGA", "Omega"), "GAME",
            "|Omega|" + Interner_name("OMEGA")},
        SearchCase{"trailing blanks missing", alpha + "\"GAME\",\"Short\"\r\n", "GAME", "|Short|GAME"},
        SearchCase{
            "key longer than the name", alpha + "\"" + game + "X\",\"Longer\"\r\n", "GAME", "|Longer|" + game + "X"},
        SearchCase{"unquoted key loses its trailing blanks", game + ",Unquoted\r\n", "GAME", "|Unquoted|GAME"},
        SearchCase{"CR-only LF-only and blank lines", "\"ALPHA\",\"Alpha\"\r\r\n\n\"" + game + "\",\"Game\"\n", "GAME",
            found("GAME", "Game")},
        SearchCase{"NUL inside the key", database_line(nul, "Nul Game"), nul, found(nul, "Nul Game")},
        SearchCase{"a match before a cut record", database_line("GAME", "Game") + "\"CUT\"\r\n", "GAME",
            found("GAME", "Game")},
        SearchCase{"the search reaches a cut record", alpha + "\"CUT\"\r\n", "GAME", "failure 62"},
        SearchCase{"empty database", "", "GAME", "failure 62"},
        SearchCase{"only line ends", "\r\n\r\n", "GAME", "failure 62"}),
    test::CaseName());

TEST(NameDatabase, Corrections)
{
    test::TempFolder folder;
    // Every name below that reaches the database finds a record of its own.
    std::string database;
    for (const char* name : {"ALADIN", "SUPPLIED BY ADJ/FLT!!", "bs_dr mario", "BS_DR MARIO", "super v.g.cona-s.d.l",
             "X-MEN", "X-MEN 2", "wcw superbrawl", "FIRST SAMURA"})
        database += database_line(name, "DB "s + name);
    fixtures::write_file(folder / "snes.dat", database);

    const std::tuple<std::string, std::string, std::string> cases[] = {{"ALADDIN", "3412", "Aladdin"},
        {"aladdinXYZ", "3412", "Aladdin"}, {"ALADIN", "3412", "DB ALADIN"},
        {"SUPPLIED BY ADJ/FLT!!", "3581", "Back to the Future 2 (Hacked)"},
        {"SUPPLIED BY ADJ/FLT!!", "3582", "DB SUPPLIED BY ADJ/FLT!!"}, {"BS_Dr Mario", "3412", "Dr. Mario"},
        {"bs_dr mario", "3412", "DB bs_dr mario"}, {"BS_DR MARIO", "3412", "DB BS_DR MARIO"},
        {"FIRST SAMURAI", "3412", "First Samurai"}, {"FIRST SAMURA", "3412", "DB FIRST SAMURA"},
        {"Super V.G.CONA-S.D.L", "3412", "Super V.G."}, {"super v.g.cona-s.d.l", "3412", "DB super v.g.cona-s.d.l"},
        {"wcw.SuperBrawl II", "3412", "WCW Super Brawl"}, {"wcw superbrawl", "3412", "DB wcw superbrawl"},
        {"X-MEN", "F0C5", "X-Men Arcades Revenge"}, {"X-MEN", "738", "X-Men Mutant Apocalypse"}, {"X-MEN", "3412", ""},
        {"X-MEN", "f0c5", ""}, {"X-MEN", "7380", ""}, {"X-MEN 2", "738", "DB X-MEN 2"}};
    for (const auto& [name, key, full_name] : cases) { // full_name "" for unknown
        SCOPED_TRACE(name + " / " + key);
        const LookupResult result = Finde_romname(analysis_for(name, key), folder / "snes.dat");
        EXPECT_EQ(std::tie(result.Voller_name, result.Neuer_name),
            std::tuple(full_name, full_name.empty() ? "" : full_name + " (JAP).fig"));
        if (full_name.starts_with("DB "))
            continue;
        // A correction needs no database and takes the image's own suffix and extension.
        const LookupResult fixed =
            Finde_romname(analysis_for(name, key, " (Euro - Germany)", ".smc"), "/nonexistent/snes.dat");
        EXPECT_EQ(std::tie(fixed.Voller_name, fixed.Neuer_name),
            std::tuple(full_name, full_name.empty() ? "" : full_name + " (Euro - Germany).smc"));
    }
}

TEST(FileNames, UnderscoreStyleNormalFormAndPaths)
{
    const std::pair<std::string, std::string> cases[] = {{"Super V.G. (JAP).fig", "Super_V.G._(JAP).fig"},
        {"A  B   C.smc", "A__B___C.smc"}, {" Lead and trail ", "_Lead_and_trail_"}, {"NoSpaces.smc", "NoSpaces.smc"},
        {"Caf\xE9 \x80.swc", "Caf\xE9_\x80.swc"}, {"", ""}};
    for (const auto& [normal, without] : cases) {
        std::string Neuer_name = normal;
        EXPECT_EQ(Baue_dateiname(Neuer_name), without);
        EXPECT_EQ(Neuer_name, without) << "the text itself is changed";
        EXPECT_EQ(Baue_dateiname(Neuer_name), without) << "twice changes nothing";
    }
    EXPECT_EQ(normal_name("First Samurai", " (Euro)", ".smc"), "First Samurai (Euro).smc");
    EXPECT_EQ(normal_name("Super V.G.", "", ".fig"), "Super V.G..fig");
    const std::pair<const char*, const char*> joins[] = {
        {"/", "/a.smc"}, {"/roms", "/roms/a.smc"}, {"/roms/", "/roms/a.smc"}, {"", "/a.smc"}};
    for (const auto& [folder, path] : joins)
        EXPECT_EQ(join_path(folder, "a.smc"), path) << folder;
    EXPECT_EQ(file_system_name("Caf\xE9 \x80.smc"), "Caf\xC3\xA9 \xE2\x82\xAC.smc");
}
