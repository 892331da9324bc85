// SPDX-License-Identifier: GPL-3.0-or-later
// Preview and undo through the real cartonym-cli: batch --dry-run decides
// exactly what the real run then does and changes nothing; every real run
// keeps a journal; undo, undo --list and undo --dry-run.
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <random>
#include <set>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using namespace fixtures;
using json = nlohmann::json;
using test::Tree;
using namespace std::string_literals;

constexpr int game_count = 6;

std::string game_database()
{
    std::string text;
    for (int game = 0; game < game_count; ++game)
        text += database_line("GAME " + std::to_string(game), "Game " + std::to_string(game));
    return text;
}

RomPlan game(int number, std::uint16_t checksum = 0x1234)
{
    return {.name = "GAME " + std::to_string(number), .checksum = checksum};
}

using test::tree_difference;

// A run folder whose journals go to a folder of the test's own.
struct CliWorld : test::JournalledRunFolder {
    CliWorld()
        : JournalledRunFolder(game_database())
    { }
};

void fill(const CliWorld& world)
{
    world.image("first.smc", game(0));
    world.image("second copy.smc", game(0, 0x2222));
    world.image("Game 1 (USA).smc", game(1));
    world.image("stranger.smc", RomPlan{.name = "NOBODY AT ALL"});
    world.file("notes.txt", "no image");
    world.file("Unknown_ROMs/unknown.log", "an earlier entry\r\n\r\n");
}

