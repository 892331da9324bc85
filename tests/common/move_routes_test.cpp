// SPDX-License-Identifier: GPL-3.0-or-later
// The routes of the move that never replaces, each run by playing a
// volume's answers through the fault hook, in the manner of a mock of the
// POSIX calls: the flag refused (EINVAL), hard links refused (EPERM), a
// name taken by a case twin (EEXIST on the exclusive create), and other
// processes acting between two steps.
#include "common/error.h"
#include "common/file_operations.h"
#include "common/system_calls.h"
#include "fixtures/rom_builder.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace cartonym {
namespace {

using fixtures::write_file;
using test::TempFolder;
using test::Tree;
using Op = SystemOperation;
namespace fs = std::filesystem;

// The n-th call of a kind (counted from 1) fails with an errno, or first
// runs an action (another process at work).
class Volume {
public:
    using Key = std::pair<Op, int>;
    Volume(std::map<Key, int> errors, std::map<Key, std::function<void()>> actions = {})
        : errors_(std::move(errors))
        , actions_(std::move(actions))
        , hook_([this](Op operation, const std::string&) {
            const Key key{operation, ++seen_[operation]};
            if (const auto action = actions_.find(key); action != actions_.end())
                action->second();
            const auto error = errors_.find(key);
            return error == errors_.end() ? 0 : error->second;
        })
    { }

private:
    std::map<Key, int> errors_;
    std::map<Key, std::function<void()>> actions_;
    std::map<Op, int> seen_;
    test::ScopedFaultHook hook_;
};

// Moves source to target on a volume that answers so: the failure's number, 0 when none.
int moved(const TempFolder& t, const std::string& source, const std::string& target, std::map<Volume::Key, int> errors,
    std::map<Volume::Key, std::function<void()>> actions = {}, std::vector<std::string>* notes = nullptr)
{
    const Volume volume(std::move(errors), std::move(actions));
    return test::error_number_of([&] {
        move_file(t / source, t / target, true, [&](const std::string& path) {
            if (notes)
                notes->push_back(path.substr(t.path().string().size() + 1) + (fs::exists(path) ? " there" : ""));
        });
    });
}

TEST(MoveRoutes, EachRouteMovesOrRefusesWithoutEverReplacing)
{
    const Volume::Key flag{Op::move, 1}, link{Op::link, 1}, reserve{Op::open, 1}, over{Op::move, 2};
    const struct {
        const char* case_;
        std::map<Volume::Key, int> errors;
        bool target_taken;
        int number;
        std::vector<std::string> notes; // the reservations announced
    } cases[] = {
        {"the kernel's flag", {}, false, 0, {}},
        {"flag refused: hard link", {{flag, EINVAL}}, false, 0, {}},
        {"flag refused, ENOSYS: hard link", {{flag, ENOSYS}}, false, 0, {}},
        {"flag and links refused: reservation", {{flag, EINVAL}, {link, EPERM}}, false, 0, {"b"}},
        {"taken, flag refused", {{flag, EINVAL}}, true, 58, {}},
        {"taken, flag and links refused", {{flag, EINVAL}, {link, EPERM}}, true, 58, {}},
        {"case twin taken", {{flag, EINVAL}, {link, EPERM}, {reserve, EEXIST}}, false, 58, {"b"}},
        {"rename over the reservation fails", {{flag, EINVAL}, {link, EPERM}, {over, EIO}}, false, 57, {"b"}},
        {"removing the old name fails", {{flag, EINVAL}, {{Op::remove, 1}, EIO}}, false, 57, {}},
    };
    for (const auto& case_ : cases) {
        SCOPED_TRACE(case_.case_);
        TempFolder t;
        write_file(t / "a", "image");
        if (case_.target_taken)
            write_file(t / "b", "theirs");
        const Tree before = test::tree_of(t.path());
        std::vector<std::string> notes;
        EXPECT_EQ(moved(t, "a", "b", case_.errors, {}, &notes), case_.number);
        EXPECT_EQ(test::tree_of(t.path()), (case_.number == 0 ? Tree{{"b", "image"}} : before));
        EXPECT_EQ(notes, case_.notes);
    }
}

TEST(MoveRoutes, AnotherProcessBetweenTwoStepsKeepsItsFile)
{
    const Volume::Key flag{Op::move, 1};
    TempFolder t;
    const auto replace = [&](const std::string& name, const std::string& content) {
        return [&t, name, content] {
            write_file(t / "elsewhere", content);
            fs::rename(t / "elsewhere", t / name);
        };
    };
    // Hard links: the old name is taken by another file before it is removed.
    write_file(t / "a", "image");
    EXPECT_EQ(moved(t, "a", "b", {{flag, EINVAL}}, {{{Op::examine, 1}, replace("a", "new at a")}}), 0);
    EXPECT_EQ(test::tree_of(t.path()), (Tree{{"a", "new at a"}, {"b", "image"}}));
    // No hard links: the reservation is replaced by another file before the rename.
    fs::remove(t / "b");
    EXPECT_EQ(
        moved(t, "a", "b", {{flag, EINVAL}, {{Op::link, 1}, EPERM}}, {{{Op::examine, 4}, replace("b", "theirs")}}), 58);
    EXPECT_EQ(test::tree_of(t.path()), (Tree{{"a", "new at a"}, {"b", "theirs"}}));
    // Two names of one file that differ in letter case are no case-folding volume.
    fs::create_hard_link(t / "a", t / "A");
    EXPECT_EQ(moved(t, "a", "A", {{flag, EEXIST}}), 58);
    EXPECT_TRUE(fs::exists(t / "a") && fs::exists(t / "A"));
    EXPECT_FALSE(folds_letter_case(t.path()));
}

TEST(MoveRoutes, MovedLinkIsRepointedWhereNamesCannotBeExchanged)
{
    // Calls of kind Move: the link's own move, the fresh link, the exchange.
    const Volume::Key exchange{Op::move, 3};
    for (const bool swapped : {false, true}) {
        SCOPED_TRACE(swapped ? "a file swapped in before the check" : "the moved link");
        TempFolder t;
        fs::create_directories(t / "F/out");
        write_file(t / "F/image.bin", "image");
        fs::create_symlink("image.bin", t / "F/link");
        std::map<Volume::Key, std::function<void()>> actions;
        if (swapped)
            actions[{Op::examine, 5}] = [&] { // over the moved link, right before the check
                write_file(t / "F/theirs", "theirs");
                fs::rename(t / "F/theirs", t / "F/out/new");
            };
        EXPECT_EQ(moved(t, "F/link", "F/out/new", {{exchange, EINVAL}}, actions), 0);
        EXPECT_EQ(test::entries_of(t / "F/out"), (Tree{{"new", swapped ? "theirs" : "<link> " + t / "F/image.bin"}}));
        EXPECT_EQ(test::entries_of(t / "F").size(), 3u) << "no private name left";
    }
}

TEST(MoveRoutes, ParkedAndSetAsideFilesGoBackToTheirNames)
{
    TempFolder t;
    write_file(t / "Game.smc.cartonym-move-Ab12Cd", "parked image");
    write_file(t / "Other.smc.cartonym-move-Xy34Zw", "");
    write_file(t / "Taken.smc", "theirs");
    write_file(t / "Taken.smc.cartonym-move-Qq11Rr", "parked twin");
    write_file(t / "Set.smc.cartonym-aside-999999", ""); // set aside by a process that has ended
    const std::string in_use = "Busy.smc.cartonym-aside-" + std::to_string(process_id());
    write_file(t / in_use, "in use");
    remove_leftovers_of_ended_moves(t.path());
    EXPECT_EQ(test::tree_of(t.path()),
        (Tree{{"Game.smc", "parked image"}, {"Set.smc", ""}, {"Taken.smc", "theirs"},
            {"Taken.smc.cartonym-move-Qq11Rr", "parked twin"}, {in_use, "in use"}}));
}

} // namespace
} // namespace cartonym
