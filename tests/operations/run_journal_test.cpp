// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal and undo, in process: a batch run with its journal, then
// undo_run. After an undo the folder holds exactly the paths and bytes it held
// before the run; whatever undo cannot take back safely stays and is named.
#include "operations/engine.h"
#include "operations/journal_format.h"
#include "tests/testsupport.h"

#include <algorithm>
#include <cerrno>
#include <tuple>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace fixtures;
using test::Tree;

using namespace test::games;
const std::string R = "Renamed_SNES_ROMs/";

using test::tree_difference;

// A run folder with its own journal folder for one test.
using UndoWorld = test::JournalledRunFolder;

// Everything a run meets: two copies of one game (a clash within the run),
// an image already bearing its name, two unknown images, a file that is no
// image, an image whose name is taken by an earlier run, an image whose
// Duplicates name is taken too, an unknown.log with earlier entries and an
// earlier game list.
void fill_everything(const UndoWorld& world)
{
    for (const auto& [name, plan] : std::vector<std::pair<std::string, RomPlan>>{{"alpha copy.smc", Alpha},
             {"alpha.smc", alpha_long}, {"Beta & Gamma (JAP).swc", Beta}, {"gamma (usa).smc", Gamma},
             {"mystery.smc", Riddle}, {"another one.fig", Riddle2}, {"gamma again.smc", Gamma},
             {R + "Gamma (USA).smc", {.name = "GAMMA RAY", .checksum = 0x4321}}})
        world.image(name, plan);
    for (const auto& [name, text] : std::vector<std::pair<std::string, std::string>>{{"readme.txt", "no image\r\n"},
             {"Duplicates/gamma again.smc", "an earlier duplicate"},
             {"Unknown_ROMs/unknown.log", "an earlier entry\r\n\r\n"},
             {R + "games.htm", "<html>an earlier list</html>"}})
        world.file(name, text);
}

// Runs the world's batch with hook answering every system call.
BatchResult run_hooked(UndoWorld& world, const FaultHook& hook)
{
    const test::ScopedFaultHook scoped(hook);
    return world.run();
}

// Any failure, not only a file-system one, ends the run as a failure with its journal ended.
TEST(Undo, AnUnexpectedFailureEndsTheRunAndItsJournal)
{
    UndoWorld world;
    world.image("alpha.smc", Alpha);
    world.image("gamma.smc", Gamma);
    int moves = 0;
    const BatchResult result = run_hooked(world, [&](SystemOperation operation, const std::string&) {
        if (operation == SystemOperation::move && ++moves == 2)
            throw std::bad_alloc();
        return 0;
    });
    EXPECT_EQ(std::tie(result.outcome, result.message.text), std::tuple(BatchOutcome::failed, "std::bad_alloc"));
    const Tree journals = world.journals();
    EXPECT_TRUE(std::ranges::any_of(
        journals, [](const auto& entry) { return entry.second.find("\nend ") != std::string::npos; }));
}

// A fresh folder, and one holding output folders, a log and a list of an earlier run.
TEST(Undo, CompleteRunWithClashesUnknownImagesDuplicatesListAndLogIsUndoneExactly)
{
    for (const auto& [without_spaces, fresh] : {std::pair{false, false}, {true, false}, {false, true}}) {
        SCOPED_TRACE(std::to_string(without_spaces) + (fresh ? " fresh" : ""));
        UndoWorld world;
        if (fresh) {
            world.image("alpha copy.smc", Alpha);
            world.image("alpha.smc", alpha_long);
            world.image("mystery.smc", Riddle);
        } else {
            fill_everything(world);
        }
        const Tree before = world.entries();
        const BatchResult result = world.run(true, without_spaces);
        ASSERT_EQ(result.outcome, BatchOutcome::completed);
        ASSERT_EQ(result.counts.unknown, fresh ? 1 : 2);
        ASSERT_NE(tree_difference(before, world.entries()), "");
        ASSERT_TRUE(fs::exists(world.in_folder("Unknown_ROMs/unknown.log")));
        ASSERT_NE(read_file(world.in_folder(R + "games.htm")), "<html>an earlier list</html>");

        // A dry run changes nothing, not even the journal, and foretells the undo.
        const Tree after_run = world.entries(), journals = world.journals();
        const UndoReport preview = undo_run("", true);
        EXPECT_TRUE(preview.dry_run);
        EXPECT_EQ(tree_difference(after_run, world.entries()), "");
        EXPECT_EQ(world.journals(), journals);
        EXPECT_EQ(list_runs()[0].state, RunState::not_undone);

        const UndoReport report = undo_run("", false);
        EXPECT_TRUE(report.complete()) << report.problems.front().path << ": " << report.problems.front().reason;
        EXPECT_EQ(tree_difference(before, world.entries()), "");
        EXPECT_EQ(report.moved_back.size(), fresh ? 3u : 6u);
        EXPECT_EQ(std::tie(preview.moved_back, preview.removed, preview.restored),
            std::tie(report.moved_back, report.removed, report.restored));

        const auto runs = list_runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].state, RunState::undone);
        EXPECT_TRUE(runs[0].finished);
        EXPECT_EQ(runs[0].moves, fresh ? 3u : 6u); // every image the run moved (one stayed: both names taken)
        EXPECT_EQ(runs[0].folder, world.F);
    }
}

