// SPDX-License-Identifier: GPL-3.0-or-later
// Batch runs, dry runs and undo of the real cartonym-cli on real FAT32,
// exFAT and NTFS volumes: image files formatted by mkfs.vfat, mkfs.exfat and
// mkntfs, mounted through their FUSE drivers (fusefat, exfat-fuse on a loop
// device, ntfs-3g), unmounted and detached again whatever happens. Each
// volume gives the tree a run gives on the test's own file system, except
// that where names differing only in letter case are one name the second
// of two such images goes to Duplicates; no private name is ever left, and
// undo restores the exact tree, also after the volume was mounted again.
// Skipped, with the reason, without root, /dev/fuse, loop devices or tools.
#include "common/file_operations.h"
#include "operations/file_mode.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using fixtures::CopierHeader;
using test::Tree;

enum class Kind { Fat32, Exfat, Ntfs };

std::string tool(const std::string& name)
{
    for (const char* folder : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
        if (::access((std::string(folder) + "/" + name).c_str(), X_OK) == 0)
            return std::string(folder) + "/" + name;
    return "";
}

std::string run_tool(const std::vector<std::string>& command)
{
    const pid_t pid = test::start_program(tool(command[0]), {command.begin() + 1, command.end()});
    const int status = pid > 0 ? test::wait_for(pid) : -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : command[0] + " failed";
}

// The tools each kind needs; the reason a test of it cannot run here, "" when it can.
std::string missing_for(Kind kind)
{
    if (::geteuid() != 0)
        return "mounting needs root";
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return "no /dev/fuse";
    if (kind == Kind::Exfat && ::access("/dev/loop-control", R_OK | W_OK) != 0)
        return "no loop devices";
    const std::vector<std::vector<std::string>> tools{
        {"mkfs.vfat", "fusefat"}, {"mkfs.exfat", "mount.exfat-fuse", "losetup"}, {"mkntfs", "ntfs-3g"}};
    for (const std::string& name : tools[static_cast<int>(kind)])
        if (tool(name).empty() || tool("umount").empty())
            return name + " is not installed";
    return "";
}

// A volume in an image file, mounted by its FUSE driver running in the
// foreground as this process's child, so that unmounting can wait for it.
class Medium {
public:
    Medium(Kind kind, const fs::path& folder)
        : root(folder / "mount")
        , kind_(kind)
        , image_((folder / "volume.img").string())
    {
        fs::create_directories(root);
        std::ofstream(image_).close();
        fs::resize_file(image_, 64 << 20);
        const std::vector<std::vector<std::string>> format{
            {"mkfs.vfat", "-F", "32", image_}, {"mkfs.exfat", image_}, {"mkntfs", "-F", "-q", image_}};
        failure = run_tool(format[static_cast<int>(kind)]);
        if (kind == Kind::Exfat && failure.empty()) {
            const test::TempFolder filing;
            const auto attach = test::run_program(tool("losetup"), {"-f", "--show", image_}, filing);
            device_ = attach.out.substr(0, attach.out.find('\n'));
        }
        if (failure.empty())
            mount();
    }
    ~Medium()
    {
        unmount();
        if (!device_.empty())
            run_tool({"losetup", "-d", device_});
    }
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;

    void remount()
    {
        unmount();
        mount();
    }

    std::string failure; // why the volume could not be made, "" when it was
    const fs::path root;

private:
    void mount()
    {
        const std::vector<std::vector<std::string>> drivers{{"fusefat", "-f", "-o", "rw+", image_, root},
            {"mount.exfat-fuse", "-d", device_, root}, {"ntfs-3g", "-o", "no_detach", image_, root}};
        const auto& command = drivers[static_cast<int>(kind_)];
        driver_ = test::start_program(tool(command[0]), {command.begin() + 1, command.end()});
        struct stat at_root = {}, at_parent = {};
        for (int wait = 0; wait < 200; ++wait) {
            if (::stat(root.c_str(), &at_root) == 0 && ::stat(root.parent_path().c_str(), &at_parent) == 0
                && at_root.st_dev != at_parent.st_dev)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        failure = command[0] + " did not mount the volume";
    }
    void unmount()
    {
        if (driver_ <= 0)
            return;
        run_tool({"umount", root.string()});
        test::wait_for(driver_); // the driver has written everything once it ends
        driver_ = -1;
    }

    Kind kind_;
    std::string image_, device_;
    pid_t driver_ = -1;
};

constexpr const char* twin_image = "twin 2.smc";                           // files second of the case twins
constexpr const char* twin_name = "Renamed_SNES_ROMs/CASE TWIN (USA).smc"; // its new name on ext4
constexpr const char* twin_save = "TWIN 1.srm";                            // the first twin's save
constexpr const char* twin_save_moved = "Renamed_SNES_ROMs/Case Twin (USA).srm";

// The test's own world: a template folder of 56 images behind every kind of
// copier header (a tenth unknown, games in pairs so that one of each pair is
// a duplicate, two games whose new names differ only in letter case), a
// text file, and the run's tree on the test's own file system.
struct World {
    test::TempFolder work, temp, state;
    test::TempEnvironment environment{{{"temp", temp.path().string()}}};
    test::ScopedVariable state_home{"XDG_STATE_HOME", state.path().string()};
    std::string database = work / "snes.dat";
    fs::path template_folder = work.path() / "template";
    Tree before, after;

    World()
    {
        std::string text =
            fixtures::database_line("CASE ONE", "Case Twin") + fixtures::database_line("CASE TWO", "CASE TWIN");
        for (int game = 0; game < 30; ++game)
            text += fixtures::database_line("GAME " + std::to_string(game), "Game " + std::to_string(game));
        fixtures::write_file(database, text);
        fs::create_directories(template_folder);
        const CopierHeader headers[] = {CopierHeader::SWC, CopierHeader::FIG, CopierHeader::GDR, CopierHeader::None};
        for (int i = 0; i < 54; ++i)
            fixtures::write_rom((template_folder / ("image " + std::to_string(i) + ".bin")).string(),
                {.header = headers[i % 4],
                    .name = (i % 10 == 9 ? "LOST " : "GAME ") + std::to_string(i / 2),
                    .checksum = static_cast<std::uint16_t>(i),
                    .data_length = 0x8000});
        fixtures::write_rom((template_folder / "twin 1.smc").string(), {.name = "CASE ONE", .data_length = 0x8000});
        fixtures::write_rom((template_folder / twin_image).string(), {.name = "CASE TWO", .data_length = 0x8000});
        fixtures::write_file((template_folder / "readme.txt").string(), "no image");
        // Saves and states that go with their images; the save of the first
        // twin differs from its name in letter case (a companion only where
        // names are compared without regard to it).
        for (int i = 0; i < 54; i += 5)
            fixtures::write_file((template_folder / ("image " + std::to_string(i) + ".srm")).string(), "save");
        fixtures::write_file((template_folder / "image 7.state1").string(), "state");
        fixtures::write_file((template_folder / twin_save).string(), "twin save");
        // An earlier log of more than 512 bytes: fusefat refuses to make a
        // shorter file longer (EPERM), which would stop the run at its
        // second unknown image with error 70.
        fs::create_directories(template_folder / "Unknown_ROMs");
        fixtures::write_file((template_folder / "Unknown_ROMs/unknown.log").string(), std::string(600, '.') + "\r\n");
        before = test::entries_of(template_folder);
        const fs::path reference = work.path() / "reference";
        fs::copy(template_folder, reference, fs::copy_options::recursive);
        EXPECT_EQ(batch(reference, {}).value("outcome", ""), "completed");
        after = test::entries_of(reference);
    }

    nlohmann::json batch(const fs::path& folder, std::vector<std::string> options) const
    {
        options.insert(options.begin(), {"batch", "--gamelist", "--json", "--db", database});
        options.push_back(folder.string());
        const auto run = test::run_program(CARTONYM_CLI_PATH, options, work);
        return nlohmann::json::parse(run.out, nullptr, false);
    }
    // Undo's exit status; what it said on stderr is printed when it is not 0.
    int undo() const
    {
        const auto run = test::run_program(CARTONYM_CLI_PATH, {"undo"}, work);
        if (run.status != 0)
            std::printf("undo: %s", run.err.c_str());
        return run.status;
    }
};

// Copies the template's files one by one (FUSE drivers lack the kernel's
// file copying that std::filesystem::copy uses).
void copy_template(const fs::path& from, const fs::path& to)
{
    for (const auto& [name, content] : test::tree_of(from)) {
        fs::create_directories((to / name).parent_path());
        fixtures::write_file((to / name).string(), content);
    }
}

// Whether an entry lies under a private name; with images, only an entry holding
// one of them (a partial copy of the game list, which the next run or undo
// removes, is no image).
bool has_private_name(const Tree& tree, const Tree* images = nullptr)
{
    return std::ranges::any_of(tree, [&](const auto& entry) {
        return entry.first.find(".cartonym-") != std::string::npos
            && (!images
                || std::ranges::any_of(*images, [&](const auto& image) { return image.second == entry.second; }));
    });
}

class RealMedia : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        if (const std::string reason = missing_for(GetParam()); !reason.empty())
            GTEST_SKIP() << reason;
        medium_ = std::make_unique<Medium>(GetParam(), world_.work.path() / "medium");
        if (!medium_->failure.empty())
            GTEST_SKIP() << medium_->failure;
    }
    bool folds_case() const { return GetParam() != Kind::Ntfs; }

    // A dry run, the run and its undo, the volume mounted again before the
    // undo when remount says so.
    void run_and_undo(const fs::path& F, const Tree& expected, bool remount)
    {
        SCOPED_TRACE(remount ? "mounted again between run and undo" : "undo on the same mount");
        const auto preview = world_.batch(F, {"--dry-run"});
        ASSERT_EQ(test::tree_difference(world_.before, test::entries_of(F)), "");
        const auto run = world_.batch(F, {});
        ASSERT_EQ(run.value("outcome", ""), "completed") << run.dump();
        EXPECT_EQ(test::tree_difference(expected, test::entries_of(F)), "");
        EXPECT_FALSE(has_private_name(test::entries_of(medium_->root)));
        for (const char* count : {"total", "roms", "renamed", "already_correct", "duplicates"})
            EXPECT_EQ(preview.value(count, -1), run.value(count, -2)) << count;
        if (remount)
            medium_->remount();
        ASSERT_EQ(world_.undo(), 0);
        EXPECT_EQ(test::tree_difference(world_.before, test::entries_of(F)), "");
        EXPECT_FALSE(has_private_name(test::entries_of(medium_->root)));
    }

    World world_;
    std::unique_ptr<Medium> medium_;
};

