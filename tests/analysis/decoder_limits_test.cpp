// Archives whose coders claim more memory than decoders may reserve: read
// as unsupported without reserving it; the strongest preset still reads;
// a 7z of more entries than libarchive should lay out reads as damaged.
#include <gtest/gtest.h>

#include "analysis/archive_reader.h"
#include "fixtures/rom_builder.h"
#include "tests/archive_builder.h"
#include "tests/testsupport.h"

#include <lzma.h>
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

void put(std::string& bytes, std::size_t at, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::uint64_t crc(std::string_view over)
{
    return crc32(0, reinterpret_cast<const Bytef*>(over.data()), static_cast<uInt>(over.size()));
}

std::size_t header_size(const std::string& bytes)
{
    return static_cast<unsigned char>(bytes[20]) | static_cast<unsigned char>(bytes[21]) << 8;
}

// A 7z of body and header, its start header made to match.
std::string seven_zip_of(std::string body, const std::string& header)
{
    put(body, 12, body.size() - 32, 8);
    put(body, 20, header.size(), 8);
    put(body, 28, crc(header), 4);
    put(body, 8, crc(std::string_view(body).substr(12, 20)), 4);
    return body + header;
}

// A 7z of one image (its header plain, at the end) whose coder, found by
// the bytes before the part changed, claims other properties.
std::string seven_zip(const std::string& options, std::string_view coder, std::string_view claim)
{
    const std::string bytes = make_archive(ArchiveFormat::seven_zip, {{"A.smc", image}}, options);
    std::string header = bytes.substr(bytes.size() - header_size(bytes));
    header.replace(header.rfind(coder) + coder.size(), claim.size(), claim);
    return seven_zip_of(bytes.substr(0, bytes.size() - header.size()), header);
}

// The same 7z with its header packed by LZMA2, as packers store larger ones.
std::string packed_header(const std::string& bytes)
{
    const std::size_t size = header_size(bytes);
    lzma_options_lzma options{};
    lzma_lzma_preset(&options, 6);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::string packed(size + 256, '\0');
    std::size_t written = 0;
    std::uint8_t property = 0;
    lzma_raw_buffer_encode(filters, nullptr, reinterpret_cast<const std::uint8_t*>(&bytes[bytes.size() - size]), size,
        reinterpret_cast<std::uint8_t*>(packed.data()), &written, packed.size());
    lzma_properties_encode(filters, &property);
    const auto number = [](std::size_t n) {
        return std::string{static_cast<char>(0x80 | n >> 8), static_cast<char>(n)};
    };
    const std::string header = "\x17\x06" + number(bytes.size() - size - 32) + "\x01\x09" + number(written)
        + std::string("\0\x07\x0B\x01\0\x01\x21\x21\x01", 9) + static_cast<char>(property) + "\x0C" + number(size)
        + std::string(2, '\0');
    return seven_zip_of(bytes.substr(0, bytes.size() - size) + packed.substr(0, written), header);
}

// A 7z of 70,000 empty entries: its header only counts them.
std::string many_entries()
{
    const std::string header = std::string("\x01\x05\xC1\x70\x11\x0E\xA2\x2E", 8) + std::string(8750, '\xFF');
    return seven_zip_of(std::string("7z\xBC\xAF\x27\x1C\0\x04", 8) + std::string(24, '\0'), header + '\0' + '\0');
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
    std::string bytes("\xFD\x37\x7A\x58\x5A\0\0\x01....\x02\0\x21\x01\x28\0\0\0....", 24);
    put(bytes, 8, crc(std::string_view(bytes).substr(6, 2)), 4);
    put(bytes, 20, crc(std::string_view(bytes).substr(12, 8)), 4);
    return bytes + std::string(16, '\0');
}

TEST(DecoderLimits, ClaimsOverTheLimitAreRefused)
{
    const std::string_view ppmd = "\x23\x03\x04\x01\x05\x06"; // order 6, then the memory
    const struct {
        std::string file, bytes, error;
    } cases[] = {
        {"lzma2.7z", seven_zip("compression=lzma2", "\x21\x21\x01", "\x28"), "unsupported"},
        {"lzma1.7z", seven_zip("compression=lzma1", "\x23\x03\x01\x01\x05\x5D", "\xFF\xFF\xFF\xFF"), "unsupported"},
        {"ppmd.7z", seven_zip("compression=ppmd", ppmd, "\xDB\xFF\xFF\xFF"), "unsupported"},
        {"ppmd-packed.7z", packed_header(seven_zip("compression=ppmd", ppmd, "\xDB\xFF\xFF\xFF")), "unsupported"},
        {"ppmd-packed-16m.7z", packed_header(seven_zip("compression=ppmd", ppmd, std::string("\0\0\0\x01", 4))), ""},
        {"lzma.zip", zip(char{14}, std::string("\x09\x14\x05\0\x5D\xFF\xFF\xFF\xFF", 9) + std::string(16, '\0')),
            "unsupported"},
        {"xz.zip", zip(char{95}, xz_claiming_4_gib()), "unsupported"},
        {"70000.7z", many_entries(), "damaged"},
        {"ultra.7z",
            make_archive(ArchiveFormat::seven_zip, {{"A.smc", image}}, "compression=lzma2,compression-level=9"), ""},
    };
    test::TempFolder folder;
    const long before = reserved_peak();
    for (const auto& c : cases) {
        fixtures::write_file(folder / c.file, c.bytes);
        const ArchiveAnalysis result = analyse_archive(folder / c.file);
        EXPECT_EQ(archive_fault_text(result.fault) + ", images: " + std::to_string(result.images.size()),
            c.error + ", images: " + (c.error.empty() ? "1" : "0"))
            << c.file;
    }
    EXPECT_LT(reserved_peak() - before, 512 * 1024) << "KiB reserved beyond the peak before";
}

} // namespace
