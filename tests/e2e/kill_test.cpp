// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli batch killed with SIGKILL at random moments on a folder of
// several hundred images, some with saves and states that move with them.
// After every kill each image and companion is still there exactly once,
// byte for byte, and either a following run completes or undo brings
// the folder back to exactly the paths and bytes it held before the run.
#include "tests/testsupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace cartonym;
using std::chrono::microseconds;
using test::wait_for;

constexpr int image_count = 300;

// A test folder holding the database and a template folder: 300 entries,
// every tenth image unknown, three images in a row sharing a game (so two of
// them are duplicates), some non-images, links to images of the folder and
// an earlier unknown.log.
class KillWorld {
public:
    // Without unknown images (and log) when unknown is false.
    explicit KillWorld(bool unknown = true)
    {
        std::string database_text;
        for (int game = 0; game < image_count / 3; ++game)
            database_text += fixtures::database_line("GAME " + std::to_string(game), "Game " + std::to_string(game));
        fixtures::write_file(database, database_text);

        fs::create_directories(template_folder / "Unknown_ROMs");
        if (unknown)
            fixtures::write_file(
                (template_folder / "Unknown_ROMs" / "unknown.log").string(), "an earlier entry\r\n\r\n");
        for (int i = 0; i < image_count; ++i) {
            const std::string n = std::to_string(i);
            if (i % 25 == 24) {
                fixtures::write_file((template_folder / ("notes " + n + ".txt")).string(), "no image " + n);
                continue;
            }
            fixtures::write_rom((template_folder / ("image " + n + ".smc")).string(),
                {.name = unknown && i % 10 == 9 ? "UNKNOWN " + n : "GAME " + std::to_string(i / 3),
                    .checksum = static_cast<std::uint16_t>(i),
                    .data_length = 0x8000});
            if (i % 7 == 0) { // a save and a state that move with their image
                fixtures::write_file((template_folder / ("image " + n + ".srm")).string(), "save " + n);
                fixtures::write_file((template_folder / ("image " + n + ".state1")).string(), "state " + n);
            }
            if (i % 50 == 0) // a link to an image of the folder, filed after it
                fs::create_symlink("image " + n + ".smc", template_folder / ("link " + n + ".smc"));
        }
    }

    // A fresh copy of the template, named after the attempt.
    fs::path copy(int attempt) const
    {
        const fs::path folder = work.path() / ("kill" + std::to_string(attempt));
        fs::copy(template_folder, folder, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        return folder;
    }

    pid_t start_batch(const fs::path& folder, bool game_list = true) const
    {
        std::vector<std::string> arguments = {"batch", "--gamelist", "--db", database, folder.string()};
        if (!game_list)
            arguments.erase(arguments.begin() + 1);
        return test::start_program(CARTONYM_CLI_PATH, arguments);
    }

    test::TempFolder work, temp;
    test::TempEnvironment environment{{{"temp", temp.path().string()}}};
    test::ScopedVariable state{"XDG_STATE_HOME", (work.path() / "state").string()}; // the journals
    std::string database = work / "snes.dat";
    fs::path template_folder = work.path() / "template";
};

// The time f takes.
template <typename F> microseconds length_of(F f)
{
    const auto begin = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - begin);
}

// A run (or undo) exits 0, or 2 when there was no run to undo.
void expect_ended_well(int status, bool or_nothing_to_undo = false)
{
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(WEXITSTATUS(status) == 0 || (or_nothing_to_undo && WEXITSTATUS(status) == 2))
        << "exit " << WEXITSTATUS(status);
}

