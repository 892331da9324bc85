// SPDX-License-Identifier: GPL-3.0-or-later
// Images inside archives: faults and bounds, raw files, whole entries.

#include "analysis/archive_reader.h"
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

struct ArchiveCase {
    const char* what;
    std::string file, bytes, error;
    std::vector<std::string> images;
};
class ArchiveBounds : public ::testing::TestWithParam<ArchiveCase> { };

TEST_P(ArchiveBounds, ImagesOrTheFault)
{
    test::TempFolder folder;
    fixtures::write_file(folder / GetParam().file, GetParam().bytes);
    const ArchiveAnalysis result = analyse_archive(folder / GetParam().file);
    std::vector<std::string> names;
    for (const EntryAnalysis& image : result.images)
        names.push_back(image.entry);
    EXPECT_EQ(std::pair(archive_fault_text(result.fault), names), std::pair(GetParam().error, GetParam().images));
}

const std::string gz = make_archive(ArchiveFormat::gzip, {{"Alpha.smc", alpha}});
INSTANTIATE_TEST_SUITE_P(Each, ArchiveBounds,
    ::testing::Values(ArchiveCase{"gzip", "Alpha (USA).sfc.gz", gz, "", {"Alpha (USA).sfc"}},
        ArchiveCase{"an archive inside", "nested.zip",
            make_archive(ArchiveFormat::zip_stored, {{"in.zip", test::zip_passing_the_raw_test()}}), "", {}},
        ArchiveCase{"cut short", "cut.gz", gz.substr(0, 40), "damaged", {}},
        ArchiveCase{"1000 entries", "1000.zip", many_entries(1000), "", {}},
        ArchiveCase{"1001 entries", "1001.zip", many_entries(1001), "more than 1000 entries", {}},
        // 64 MiB inflated from 64 KiB: only the head is read, the rest passed over by seeking.
        ArchiveCase{"bomb", "bomb.zip",
            make_archive(
                ArchiveFormat::zip_deflated, {{"big.smc", alpha + std::string(64 << 20, '\0')}, {"A.smc", alpha}}),
            "", {"big.smc", "A.smc"}}),
    test::CaseName());

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