TEST(Undo, LinksAndNamesWithAnyBytesGoBackAsTheyWere)
{
    UndoWorld world;
    world.image("alpha.smc", Alpha);
    // Links to an image of the folder, sorted before and after it (filed
    // after it into Duplicates, leading to its new place), and relative and
    // absolute links to images outside the folder (moved and repointed).
    for (const char* link : {"a link.smc", "link to alpha.smc"})
        fs::create_symlink("alpha.smc", world.in_folder(link));
    fixtures::write_rom(world.t / "outside.smc", Gamma);
    fixtures::write_rom(world.t / "outside unknown.smc", Riddle2);
    fs::create_symlink("../outside.smc", world.in_folder("gamma link.smc"));
    fs::create_symlink(world.t / "outside unknown.smc", world.in_folder("absolute.smc"));
    for (const std::string& name : std::vector<std::string>{"with\nline break.smc", "per%cent 100%.smc",
             std::string("bad \xff\xfe bytes.smc"), "tab\there.smc", "  spaces  .smc", "unknown.log"})
        world.image(name, Riddle);
    world.image("percent %41.smc", Alpha);
    const Tree before = world.entries();
    ASSERT_EQ(world.run().outcome, BatchOutcome::completed);
    for (const std::string& link : {"Duplicates/a link.smc"s, "Duplicates/link to alpha.smc"s, R + "Gamma (USA).smc",
             "Unknown_ROMs/absolute.smc"s})
        EXPECT_TRUE(fs::is_symlink(world.in_folder(link)) && fs::is_regular_file(world.in_folder(link))) << link;
    EXPECT_EQ(read_file(world.in_folder("Duplicates/a link.smc")), build_rom(Alpha));
    EXPECT_EQ(read_file(world.in_folder(R + "Gamma (USA).smc")), build_rom(Gamma));
    EXPECT_EQ(read_file(world.t / "outside unknown.smc"), build_rom(Riddle2)) << "the image outside stays";
    // An image named like the log keeps its bytes in Duplicates.
    EXPECT_EQ(read_file(world.in_folder("Duplicates/unknown.log")), build_rom(Riddle));
    EXPECT_TRUE(read_file(world.in_folder("Unknown_ROMs/unknown.log")).starts_with("Datasource: "));
    ASSERT_TRUE(fs::exists(world.in_folder("Unknown_ROMs/with\nline break.smc")));

    const UndoReport report = undo_run("", false);
    EXPECT_TRUE(report.complete());
    EXPECT_EQ(tree_difference(before, world.entries()), "");
}

// A run stopped by a failure at every possible move is undone as far as it
// went; a journal entry that cannot be written stops the run before its
// change, with a message naming the journal, not the image in hand.
TEST(Undo, RunStoppedByAFailureIsUndoneAsFarAsItWent)
{
    for (const auto& [operation, errnum, first, last, step] :
        {std::tuple{SystemOperation::move, EIO, 1, 10, 1}, {SystemOperation::write, ENOSPC, 2, 12, 2}}) {
        for (int n = first; n <= last; n += step) {
            SCOPED_TRACE((errnum == EIO ? "move " : "journal write ") + std::to_string(n));
            UndoWorld world;
            fill_everything(world);
            const Tree before = world.entries();
            int seen = 0;
            const BatchResult result = run_hooked(world, [&](SystemOperation asked, const std::string& path) {
                const bool counted = asked == operation && (errnum == EIO || path.ends_with(".journal"));
                return counted && ++seen == n ? errnum : 0;
            });
            ASSERT_EQ(result.outcome, BatchOutcome::failed);
            EXPECT_TRUE(errnum == EIO || result.Dateipfad.ends_with(".journal")) << result.Dateipfad;
            EXPECT_NE(result.message.text.find(result.Dateipfad), std::string::npos) << result.message.text;
            // A run stopped before its first change leaves no journal.
            if (!list_runs().empty()) {
                EXPECT_TRUE(undo_run(list_runs()[0].name, false).complete());
            }
            EXPECT_EQ(tree_difference(before, world.entries()), "");
        }
    }
}

