// Undo after a kill: cartonym-cli batch is killed with SIGKILL at random
// moments; cartonym-cli undo then brings the folder back to exactly the
// paths and bytes it held before the run.
#include "fixtures/rom_builder.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

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

constexpr int image_count = 300;

void write_folder(const fs::path& folder)
{
    fs::create_directories(folder / "Unknown_ROMs");
    fixtures::write_file((folder / "Unknown_ROMs" / "unknown.log").string(), "an earlier entry\r\n\r\n");
    for (int i = 0; i < image_count; ++i) {
        if (i % 25 == 24) {
            fixtures::write_file(
                (folder / ("notes " + std::to_string(i) + ".txt")).string(), "no image " + std::to_string(i));
            continue;
        }
        // Every tenth image is unknown; three images in a row share a game and become duplicates.
        fixtures::write_rom((folder / ("image " + std::to_string(i) + ".smc")).string(),
            {.name = i % 10 == 9 ? "UNKNOWN " + std::to_string(i) : "GAME " + std::to_string(i / 3),
                .checksum = static_cast<std::uint16_t>(i),
                .data_length = 0x8000});
    }
}

pid_t start(const std::vector<std::string>& arguments) { return test::start_program(CARTONYM_CLI_PATH, arguments); }

int wait_for(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

} // namespace

TEST(UndoAfterKill, RunKilledAtRandomMomentsIsUndoneExactly)
{
    test::TempFolder work, temp;
    const test::TempEnvironment environment({{"temp", temp.path().string()}});
    std::string database_text;
    for (int game = 0; game < image_count / 3; ++game)
        database_text += fixtures::database_line("GAME " + std::to_string(game), "Game " + std::to_string(game));
    const std::string database = work / "snes.dat";
    fixtures::write_file(database, database_text);
    const fs::path template_folder = work.path() / "template";
    write_folder(template_folder);
    const test::Tree before = test::entries_of(template_folder);

    // How long an undisturbed run takes, to spread the kills over it.
    const fs::path probe = work.path() / "probe";
    fs::copy(template_folder, probe, fs::copy_options::recursive);
    const test::ScopedVariable probe_state("XDG_STATE_HOME", (work.path() / "probe state").string());
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(WEXITSTATUS(wait_for(start({"batch", "--gamelist", "--db", database, probe.string()}))), 0);
    const auto duration =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin);

    std::mt19937 random(1206);
    int killed = 0, attempt = 0;
    for (; killed < 20 && attempt < 300; ++attempt) {
        const fs::path folder = work.path() / ("kill" + std::to_string(attempt));
        fs::copy(template_folder, folder, fs::copy_options::recursive);
        const test::ScopedVariable state(
            "XDG_STATE_HOME", (work.path() / ("state" + std::to_string(attempt))).string());
        const pid_t pid = start({"batch", "--gamelist", "--db", database, folder.string()});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, duration.count())(random)));
        ::kill(pid, SIGKILL);
        if (WIFSIGNALED(wait_for(pid)))
            ++killed;

        // 0: everything went back; 2: killed before the journal was made, no run to undo.
        const int undo_status = wait_for(start({"undo"}));
        ASSERT_TRUE(WIFEXITED(undo_status)) << "attempt " << attempt;
        EXPECT_TRUE(WEXITSTATUS(undo_status) == 0 || WEXITSTATUS(undo_status) == 2)
            << "attempt " << attempt << ": exit " << WEXITSTATUS(undo_status);
        const std::string left = test::tree_difference(before, test::entries_of(folder));
        if (!left.empty()) {
            // The journal's first and last records tell where the kill came.
            const fs::path runs = work.path() / ("state" + std::to_string(attempt)) / "cartonym" / "runs";
            std::string journal;
            for (const auto& entry : fs::directory_iterator(runs))
                if (entry.path().extension() == ".journal")
                    journal = fixtures::read_file(entry.path().string());
            const auto head = journal.substr(0, std::min<std::size_t>(journal.size(), 600));
            const auto tail = journal.substr(journal.size() - std::min<std::size_t>(journal.size(), 600));
            FAIL() << "after the kill of attempt " << attempt << ":\n"
                   << left << "journal begins:\n"
                   << head << "\njournal ends:\n"
                   << tail;
        }
        fs::remove_all(folder);
    }
    std::printf("kills undone: %d in %d attempts (the rest ended before the signal)\n", killed, attempt);
    EXPECT_GE(killed, 20);
}
