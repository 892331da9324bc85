// SPDX-License-Identifier: GPL-3.0-or-later
// The promise under hostile use: no file is lost, overwritten or altered,
// and every failure names what failed. Each case here once broke it.
#include "tests/testsupport.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using namespace fixtures;
using test::Tree;

using namespace test::games;

struct World : test::RunFolder {
    // Every file of the test folder but the program's reports, sorted.
    std::vector<std::string> contents() const { return test::image_contents(t.path()); }
};

// Where the path the message must name is, and what takes its place there.
enum class Put { nothing, file, folder, fifo };
struct SetupCase {
    const char* what;
    std::string World::*path;
    Put put;
};
class TrustSetupFailure : public ::testing::TestWithParam<SetupCase> { };

TEST_P(TrustSetupFailure, NamesThePathExitsWithTwoAndMovesNothing)
{
    World w;
    w.image("alpha.smc", Alpha);
    const std::string named = w.*GetParam().path;
    fs::remove_all(named);
    if (GetParam().put == Put::file)
        write_file(named, "x");
    else if (GetParam().put == Put::folder)
        fs::create_directory(named);
    else if (GetParam().put == Put::fifo)
        test::make_fifo(named);
    const auto before = w.contents();
    const test::ProgramRun run = w.batch({"--gamelist"});
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    EXPECT_EQ(w.contents(), before);
    EXPECT_FALSE(fs::exists(w.in_folder("Renamed_SNES_ROMs")));
}

INSTANTIATE_TEST_SUITE_P(Each, TrustSetupFailure,
    ::testing::Values(SetupCase{"missing folder", &World::F, Put::nothing},
        SetupCase{"folder is a file", &World::F, Put::file}, SetupCase{"database is a folder", &World::db, Put::folder},
        SetupCase{"database is a FIFO", &World::db, Put::fifo},
        SetupCase{"temporary folder missing", &World::temp_folder, Put::nothing},
        SetupCase{"temporary folder is a file", &World::temp_folder, Put::file}),
    test::CaseName());

TEST(TrustSetup, AnEmptyDatabaseNameIsAUsageError)
{
    World w;
    EXPECT_EQ(w.cli({"batch", "--db", "", w.F}).status, 2);
}

TEST(TrustSetup, AnOutputFolderOnAnotherFileSystemIsRefusedBeforeAnythingMoves)
{
    struct stat shm = {}, tmp = {};
    World w;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(w.t.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    const std::string other = "/dev/shm/cartonym-test-" + std::to_string(::getpid());
    fs::create_directory(other);
    w.image("alpha.smc", Alpha);
    fs::create_symlink(other, w.in_folder("Renamed_SNES_ROMs"));
    const test::ProgramRun run = w.batch({});
    fs::remove_all(other);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Renamed_SNES_ROMs"), std::string::npos) << run.err;
    EXPECT_TRUE(read_file(w.in_folder("alpha.smc")) == build_rom(Alpha));
}

// A second process exchanges each link of the folder with a regular file of
// another folder, again and again, while real runs move the links. It counts
// its exchanges in memory shared with the test: the race is run only when
// exchanges happen while a run is going.
TEST(TrustRace, LinksExchangedWithFilesDuringRealRunsLoseNothing)
{
    constexpr int links = 300;
    World w;
    fs::create_directories(w.t / "images");
    fs::create_directories(w.t / "other");
    for (int i = 0; i < links; ++i) {
        const std::string name = "game" + std::to_string(i) + ".smc";
        fixtures::write_rom(w.t / ("images/" + name), {.name = "GAME " + std::to_string(i)});
        fs::create_symlink("../images/" + name, w.in_folder(name));
        write_file(w.t / ("other/" + std::to_string(i)), "someone's file " + std::to_string(i));
    }
    const auto exchange = [&](int i) {
        const std::string a = w.in_folder("game" + std::to_string(i) + ".smc"),
                          b = w.t / ("other/" + std::to_string(i));
        return ::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), 2u /* RENAME_EXCHANGE */) == 0;
    };
    if (!exchange(0) || !exchange(0))
        GTEST_SKIP() << "this file system cannot exchange two names: " << std::strerror(errno);
    const auto before = w.contents();
    void* shared =
        ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* exchanges = new (shared) std::atomic<long>(0);
    const pid_t swapper = ::fork();
    ASSERT_GE(swapper, 0);
    if (swapper == 0) {
        for (;;)
            for (int i = 0; i < links; ++i)
                if (exchange(i))
                    exchanges->fetch_add(1);
    }
    long during_runs = 0;
    for (int run = 0; run < 3; ++run) {
        const long at_start = exchanges->load();
        w.batch({});
        during_runs += exchanges->load() - at_start;
    }
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    ::munmap(shared, sizeof(std::atomic<long>));
    std::printf("exchanges while the runs went: %ld\n", during_runs);
    EXPECT_GT(during_runs, 0) << "no exchange while a run went: the race did not happen";
    w.batch({});
    EXPECT_EQ(w.contents(), before) << "every byte sequence exactly once";
}