// A run stopped between making the fresh link of a link to an image of the
// folder and recording its move: undo takes the fresh link away.
TEST(Undo, FreshLinkMadeButNotRecordedGoesAgain)
{
    UndoWorld world;
    world.image("alpha.smc", Alpha);
    fs::create_symlink("alpha.smc", world.in_folder("link to alpha.smc"));
    const Tree before = world.entries();
    bool made = false, failed = false;
    const BatchResult result = run_hooked(world, [&](SystemOperation operation, const std::string& path) {
        made = made || (operation == SystemOperation::move && path.ends_with("Duplicates/link to alpha.smc"));
        return made && operation == SystemOperation::write && path.ends_with(".journal") && !std::exchange(failed, true)
            ? ENOSPC
            : 0;
    });
    ASSERT_EQ(result.outcome, BatchOutcome::failed);
    ASSERT_TRUE(fs::is_symlink(world.in_folder("Duplicates/link to alpha.smc")));
    EXPECT_TRUE(undo_run("", false).complete());
    EXPECT_EQ(tree_difference(before, world.entries()), "");
}

// A new file in a vacated place, a file put in place of a moved image, a log
// with later entries and a list edited by hand all stay; the rest goes back.
TEST(Undo, WhatChangedAfterTheRunStaysAndIsReported)
{
    UndoWorld world;
    fill_everything(world);
    ASSERT_EQ(world.run().outcome, BatchOutcome::completed);
    world.file("mystery.smc", "a new file in the vacated place");
    const std::string renamed_alpha = world.in_folder(R + "Alpha Quest (USA).smc");
    fs::remove(renamed_alpha);
    world.file(R + "Alpha Quest (USA).smc", "someone else's file");
    const std::string log = read_file(world.in_folder("Unknown_ROMs/unknown.log")) + "a later entry\r\n";
    world.file("Unknown_ROMs/unknown.log", log);
    world.file(R + "games.htm", "a list edited by hand");

    const UndoReport report = undo_run("", false);
    ASSERT_EQ(report.problems.size(), 4u);
    const auto vacated = std::ranges::find(report.problems, world.in_folder("mystery.smc"), &UndoProblem::place);
    ASSERT_NE(vacated, report.problems.end());
    EXPECT_EQ(vacated->path, world.in_folder("Unknown_ROMs/mystery.smc"));
    EXPECT_EQ(read_file(world.in_folder("mystery.smc")), "a new file in the vacated place");
    EXPECT_EQ(read_file(world.in_folder("Unknown_ROMs/mystery.smc")), build_rom(Riddle));
    EXPECT_EQ(read_file(renamed_alpha), "someone else's file");
    EXPECT_FALSE(fs::exists(world.in_folder("alpha copy.smc")));
    EXPECT_EQ(read_file(world.in_folder("Unknown_ROMs/unknown.log")), log);
    EXPECT_EQ(read_file(world.in_folder(R + "games.htm")), "a list edited by hand");
    EXPECT_EQ(read_file(world.in_folder("another one.fig")), build_rom(Riddle2)); // the rest went back
    EXPECT_EQ(list_runs()[0].state, RunState::partly_undone);
}

TEST(Undo, RunsAreListedNewestFirstAndUndoneInTurn)
{
    UndoWorld world;
    world.image("alpha.smc", Alpha);
    const Tree first_before = world.entries();
    ASSERT_EQ(world.run().outcome, BatchOutcome::completed);
    world.image("gamma.smc", Gamma);
    const Tree second_before = world.entries();
    ASSERT_EQ(world.run().outcome, BatchOutcome::completed);

    auto runs = list_runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_GT(runs[0].name, runs[1].name);
    EXPECT_EQ(runs[0].moves, 1u);
    EXPECT_EQ(undoable_runs_of(world.F).size(), 2u); // what the window offers
    EXPECT_EQ(undo_run("", false).name, runs[0].name);
    EXPECT_THROW(undo_run(runs[0].name, false), JournalUnavailable) << "undone already";
    EXPECT_EQ(tree_difference(second_before, world.entries()), "");
    EXPECT_EQ(undoable_runs_of(world.F).size(), 1u) << "an undone run is offered no more";
    EXPECT_EQ(undo_run("", false).name, runs[1].name);
    fs::remove(world.in_folder("gamma.smc")); // added by hand between the runs
    EXPECT_EQ(tree_difference(first_before, world.entries()), "");
    EXPECT_THROW(undo_run("", false), JournalUnavailable);
    EXPECT_THROW(undo_run("20000101T000000.000000Z", false), JournalUnavailable);
}

