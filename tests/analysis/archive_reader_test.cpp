// Images inside archives: each kind, readmes beside images, faults and bounds.
#include <gtest/gtest.h>

#include "analysis/archive_reader.h"
#include "fixtures/rom_builder.h"
#include "tests/archive_builder.h"
#include "tests/testsupport.h"

using namespace cartonym;
using test::ArchiveFormat;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

const std::string alpha = fixtures::build_rom({.name = "ALPHA QUEST"});
const std::string beta = fixtures::build_rom({.header = fixtures::CopierHeader::SWC, .name = "BETA"});

std::string many_entries(std::size_t count)
{
    Entries entries;
    for (std::size_t i = 0; i < count; ++i)
        entries.emplace_back("note" + std::to_string(i) + ".txt", "x");
    return test::make_archive(ArchiveFormat::zip_stored, entries);
}

struct Case {
    std::string label, file, bytes, error;
    std::vector<std::string> images;
};

std::vector<Case> cases()
{
    const Entries one = {{"Alpha.smc", alpha}};
    const std::string gz = test::make_archive(ArchiveFormat::gzip, one);
    // 64 MiB inflated from 64 KiB: only the head is read, the rest passed over by seeking.
    const std::string bomb = alpha + std::string(64 << 20, '\0');
    return {
        {"gz", "Alpha (USA).sfc.gz", gz, "", {"Alpha (USA).sfc"}},
        {"nested", "a.zip",
            test::make_archive(ArchiveFormat::zip_stored, {{"inner.zip", test::zip_passing_the_raw_test()}}), "", {}},
        {"cut gz", "a.gz", gz.substr(0, 40), "damaged", {}},
        {"1000 entries", "a.zip", many_entries(1000), "", {}},
        {"1001 entries", "a.zip", many_entries(1001), "more than 1000 entries", {}},
        {"bomb-like", "a.zip", test::make_archive(ArchiveFormat::zip_deflated, {{"big.smc", bomb}, {"B.swc", beta}}),
            "", {"big.smc", "B.swc"}},
    };
}

TEST(ArchiveReader, EachKindFaultAndBound)
{
    test::TempFolder folder;
    for (const Case& c : cases()) {
        fixtures::write_file(folder / c.file, c.bytes);
        const ArchiveAnalysis result = analyse_archive(folder / c.file);
        EXPECT_NE(result.kind, ArchiveKind::none) << c.label;
        EXPECT_EQ(result.error, c.error) << c.label;
        std::vector<std::string> names;
        for (const EntryAnalysis& image : result.images)
            names.push_back(image.entry);
        EXPECT_EQ(names, c.images) << c.label;
    }
}

TEST(ArchiveReader, RawFilesAndWholeEntries)
{
    test::TempFolder folder;
    fixtures::write_file(folder / "raw.zip", alpha);
    EXPECT_EQ(analyse_archive(folder / "raw.zip").kind, ArchiveKind::none);
    fixtures::write_file(folder / "a.7z", test::make_archive(ArchiveFormat::seven_zip, {{"t", "x"}, {"A", alpha}}));
    std::string whole;
    const auto sink = [&](std::string_view piece) { whole += piece; };
    EXPECT_EQ(stream_entry(folder / "a.7z", "A", alpha.size(), sink), "");
    EXPECT_EQ(whole, alpha);
    EXPECT_EQ(stream_entry(folder / "a.7z", "A", alpha.size() - 1, sink), "too large");
    EXPECT_EQ(stream_entry(folder / "a.7z", "B", alpha.size(), sink), "missing");
}

} // namespace
