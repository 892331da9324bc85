// SPDX-License-Identifier: GPL-3.0-or-later
// The batch run, in process and through the real cartonym-cli: whole folder
// trees before and after, counts, messages, games.htm and unknown.log.
#include "common/program_info.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <tuple>

namespace cartonym {
namespace {

using namespace std::string_literals;
using namespace fixtures;
using test::ScopedFaultHook;
using test::Tree;
using json = nlohmann::json;
namespace fs = std::filesystem;

using namespace test::games;
const std::string NameDatabase = test::games::database + database_line("SLASH GAME", "AC/DC Live");
const std::string R = "Renamed_SNES_ROMs/", A = R + "Alpha Quest (USA).smc";

const std::string usa = "1 = USA (NTSC)", lorom = "SNES LoRom, no Header";
const GameListRow row_alpha{"Alpha Quest", "Alpha Quest (USA).smc", usa, lorom};

std::string log_entry(
    const std::string& file, const std::string& format, const std::string& name, const std::string& crc)
{
    return unknown_log_entry(file, format, fixtures::Interner_name(name), usa, crc);
}
const std::string log_riddle = log_entry("mystery.smc", "SNES HiRom, no Header", "NOBODY KNOWS ME", "EF BE");

std::string Page(const std::vector<GameListRow>& lines)
{
    std::string page = game_list_head_text();
    for (const GameListRow& line : lines)
        page += game_list_row_text(line);
    return page + game_list_end_text();
}

const std::string long_final_text =
    std::string("Batchrun finished !\n\nThere have been some unkown ROMs. A logfile named UNKNOWN.LOG was created. "
                "Please send this file to ")
    + program_info::contact_address + " so these ROMs can be added in the next version.\n\nThank you !";

struct TestEnvironment : test::RunFolder {
    // What the last run told its observer.
    std::vector<std::string> status, unknown;
    std::vector<float> progress;
    std::vector<std::tuple<std::string, std::string, MessageIcon>> messages;
    int cleared = 0;

    TestEnvironment()
        : RunFolder(NameDatabase)
    { }
    Tree tree() const { return test::tree_of(F); }
    Tree temp_tree() const { return test::tree_of(temp_folder); }

