// Undo that trusts nothing: records naming paths outside the run's folder,
// moves that failed, runs undone already, removals that fail.
#include "common/system_calls.h"
#include "fixtures/rom_builder.h"
#include "operations/batch_run.h"
#include "operations/journal_format.h"
#include "operations/run_journal.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using namespace test::games;

struct SafetyWorld : test::JournalledRunFolder {
    SafetyWorld()
        : JournalledRunFolder(test::games::database)
    { }

    BatchResult run(bool game_list = true)
    {
        RunJournal journal(F);
        BatchOptions options{F, db, false, game_list};
        options.recorder = &journal;
        return Batchrun(options);
    }

    std::string journal_path() const
    {
        return (state.path() / "cartonym/runs" / (list_runs().at(0).name + journal_extension)).string();
    }

    void append_record(RecordKind kind, const std::vector<std::string>& values) const
    {
        std::ofstream(journal_path(), std::ios::app) << record_line(kind, values) << '\n';
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
TEST(UndoSafety, RecordsNamingPathsOutsideTheFolderAreRefused)
{
    struct Case {
        const char* what;
        std::function<std::string(const SafetyWorld&)> plant; // adds the record, returns the outside path
    };
    const Case cases[] = {
        {"a move out of the folder",
            [](const SafetyWorld& world) {
                world.file("../outside.smc", "not the run's");
                world.append_record(RecordKind::Move, move_of(world.t / "somewhere.smc", world.F + "/../outside.smc"));
                return world.F + "/../outside.smc";
            }},
        {"a move from an absolute path elsewhere",
            [](const SafetyWorld& world) {
                world.file("../other.smc", "not the run's");
                world.append_record(RecordKind::Move, move_of(world.t / "elsewhere.smc", world.t / "other.smc"));
                return world.t / "other.smc";
            }},
        {"a created folder",
            [](const SafetyWorld& world) {
                fs::create_directory(world.t / "empty");
                world.append_record(RecordKind::Created, {world.t / "empty"});
                return world.t / "empty";
            }},
        {"a game list",
            [](const SafetyWorld& world) {
                world.file("../list.htm", "x");
                world.append_record(RecordKind::GameList, {world.t / "list.htm", "1", content_digest("x")});
                return world.t / "list.htm";
            }},
        {"a log the run created",
            [](const SafetyWorld& world) {
                world.file("../other.log", "entry");
                world.append_record(RecordKind::Log, {world.t / "other.log", "-1", "0", "0"});
                world.append_record(RecordKind::Appended, {world.t / "other.log", "0", "0", "entry"});
                return world.t / "other.log";
            }},
        {"a fresh link",
            [](const SafetyWorld& world) {
                fs::create_symlink("target", world.t / "link");
                world.append_record(RecordKind::FreshLink, {world.t / "link", "target"});
                return world.t / "link";
            }},
    };
    for (const Case& planted : cases) {
        SCOPED_TRACE(planted.what);
        SafetyWorld world;
        world.image("alpha.smc", Alpha);
        world.image("mystery.smc", Riddle);
        const test::Tree before = world.entries();
        // (A game list of its own would be replaced by the planted record.)
        ASSERT_EQ(world.run(std::string_view(planted.what) != "a game list").outcome, BatchOutcome::Completed);
        const std::string outside = planted.plant(world);
        const UndoReport report = undo_run("", false);
        EXPECT_TRUE(fs::exists(fs::symlink_status(outside))) << outside;
        EXPECT_TRUE(reported(report, outside));
        EXPECT_EQ(report.problems.size(), 1u);
        EXPECT_EQ(test::tree_difference(before, world.entries()), "");
    }
}

// A move that failed is no change of the run: its file may go anywhere
// afterwards, the run is undone completely, and plain undo reaches the
// run before it.
TEST(UndoSafety, FailedMoveIsNotUndoneAndPlainUndoReachesOlderRuns)
{
    SafetyWorld world;
    world.image("alpha.smc", Alpha);
    ASSERT_EQ(world.run().outcome, BatchOutcome::Completed);
    const std::string first = list_runs().at(0).name;
    world.image("gamma.smc", Gamma);
    {
        const test::ScopedFaultHook hook([](SystemOperation operation, const std::string& path) {
            return operation == SystemOperation::Move && path.ends_with("/Gamma (USA).smc") ? EIO : 0;
        });
        ASSERT_EQ(world.run().outcome, BatchOutcome::Failed);
    }
    fs::remove(world.in_folder("gamma.smc")); // the user deletes it after the failure
    const UndoReport second = undo_run("", false);
    EXPECT_NE(second.name, first);
    EXPECT_TRUE(second.complete()) << (second.problems.empty() ? "" : second.problems[0].reason);
    EXPECT_EQ(list_runs().at(0).moves, 0u);
    EXPECT_EQ(undo_run("", false).name, first);
    EXPECT_TRUE(fs::exists(world.in_folder("alpha.smc")));
}

// A run undone completely is not undone again by name: its names may hold
// the files of a later run by now.
TEST(UndoSafety, RunUndoneCompletelyIsRefusedByName)
{
    SafetyWorld world;
    world.image("alpha.smc", Alpha);
    ASSERT_EQ(world.run().outcome, BatchOutcome::Completed);
    const std::string name = list_runs().at(0).name;
    ASSERT_TRUE(undo_run(name, false).complete());
    world.image("alpha.smc", Alpha);
    ASSERT_EQ(world.run().outcome, BatchOutcome::Completed);
    EXPECT_THROW(undo_run(name, false), JournalUnavailable);
    EXPECT_TRUE(fs::exists(world.in_folder("Renamed_SNES_ROMs/Alpha Quest (USA).smc")));
}

// A removal that fails leaves the run partly undone and names what stayed.
TEST(UndoSafety, FailedRemovalIsReported)
{
    SafetyWorld world;
    world.image("alpha.smc", Alpha);
    ASSERT_EQ(world.run().outcome, BatchOutcome::Completed);
    const test::ScopedFaultHook hook([](SystemOperation operation, const std::string& path) {
        return operation == SystemOperation::Delete && path.ends_with("games.htm") ? EACCES : 0;
    });
    const UndoReport report = undo_run("", false);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].path, world.in_folder("Renamed_SNES_ROMs/games.htm"));
}

} // namespace
} // namespace cartonym
