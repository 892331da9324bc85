// SPDX-License-Identifier: GPL-3.0-or-later
// Images inside archives: faults and bounds, raw files, whole entries.
#include <gtest/gtest.h>

#include "analysis/archive_reader.h"
#include "fixtures/rom_builder.h"
#include "tests/archive_builder.h"
#include "tests/testsupport.h"

using namespace cartonym;
using test::ArchiveFormat, test::make_archive;

namespace {

const std::string alpha = fixtures::build_rom({.name = "ALPHA QUEST"});

std::string many_entries(std::size_t count)
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.emplace_back("note" + std::to_string(i) + ".txt", "x");
    return make_archive(ArchiveFormat::zip_stored, entries);
}

TEST(ArchiveReader, FaultsAndBounds)
{
    const std::string gz = make_archive(ArchiveFormat::gzip, {{"Alpha.smc", alpha}});
    // 64 MiB inflated from 64 KiB: only the head is read, the rest passed over by seeking.
    const std::string bomb = alpha + std::string(64 << 20, '\0');
    const struct {
        std::string file, bytes, error;
        std::vector<std::string> images;
    } cases[] = {
        {"Alpha (USA).sfc.gz", gz, "", {"Alpha (USA).sfc"}},
        {"nested.zip", make_archive(ArchiveFormat::zip_stored, {{"in.zip", test::zip_passing_the_raw_test()}}), "", {}},
        {"cut.gz", gz.substr(0, 40), "damaged", {}},
        {"1000.zip", many_entries(1000), "", {}},
        {"1001.zip", many_entries(1001), "more than 1000 entries", {}},
        {"bomb.zip", make_archive(ArchiveFormat::zip_deflated, {{"big.smc", bomb}, {"A.smc", alpha}}), "",
            {"big.smc", "A.smc"}},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        fixtures::write_file(folder / c.file, c.bytes);
        const ArchiveAnalysis result = analyse_archive(folder / c.file);
        std::vector<std::string> names;
        for (const EntryAnalysis& image : result.images)
            names.push_back(image.entry);
        EXPECT_EQ(std::pair(archive_fault_text(result.fault), names), std::pair(c.error, c.images)) << c.file;
    }
}

TEST(ArchiveReader, RawFilesAndWholeEntries)
{
    test::TempFolder folder;
    fixtures::write_file(folder / "raw.zip", alpha); // an image named like a zip is read raw
    EXPECT_EQ(analyse_file(folder / "raw.zip", true).analysis.Interner_name, fixtures::Interner_name("ALPHA QUEST"));
    fixtures::write_file(folder / "a.7z", make_archive(ArchiveFormat::seven_zip, {{"t", "x"}, {"A", alpha}}));
    std::string whole;
    const auto sink = [&](std::string_view piece) { whole += piece; };
    EXPECT_EQ(stream_entry(folder / "a.7z", "A", alpha.size(), sink), ArchiveFault::none);
    EXPECT_EQ(whole, alpha);
    EXPECT_EQ(stream_entry(folder / "a.7z", "A", alpha.size() - 1, sink), ArchiveFault::too_large);
    EXPECT_EQ(stream_entry(folder / "a.7z", "B", 9, sink), ArchiveFault::missing);
}

} // namespace