// Kills, each on a fresh copy of the template with a journal folder of its
// own, until `wanted` kills hit a running process (a kill that comes after
// the process has ended does not count), at most 400 attempts. start(folder)
// starts the process killed; check(folder) follows each kill. The delay
// before each kill is random below a bound that starts at length (an
// undisturbed run's) and follows the runs: it shrinks after a kill that
// came too late and grows after one that hit, so kills keep landing inside
// runs however fast or loaded the machine is.
template <typename Start, typename Check>
void kill_attempts(const KillWorld& world, microseconds length, int wanted, Start start, Check check)
{
    long bound = std::max<long>(length.count(), 200);
    std::mt19937 random{1206};
    int killed = 0, attempt = 0;
    for (; killed < wanted && attempt < 400 && !::testing::Test::HasFatalFailure(); ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        const fs::path folder = world.copy(attempt);
        const test::ScopedVariable state(
            "XDG_STATE_HOME", (world.work.path() / ("state" + std::to_string(attempt))).string());
        const pid_t pid = start(folder);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(microseconds(std::uniform_int_distribution<long>(0, bound)(random)));
        ::kill(pid, SIGKILL);
        const bool hit = WIFSIGNALED(wait_for(pid));
        killed += hit;
        bound = hit ? bound * 11 / 10 : std::max<long>(bound * 7 / 10, 50);
        check(folder);
        fs::remove_all(folder);
    }
    std::printf("kills: %d in %d attempts (the rest ended before the signal)\n", killed, attempt);
    EXPECT_GE(killed, wanted);
}

pid_t start_undo() { return test::start_program(CARTONYM_CLI_PATH, {"undo"}); }

} // namespace

TEST(CrashSafety, EveryImageSurvivesSigkillAtRandomMomentsAndTheNextRunCompletes)
{
    const KillWorld world;
    const auto before = test::image_contents(world.template_folder);
    const fs::path probe = world.copy(-1);
    const microseconds length = length_of([&] { expect_ended_well(wait_for(world.start_batch(probe))); });
    ASSERT_EQ(test::image_contents(probe), before);
    kill_attempts(
        world, length, 50, [&](const fs::path& folder) { return world.start_batch(folder); },
        [&](const fs::path& folder) {
            ASSERT_EQ(test::image_contents(folder), before) << "after the kill";
            expect_ended_well(wait_for(world.start_batch(folder)));
            ASSERT_EQ(test::image_contents(folder), before) << "after the run following the kill";
        });
}

TEST(UndoAfterKill, RunKilledAtRandomMomentsIsUndoneExactly)
{
    const KillWorld world;
    const test::Tree before = test::entries_of(world.template_folder);
    const fs::path probe = world.copy(-1);
    const microseconds length = length_of([&] { expect_ended_well(wait_for(world.start_batch(probe))); });
    // 0: everything went back; 2: killed before the journal was made, no run to undo.
    kill_attempts(
        world, length, 20, [&](const fs::path& folder) { return world.start_batch(folder); },
        [&](const fs::path& folder) {
            expect_ended_well(wait_for(start_undo()), true);
            ASSERT_EQ(test::tree_difference(before, test::entries_of(folder)), "") << "after the undo";
        });
}

// An undo killed at random moments is finished by the next plain undo: it
// exits 0 (or 2 when the killed undo had ended before the signal) and the
// folder is exactly as before the run, with nothing under a private name.
TEST(UndoAfterKill, UndoKilledAtRandomMomentsIsFinishedByTheNextUndo)
{
    const KillWorld world;
    const test::Tree before = test::entries_of(world.template_folder);
    const fs::path probe = world.copy(-1);
    ASSERT_EQ(wait_for(world.start_batch(probe)), 0);
    const microseconds length = length_of([&] { expect_ended_well(wait_for(start_undo())); });
    kill_attempts(
        world, length, 20,
        [&](const fs::path& folder) {
            EXPECT_EQ(wait_for(world.start_batch(folder)), 0);
            return start_undo();
        },
        [&](const fs::path& folder) {
            expect_ended_well(wait_for(start_undo()), true);
            ASSERT_EQ(test::tree_difference(before, test::entries_of(folder)), "");
        });
}