TEST_P(RealMedia, RunDryRunAndUndoGiveTheTreeOfTheTestsOwnFileSystem)
{
    Tree expected = world_.after;
    if (folds_case()) {
        expected[std::string("Duplicates/") + twin_image] = expected[twin_name];
        expected.erase(twin_name);
        expected[twin_save_moved] = expected[twin_save];
        expected.erase(twin_save);
    }
    ASSERT_TRUE(expected.contains("Duplicates/image 7.state1")); // a companion moved on ext4 too
    const fs::path F = medium_->root / "roms";
    copy_template(world_.template_folder, F);
    run_and_undo(F, expected, false);
    run_and_undo(F, expected, true);
}

// File mode renames glass.fig to Glass.fig: on a volume that folds case
// that is the file's own name, and the rename works all the same.
TEST_P(RealMedia, FileModeRenamesToTheOwnNameInOtherCase)
{
    const fs::path F = medium_->root / "roms";
    fs::create_directories(F);
    fixtures::write_rom((F / "glass.fig").string(), {.header = CopierHeader::FIG, .data_length = 0x8000});
    const std::string image = fixtures::read_file((F / "glass.fig").string());
    EXPECT_EQ(folds_letter_case(F.string()), folds_case());
    rename_file_in_folder((F / "glass.fig").string(), F.string(), "Glass.fig");
    EXPECT_EQ(test::tree_difference({{"Glass.fig", image}}, test::entries_of(F)), "");
}

