// SPDX-License-Identifier: GPL-3.0-or-later
// Archives through cartonym-cli in process: info, batch with its undo, db
// learn, and every file read raw with --no-archives.

#include "tests/archive_builder.h"
#include "tests/cli_run.h"
#include "tests/testsupport.h"

using namespace cartonym;
using nlohmann::json;
using test::ArchiveFormat, test::Cli, test::make_archive;

namespace {

const std::string alpha = fixtures::build_rom(test::games::Alpha);
const std::string beta = fixtures::build_rom(test::games::Beta);

std::string base(const json& file) { return std::filesystem::path(std::string(file)).filename().string(); }

// The archives of the tests by file name.
std::vector<std::pair<std::string, std::string>> archives()
{
    const std::string one = make_archive(ArchiveFormat::zip_deflated, {{"readme.nfo", "x"}, {"a.smc", alpha}});
    return {{"Alpha_Quest_(USA).zip", one}, {"b.7z", make_archive(ArchiveFormat::seven_zip, {{"b.swc", beta}})},
        {"g.smc.gz", make_archive(ArchiveFormat::gzip, {{"g", alpha}})},
        {"t.tar.gz", make_archive(ArchiveFormat::tar_gzip, {{"x/b.swc", beta}})},
        {"two.zip", make_archive(ArchiveFormat::zip_stored, {{"a.smc", alpha}, {"b.swc", beta}})},
        {"Riddle (USA) [!].smc.gz",
            make_archive(ArchiveFormat::gzip, {{"r", fixtures::build_rom(test::games::Riddle)}})},
        {"cut.zip", one.substr(0, 200)}, {"raw.zip", test::zip_passing_the_raw_test()},
        {"locked.zip", make_archive(ArchiveFormat::zip_encrypted, {{"a.smc", alpha}})},
        {"same.zip", make_archive(ArchiveFormat::zip_stored, {{"game.smc", alpha}, {"game.smc", beta}})}};
}

struct ArchiveFolder : test::JournalledRunFolder {
    ArchiveFolder()
        : JournalledRunFolder(test::games::database)
    {
        for (const auto& [name, bytes] : archives())
            file(name, bytes);
    }
};

} // namespace

TEST(CliArchives, InfoLinesAndNoArchives)
{
    ArchiveFolder w;
    std::vector<std::string> args = {"info", "--db", w.db};
    for (const auto& [name, bytes] : archives())
        args.push_back(w.in_folder(name));
    const std::vector<std::string> wanted = {"Alpha_Quest_(USA).zip|a.smc|Alpha Quest (USA).smc|",
        "b.7z|b.swc|Beta & Gamma (JAP).swc|", "g.smc.gz|g.smc|Alpha Quest (USA).smc|",
        "t.tar.gz|x/b.swc|Beta & Gamma (JAP).swc|", "two.zip|a.smc|Alpha Quest (USA).smc|",
        "two.zip|b.swc|Beta & Gamma (JAP).swc|", "Riddle (USA) [!].smc.gz|Riddle (USA) [!].smc||", "cut.zip|||damaged",
        "raw.zip|||", "locked.zip|||encrypted", "same.zip|||ambiguous"};
    const auto run = Cli(args);
    ASSERT_EQ(run.lines.size() + run.status, wanted.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const json& l = run.lines[i];
        EXPECT_EQ(base(l["file"]) + "|" + l.value("entry", "") + "|" + l.value("new_name", "") + "|"
                + l.value("archive_error", ""),
            wanted[i]);
    }
    args.insert(args.begin() + 1, "--no-archives");
    for (const json& line : Cli(args).lines)
        EXPECT_EQ(line["rom_ok"], base(line["file"]) == "raw.zip") << line;
}

TEST(CliArchives, BatchMovesArchivesWholeAndUndoBringsThemBack)
{
    ArchiveFolder w;
    const test::Tree before = w.entries();
    const std::vector<std::string> bytes = test::image_contents(w.F);
    const auto plan = json::parse(Cli({"batch", "--db", w.db, "--dry-run", "--json", w.F}).out)["plan"];
    std::map<std::string, std::string> steps;
    for (const json& step : plan)
        steps[step["file"]] = std::string(step["outcome"]) + " " + step.value("reason", "")
            + (step["destination"].is_null() ? "" : " " + std::string(step["destination"]));
    const std::string renamed = std::string("renamed  Renamed_SNES_ROMs") + path_separator;
    EXPECT_EQ(steps,
        (std::map<std::string, std::string>{{"b.7z", renamed + "Beta & Gamma (JAP).7z"},
            {"cut.zip", "not_image damaged"}, {"g.smc.gz", renamed + "Alpha Quest (USA).smc.gz"},
            {"locked.zip", "not_image encrypted"}, {"Alpha_Quest_(USA).zip", renamed + "Alpha Quest (USA).zip"},
            {"raw.zip", "not_image "}, {"same.zip", "passed_over ambiguous"},
            {"Riddle (USA) [!].smc.gz",
                std::string("unknown  Unknown_ROMs") + path_separator + "Riddle (USA) [!].smc.gz"},
            {"t.tar.gz", renamed + "Beta & Gamma (JAP).tar.gz"}, {"two.zip", "passed_over archive holds 2 images"}}));
    // Read raw, the zip whose own bytes pass the pair test is an unknown image.
    const json raw = json::parse(Cli({"batch", "--no-archives", "--db", w.db, "--dry-run", "--json", w.F}).out);
    for (const json& step : raw["plan"])
        EXPECT_EQ(step["outcome"], step["file"] == "raw.zip" ? "unknown" : "not_image") << step;
    EXPECT_EQ(Cli({"batch", "--db", w.db, "--gamelist", w.F}).status, 0);
    EXPECT_TRUE(test::image_contents(w.F) == bytes) << "an archive's bytes changed";
    EXPECT_NE(
        fixtures::read_file(w.F + "/Unknown_ROMs/unknown.log").find("\"Riddle (USA) [!].smc.gz\""), std::string::npos);
    EXPECT_NE(
        fixtures::read_file(w.F + "/Renamed_SNES_ROMs/games.htm").find("Beta & Gamma (JAP).7z"), std::string::npos);
    EXPECT_EQ(Cli({"undo"}).status, 0);
    EXPECT_EQ(test::tree_difference(before, w.entries()), "");
}

TEST(CliArchives, LearnNamesAfterTheArchiveOrItsEntries)
{
    ArchiveFolder w;
    fixtures::write_file(w.t / "empty.dat", "");
    std::vector<std::string> names;
    for (const json& line :
        Cli({"db", "learn", "--json", "--db", w.t / "empty.dat", w.in_folder("Alpha_Quest_(USA).zip"),
                w.in_folder("Riddle (USA) [!].smc.gz"), w.in_folder("two.zip")})
            .lines)
        names.push_back(line.value("entry", "") + "=" + line.value("full_name", ""));
    EXPECT_EQ(
        names, (std::vector<std::string>{"a.smc=Alpha Quest", "Riddle (USA) [!].smc=Riddle", "a.smc=a", "b.swc=b"}));
}
