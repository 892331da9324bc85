// SPDX-License-Identifier: GPL-3.0-or-later
// Undo that trusts nothing: records naming paths outside the run's folder,
// moves that failed, runs undone already, removals that fail.
#include "operations/journal_format.h"
#include "operations/undo_scope.h"
#include "tests/testsupport.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <thread>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using namespace test::games;

struct SafetyWorld : test::JournalledRunFolder {
    std::string journal_path() const
    {
        return (state.path() / "cartonym/runs" / (list_runs().at(0).name + journal_extension)).string();
    }

    void append_record(RecordKind kind, const std::vector<std::string>& values) const
    {
        std::ofstream(journal_path(), std::ios::app | std::ios::binary) << record_line(kind, values) << '\n';
    }
};

std::string number(std::uint64_t value) { return std::to_string(value); }

// The move fields of the entry at path, as the writer records them.
std::vector<std::string> move_of(const std::string& from, const std::string& to)
{
    const FileIdentity identity = entry_status(to).value().identity;
    return {from, to, number(identity.device), number(identity.inode), number(identity.size),
        std::to_string(identity.mtime_s), std::to_string(identity.mtime_ns), "file", "", "", "0", "0"};
}

bool reported(const UndoReport& report, const std::string& path)
{
    return std::ranges::any_of(report.problems, [&](const UndoProblem& problem) {
        return problem.path == path && problem.reason == "it lies outside the run's folder";
    });
}

// A record added to the journal naming a path outside the run's folder is
// refused and reported; the outside path stays, the run is undone.
struct OutsideCase {
    const char* what;
    std::string (*plant)(const SafetyWorld&); // adds the record, returns the outside path
};
class RecordOutsideTheFolder : public ::testing::TestWithParam<OutsideCase> { };

TEST_P(RecordOutsideTheFolder, IsRefusedAndTheRunUndone)
{
#ifdef _WIN32
    if (std::string_view(GetParam().what) == "a fresh link")
        GTEST_SKIP() << "makes a symbolic link, which wine cannot";
#endif
    SafetyWorld world;
    world.image("alpha.smc", Alpha);
    world.image("mystery.smc", Riddle);
    const test::Tree before = world.entries();
    // (A game list of its own would be replaced by the planted record.)
    ASSERT_EQ(world.run(std::string_view(GetParam().what) != "a game list").outcome, BatchOutcome::completed);
    const std::string outside = GetParam().plant(world);
    const UndoReport report = undo_run("", false);
    EXPECT_TRUE(fs::exists(fs::symlink_status(outside))) << outside;
    EXPECT_TRUE(reported(report, outside));
    EXPECT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(test::tree_difference(before, world.entries()), "");
}

INSTANTIATE_TEST_SUITE_P(Each, RecordOutsideTheFolder,
    ::testing::Values(OutsideCase{"a move out of the folder",
                          [](const SafetyWorld& world) {
                              world.file("../outside.smc", "not the run's");
                              world.append_record(
                                  RecordKind::move, move_of(world.t / "somewhere.smc", world.F + "/../outside.smc"));
                              return world.F + "/../outside.smc";
                          }},
        OutsideCase{"a move from an absolute path elsewhere",
            [](const SafetyWorld& world) {
                world.file("../other.smc", "not the run's");
                world.append_record(RecordKind::move, move_of(world.t / "elsewhere.smc", world.t / "other.smc"));
                return world.t / "other.smc";
            }},
        OutsideCase{"a created folder",
            [](const SafetyWorld& world) {
                fs::create_directory(world.t / "empty");
                world.append_record(RecordKind::created, {world.t / "empty"});
                return world.t / "empty";
            }},
        OutsideCase{"a game list",
            [](const SafetyWorld& world) {
                world.file("../list.htm", "x");
                world.append_record(RecordKind::game_list, {world.t / "list.htm", "1", content_digest("x")});
                return world.t / "list.htm";
            }},
        OutsideCase{"a log the run created",
            [](const SafetyWorld& world) {
                world.file("../other.log", "entry");
                world.append_record(RecordKind::log, {world.t / "other.log", "-1", "0", "0"});
                world.append_record(RecordKind::appended, {world.t / "other.log", "0", "0", "entry"});
                return world.t / "other.log";
            }},
        OutsideCase{"a fresh link",
            [](const SafetyWorld& world) {
                fs::create_symlink("target", world.t / "link");
                world.append_record(RecordKind::fresh_link, {world.t / "link", "target"});
                return world.t / "link";
            }}),
    test::CaseName());

