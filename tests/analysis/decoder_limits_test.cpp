// Archives whose coders claim more memory than decoders may reserve: read
// as unsupported without reserving it; the strongest preset still reads.
#include <gtest/gtest.h>

#include "analysis/archive_reader.h"
#include "fixtures/rom_builder.h"
#include "tests/archive_builder.h"
#include "tests/testsupport.h"

#include <zlib.h>

#include <fstream>

using namespace cartonym;
using test::ArchiveFormat, test::make_archive;

namespace {

const std::string image = fixtures::build_rom({.name = "BIG DICTIONARY"});

// The most address space the process has held, in KiB.
long reserved_peak()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && !line.starts_with("VmPeak:")) { }
    return std::stol(line.substr(7));
}

void put_crc(std::string& bytes, std::size_t at, std::string_view over)
{
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(over.data()), static_cast<uInt>(over.size()));
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(crc >> (8 * i));
}

// A 7z of one image (its header left plain, at the end) whose coder, found
// by the bytes before the part changed, claims other properties.
std::string seven_zip(const std::string& options, std::string_view coder, std::string_view claim)
{
    std::string bytes = make_archive(ArchiveFormat::seven_zip, {{"A.smc", image}}, options);
    bytes.replace(bytes.rfind(coder) + coder.size(), claim.size(), claim);
    const std::size_t header = static_cast<unsigned char>(bytes[20]) | static_cast<unsigned char>(bytes[21]) << 8;
    put_crc(bytes, 28, std::string_view(bytes).substr(bytes.size() - header));
    put_crc(bytes, 8, std::string_view(bytes).substr(12, 20));
    return bytes;
}

// A zip whose one entry's data is payload, stored under another method.
std::string zip(char method, const std::string& payload)
{
    std::string bytes = make_archive(ArchiveFormat::zip_stored, {{"A.smc", payload}});
    bytes[8] = bytes[bytes.find("PK\x01\x02") + 10] = method;
    return bytes;
}

// An XZ stream whose one block's LZMA2 coder claims a 4 GiB dictionary.
std::string xz_claiming_4_gib()
{
    std::string bytes = std::string("\xFD"
                                    "7zXZ\0\0\x01....",
                            12)
        + std::string("\x02\0\x21\x01\x28\0\0\0....", 12);
    put_crc(bytes, 8, std::string_view(bytes).substr(6, 2));
    put_crc(bytes, 20, std::string_view(bytes).substr(12, 8));
    return bytes + std::string(16, '\0');
}

TEST(DecoderLimits, ClaimsOverTheLimitAreRefused)
{
    const struct {
        std::string file, bytes, error;
    } cases[] = {
        {"lzma2.7z", seven_zip("compression=lzma2", "\x21\x21\x01", "\x28"), "unsupported"},
        {"lzma1.7z", seven_zip("compression=lzma1", "\x23\x03\x01\x01\x05\x5D", "\xFF\xFF\xFF\xFF"), "unsupported"},
        {"ppmd.7z", seven_zip("compression=ppmd", "\x23\x03\x04\x01\x05\x06", "\xDB\xFF\xFF\xFF"), "unsupported"},
        {"lzma.zip", zip(char{14}, std::string("\x09\x14\x05\0\x5D\xFF\xFF\xFF\xFF", 9) + std::string(16, '\0')),
            "unsupported"},
        {"xz.zip", zip(char{95}, xz_claiming_4_gib()), "unsupported"},
        {"ultra.7z",
            make_archive(ArchiveFormat::seven_zip, {{"A.smc", image}}, "compression=lzma2,compression-level=9"), ""},
    };
    test::TempFolder folder;
    const long before = reserved_peak();
    for (const auto& c : cases) {
        fixtures::write_file(folder / c.file, c.bytes);
        const ArchiveAnalysis result = analyse_archive(folder / c.file);
        EXPECT_EQ(result.error + ", images: " + std::to_string(result.images.size()),
            c.error + ", images: " + (c.error.empty() ? "1" : "0"))
            << c.file;
    }
    EXPECT_LT(reserved_peak() - before, 512 * 1024) << "KiB reserved beyond the peak before";
}

} // namespace
