// SPDX-License-Identifier: GPL-3.0-or-later
// What the journal keeps for volumes without the kernel's no-replace
// rename or stable inode numbers: the names reserved for moves, and the
// content check that knows a moved file by its bytes.
#include "fixtures/rom_builder.h"
#include "operations/journal_format.h"
#include "operations/run_undo.h"
#include "reports/game_list.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <time.h>

namespace cartonym {
namespace {

using test::Tree;
using namespace std::string_literals;

// Empty files named in the journal that a run or an undo stopped between
// reserving a name and using it left behind: undo removes them (or else the
// next run of the folder does) and puts the file back; a reserved name that
// holds bytes now is someone's.
TEST(Reservations, EmptyFilesLeftByAStoppedRunOrUndoGo)
{
    using Folder = test::JournalledRunFolder;
    const auto reserve = [](const Folder& w, RunJournal& journal) { // a run stopped after reserving
        journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
        for (const auto& [name, content] : {std::pair{"A.smc", ""}, {"B.smc", "theirs"}}) {
            journal.reserving(w.in_folder("Renamed_SNES_ROMs/"s + name));
            fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/"s + name), content);
        }
    };
    const auto failed_move = [](const Folder& w, RunJournal& journal) {
        journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
        journal.move_failed(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"), ErrorNumber::device_io_error);
    };
    const Tree with_theirs = {
        {"Renamed_SNES_ROMs", "<folder>"}, {"Renamed_SNES_ROMs/B.smc", "theirs"}, {"a.smc", "image"}};
    const struct {
        const char* what;
        std::function<void(const Folder&, RunJournal&)> steps;
        bool by_undo;
        Tree after;
    } cases[] = {
        {"run stopped after reserving: undo", reserve, true, with_theirs},
        {"run stopped after reserving: the next run", reserve, false, with_theirs},
        {"undo stopped after reserving the old name",
            [](const Folder& w, RunJournal& journal) {
                journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
                std::filesystem::rename(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
                journal.finished();
                std::ofstream(journal.path(), std::ios::app)
                    << record_line(RecordKind::reserved, {w.in_folder("a.smc")}) << '\n';
                fixtures::write_file(w.in_folder("a.smc"), "");
            },
            true, {}},
        {"run stopped placing its game list by a reservation",
            [failed_move](const Folder& w, RunJournal& journal) {
                failed_move(w, journal);
                fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/games.htm"), "");
            },
            true, {}},
        {"run stopped right after placing its game list, on a volume keeping times to two seconds",
            [failed_move](const Folder& w, RunJournal& journal) {
                failed_move(w, journal);
                const std::string list = w.in_folder("Renamed_SNES_ROMs/games.htm");
                fixtures::write_file(list, game_list_head_text() + game_list_end_text());
                struct timespec times[2]{};
                clock_gettime(CLOCK_REALTIME, &times[1]);
                times[1].tv_sec -= times[1].tv_nsec >= 500'000'000 ? 1 : 2; // 1.5 s back, as FAT rounds down
                times[1].tv_nsec = (times[1].tv_nsec + 500'000'000) % 1'000'000'000;
                times[0] = times[1];
                ASSERT_EQ(utimensat(AT_FDCWD, list.c_str(), times, 0), 0);
            },
            true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Folder w;
        w.file("a.smc", "image");
        std::filesystem::create_directories(w.in_folder("Renamed_SNES_ROMs"));
        {
            RunJournal journal(w.F);
            c.steps(w, journal);
        }
        if (c.by_undo)
            EXPECT_TRUE(undo_run("", false).complete());
        else
            RunJournal next(w.F);
        EXPECT_EQ(
            w.entries(), (c.after.empty() ? Tree{{"Renamed_SNES_ROMs", "<folder>"}, {"a.smc", "image"}} : c.after));
    }
}

TEST(ContentCheck, TellsFilesByTheBytesAtBothEnds)
{
    const test::TempFolder t;
    const std::string image = fixtures::build_rom({.data_length = 0x80000});
    fixtures::write_file(t / "image", image);
    const auto check = content_check_of(t / "image");
    ASSERT_TRUE(check);
    EXPECT_EQ(check->size, image.size());
    const struct {
        std::size_t offset;
        bool told_apart;
    } changes[] = {{0, true}, {0x101FF, true}, {image.size() - 1, true}, {image.size() - 0x10000, true},
        {0x40000, false}}; // the middle of a large image is not read
    for (const auto& change : changes) {
        std::string other = image;
        other[change.offset] = static_cast<char>(other[change.offset] ^ 0x5A);
        fixtures::write_file(t / "other", other);
        EXPECT_EQ(content_check_of(t / "other") != check, change.told_apart) << change.offset;
    }
    EXPECT_FALSE(content_check_of(t / "missing"));
}

} // namespace
} // namespace cartonym