// Only a name directly in the run's folder is taken for a moved file's old
// place: not one below it, above it or the folder itself.
TEST(UndoSafety, OnlyNamesDirectlyInTheFolderAreOldPlaces)
{
    SafetyWorld world;
    fs::create_directories(world.in_folder("Renamed_SNES_ROMs"));
    for (const auto& [from, kept] : {std::pair{"a.smc", 1u}, {"sub/a.smc", 0u}, {"../a.smc", 0u}, {"", 0u}}) {
        JournalContents run;
        run.folder = world.F;
        run.moves.emplace_back();
        run.moves[0].from = world.in_folder(from);
        run.moves[0].to = world.in_folder("Renamed_SNES_ROMs/a.smc");
        UndoReport report;
        EXPECT_EQ(records_in_scope(run, report).moves.size(), kept) << from;
        EXPECT_EQ(report.problems.size(), 1u - kept) << from;
    }
}

// A journal that holds two moves of one file (a move retried without the
// record of its failure) counts the file once in the list of runs.
TEST(UndoSafety, AFileMovedTwiceInTheJournalCountsOnce)
{
    SafetyWorld world;
    world.image("alpha.smc", Alpha);
    ASSERT_EQ(world.run(false).outcome, BatchOutcome::completed);
    world.append_record(RecordKind::move,
        move_of(world.in_folder("alpha.smc"), world.in_folder("Renamed_SNES_ROMs/Alpha Quest (USA).smc")));
    EXPECT_EQ(list_runs().at(0).moves, 1u);
}

// A move that failed is no change of the run: its file may go anywhere
// afterwards, the run is undone completely, and plain undo reaches the
// run before it.
TEST(UndoSafety, FailedMoveIsNotUndoneAndPlainUndoReachesOlderRuns)
{
    SafetyWorld world;
    world.image("alpha.smc", Alpha);
    ASSERT_EQ(world.run().outcome, BatchOutcome::completed);
    const std::string first = list_runs().at(0).name;
    world.image("gamma.smc", Gamma);
    {
        const test::ScopedFaultHook hook([](SystemOperation operation, const std::string& path) {
            return operation == SystemOperation::move && path.ends_with("/Gamma (USA).smc") ? EIO : 0;
        });
        ASSERT_EQ(world.run().outcome, BatchOutcome::failed);
    }
    fs::remove(world.in_folder("gamma.smc")); // the user deletes it after the failure
    const UndoReport second = undo_run("", false);
    EXPECT_NE(second.name, first);
    EXPECT_TRUE(second.complete()) << (second.problems.empty() ? "" : second.problems[0].reason);
    EXPECT_EQ(list_runs().at(0).moves, 0u);
    EXPECT_EQ(undo_run("", false).name, first);
    EXPECT_TRUE(fs::exists(world.in_folder("alpha.smc")));
}

