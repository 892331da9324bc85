// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: image analysis and header decoding on arbitrary file contents
// and lengths. The analysis reads only the first 512 bytes and four 32-byte
// header sites, so the input is laid out as exactly those bytes plus the
// file's length; everything else of the file is a hole of zeros.
//
// Input: 4 bytes length (little endian), then up to 512 + 4 x 32 bytes that
// fill offsets 0-511 and the sites at 0x7FC0, 0xFFC0, 0x81C0 and 0x101C0.
#include "analysis/header_detection.h"
#include "common/error.h"
#include "common/windows1252.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t Sites[] = {0x7FC0, 0xFFC0, 0x81C0, 0x101C0};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool known_format_code(const std::string& code)
{
    for (const char* known : {"SWC LO", "SWC HI", "GDR LO", "GDR HI", "FIG LO", "FIG HI", "COS LO", "NO LO", "NO HI"})
        if (code == known)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data_bytes, std::size_t size)
{
    static const int fd = ::memfd_create("rom", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || size < 4)
        return 0;

    std::uint32_t length = 0;
    std::memcpy(&length, data_bytes, 4);
    length %= 0x200000; // up to 2 MiB, sites beyond the end included
    data_bytes += 4;
    size -= 4;

    check(::ftruncate(fd, 0) == 0 && ::ftruncate(fd, length) == 0);
    const auto write = [&](std::uint64_t offset, std::size_t count) {
        count = std::min(count, size);
        if (offset < length && count > 0)
            check(::pwrite(fd, data_bytes, std::min<std::uint64_t>(count, length - offset), static_cast<off_t>(offset))
                >= 0);
        data_bytes += count;
        size -= count;
    };
    write(0, 512);
    for (const std::uint64_t site : Sites)
        write(site, 32);

    cartonym::RomAnalysis analysis;
    try {
        analysis = cartonym::Analysiere_rom(path);
    } catch (const cartonym::Error&) {
        std::abort(); // a readable regular file must never fail
    }
    if (!analysis.Rom_ok) {
        check(analysis.Formatcode.empty() && analysis.Interner_name.empty());
        return 0;
    }
    check(known_format_code(analysis.Formatcode));
    check(analysis.Interner_name.size() == 21);
    check(analysis.Pruefsumme.size() >= 2 && analysis.Pruefsumme.size() <= 4);
    check(analysis.Endung == ".smc" || analysis.Endung == ".swc" || analysis.Endung == ".fig");
    check(!analysis.Size_text.empty() && !analysis.Land_text.empty() && !analysis.Hersteller_text.empty());
    // Every internal name survives the trip to UTF-8 and back unchanged.
    const auto back = cartonym::cp1252_from_utf8(cartonym::utf8_from_cp1252(analysis.Interner_name));
    check(back && *back == analysis.Interner_name);
    return 0;
}
