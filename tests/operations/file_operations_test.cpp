// SPDX-License-Identifier: GPL-3.0-or-later
// File-system primitives, the folder listing and file mode.
#include "common/file_operations.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"
#include "tests/testsupport.h"

#include <cerrno>
#include <sys/stat.h>
#include <tuple>

namespace cartonym {
namespace {

using namespace fixtures;
using test::error_number_of;
using test::fail_on;
using test::ScopedFaultHook;
using test::TempFolder;
using test::Tree;
using test::tree_of;
namespace fs = std::filesystem;

// --- Moving -----------------------------------------------------------------

struct MoveCase {
    const char* what;
    void (*preparation)(const TempFolder&);
    const char *source, *target;
    int number;
};
class MoveFile : public ::testing::TestWithParam<MoveCase> { };

// Directly, and through the copying path taken onto another file system
// (EXDEV makes the move take it).
TEST_P(MoveFile, MovesButNeverReplaces)
{
    for (const bool across_file_systems : {false, true}) {
        SCOPED_TRACE(across_file_systems ? "across file systems" : "directly");
        TempFolder t;
        write_file(t / "a", "source");
        GetParam().preparation(t);
        const Tree before = tree_of(t.path());
        const ScopedFaultHook hook(across_file_systems ? fail_on(SystemOperation::move, EXDEV) : FaultHook());
        const int number = error_number_of([&] {
            if (across_file_systems)
                move_across_file_systems(t / GetParam().source, t / GetParam().target);
            else
                move_file(t / GetParam().source, t / GetParam().target);
        });
        EXPECT_EQ(number, GetParam().number);
        EXPECT_EQ(tree_of(t.path()), (number == 0 ? Tree{{"b", "source"}} : before));
        EXPECT_EQ(fs::is_symlink(t / "b"), std::string(GetParam().what) == "dangling link");
    }
}

INSTANTIATE_TEST_SUITE_P(Each, MoveFile,
    ::testing::Values(MoveCase{"free target", [](const TempFolder&) {}, "a", "b", 0},
        MoveCase{"existing file", [](const TempFolder& f) { write_file(f / "b", "target"); }, "a", "b", 58},
        MoveCase{"existing folder", [](const TempFolder& f) { fs::create_directory(f / "b"); }, "a", "b", 58},
        MoveCase{
            "dangling link", [](const TempFolder& f) { fs::create_symlink(f / "nowhere", f / "b"); }, "a", "b", 58},
        MoveCase{"its own name", [](const TempFolder&) {}, "a", "a", 58},
        MoveCase{"missing source", [](const TempFolder&) {}, "missing", "b", 53},
        MoveCase{"missing target folder", [](const TempFolder&) {}, "a", "missing/b", 53}),
    test::CaseName());

TEST(MovedLinks, RelativeLinksMovedOrRenamedStillLeadToTheirFile)
{
    TempFolder t;
    fs::create_directories(t / "F/out");
    write_file(t / "F/image.bin", "image");
    fs::create_symlink("image.bin", t / "F/link");
    fs::create_symlink("image.bin", t / "F/second");
    fs::create_symlink("image.bin", t / "F/third.smc");
    move_file(t / "F/link", t / "F/out/new");
    EXPECT_EQ(error_number_of([&] { move_file(t / "F/second", t / "F/out/new"); }), 58); // onto a taken name
    rename_file_in_folder(t / "F/third.smc", t / "F", "New (USA).smc");
    EXPECT_EQ(test::entries_of(t / "F"),
        (Tree{{"New (USA).smc", "<link> image.bin"}, {"image.bin", "image"}, {"out", "<folder>"},
            {"out/new", "<link> " + t / "F/image.bin"}, {"second", "<link> image.bin"}}));
}

TEST(MoveFailure, InjectedFailuresKeepTheSource)
{
    for (const auto& [errnum, number] : {std::pair{EIO, 57}, {ENOSPC, 61}, {EXDEV, 75}, {EEXIST, 58}}) {
        TempFolder t;
        write_file(t / "a", "source");
        const ScopedFaultHook hook(fail_on(SystemOperation::move, errnum));
        EXPECT_EQ(error_number_of([&] { move_file(t / "a", t / "b"); }), number) << errnum;
        EXPECT_EQ(tree_of(t.path()), (Tree{{"a", "source"}}));
    }
}

TEST(MoveAcrossFileSystems, CopiesWithTheRightsOfTheFileOpenedAndSynchronises)
{
    TempFolder t;
    const std::string content(200000, 'x'); // more than one copy buffer
    write_file(t / "a", content);
    write_file(t / "other", "other");
    ::chmod((t / "a").c_str(), 0640);
    ::chmod((t / "other").c_str(), 0600);
    fs::create_directory(t / "target");
    std::vector<SystemOperation> continuation;
    // The rights are those of the file opened: another file that takes its name after the opening does not count.
    const ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
        if (operation == SystemOperation::examine && path == t / "a" && fs::exists(t / "other"))
            fs::rename(t / "other", t / "a");
        continuation.push_back(operation);
        return operation == SystemOperation::move && path == t / "target/b" ? EXDEV : 0;
    });
    EXPECT_EQ(error_number_of([&] { move_across_file_systems(t / "a", t / "target/b"); }), 75);
    EXPECT_EQ(tree_of(t.path()), (Tree{{"a", "other"}, {"target/b", content}}));
    EXPECT_EQ(fs::status(t / "target/b").permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_NE(std::find(continuation.begin(), continuation.end(), SystemOperation::sync), continuation.end());
}

// What another process writes once the copy is in place ("theirs" then takes the source's name).
struct CopiedCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> writes;
    int number;
    Tree after;
};
class CopiedFileRemoval : public ::testing::TestWithParam<CopiedCase> { };

