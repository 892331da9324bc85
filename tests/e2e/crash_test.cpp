// Crash safety: cartonym-cli batch is killed with SIGKILL at random moments
// on a folder of several hundred images. After every kill each image is
// still there exactly once, byte for byte, and a following run completes.
#include "fixtures/rom_builder.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace cartonym;

constexpr int image_count = 300;

void write_folder(const fs::path& folder)
{
    fs::create_directories(folder);
    for (int i = 0; i < image_count; ++i) {
        const std::string file = "image " + std::to_string(i) + ".smc";
        if (i % 25 == 24) {
            fixtures::write_file(
                (folder / ("notes " + std::to_string(i) + ".txt")).string(), "no image " + std::to_string(i));
            continue;
        }
        // Every tenth image is unknown; three images in a row share a game and become duplicates.
        fixtures::write_rom((folder / file).string(),
            {.name = i % 10 == 9 ? "UNKNOWN " + std::to_string(i) : "GAME " + std::to_string(i / 3),
                .checksum = static_cast<std::uint16_t>(i),
                .data_length = 0x8000});
    }
}

pid_t start_batch(const std::string& database, const fs::path& folder)
{
    return test::start_program(CARTONYM_CLI_PATH, {"batch", "--gamelist", "--db", database, folder.string()});
}

int wait_for(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0), status;
}

} // namespace

TEST(CrashSafety, EveryImageSurvivesSigkillAtRandomMomentsAndTheNextRunCompletes)
{
    test::TempFolder work, temp;
    const test::TempEnvironment environment({{"temp", temp.path().string()}});
    std::string database_text;
    for (int game = 0; game < image_count / 3; ++game)
        database_text += fixtures::database_line("GAME " + std::to_string(game), "Game " + std::to_string(game));
    const std::string database = work / "snes.dat";
    fixtures::write_file(database, database_text);

    const fs::path template_ = work.path() / "template";
    write_folder(template_);
    const auto before = test::image_contents(template_);

    // How long an undisturbed run takes, to spread the kills over it.
    const fs::path probe = work.path() / "probe";
    fs::copy(template_, probe);
    const auto begin_pos = std::chrono::steady_clock::now();
    const pid_t trial_run = start_batch(database, probe);
    ASSERT_GT(trial_run, 0);
    const int trial_status = wait_for(trial_run);
    ASSERT_TRUE(WIFEXITED(trial_status) && WEXITSTATUS(trial_status) == 0);
    const auto duration_ =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin_pos);
    ASSERT_EQ(test::image_contents(probe), before);

    std::mt19937 random(1206);
    // At least 50 kills that hit a running process; a kill that comes after
    // the run has ended does not count.
    int killed = 0, attempt = 0;
    for (; killed < 50 && attempt < 200; ++attempt) {
        const fs::path folder = work.path() / ("kill" + std::to_string(attempt));
        fs::copy(template_, folder);
        const pid_t pid = start_batch(database, folder);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, duration_.count())(random)));
        ::kill(pid, SIGKILL);
        const int status = wait_for(pid);
        if (WIFSIGNALED(status))
            ++killed;
        ASSERT_EQ(test::image_contents(folder), before) << "after the kill of attempt " << attempt;

        const int next_status = wait_for(start_batch(database, folder));
        EXPECT_TRUE(WIFEXITED(next_status) && WEXITSTATUS(next_status) == 0) << "attempt " << attempt;
        ASSERT_EQ(test::image_contents(folder), before) << "after the run following attempt " << attempt;
        fs::remove_all(folder);
    }
    std::printf("kills survived: %d in %d attempts (the rest ended before the signal)\n", killed, attempt);
    EXPECT_GE(killed, 50);
}