// A folder whose path is longer than PATH_MAX (reached through a working
// folder deep down) is refused before the first move: the journal and undo
// could not name its files.
TEST(UndoSafety, FolderBeyondPathMaxIsRefusedBeforeTheFirstMove)
{
    // The run's longest path, F/Renamed_SNES_ROMs/<255 bytes>, stays below
    // PATH_MAX (4096): F of each length is made below levels of 200 bytes.
    const std::size_t longest_entry = 1 + std::string_view("Renamed_SNES_ROMs").size() + 1 + 255;
    for (const std::size_t length : {4095 - longest_entry, 4096 - longest_entry, std::size_t{4300}}) {
        SCOPED_TRACE(length);
        SafetyWorld world;
        const fs::path start = fs::current_path();
        const std::string level(200, 'd');
        fs::current_path(world.t.path());
        std::size_t reached = fs::current_path().string().size(), levels = 0;
        for (; length - reached > 1 + level.size() + 10; ++levels, reached += 1 + level.size()) {
            fs::create_directory(level);
            fs::current_path(level);
        }
        const std::string folder(length - reached - 1, 'r');
        fs::create_directory(folder);
        fixtures::write_rom(folder + "/alpha.smc", Alpha);
        const BatchResult result = Batchrun(BatchOptions{folder, world.db});
        const bool untouched = fs::exists(folder + "/alpha.smc") && !fs::exists(folder + "/Renamed_SNES_ROMs");
        // Taken apart from the bottom: no path used here is longer than PATH_MAX.
        fs::remove_all(folder);
        for (std::size_t depth = 0; depth < levels; ++depth) {
            fs::current_path("..");
            fs::remove(level);
        }
        fs::current_path(start);
        if (length + longest_entry < 4096) {
            EXPECT_EQ(result.outcome, BatchOutcome::completed);
            continue;
        }
        EXPECT_EQ(result.outcome, BatchOutcome::failed);
        EXPECT_TRUE(result.setup_failed);
        EXPECT_EQ(result.error->number(), ErrorNumber::bad_file_name);
        EXPECT_TRUE(untouched);
    }
}

// What undo cannot verify stays and is named: a list whose removal fails; a
// file that took the inode number of a moved image after it was deleted,
// with its size and modification time copied, but another time of change
// (made here by a new access right); a file another process puts at the
// game list's name between undo's check and its removal (undo removes only
// what it has just verified, under a private name).
TEST(UndoSafety, WhatUndoCannotVerifyStaysAndIsNamed)
{
    const std::string renamed = "Renamed_SNES_ROMs/Alpha Quest (USA).smc", list = "Renamed_SNES_ROMs/games.htm";
    for (const std::string what : {"removal fails", "same identity", "swapped in"}) {
        SCOPED_TRACE(what);
        SafetyWorld world;
        world.image("alpha.smc", Alpha);
        ASSERT_EQ(world.run(what != "same identity").outcome, BatchOutcome::completed);
        if (what == "same identity") {
            const auto mtime = fs::last_write_time(world.in_folder(renamed));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::fstream(world.in_folder(renamed), std::ios::in | std::ios::out | std::ios::binary).put('!');
            fs::last_write_time(world.in_folder(renamed), mtime);
        }
        bool swapped = false;
        const test::ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
            const std::string private_name =
                path_separator + std::string(what == "removal fails" ? ".cartonym-copy-" : ".cartonym-");
            const bool removing = (operation == SystemOperation::move && path.find(private_name) != std::string::npos)
                || (operation == SystemOperation::remove && path == world.in_folder(list));
            if (what == "swapped in" && removing && !std::exchange(swapped, true)) {
                fs::remove(world.in_folder(list));
                world.file(list, "another process's file");
            }
            return what == "removal fails" && removing ? EACCES : 0;
        });
        const UndoReport report = undo_run("", false);
        ASSERT_EQ(report.problems.size(), 1u);
        EXPECT_EQ(report.problems[0].path, world.in_folder(what == "same identity" ? renamed : list));
        EXPECT_TRUE(what == "removal fails" || report.problems[0].reason == "another file is there now");
        EXPECT_TRUE(fs::exists(report.problems[0].path));
        EXPECT_EQ(swapped, what == "swapped in");
        EXPECT_TRUE(what != "swapped in" || fixtures::read_file(world.in_folder(list)) == "another process's file");
    }
}

} // namespace
} // namespace cartonym