TEST_P(CopiedFileRemoval, RemovesOnlyTheVeryFileItCopied)
{
    TempFolder t;
    write_file(t / "a", "page");
    fs::create_directory(t / "target");
    bool done = false, moved = false;
    const ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
        if (operation == SystemOperation::sync && path == t / "target" && !std::exchange(done, true)) {
            for (const auto& [name, content] : GetParam().writes)
                write_file(t / name, content);
            if (fs::exists(t / "theirs"))
                fs::rename(t / "theirs", t / "a");
        }
        return operation == SystemOperation::move && !std::exchange(moved, true) ? EXDEV : 0;
    });
    EXPECT_EQ(error_number_of([&] { move_across_file_systems(t / "a", t / "target/b"); }), GetParam().number);
    EXPECT_TRUE(done) << "the copy was never synchronised";
    EXPECT_EQ(tree_of(t.path()), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Each, CopiedFileRemoval,
    ::testing::Values(CopiedCase{"nothing", {}, 0, {{"target/b", "page"}}},
        CopiedCase{"another file swapped in", {{"theirs", "theirs"}}, 75, {{"a", "theirs"}, {"target/b", "page"}}},
        CopiedCase{"the source rewritten", {{"a", "new page"}}, 75, {{"a", "new page"}}},
        CopiedCase{
            "both rewritten", {{"a", "new"}, {"target/b", "theirs"}}, 75, {{"a", "new"}, {"target/b", "theirs"}}}),
    test::CaseName());

TEST(MoveAcrossFileSystems, FailedCopyLeavesNoPartialTarget)
{
    for (const SystemOperation failing : {SystemOperation::copy, SystemOperation::write, SystemOperation::sync}) {
        SCOPED_TRACE(static_cast<int>(failing));
        TempFolder t;
        write_file(t / "a", "page");
        fs::create_directory(t / "target");
        const ScopedFaultHook hook([failing](SystemOperation operation, const std::string&) {
            return operation == SystemOperation::move ? EXDEV : operation == failing ? ENOSPC : 0;
        });
        EXPECT_EQ(error_number_of([&] { move_across_file_systems(t / "a", t / "target/b"); }), 61);
        EXPECT_EQ(tree_of(t.path()), (Tree{{"a", "page"}}));
        EXPECT_TRUE(fs::is_empty(t / "target"));
    }
}