// Two runs over one folder at once (one stopped with SIGSTOP while the
// other runs), undone in either order: each undo takes back only its own
// moves, and the folder is exactly as before. (Without unknown images and
// game lists: the runs' entries in one unknown.log interleave, and a log is
// only cut back; the game list one run placed is the other's earlier one.)
// The runs interleaved only where the first was stopped while running and
// both kept a journal; attempts go on until six did, at most 30.
TEST(UndoAfterKill, TwoInterleavedRunsAreUndoneInEitherOrder)
{
    const KillWorld world(false);
    const test::Tree before = test::entries_of(world.template_folder);
    const fs::path probe = world.copy(-1);
    const microseconds run_length = length_of([&] { wait_for(world.start_batch(probe)); });
    std::mt19937 random(1207);
    int interleaved = 0, attempt = 0;
    for (; interleaved < 6 && attempt < 30; ++attempt) {
        const fs::path folder = world.copy(attempt);
        const test::ScopedVariable state(
            "XDG_STATE_HOME", (world.work.path() / ("parallel-state" + std::to_string(attempt))).string());
        const pid_t first = world.start_batch(folder, false);
        std::this_thread::sleep_for(
            microseconds(std::uniform_int_distribution<long>(0, std::max<long>(run_length.count() / 2, 1))(random)));
        ::kill(first, SIGSTOP);
        int status = 0;
        ::waitpid(first, &status, WUNTRACED); // stopped, or ended before the signal
        wait_for(world.start_batch(folder, false));
        if (WIFSTOPPED(status)) {
            ::kill(first, SIGCONT);
            wait_for(first);
        }
        // Plain undos, newest first, or undos by name, oldest first (a run
        // that found nothing left to do keeps no journal).
        const auto listing = test::run_program(CARTONYM_CLI_PATH, {"undo", "--list"}, world.work);
        std::istringstream lines(listing.out);
        std::vector<std::string> order;
        for (std::string line; std::getline(lines, line);)
            order.insert(order.begin(), interleaved % 2 == 0 ? "" : line.substr(0, line.find('\t')));
        interleaved += WIFSTOPPED(status) && order.size() == 2;
        for (const std::string& name : order) {
            const auto undo = test::run_program(CARTONYM_CLI_PATH,
                name.empty() ? std::vector<std::string>{"undo"} : std::vector<std::string>{"undo", name}, world.work);
            EXPECT_EQ(undo.status, 0) << "attempt " << attempt << " " << name << ": " << undo.err;
        }
        ASSERT_EQ(test::tree_difference(before, test::entries_of(folder)), "") << "attempt " << attempt;
        fs::remove_all(folder);
    }
    std::printf("interleaved runs: %d in %d attempts\n", interleaved, attempt);
    EXPECT_EQ(interleaved, 6) << "the runs did not interleave often enough";
}

// An export killed at random moments leaves only whole copies at their
// names, never a partial one; the next export removes what the killed one
// left under private names and completes the set exactly as an export
// never stopped makes it.
TEST(CrashSafety, ExportKilledAtRandomMomentsLeavesWholeCopiesAndTheNextCompletes)
{
    const KillWorld world;
    const auto export_to = [&](const fs::path& to) {
        return test::start_program(CARTONYM_CLI_PATH,
            {"export", "--db", world.database, "--layout", "letters", "--include-unknown",
                world.template_folder.string(), to.string()});
    };
    const fs::path probe = world.work.path() / "probe set";
    const microseconds length = length_of([&] { expect_ended_well(wait_for(export_to(probe))); });
    const test::Tree expected = test::entries_of(probe);
    const auto sources = test::image_contents(world.template_folder);
    kill_attempts(
        world, length, 12, [&](const fs::path& folder) { return export_to(folder / "set"); },
        [&](const fs::path& folder) {
            const test::Tree left = fs::exists(folder / "set") ? test::tree_of(folder / "set") : test::Tree{};
            for (const auto& [name, content] : left)
                if (name.find(".cartonym-") == std::string::npos) {
                    ASSERT_TRUE(std::ranges::binary_search(sources, content)) << name << " is no whole copy";
                }
            expect_ended_well(wait_for(export_to(folder / "set")));
            ASSERT_EQ(test::tree_difference(expected, test::entries_of(folder / "set")), "");
        });
}
