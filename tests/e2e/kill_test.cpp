// cartonym-cli batch killed with SIGKILL at random moments on a folder of
// several hundred images. After every kill each image is still there exactly
// once, byte for byte, and either a following run completes or undo brings
// the folder back to exactly the paths and bytes it held before the run.
#include "fixtures/rom_builder.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace cartonym;
using std::chrono::microseconds;

constexpr int image_count = 300;

int wait_for(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// A test folder holding the database and a template folder: 300 entries,
// every tenth image unknown, three images in a row sharing a game (so two of
// them are duplicates), some non-images, links to images of the folder and
// an earlier unknown.log.
class KillWorld {
public:
    KillWorld()
    {
        std::string database_text;
        for (int game = 0; game < image_count / 3; ++game)
            database_text += fixtures::database_line("GAME " + std::to_string(game), "Game " + std::to_string(game));
        fixtures::write_file(database, database_text);

        fs::create_directories(template_folder / "Unknown_ROMs");
        fixtures::write_file((template_folder / "Unknown_ROMs" / "unknown.log").string(), "an earlier entry\r\n\r\n");
        for (int i = 0; i < image_count; ++i) {
            if (i % 25 == 24) {
                fixtures::write_file((template_folder / ("notes " + std::to_string(i) + ".txt")).string(),
                    "no image " + std::to_string(i));
                continue;
            }
            fixtures::write_rom((template_folder / ("image " + std::to_string(i) + ".smc")).string(),
                {.name = i % 10 == 9 ? "UNKNOWN " + std::to_string(i) : "GAME " + std::to_string(i / 3),
                    .checksum = static_cast<std::uint16_t>(i),
                    .data_length = 0x8000});
            if (i % 50 == 0) // a link to an image of the folder, filed after it
                fs::create_symlink(
                    "image " + std::to_string(i) + ".smc", template_folder / ("link " + std::to_string(i) + ".smc"));
        }
    }

    // A fresh copy of the template, named after the attempt.
    fs::path copy(int attempt) const
    {
        const fs::path folder = work.path() / ("kill" + std::to_string(attempt));
        fs::copy(template_folder, folder, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        return folder;
    }

    pid_t start_batch(const fs::path& folder) const
    {
        return test::start_program(CARTONYM_CLI_PATH, {"batch", "--gamelist", "--db", database, folder.string()});
    }

    test::TempFolder work, temp;
    test::TempEnvironment environment{{{"temp", temp.path().string()}}};
    test::ScopedVariable state{"XDG_STATE_HOME", (work.path() / "state").string()}; // the journals
    std::string database = work / "snes.dat";
    fs::path template_folder = work.path() / "template";
};

// Picks the delay before each kill at random below a bound. The bound starts
// at the length of an undisturbed run and follows the runs: it shrinks after
// a kill that came too late and grows after one that hit, so kills keep
// landing inside runs however fast or loaded the machine is.
class KillTimer {
public:
    explicit KillTimer(microseconds run_length)
        : bound_(std::max<long>(run_length.count(), 200))
    { }

    // Kills pid after a random delay; true when the kill hit the running process.
    bool kill_later(pid_t pid)
    {
        std::this_thread::sleep_for(microseconds(std::uniform_int_distribution<long>(0, bound_)(random_)));
        ::kill(pid, SIGKILL);
        const bool hit = WIFSIGNALED(wait_for(pid));
        bound_ = hit ? bound_ * 11 / 10 : std::max<long>(bound_ * 7 / 10, 50);
        return hit;
    }

private:
    long bound_;
    std::mt19937 random_{1206};
};

microseconds length_of_a_run(const KillWorld& world, const fs::path& folder)
{
    const auto begin = std::chrono::steady_clock::now();
    const int status = wait_for(world.start_batch(folder));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - begin);
}

} // namespace