TEST(Undo, RunWithoutChangesLeavesNoJournalOneThatRemovedAListPutsItBack)
{
    UndoWorld world;
    world.file("readme.txt", "no image");
    ASSERT_EQ(world.run(false).outcome, BatchOutcome::completed);
    EXPECT_EQ(world.journals().size(), 0u);
    test::TempFolder empty;
    {
        RunJournal journal(empty.path().string());
        BatchOptions options{empty.path().string(), world.db};
        options.recorder = &journal;
        EXPECT_EQ(Batchrun(options).outcome, BatchOutcome::no_files);
    }
    EXPECT_EQ(world.journals().size(), 0u);

    // A run without images removes an earlier game list: undo puts it back.
    world.file(R + "games.htm", "<html>an earlier list</html>");
    const Tree before = world.entries();
    ASSERT_EQ(world.run(true).outcome, BatchOutcome::completed);
    ASSERT_FALSE(fs::exists(world.in_folder(R + "games.htm")));
    EXPECT_TRUE(undo_run("", false).complete());
    EXPECT_EQ(tree_difference(before, world.entries()), "");
}

TEST(Undo, JournalThatCannotBeCreatedIsReportedWithItsReason)
{
    UndoWorld world;
    world.file("state file", "");
    const test::ScopedVariable state_home("XDG_STATE_HOME", world.in_folder("state file"));
    try {
        RunJournal journal(world.F);
        FAIL() << "a journal below a file";
    } catch (const JournalUnavailable& error) {
        EXPECT_NE(std::string(error.what()).find("state file"), std::string::npos) << error.what();
    }
    // Inside the folder being sorted it is refused, and nothing is made there.
    const Tree before = world.entries();
    const test::ScopedVariable inside("XDG_STATE_HOME", world.F + "/state");
    EXPECT_THROW(RunJournal journal(world.t / "roms"), JournalUnavailable);
    EXPECT_EQ(tree_difference(before, world.entries()), "");
}

// Every record kind written from its table entry reads back as written (a
// path holding every byte value); a line of the wrong arity, of an unknown
// kind, with a bad escape or a number beyond 64 bits is no record.
TEST(JournalFormat, EveryRecordKindReadsBackAndMalformedLinesAreNone)
{
    std::string every_byte;
    for (int byte = 0; byte < 256; ++byte)
        every_byte += static_cast<char>(byte);
    for (const RecordFormat& format : record_formats()) {
        SCOPED_TRACE(format.name);
        std::vector<std::string> values;
        for (const FieldFormat& field : format.fields)
            values.push_back(field.kind == FieldKind::number ? "-12"
                    : field.kind == FieldKind::word          ? "w0rd"
                                                             : every_byte);
        const std::string line = record_line(format.kind, values);
        EXPECT_EQ(std::ranges::count(line, ' '), static_cast<std::ptrdiff_t>(values.size()));
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const auto record = parsed_record(line);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->kind, format.kind);
        EXPECT_EQ(record->values, values);
        EXPECT_FALSE(parsed_record(line + " more"));
        EXPECT_EQ(&record_format(format.kind), &format);
    }
    for (const char* line : {"started 99999999999999999999", "started -9223372036854775809", "started 12x", "started",
             "started -", "started +1", "folder a%4", "folder a%zz", "no-such-kind x", ""})
        EXPECT_FALSE(parsed_record(line)) << line;
    EXPECT_EQ(parsed_record("started -5")->number(0), -5);
    EXPECT_EQ(parsed_record("folder %2541%41%2f")->values[0], "%41A/");
    EXPECT_EQ(parsed_record("log p -1 18446744073709551615 7")->unsigned_number(2), 18446744073709551615ull);
}

} // namespace
} // namespace cartonym
