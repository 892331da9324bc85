// SPDX-License-Identifier: GPL-3.0-or-later
// Archives whose coders or entries claim more memory than decoders may
// reserve: read as unsupported without reserving it; the strongest preset
// still reads; a 7z of more entries than libarchive should lay out reads
// as damaged. Each archive is read in a child process that may take at
// most 80 MiB of data beyond its parent's: a decoder reserving more fails
// there (and reads as damaged), so an unsupported archive was refused
// before its decoder started, and one that reads fits.
#include <gtest/gtest.h>

#include "analysis/archive_reader.h"
#include "fixtures/rom_builder.h"
#include "tests/archive_builder.h"
#include "tests/testsupport.h"

#include <lzma.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <fstream>

using namespace cartonym;
using test::ArchiveFormat, test::make_archive;

namespace {

const std::string image = fixtures::build_rom({.name = "BIG DICTIONARY"});

// A figure of /proc/self/status, in KiB.
long status_kib(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && !line.starts_with(field + ":")) { }
    return std::stol(line.substr(field.size() + 1));
}

// AddressSanitizer's allocator maps its own arenas and aborts where malloc
// fails: under it the child runs without the address-space limit, and the
// faults and images are checked all the same.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool address_space_limited = false;
#else
constexpr bool address_space_limited = true;
#endif

// The analysis of an archive in a child process whose data may grow by 80
// MiB at most (81 MiB taken at once fails there): its fault, its images
// and the MiB its resident peak rose.
std::string analysed_within_80_mib(const std::string& path)
{
    std::array<int, 2> ends{};
    if (::pipe(ends.data()) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        const long resident = status_kib("VmRSS");
        // Free heap is taken without new address space: it counts against the 80 MiB.
        const auto free_kib = static_cast<long>(mallinfo2().fordblks / 1024);
        const auto space = static_cast<rlim_t>(status_kib("VmSize") + 80 * 1024 - free_kib) * 1024;
        const rlimit limit{space, space};
        if (address_space_limited)
            ::setrlimit(RLIMIT_AS, &limit);
        void* volatile beyond = address_space_limited ? std::malloc(81 << 20) : nullptr; // must fail: the limit holds
        const ArchiveAnalysis result = analyse_archive(path);
        const std::string outcome = beyond != nullptr
            ? "the limit does not hold"
            : archive_fault_text(result.fault) + ", images: " + std::to_string(result.images.size())
                + ", MiB: " + std::to_string((status_kib("VmHWM") - resident) / 1024);
        (void)!::write(ends[1], outcome.data(), outcome.size());
        ::_exit(0);
    }
    ::close(ends[1]);
    std::string outcome(256, '\0');
    outcome.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(ends[0], outcome.data(), outcome.size()))));
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return outcome;
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

// An XZ stream of two blocks: a short one within the limit, then one whose
// LZMA2 coder claims a 4 GiB dictionary.
std::string xz_second_block_claiming_4_gib()
{
    std::string bytes("\xFD\x37\x7A\x58\x5A\0\0\0....", 12); // no check
    put(bytes, 8, crc(std::string_view(bytes).substr(6, 2)), 4);
    for (const char dictionary : {'\x08', '\x28'}) {
        std::string header("\x02\0\x21\x01.\0\0\0....", 12);
        header[4] = dictionary;
        put(header, 8, crc(std::string_view(header).substr(0, 8)), 4);
        bytes += header + std::string("\x01\0\x03text\0", 8); // an uncompressed chunk, the end
    }
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
        {"xz-second-block.zip", zip(char{95}, xz_second_block_claiming_4_gib()), "unsupported"},
        {"ppmd-256m.zip", zip(char{98}, "\xF5\x0F" + image), "unsupported"}, // order 6, 256 MiB
        {"zstd-2g.zip", zip(char{93}, std::string("\x28\xB5\x2F\xFD\0\xA8\x21\0\x02", 9) + image.substr(0, 64)),
            "unsupported"}, // a 2 GiB window, then a last raw block of 64 bytes
        {"unknown-method.zip", zip(char{9}, image), "unsupported"},
        {"70000.7z", many_entries(), "damaged"},
        {"ultra.7z",
            make_archive(ArchiveFormat::seven_zip, {{"A.smc", image}}, "compression=lzma2,compression-level=9"), ""},
    };
    test::TempFolder folder;
    for (const auto& c : cases) {
        fixtures::write_file(folder / c.file, c.bytes);
        const std::string outcome = analysed_within_80_mib(folder / c.file);
        EXPECT_EQ(outcome.substr(0, outcome.find(", MiB")), c.error + ", images: " + (c.error.empty() ? "1" : "0"))
            << c.file;
        std::cout << c.file << ": " << outcome << '\n';
    }
}

} // namespace