    // The run, with hook answering its system calls.
    BatchResult run(bool game_list = true, const std::string& folder = "", const FaultHook& hook = {})
    {
        const ScopedFaultHook scoped(hook);
        status.clear(), unknown.clear(), progress.clear(), messages.clear(), cleared = 0;
        BatchObserver observer;
        observer.status = [this](const std::string& text) { status.push_back(text); };
        observer.progress = [this](float value) { progress.push_back(value); };
        observer.unknown = [this](const std::string& name) { unknown.push_back(name); };
        observer.unknown_cleared = [this] { ++cleared; };
        observer.message = [this](const Message& m) { messages.emplace_back(m.title, m.text, m.symbol); };
        return Batchrun({folder.empty() ? F : folder, db, false, game_list}, observer);
    }
};

using Z = std::vector<int>; // total, renamed, already correct, unknown, duplicates
const auto Counts = test::run_counts;

// The mixed folder: two copies of one game, one image already bearing its
// name, one differing from it only in letter case, an unknown image and a
// file that is no image.
void fill_mixed(const TestEnvironment& u)
{
    for (const auto& [name, plan] : {std::pair{"alpha copy.smc", Alpha}, {"alpha.smc", alpha_long},
             {"Beta & Gamma (JAP).swc", Beta}, {"gamma (usa).smc", Gamma}, {"mystery.smc", Riddle}})
        u.image(name, plan);
    u.file("readme.txt", "no image\r\n");
}

// The mixed folder after a run with the game list, in either name style.
Tree mixed_after(bool without_spaces = false)
{
    const auto name = [&](std::string text) {
        return without_spaces ? (std::ranges::replace(text, ' ', '_'), text) : text;
    };
    const GameListRow alpha{"Alpha Quest", name("Alpha Quest (USA).smc"), usa, lorom},
        gamma{"Gamma", name("Gamma (USA).smc"), usa, lorom},
        beta{"Beta & Gamma", name("Beta & Gamma (JAP).swc"), "0 = Japan (NTSC)",
            "SNES HiRom, Super Wildcard Header (SWC)"};
    return {{R + alpha.Neuer_name, build_rom(Alpha)}, {R + beta.Neuer_name, build_rom(Beta)},
        {R + gamma.Neuer_name, build_rom(Gamma)}, {R + "games.htm", Page({alpha, alpha, beta, gamma})},
        {"Duplicates/alpha.smc", build_rom(alpha_long)}, {"Unknown_ROMs/mystery.smc", build_rom(Riddle)},
        {"Unknown_ROMs/unknown.log", log_riddle}, {"readme.txt", "no image\r\n"}};
}

// z: total, roms, renamed, already_correct, duplicates
json json_result(const char* outcome, const Z& z, const json& unknown, const std::string& message)
{
    return {{"outcome", outcome}, {"total", z[0]}, {"roms", z[1]}, {"renamed", z[2]}, {"already_correct", z[3]},
        {"duplicates", z[4]}, {"unknown", unknown}, {"unknown_escaped", unknown}, {"message", message}};
}

// --- In process ------------------------------------------------------------------

TEST(Batchrun, MixedFolderIsSortedCountedListedAndLoggedThenRunAgain)
{
    TestEnvironment u;
    fill_mixed(u);
    const BatchResult result = u.run();
    EXPECT_EQ(result.outcome, BatchOutcome::completed);
    EXPECT_EQ(Counts(result), (Z{6, 2, 1, 1, 1}));
    EXPECT_EQ(result.unknown_names, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.tree(), mixed_after());
    EXPECT_TRUE(u.temp_tree().empty()) << "the page was moved, not copied";
    EXPECT_EQ(u.cleared, 1);
    EXPECT_EQ(u.unknown, std::vector<std::string>{"mystery.smc"});
    EXPECT_EQ(u.status, std::vector<std::string>{"Batchmode finished successfull !"});
    EXPECT_EQ(u.messages, (std::vector{std::tuple{"Cartonym Message:"s, long_final_text, MessageIcon::exclamation}}));
    EXPECT_EQ(result.message.text, long_final_text);

    // A second run reuses the folders, keeps the files, replaces the list and appends to the log.
    u.image("alpha again.smc", Alpha);
    u.image("other unknown.smc", Riddle2);
    EXPECT_EQ(Counts(u.run(true, u.F + "/")), (Z{3, 0, 0, 1, 1}));
    Tree expected = mixed_after();
    expected["Duplicates/alpha again.smc"] = build_rom(Alpha);
    expected["Unknown_ROMs/other unknown.smc"] = build_rom(Riddle2);
    expected["Unknown_ROMs/unknown.log"] = log_riddle + log_entry("other unknown.smc", lorom, "ANOTHER ONE", "34 12");
    expected[R + "games.htm"] = Page({row_alpha});
    EXPECT_EQ(u.tree(), expected);
}

TEST(Batchrun, ProgressAdvancesBeforeEachFileAndEndsAtHundred)
{
    for (const int count : {1, 3, 7}) {
        SCOPED_TRACE(count);
        TestEnvironment u;
        for (int i = 0; i < count; ++i)
            u.file("file" + std::to_string(i), "x");
        u.run(false);
        // 0, one step per file, 100; the rounded sum may hold back the last step.
        const std::vector<float>& values = u.progress;
        const std::size_t steps = values.size() - 2;
        EXPECT_TRUE(steps == static_cast<std::size_t>(count) || steps + 1 == static_cast<std::size_t>(count));
        EXPECT_EQ(values.front(), 0.0f);
        EXPECT_EQ(values.back(), 100.0f);
        for (std::size_t i = 1; i <= steps; ++i)
            EXPECT_NEAR(values[i], static_cast<float>(i) * 100.0f / static_cast<float>(count), 1e-3);
    }
}

TEST(Batchrun, OnlyNonImagesLeaveTheFolderAsItWasAndRemoveAnEarlierList)
{
    TestEnvironment u;
    u.file("a.txt", "one");
    u.file("sub/c.smc", build_rom(Alpha)); // files of sub-folders are not taken
    const Tree before = u.tree();
    const BatchResult result = u.run();
    EXPECT_EQ(result.outcome, BatchOutcome::completed);
    EXPECT_EQ(Counts(result), (Z{1, 0, 0, 0, 0}));
    EXPECT_EQ(u.tree(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(u.F), fs::directory_iterator()), 2) << "no folder left behind";
    EXPECT_TRUE(u.temp_tree().empty()) << "not placed, the folder had gone: removed";
    EXPECT_EQ(
        u.messages, (std::vector{std::tuple{"Cartonym Message:"s, "Batchrun finished !"s, MessageIcon::information}}));
    // A folder that holds files stays; an earlier list in it goes.
    u.file(A, build_rom(Alpha));
    u.file(R + "games.htm", "earlier list");
    u.run();
    EXPECT_EQ(u.tree(), (Tree{{A, build_rom(Alpha)}, {"a.txt", "one"}, {"sub/c.smc", build_rom(Alpha)}}));
}

TEST(CliBatch, EmptyFolderOrOnlySubFoldersCreateNothing)
{
    for (const bool with_subfolders : {false, true}) {
        SCOPED_TRACE(with_subfolders);
        TestEnvironment u;
        if (with_subfolders) {
            u.file("sub/image.smc", build_rom(Alpha));
            u.file(".hidden.smc", build_rom(Alpha));
        }
        const Tree before = u.tree();
        const BatchResult result = u.run();
        EXPECT_EQ(result.outcome, BatchOutcome::no_files);
        EXPECT_EQ(Counts(result), (Z{0, 0, 0, 0, 0}));
        EXPECT_EQ(u.tree(), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(u.F), fs::directory_iterator()), with_subfolders ? 2 : 0);
        const std::string none = "There are no files in this directory !";
        EXPECT_EQ(u.status, std::vector<std::string>{none});
        EXPECT_EQ(u.messages, (std::vector{std::tuple{"Attention !"s, none, MessageIcon::information}}));
        EXPECT_TRUE(u.temp_tree().empty()) << "begun, closed, not placed: removed";
        // The real cartonym-cli: the message, or the outcome in JSON.
        const test::ProgramRun plain = u.batch(), as_json = u.batch({"--json"});
        EXPECT_EQ(std::tie(plain.status, plain.out, as_json.status), std::tuple(0, none + "\n", 0));
        EXPECT_EQ(json::parse(as_json.out), json_result("no_files", {0, 0, 0, 0, 0}, json::array(), none));
    }
}

TEST(Batchrun, FailureStopsTheRunAndTheNextRunWorks)
{
    TestEnvironment u;
    u.image("alpha copy.smc", Alpha);
    u.image("alpha.smc", alpha_long);
    u.image("mystery.smc", Riddle);
    int moves = 0;
    const BatchResult result = u.run(true, "", [&](SystemOperation operation, const std::string&) {
        return operation == SystemOperation::move && ++moves == 2 ? EIO : 0;
    });
    EXPECT_EQ(result.outcome, BatchOutcome::failed);
    EXPECT_EQ(Counts(result), (Z{2, 1, 0, 0, 0}));
    EXPECT_EQ(result.Dateipfad, u.F + "/alpha.smc");
    EXPECT_EQ(u.messages,
        (std::vector{std::tuple{"Error !"s, test::error_text(57, u.F + "/alpha.smc"), MessageIcon::exclamation}}));
    EXPECT_EQ(result.message.text, test::error_text(57, u.F + "/alpha.smc"));
    EXPECT_TRUE(u.status.empty());
    EXPECT_NE(u.progress.back(), 100.0f);
    // Nothing after the failure: the folders stay, even the unused ones; the list is closed but not placed.
    EXPECT_EQ(u.tree(),
        (Tree{{A, build_rom(Alpha)}, {"alpha.smc", build_rom(alpha_long)}, {"mystery.smc", build_rom(Riddle)}}));
    EXPECT_TRUE(fs::is_directory(u.F + "/Duplicates") && fs::is_directory(u.F + "/Unknown_ROMs"));
    EXPECT_TRUE(u.temp_tree().empty());

    EXPECT_EQ(Counts(u.run()), (Z{2, 0, 0, 1, 1}));
    EXPECT_EQ(u.tree(),
        (Tree{{A, build_rom(Alpha)}, {R + "games.htm", Page({row_alpha})},
            {"Duplicates/alpha.smc", build_rom(alpha_long)}, {"Unknown_ROMs/mystery.smc", build_rom(Riddle)},
            {"Unknown_ROMs/unknown.log", log_riddle}}));
    EXPECT_TRUE(u.temp_tree().empty());
}

TEST(Batchrun, DatabaseRemovedBeforeTheRunStopsBeforeTheFirstImageAnAccessErrorPassesTheFileOver)
{
    TestEnvironment u;
    u.file("a.txt", "no image");
    u.image("alpha.smc", Alpha);
    u.image("beta.swc", Beta);
    const BatchResult passed = u.run(false, "", [&](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::open && path == u.in_folder("beta.swc") ? EXDEV : 0;
    });
    EXPECT_EQ(Counts(passed), (Z{3, 1, 0, 0, 0}));
    u.image("alpha.smc", Alpha);
    fs::remove(u.db);
    const Tree before = u.tree();
    EXPECT_EQ(u.run().message.text, test::error_text(53, u.db)); // named, before anything moves
    EXPECT_EQ(u.tree(), before);
}

TEST(Batchrun, NothingIsEverOverwritten)
{
    TestEnvironment u;
    for (const auto& [name, plan] : {std::pair{"alpha copy.smc", Alpha}, {"alpha.smc", alpha_long}, {"beta.swc", Beta},
             {"mystery.smc", Riddle}, {"Gamma (USA).smc", Gamma}})
        u.image(name, plan);
    // Every target each of them could take is taken already.
    for (const std::string& target :
        {A, R + "Beta & Gamma (JAP).swc", R + "Gamma (USA).smc", "Duplicates/alpha copy.smc"s, "Duplicates/alpha.smc"s,
            "Duplicates/Gamma (USA).smc"s, "Duplicates/mystery.smc"s, "Unknown_ROMs/mystery.smc"s})
        u.file(target, "earlier " + target);
    u.file("Unknown_ROMs/unknown.log", "earlier log\r\n");
    Tree expected = u.tree();
    const BatchResult result = u.run(false);
    EXPECT_EQ(result.outcome, BatchOutcome::completed);
    // The unknown image filed in Duplicates is listed, logged and counted as unknown too, and the final message
    // tells of the log.
    EXPECT_EQ(Counts(result), (Z{5, 0, 0, 1, 5}));
    EXPECT_EQ(result.counts.roms(), 6);
    EXPECT_EQ(result.unknown_names, std::vector<std::string>{"mystery.smc"});
    EXPECT_NE(result.message.text.find("There have been some unkown ROMs."), std::string::npos) << result.message.text;
    expected.erase("beta.swc");
    expected["Duplicates/beta.swc"] = build_rom(Beta);
    expected["Unknown_ROMs/unknown.log"] = "earlier log\r\n" + log_riddle;
    EXPECT_EQ(u.tree(), expected);
}

// A log entry on the disk is written, whatever closing the log says: the next run writes no second one.
TEST(Batchrun, AFailureToCloseTheLogAfterItsEntryIsNoFailure)
{
    TestEnvironment u;
    u.image("mystery.smc", Riddle);
    const BatchResult result = u.run(false, "", [](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::close && path.ends_with("/unknown.log") ? EIO : 0;
    });
    EXPECT_EQ(result.outcome, BatchOutcome::completed);
    u.run(false);
    EXPECT_EQ(
        test::tree_difference(
            {{"Unknown_ROMs/mystery.smc", build_rom(Riddle)}, {"Unknown_ROMs/unknown.log", log_riddle}}, u.tree()),
        "");
}

// The old name of a moved link goes only while it is that link: a file that takes the name just before stays.
TEST(Batchrun, AFileSwappedInForAMovedLinkStays)
{
    TestEnvironment u;
    u.image("alpha.smc", Alpha);
    const std::string link = u.F + "/alpha link", moved = u.F + "/Duplicates/alpha link";
    fs::create_symlink("alpha.smc", link);
    bool made = false, swapped = false;
    const BatchResult result = u.run(false, "", [&](SystemOperation operation, const std::string& path) {
        made = made || path == moved;
        if (made && path == link && operation != SystemOperation::examine && !std::exchange(swapped, true)) {
            fs::remove(link);
            fixtures::write_file(link, "theirs");
        }
        return 0;
    });
    EXPECT_TRUE(swapped && fs::is_symlink(moved));
    EXPECT_EQ(result.outcome, BatchOutcome::completed);
    EXPECT_EQ(test::tree_difference({{A, build_rom(Alpha)}, {"alpha link", "theirs"}}, u.tree()), ""); // nothing aside
}

// --- The real cartonym-cli ------------------------------------------------------------

TEST(CliBatch, PrintsTheMessageThenThePanelAndTheUnknownNamesEscaped)
{
    TestEnvironment u;
    fill_mixed(u);
    const test::ProgramRun run = u.batch({"--gamelist"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
        long_final_text
            + "\nTotal files in directory:  6\nSNES ROMs:  5\n"
              "ROMs that had alredy the correct filename:  1\nSuccessfully renamed:  2\n"
              "Duplicates (see subdir Duplicates):  1\nmystery.smc\n");
    EXPECT_EQ(run.err, "") << "no progress indicator when stderr is no terminal";
    u.image("two\n\x1F\x7Flines.smc", Riddle);
    u.image("back\\slash.smc", Riddle2);
    EXPECT_TRUE(u.batch({}).out.ends_with("\nback\\\\slash.smc\ntwo\\u{000A}\\u{001F}\\u{007F}lines.smc\n"));
    // In JSON, names that are no UTF-8 stay apart.
    u.image("odd\xE9.smc", Riddle);
    u.image("odd\xE8.smc", {.name = "NOBODY KNOWS ME TOO"});
    EXPECT_EQ(json::parse(u.batch({"--json"}).out)["unknown_escaped"], (json{"odd\\xE8.smc", "odd\\xE9.smc"}));
}

TEST(CliBatch, JsonOutcomeInTheNoSpacesStyle)
{
    TestEnvironment u;
    fill_mixed(u);
    const test::ProgramRun run = u.batch({"--json", "--no-spaces", "--gamelist"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(json::parse(run.out), json_result("completed", {6, 5, 3, 0, 1}, {"mystery.smc"}, long_final_text));
    // "gamma (usa).smc" no longer bears its name; the list shows the new names.
    EXPECT_EQ(u.tree(), mixed_after(true));
}

// Which names leave the folder is the file operations' test (a backslash as well).
TEST(CliBatch, AFailureExitsWithOneAMissingDatabaseWithTwoAndTouchesNothing)
{
    TestEnvironment u;
    u.image("alpha.smc", Alpha);
    u.image("slash.smc", {.name = "SLASH GAME"});
    const std::string error_text = test::error_text(52, u.F + "/slash.smc");
    const test::ProgramRun run = u.batch({"--json", "--gamelist"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, error_text + "\n");
    EXPECT_EQ(json::parse(run.out), json_result("failed", {2, 1, 1, 0, 0}, json::array(), error_text));
    const Tree after_failure = {{A, build_rom(Alpha)}, {"slash.smc", build_rom({.name = "SLASH GAME"})}};
    EXPECT_EQ(u.tree(), after_failure);

    fs::remove(u.db);
    const test::ProgramRun missing = u.batch({"--gamelist"});
    EXPECT_EQ(std::tie(missing.status, missing.out), std::tuple(2, ""));
    EXPECT_TRUE(missing.err.starts_with("The file SNES.DAT is missing !"));
    EXPECT_EQ(u.tree(), after_failure);
    EXPECT_TRUE(u.temp_tree().empty());
}

} // namespace
} // namespace cartonym