TEST(CrashSafety, EveryImageSurvivesSigkillAtRandomMomentsAndTheNextRunCompletes)
{
    const KillWorld world;
    const auto before = test::image_contents(world.template_folder);
    const fs::path probe = world.copy(-1);
    KillTimer timer(length_of_a_run(world, probe));
    ASSERT_EQ(test::image_contents(probe), before);

    // At least 50 kills that hit a running process; a kill that comes after
    // the run has ended does not count.
    int killed = 0, attempt = 0;
    for (; killed < 50 && attempt < 400; ++attempt) {
        const fs::path folder = world.copy(attempt);
        const pid_t pid = world.start_batch(folder);
        ASSERT_GT(pid, 0);
        killed += timer.kill_later(pid);
        ASSERT_EQ(test::image_contents(folder), before) << "after the kill of attempt " << attempt;

        const int next_status = wait_for(world.start_batch(folder));
        EXPECT_TRUE(WIFEXITED(next_status) && WEXITSTATUS(next_status) == 0) << "attempt " << attempt;
        ASSERT_EQ(test::image_contents(folder), before) << "after the run following attempt " << attempt;
        fs::remove_all(folder);
    }
    std::printf("kills survived: %d in %d attempts (the rest ended before the signal)\n", killed, attempt);
    EXPECT_GE(killed, 50);
}

TEST(UndoAfterKill, RunKilledAtRandomMomentsIsUndoneExactly)
{
    const KillWorld world;
    const test::Tree before = test::entries_of(world.template_folder);
    const fs::path probe = world.copy(-1);
    KillTimer timer(length_of_a_run(world, probe));

    int killed = 0, attempt = 0;
    for (; killed < 20 && attempt < 400; ++attempt) {
        const fs::path folder = world.copy(attempt);
        const test::ScopedVariable state(
            "XDG_STATE_HOME", (world.work.path() / ("state" + std::to_string(attempt))).string());
        const pid_t pid = world.start_batch(folder);
        ASSERT_GT(pid, 0);
        killed += timer.kill_later(pid);

        // 0: everything went back; 2: killed before the journal was made, no run to undo.
        const int undo_status = wait_for(test::start_program(CARTONYM_CLI_PATH, {"undo"}));
        ASSERT_TRUE(WIFEXITED(undo_status)) << "attempt " << attempt;
        EXPECT_TRUE(WEXITSTATUS(undo_status) == 0 || WEXITSTATUS(undo_status) == 2)
            << "attempt " << attempt << ": exit " << WEXITSTATUS(undo_status);
        ASSERT_EQ(test::tree_difference(before, test::entries_of(folder)), "")
            << "after the kill of attempt " << attempt;
        fs::remove_all(folder);
    }
    std::printf("kills undone: %d in %d attempts (the rest ended before the signal)\n", killed, attempt);
    EXPECT_GE(killed, 20);
}

// An undo killed at random moments is finished by the next plain undo: it
// exits 0 (or 2 when the killed undo had ended before the signal) and the
// folder is exactly as before the run, with nothing under a private name.
TEST(UndoAfterKill, UndoKilledAtRandomMomentsIsFinishedByTheNextUndo)
{
    const KillWorld world;
    const test::Tree before = test::entries_of(world.template_folder);
    const auto undo = [] { return test::start_program(CARTONYM_CLI_PATH, {"undo"}); };
    microseconds undo_length{};
    {
        const fs::path probe = world.copy(-1);
        const test::ScopedVariable state("XDG_STATE_HOME", (world.work.path() / "state-probe").string());
        ASSERT_EQ(wait_for(world.start_batch(probe)), 0);
        const auto begin = std::chrono::steady_clock::now();
        ASSERT_EQ(wait_for(undo()), 0);
        undo_length = std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - begin);
    }
    KillTimer timer(undo_length);
    int killed = 0, attempt = 0;
    for (; killed < 20 && attempt < 400; ++attempt) {
        const fs::path folder = world.copy(attempt);
        const test::ScopedVariable state(
            "XDG_STATE_HOME", (world.work.path() / ("undo-state" + std::to_string(attempt))).string());
        ASSERT_EQ(wait_for(world.start_batch(folder)), 0) << "attempt " << attempt;
        killed += timer.kill_later(undo());
        const int status = wait_for(undo());
        ASSERT_TRUE(WIFEXITED(status)) << "attempt " << attempt;
        EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2)
            << "attempt " << attempt << ": exit " << WEXITSTATUS(status);
        ASSERT_EQ(test::tree_difference(before, test::entries_of(folder)), "") << "after attempt " << attempt;
        fs::remove_all(folder);
    }
    std::printf("undos killed and finished: %d in %d attempts\n", killed, attempt);
    EXPECT_GE(killed, 20);
}