// Runs killed at random moments, each followed by undo: no image is ever
// left under a private name, and undo brings back the exact tree and
// leaves no private name at all.
TEST_P(RealMedia, KilledRunsLeaveNoPrivateNameAndAreUndone)
{
    if (GetParam() != Kind::Fat32)
        GTEST_SKIP() << "the kill test runs on the FAT32 volume only";
    const fs::path F = medium_->root / "roms";
    copy_template(world_.template_folder, F);
    std::mt19937 random(1206);
    long bound_us = 400000;
    int killed = 0;
    for (int attempt = 0; attempt < 12 && killed < 6; ++attempt) {
        const pid_t pid =
            test::start_program(CARTONYM_CLI_PATH, {"batch", "--gamelist", "--db", world_.database, F.string()});
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, bound_us)(random)));
        ::kill(pid, SIGKILL);
        const bool hit = WIFSIGNALED(test::wait_for(pid));
        killed += hit;
        bound_us = hit ? bound_us * 11 / 10 : bound_us * 7 / 10;
        EXPECT_FALSE(has_private_name(test::entries_of(medium_->root), &world_.before)) << "attempt " << attempt;
        const int undone = world_.undo();
        EXPECT_TRUE(undone == 0 || undone == 2) << "attempt " << attempt;
        EXPECT_FALSE(has_private_name(test::entries_of(medium_->root))) << "attempt " << attempt;
        ASSERT_EQ(test::tree_difference(world_.before, test::entries_of(F)), "") << "attempt " << attempt;
    }
    std::printf("kills undone on FAT32: %d\n", killed);
    EXPECT_GE(killed, 3);
}

