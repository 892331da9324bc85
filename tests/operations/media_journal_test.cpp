// What the journal keeps for volumes without the kernel's no-replace
// rename or stable inode numbers: the names reserved for moves, and the
// content check that knows a moved file by its bytes.
#include "fixtures/rom_builder.h"
#include "operations/journal_format.h"
#include "operations/run_journal.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cartonym {
namespace {

using test::Tree;

// A run stopped between reserving a name and moving its file there leaves
// an empty file its journal names: undo removes it, or else the next run
// of the folder does; a reserved name that holds bytes now is someone's.
TEST(Reservations, EmptyReservationOfAStoppedRunGoesWithUndoOrWithTheNextRun)
{
    for (const bool by_undo : {true, false}) {
        SCOPED_TRACE(by_undo ? "undo" : "the next run");
        const test::JournalledRunFolder w(test::games::database);
        w.file("a.smc", "image");
        std::filesystem::create_directories(w.in_folder("Renamed_SNES_ROMs"));
        {
            RunJournal journal(w.F);
            journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
            journal.reserving(w.in_folder("Renamed_SNES_ROMs/A.smc"));
            fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/A.smc"), "");
            journal.reserving(w.in_folder("Renamed_SNES_ROMs/B.smc"));
            fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/B.smc"), "theirs");
        } // stopped: never finished
        if (by_undo)
            EXPECT_TRUE(undo_run("", false).complete());
        else
            RunJournal next(w.F);
        EXPECT_EQ(w.entries(),
            (Tree{{"Renamed_SNES_ROMs", "<folder>"}, {"Renamed_SNES_ROMs/B.smc", "theirs"}, {"a.smc", "image"}}));
    }
}

// An undo stopped between reserving the old name and renaming the file
// back left an empty file there, named in the journal: the next undo
// removes it and puts the file back.
TEST(Reservations, UndoStoppedAfterReservingTheOldNameIsFinishedByTheNext)
{
    const test::JournalledRunFolder w(test::games::database);
    w.file("a.smc", "image");
    std::filesystem::create_directories(w.in_folder("Renamed_SNES_ROMs"));
    std::string journal_path;
    {
        RunJournal journal(w.F);
        journal_path = journal.path();
        journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
        std::filesystem::rename(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
        journal.finished();
    }
    std::ofstream(journal_path, std::ios::app) << record_line(RecordKind::reserved, {w.in_folder("a.smc")}) << '\n';
    fixtures::write_file(w.in_folder("a.smc"), "");
    EXPECT_TRUE(undo_run("", false).complete());
    EXPECT_EQ(w.entries(), (Tree{{"Renamed_SNES_ROMs", "<folder>"}, {"a.smc", "image"}}));
}

// A run stopped while placing its game list by a reservation left an
// empty games.htm: its undo removes it.
TEST(Reservations, EmptyGameListOfAStoppedRunGoesWithUndo)
{
    const test::JournalledRunFolder w(test::games::database);
    w.file("a.smc", "image");
    std::filesystem::create_directories(w.in_folder("Renamed_SNES_ROMs"));
    {
        RunJournal journal(w.F);
        journal.moving(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"));
        journal.move_failed(w.in_folder("a.smc"), w.in_folder("Renamed_SNES_ROMs/A.smc"), ErrorNumber::device_io_error);
        fixtures::write_file(w.in_folder("Renamed_SNES_ROMs/games.htm"), "");
    }
    EXPECT_TRUE(undo_run("", false).complete());
    EXPECT_EQ(w.entries(), (Tree{{"Renamed_SNES_ROMs", "<folder>"}, {"a.smc", "image"}}));
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