TEST(TrustSignals, InterruptAndTerminateStopBetweenFilesSayWhatWasDoneAndLeaveNoList)
{
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        World w;
        for (int i = 0; i < 12000; ++i)
            fixtures::write_rom(
                w.in_folder("game" + std::to_string(i) + ".smc"), {.name = "GAME " + std::to_string(i)}, true);
        const auto before = test::image_contents(w.F);
        const pid_t pid =
            test::start_program(CARTONYM_CLI_PATH, {"batch", "--gamelist", "--db", w.db, w.F}, w.t / "out.txt");
        // The handlers are in place once the run has made its output folders.
        while (!fs::exists(w.in_folder("Unknown_ROMs")))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::kill(pid, signal_number);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        const std::string out = read_file(w.t / "out.txt");
        EXPECT_TRUE(out.starts_with("Interrupted\nTotal files in directory: ")) << out.substr(0, 200);
        EXPECT_TRUE(fs::is_empty(w.temp_folder)) << "the working list is dropped";
        EXPECT_EQ(test::image_contents(w.F), before);
    }
}

TEST(TrustLeftovers, TheNextRunRemovesWhatAnEndedMoveLeftAndKeepsEveryLogEntry)
{
    World w;
    w.image("alpha.smc", Alpha);
    fs::create_directories(w.in_folder("Renamed_SNES_ROMs"));
    const long ended = 999999; // no process has this id here
    ASSERT_FALSE(process_is_running(ended));
    write_file(w.in_folder("Renamed_SNES_ROMs/.cartonym-copy-" + std::to_string(ended) + "-abcdef"), "partial");
    write_file(w.in_folder("Renamed_SNES_ROMs/.cartonym-copy-" + std::to_string(::getpid()) + "-abcdef"), "in use");
    w.image("mystery.smc", Riddle);
    {
        // A full disk while the unknown image's entry is written: the run
        // stops with the image still in place and the log without a part entry.
        const test::ScopedFaultHook full([](SystemOperation operation, const std::string& path) {
            return operation == SystemOperation::write && path.ends_with("unknown.log") ? ENOSPC : 0;
        });
        const BatchResult result = Batchrun({w.F, w.db, false, false});
        EXPECT_EQ(result.error->value(), 61);
        EXPECT_TRUE(read_file(w.in_folder("mystery.smc")) == build_rom(Riddle));
    }
    EXPECT_EQ(Batchrun({w.F, w.db, false, false}).outcome, BatchOutcome::completed);
    const Tree after = test::tree_of(w.F);
    EXPECT_FALSE(after.contains("Renamed_SNES_ROMs/.cartonym-copy-" + std::to_string(ended) + "-abcdef"));
    EXPECT_TRUE(after.contains("Renamed_SNES_ROMs/.cartonym-copy-" + std::to_string(::getpid()) + "-abcdef"));
    EXPECT_TRUE(after.at("Unknown_ROMs/mystery.smc") == build_rom(Riddle));
    EXPECT_NE(after.at("Unknown_ROMs/unknown.log").find("Filename = \"mystery.smc\""), std::string::npos);
}

} // namespace
} // namespace cartonym