// An export onto the volume: checked copies in letter folders, headerless,
// the tree an export onto the test's own file system gives, no private
// name left; a rerun keeps them all; after the volume is mounted again
// undo removes every copy and the folders it made.
TEST_P(RealMedia, ExportedSetIsKeptByARerunAndUndoneAfterARemount)
{
    const auto exported = [&](const fs::path& to) {
        const auto run = test::run_program(CARTONYM_CLI_PATH,
            {"export", "--json", "--db", world_.database, "--layout", "letters", "--per-folder", "4", "--headerless",
                "--include-unknown", world_.template_folder.string(), to.string()},
            world_.work);
        EXPECT_EQ(run.status, 0) << run.err;
        return nlohmann::json::parse(run.out, nullptr, false);
    };
    const fs::path to = medium_->root / "set", reference = world_.work.path() / "reference set";
    const auto first = exported(to);
    ASSERT_EQ(first.value("outcome", ""), "completed") << first.dump();
    EXPECT_EQ(first.value("copied", -1), exported(reference).value("copied", -2));
    EXPECT_EQ(test::tree_difference(test::entries_of(reference), test::entries_of(to)), "");
    EXPECT_FALSE(has_private_name(test::entries_of(medium_->root)));
    const auto second = exported(to);
    EXPECT_EQ(
        std::tuple(second.value("copied", -1), second.value("kept", -1)), std::tuple(0, first.value("copied", -2)));
    EXPECT_EQ(test::tree_difference(test::entries_of(reference), test::entries_of(to)), "");
    medium_->remount();
    const auto undone = test::run_program(CARTONYM_CLI_PATH, {"undo", first.value("run", "")}, world_.work);
    ASSERT_EQ(undone.status, 0) << undone.err;
    EXPECT_FALSE(fs::exists(to)); // the set's folder, which the first export made, goes too
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, RealMedia, ::testing::Values(Kind::Fat32, Kind::Exfat, Kind::Ntfs), [](const auto& volume) {
        return std::string(volume.param == Kind::Fat32 ? "Fat32" : volume.param == Kind::Exfat ? "Exfat" : "Ntfs");
    });

} // namespace
} // namespace cartonym