// undo --list, usage errors and undo --dry-run change nothing; an undo
// blocked by a file in a vacated place exits with 1 and names it; once the
// place is free the same run is undone to the end; then there is none left.
TEST(UndoCommand, ListDryRunPartialAndCompleteUndo)
{
    CliWorld world;
    fill(world);
    const Tree before = world.entries();
    const auto run = world.batch({"--gamelist"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const Tree after_run = world.entries();
    ASSERT_NE(tree_difference(before, after_run), "");
    const Tree journals = world.journals();

    const auto listed = world.cli({"undo", "--list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.out.find("\t" + world.F + "\t"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\t4 moves\tnot undone"), std::string::npos) << listed.out;
    const json line = json::parse(world.cli({"undo", "--list", "--json"}).out);
    EXPECT_EQ(line["folder"], world.F);
    EXPECT_EQ(line["folder_escaped"], world.F);
    EXPECT_EQ(line["moves"], 4);
    EXPECT_EQ(line["undone"], false);
    EXPECT_EQ(line["finished"], true);
    const auto unknown = world.cli({"undo", "20000101T000000.000000Z"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "cartonym-cli: there is no run called 20000101T000000.000000Z\n");
    EXPECT_EQ(world.cli({"undo", "--list", "20000101T000000.000000Z"}).status, 2);
    EXPECT_EQ(world.cli({"undo", "--list", "--dry-run"}).status, 2);
    const auto preview = world.cli({"undo", "--dry-run", "--json"});
    EXPECT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(json::parse(preview.out)["moved_back"].size(), 4u);
    EXPECT_EQ(json::parse(preview.out)["folder_escaped"], world.F);
    EXPECT_EQ(tree_difference(after_run, world.entries()), "");
    EXPECT_EQ(world.journals(), journals);

    world.file("first.smc", "put here after the run");
    const auto blocked = world.cli({"undo"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find(
                  world.in_folder("Renamed_SNES_ROMs/Game 0 (USA).smc") + " stays where it is: its old place is taken"),
        std::string::npos)
        << blocked.err;
    EXPECT_EQ(read_file(world.in_folder("Renamed_SNES_ROMs/Game 0 (USA).smc")), build_rom(game(0)));
    EXPECT_EQ(read_file(world.in_folder("stranger.smc")), build_rom(RomPlan{.name = "NOBODY AT ALL"}));
    EXPECT_NE(world.cli({"undo", "--list"}).out.find("partly undone"), std::string::npos);

    fs::remove(world.in_folder("first.smc"));
    const auto undo = world.cli({"undo"});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "");
    EXPECT_EQ(tree_difference(before, world.entries()), "");
    EXPECT_NE(world.cli({"undo", "--list"}).out.find("\tundone"), std::string::npos);
    const auto nothing_left = world.cli({"undo"});
    EXPECT_EQ(nothing_left.status, 2);
    EXPECT_EQ(nothing_left.err, "cartonym-cli: there is no run to undo\n");
}

TEST(UndoCommand, ARunWhoseJournalCannotBeKeptGoesOnWithAWarning)
{
    CliWorld world;
    fill(world);
    world.file("../state file", "");
    const test::ScopedVariable state_home("XDG_STATE_HOME", world.t / "state file");
    const auto run = world.batch({"--gamelist"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.starts_with("cartonym-cli: the run's journal cannot be kept ("));
    EXPECT_TRUE(run.err.ends_with("); the run goes on without undo\n")) << run.err;
    EXPECT_TRUE(fs::exists(world.in_folder("Renamed_SNES_ROMs/Game 1 (USA).smc")));
}

// ---- the preview ------------------------------------------------------------------

// A folder of everything the run decides about: clashes within the run,
// names already correct and differing only in letter case, unknown images,
// copies of a game whose Duplicates name is taken too, files that are no
// image, an unknown image called unknown.log, and output folders left by
// an earlier run.
void generate(std::mt19937& random, const CliWorld& world)
{
    const auto pick = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };
    const auto n = [](int number) { return std::to_string(number); };
    std::set<std::string> names;
    const auto image = [&](const std::string& name, const RomPlan& plan) {
        if (names.insert(name).second)
            world.image(name, plan);
    };
    const int files = 3 + pick(20);
    for (int i = 0; i < files; ++i) {
        const int kind = pick(10), number = pick(game_count), style = pick(3);
        if (kind <= 4) {
            const std::string name = style == 0 ? "Game " + n(number) + " (USA).smc"
                : style == 1                    ? "game " + n(number) + " (usa).smc"
                                                : "file " + n(i) + ".smc";
            image(name, game(number, static_cast<std::uint16_t>(pick(3))));
        } else if (kind <= 6) {
            image("unknown " + n(pick(4)) + ".fig", RomPlan{.name = "MYSTERY " + n(pick(3))});
        } else if (kind == 7) {
            world.file("notes " + n(i) + ".txt", "no image " + n(i));
        } else if (kind == 8) {
            image("unknown.log", RomPlan{.name = "LOG NAMED IMAGE"});
        } else {
            // Three copies of one game, and its Duplicates name taken already.
            for (int copy = 0; copy < 3; ++copy)
                image("copy " + n(copy) + " of " + n(number) + ".smc", game(number, static_cast<std::uint16_t>(copy)));
            if (pick(2) == 0)
                world.file("Duplicates/copy 2 of " + n(number) + ".smc", "an earlier duplicate");
        }
    }
    const int leftover = pick(4);
    if (leftover == 0)
        world.image("Renamed_SNES_ROMs/Game " + n(pick(game_count)) + " (USA).smc", game(0, 0x7777));
    else if (leftover == 1)
        fs::create_directories(world.in_folder("Unknown_ROMs"));
    else if (leftover == 2)
        world.file("Unknown_ROMs/unknown.log", "an earlier entry\r\n\r\n");
}

TEST(Preview, DryRunPlansExactlyWhatTheRealRunDoesAndChangesNothing)
{
    std::mt19937 random(20261206);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        CliWorld world;
        generate(random, world);
        const bool without_spaces = round % 2 == 1, game_list = round % 3 != 0;
        const Tree before = world.entries();

        std::vector<std::string> options = {"--json", "--dry-run"};
        if (without_spaces)
            options.push_back("--no-spaces");
        if (game_list)
            options.push_back("--gamelist");
        const auto preview = world.batch(options);
        ASSERT_EQ(preview.status, 0) << preview.err;
        ASSERT_EQ(tree_difference(before, world.entries()), "");
        ASSERT_TRUE(world.journals().empty()) << "a dry run keeps no journal";
        const json planned = json::parse(preview.out);

        const BatchResult real = world.run(game_list, without_spaces);
        ASSERT_EQ(real.outcome, BatchOutcome::completed);

        ASSERT_EQ(planned["plan"].size(), real.plan.size());
        for (std::size_t i = 0; i < real.plan.size(); ++i) {
            const json& file = planned["plan"][i];
            const PlannedFile& done = real.plan[i];
            EXPECT_EQ(file["file"], done.file);
            EXPECT_EQ(file["outcome"], outcome_name(done.outcome)) << done.file;
            EXPECT_EQ(file["destination"], done.destination.empty() ? json(nullptr) : json(done.destination))
                << done.file;
        }
        EXPECT_EQ(planned["total"], real.counts.total);
        EXPECT_EQ(planned["roms"], real.counts.roms());
        EXPECT_EQ(planned["renamed"], real.counts.renamed);
        EXPECT_EQ(planned["already_correct"], real.counts.already_correct);
        EXPECT_EQ(planned["duplicates"], real.counts.duplicates);
        EXPECT_EQ(planned["unknown"], real.unknown_names);

        // And the real run goes back entirely.
        if (!list_runs().empty()) { // a run that changed nothing keeps no journal
            EXPECT_TRUE(undo_run("", false).complete());
        }
        EXPECT_EQ(tree_difference(before, world.entries()), "");
    }
}

// Two runs over one folder at once: the second to begin makes the output folders and stops (a new name too long),
// the first then files its images into them. Whichever run is undone first, no output folder stays.
TEST(UndoCommand, NoOutputFolderOfTwoRunsAtOnceStaysWhicheverIsUndoneFirst)
{
    for (const bool latest_first : {true, false}) {
        SCOPED_TRACE(latest_first ? "the second run undone first" : "the first run undone first");
        CliWorld world;
        world.file("../long.dat", game_database() + database_line("LONG GAME", std::string(300, 'L')));
        world.image("long.smc", RomPlan{.name = "LONG GAME"});
        for (const auto& [name, plan] : {std::pair{"m first.smc", game(0)}, {"m second.smc", game(0, 0x2222)},
                 {"m stranger.smc", RomPlan{.name = "NOBODY AT ALL"}}})
            world.image(name, plan);
        Tree before = world.entries();
        before.erase("long.smc");
        std::optional<RunJournal> first(std::in_place, world.F); // begun while the folder has no output folder
        const auto second = world.cli({"batch", "--db", world.t / "long.dat", world.F});
        ASSERT_EQ(second.status, 1) << second.err;
        fs::remove(world.in_folder("long.smc"));
        BatchOptions options{world.F, world.db};
        options.recorder = &*first;
        ASSERT_EQ(Batchrun(options).outcome, BatchOutcome::completed);
        const std::string first_run = first->name();
        first.reset();
        const auto undo = world.cli(latest_first ? std::vector<std::string>{"undo"} : std::vector{"undo"s, first_run});
        ASSERT_EQ(undo.status, 0) << undo.err;
        ASSERT_EQ(world.cli({"undo"}).status, 0);
        EXPECT_EQ(tree_difference(before, world.entries()), "");
    }
}

// Paths that are not UTF-8 come with exact escaped fields in undo's JSON
// (two folders differing in one byte look different there); a run undone
// completely is refused by name with exit 2.
TEST(UndoCommand, EscapedFieldsAndARunUndoneAlreadyIsRefused)
{
    CliWorld world;
    const std::string folder = world.F + "/caf\xE9";
    fs::create_directories(folder);
    fixtures::write_rom(folder + "/first.smc", game(0));
    fixtures::write_rom(folder + "/t\xE8st.smc", game(1)); // moved after first.smc, so back before it
    ASSERT_EQ(world.cli({"batch", "--db", world.db, folder}).status, 0);
    const json listed = json::parse(world.cli({"undo", "--list", "--json"}).out);
    EXPECT_EQ(listed["folder_escaped"], world.F + "/caf\\xE9");
    const auto undo = world.cli({"undo", "--json"});
    ASSERT_EQ(undo.status, 0) << undo.err;
    const json report = json::parse(undo.out);
    EXPECT_EQ(report["folder_escaped"], world.F + "/caf\\xE9");
    EXPECT_EQ(report["moved_back"][0]["to_escaped"], world.F + "/caf\\xE9/t\\xE8st.smc");
    EXPECT_EQ(report["moved_back"][1]["to_escaped"], world.F + "/caf\\xE9/first.smc");
    const auto again = world.cli({"undo", listed["run"].get<std::string>()});
    EXPECT_EQ(again.status, 2);
    EXPECT_EQ(again.err, "cartonym-cli: run " + listed["run"].get<std::string>() + " is undone already\n");
}

} // namespace
} // namespace cartonym