// --- Folders and deleting --------------------------------------------------

TEST(Folders, CreateRemoveDeleteAndTheirFailures)
{
    TempFolder t;
    create_folder(t / "new");
    EXPECT_TRUE(fs::is_directory(t / "new"));
    EXPECT_EQ(error_number_of([&] { create_folder(t / "new"); }), 75);
    write_file(t / "file", "x");
    EXPECT_EQ(error_number_of([&] { create_folder(t / "file"); }), 75);
    EXPECT_EQ(error_number_of([&] { delete_file(t / "new"); }), 75);

    write_file(t / "new/content", "stays");
    EXPECT_EQ(error_number_of([&] { remove_folder(t / "new"); }), 75);
    delete_file(t / "new/content");
    EXPECT_EQ(error_number_of([&] { delete_file(t / "new/content"); }), 53);
    {
        const ScopedFaultHook hook(fail_on(SystemOperation::remove_folder, EIO));
        EXPECT_EQ(error_number_of([&] { remove_folder(t / "new"); }), 57);
    }
    remove_folder(t / "new");
    EXPECT_EQ(error_number_of([&] { remove_folder(t / "new"); }), 53);
    {
        const ScopedFaultHook hook(fail_on(SystemOperation::create_folder, EACCES));
        EXPECT_EQ(error_number_of([&] { create_folder(t / "new"); }), 70);
    }
    {
        const ScopedFaultHook hook(fail_on(SystemOperation::remove, EACCES));
        EXPECT_EQ(error_number_of([&] { delete_file(t / "file"); }), 70);
    }
    EXPECT_EQ(tree_of(t.path()), (Tree{{"file", "x"}}));
    EXPECT_FALSE(fs::exists(t / "new"));

    // A folder name held by a file, FIFO or link is left alone.
    test::make_fifo(t / "fifo");
    fs::create_directory(t / "folder");
    fs::create_symlink("folder", t / "link");
    fs::create_symlink("nowhere", t / "dead link");
    const test::Tree entries = test::entries_of(t.path());
    for (const char* name : {"file", "fifo", "link", "dead link"})
        EXPECT_EQ(error_number_of([&] { remove_folder(t / name); }), 75) << name;
    EXPECT_EQ(test::entries_of(t.path()), entries);
    EXPECT_EQ(error_number_of([&] { remove_folder(t / "file/sub"); }), 76); // a path that leads to no folder
}

// --- The folder listing ------------------------------------------------------

TEST(ListFiles, VisibleRegularFilesAndLinksToThemSortedWithoutRegardToCaseAndFailures)
{
    TempFolder t;
    for (const char* name : {"b.smc", "a.smc", "C.fig", "A.smc", "_x", "Z", "aa", "10", "2", ".versteckt"})
        write_file(t / name, name);
    fs::create_directory(t / "sub");
    fs::create_symlink(t / "Z", t / "link_to_file");
    fs::create_symlink(t / "sub", t / "link_to_folder");
    fs::create_symlink(t / "missing", t / "dead_link");
    test::make_fifo(t / "fifo");
    test::make_socket(t / "sock");
    // Equal when folded: the byte order decides ("A.smc" before "a.smc").
    EXPECT_EQ(list_files(t.path().string()),
        (std::vector<std::string>{"10", "2", "_x", "A.smc", "a.smc", "aa", "b.smc", "C.fig", "link_to_file", "Z"}));
    // An empty folder, a missing one, a file and a failing listing.
    EXPECT_TRUE(list_files(t / "sub").empty());
    EXPECT_EQ(error_number_of([&] { list_files(t / "missing"); }), 53);
    EXPECT_EQ(error_number_of([&] { list_files(t / "Z"); }), 76);
    const ScopedFaultHook hook(fail_on(SystemOperation::list, EIO));
    EXPECT_EQ(error_number_of([&] { list_files(t.path().string()); }), 57);
}

// --- File mode ----------------------------------------------------------------

