// SPDX-License-Identifier: GPL-3.0-or-later
// What the journal keeps for volumes without the kernel's no-replace
// rename or stable inode numbers: the names reserved for moves, and the
// content check that knows a moved file by its bytes.
#include "operations/journal_format.h"
#include "reports/game_list.h"
#include "tests/testsupport.h"

#include <fcntl.h>
#include <fstream>
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
using Folder = test::JournalledRunFolder;
using Steps = void (*)(const Folder&, RunJournal&);

void reserve(const Folder& w, RunJournal& journal) // a run stopped after reserving
{
    journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
    for (const auto& [name, content] : {std::pair{"A.smc", ""}, {"B.smc", "theirs"}}) {
        journal.reserving(w.in_folder("Renamed_SNES_ROMs/"s + name));
        fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/"s + name), content);
    }
}

void failed_move(const Folder& w, RunJournal& journal)
{
    journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
    journal.move_failed(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"), ErrorNumber::device_io_error);
}

struct Reservation {
    const char* what;
    Steps steps;
    bool by_undo, theirs_stays; // B.smc, holding "theirs", stays
};
class Reservations : public ::testing::TestWithParam<Reservation> { };

TEST_P(Reservations, EmptyFilesLeftByAStoppedRunOrUndoGo)
{
    const Folder w;
    w.file("a.smc", "image");
    std::filesystem::create_directories(w.in_folder("Renamed_SNES_ROMs"));
    {
        RunJournal journal(w.F);
        GetParam().steps(w, journal);
    }
    if (GetParam().by_undo)
        EXPECT_TRUE(undo_run("", false).complete());
    else
        RunJournal next(w.F);
    Tree after = {{"Renamed_SNES_ROMs", "<folder>"}, {"a.smc", "image"}};
    if (GetParam().theirs_stays)
        after["Renamed_SNES_ROMs/B.smc"] = "theirs";
    EXPECT_EQ(w.entries(), after);
}

INSTANTIATE_TEST_SUITE_P(Each, Reservations,
    ::testing::Values(Reservation{"run stopped after reserving, undone", reserve, true, true},
        Reservation{"run stopped after reserving, run again", reserve, false, true},
        Reservation{"undo stopped after reserving the old name",
            [](const Folder& w, RunJournal& journal) {
                journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
                std::filesystem::rename(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
                journal.finished();
                std::ofstream(journal.path(), std::ios::app | std::ios::binary)
                    << record_line(RecordKind::reserved, {w.in_folder("a.smc")}) << '\n';
                fixtures::write_file(w.in_folder("a.smc"), "");
            },
            true, false},
        Reservation{"run stopped placing its game list by a reservation",
            [](const Folder& w, RunJournal& journal) {
                failed_move(w, journal);
                fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/games.htm"), "");
            },
            true, false},
        Reservation{"run stopped right after placing its game list on a volume keeping times to two seconds",
            [](const Folder& w, RunJournal& journal) {
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
            true, false}),
    test::CaseName());

// A changed byte tells two files apart where the content check reads it:
// the first 0x10200 bytes and the last 0x10000; the middle of a large image
// is not read.
struct ChangedByte {
    const char* what;
    std::size_t offset; // from the start, or from the end when from_end
    bool from_end, told_apart;
};
class ContentCheck : public ::testing::TestWithParam<ChangedByte> { };

TEST_P(ContentCheck, TellsFilesByTheBytesAtBothEnds)
{
    const test::TempFolder t;
    const std::string image = fixtures::build_rom({.data_length = 0x80000});
    fixtures::write_file(t / "image", image);
    const auto check = content_check_of(t / "image");
    ASSERT_TRUE(check);
    EXPECT_EQ(check->size, image.size());
    std::string other = image;
    const std::size_t at = GetParam().from_end ? image.size() - GetParam().offset : GetParam().offset;
    other[at] = static_cast<char>(other[at] ^ 0x5A);
    fixtures::write_file(t / "other", other);
    EXPECT_EQ(content_check_of(t / "other") != check, GetParam().told_apart);
    EXPECT_FALSE(content_check_of(t / "missing"));
}

INSTANTIATE_TEST_SUITE_P(Each, ContentCheck,
    ::testing::Values(ChangedByte{"first byte", 0, false, true},
        ChangedByte{"last byte of the head", 0x101FF, false, true}, ChangedByte{"last byte", 1, true, true},
        ChangedByte{"first byte of the tail", 0x10000, true, true},
        ChangedByte{"a byte in the middle", 0x40000, false, false}),
    test::CaseName());

} // namespace
} // namespace cartonym