TEST(SelectFile, ThreeStatesInBothStyles)
{
    TempFolder t;
    write_file(
        t / "snes.dat", database_line("OTHER GAME", "Other Game") + database_line("SUPER TEST", "Super Test Game"));
    write_file(t / "none.smc", "no image");
    fixtures::write_rom(t / "unknown.smc", {.name = "NOBODY KNOWS ME"});
    fixtures::write_rom(t / "known.smc", {.name = "SUPER TEST"});
    using enum SelectionState;
    const std::tuple<std::string, bool, SelectionState, std::string, std::string> cases[] = {
        // file, no spaces, state, names
        {"none.smc", false, not_an_image, "", ""}, {"none.smc", true, not_an_image, "", ""},
        {"unknown.smc", false, unknown, "ROM unknown !", ""}, {"unknown.smc", true, unknown, "ROM_unknown_!", ""},
        {"known.smc", false, known, "Super Test Game (USA).smc", "Super Test Game"},
        {"known.smc", true, known, "Super_Test_Game_(USA).smc", "Super Test Game"}};
    for (const auto& [file, without, state, new_name, full_name] : cases) {
        const FileSelection a = select_file(t / file, t / "snes.dat", without);
        EXPECT_EQ(std::tie(a.state, a.names.Neuer_name, a.names.Voller_name), std::tie(state, new_name, full_name))
            << file << without;
        EXPECT_EQ(a.analysis.Rom_ok, state != not_an_image);
    }
    EXPECT_EQ(error_number_of([&] { select_file(t / "missing.smc", t / "snes.dat", false); }), 53);
    EXPECT_EQ(error_number_of([&] { select_file(t / "known.smc", t / "missing.dat", false); }), 53);
}

TEST(RenameFileInFolder, RenamesInsideTheFolderWithTheWindowsNameAsUtf8OrNamesTheMissingFile)
{
    TempFolder t;
    write_file(t / "old.smc", "image");
    rename_file_in_folder(t / "old.smc", t.path().string() + "/", "Caf\xE9 \x80.smc");
    EXPECT_EQ(tree_of(t.path()), (Tree{{"Caf\xC3\xA9 \xE2\x82\xAC.smc", "image"}}));
    // 255 bytes once in UTF-8 is the longest name: 250 + 2 + 3.
    rename_file_in_folder(t / "Caf\xC3\xA9 \xE2\x82\xAC.smc", t.path().string(), std::string(250, 'L') + "\xE9\x80");
    EXPECT_EQ(tree_of(t.path()), (Tree{{std::string(250, 'L') + "\xC3\xA9\xE2\x82\xAC", "image"}}));
    EXPECT_EQ(error_number_of([&] { rename_file_in_folder(t / "missing.smc", t.path().string(), "new.smc"); }), 53);
}

struct RefusedName {
    const char* what;
    std::string name;
    int number;
};
class RefusedNames : public ::testing::TestWithParam<RefusedName> { };

TEST_P(RefusedNames, AreTakenOrLeaveTheFolder)
{
    TempFolder t;
    fs::create_directories(t / "folder/sub");
    write_file(t / "folder/old.smc", "image");
    write_file(t / "folder/New.smc", "other");
    const Tree before = tree_of(t.path());
    EXPECT_EQ(error_number_of([&] { rename_file_in_folder(t / "folder/old.smc", t / "folder", GetParam().name); }),
        GetParam().number);
    EXPECT_EQ(tree_of(t.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Each, RefusedNames,
    ::testing::Values(RefusedName{"taken", "New.smc", 58}, RefusedName{"its own", "old.smc", 58},
        RefusedName{"above", "../out.smc", 52}, RefusedName{"below", "sub/out.smc", 52},
        RefusedName{"backslash", "a\\b.smc", 52}, RefusedName{"dot", ".", 52}, RefusedName{"dot dot", "..", 52},
        RefusedName{"empty", "", 52}, RefusedName{"NUL", std::string("a\0b", 3), 52},
        RefusedName{"256 bytes", std::string(256, 'L'), 52},
        RefusedName{"256 bytes once in UTF-8", std::string(128, '\xE9'), 52}),
    test::CaseName());

} // namespace
} // namespace cartonym
