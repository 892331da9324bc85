// SPDX-License-Identifier: GPL-3.0-or-later
// What an archive's decoders would need, read from the archive's own
// format before libarchive is asked to decode anything. libarchive starts
// a decoder with whatever an archive claims: a 7z's LZMA or LZMA2 coder or
// a zip's LZMA or XZ entry its dictionary (up to 4 GiB), a PPMd coder or
// entry its model (up to 4 GiB and 256 MiB), a zip's zstd entry its window.
// The claims are read here, where the formats state them: a 7z's coder
// properties in its header (a packed header decoded under the same limit),
// a zip's methods in its central directory and local headers and each
// entry's own stream parameters (every XZ block, every zstd frame that the
// reading may reach). Whatever claims more than decoder_memory_limit is
// refused as unsupported; a method libarchive cannot decode is refused
// too. A gzip's decoder needs a fixed few hundred kilobytes.
#pragma once

#include "common/system_calls.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// Why an archive, or an entry, could not be read.
enum class ArchiveFault {
    none,
    damaged,
    encrypted,
    unsupported, // a method libarchive cannot decode, or a claim over decoder_memory_limit
    too_many_entries,
    too_large,
    missing,   // no entry of the name asked for
    ambiguous, // two entries of one name: an entry is found again by its name only
};

// The reason as the program reports it: "", "damaged", "encrypted",
// "unsupported", "more than 1000 entries", "too large", "missing",
// "ambiguous".
std::string archive_fault_text(ArchiveFault fault);

// The strongest presets of the usual packers use a 64 MiB dictionary
// (64.1 MiB of decoder memory). Packers make dictionaries of 2^n and
// 3 * 2^(n-1) bytes, so the next real one, 96 MiB, is refused; a PPMd model
// or a zstd window may have up to the limit too. What a decoder touches
// while passing over entries (its dictionary fills as data passes) stays
// within it.
inline constexpr std::uint64_t decoder_memory_limit = 72 * 1024 * 1024;

// The most an entry's reading decodes: a whole entry streamed, and what
// libarchive decodes ahead of it. Stream parameters past it are never read.
inline constexpr std::uint64_t decoded_bound = 18 * 1024 * 1024;

// A 7z's header: unsupported for a coder claiming more than the limit or
// a header that cannot be looked into (over 4 MiB, packed by anything but
// LZMA or LZMA2); damaged for more than 65,536 entries, streams or folders
// (which libarchive lays out at open) or a header said to run past the end
// of the file; none otherwise, a damaged header too (libarchive names it).
ArchiveFault seven_zip_fault(const ReadableFile& file);

// The decoder memory an LZMA1 or LZMA2 coder needs with these properties
// (the 5 bytes of LZMA1, the byte of LZMA2), or 0 when liblzma would not
// take them.
std::uint64_t lzma_need(bool lzma2, std::string_view properties);

// More entries than this make an archive count as damaged.
inline constexpr std::size_t entry_limit = 1000;

// Where a zip entry's stored data lies and how it is stored.
struct ZipData {
    std::uint64_t offset = 0;     // of its first byte
    std::uint64_t compressed = 0; // its stored length
    unsigned method = 0;          // as its local header names it
    std::uint32_t crc = 0;        // of its bytes once decoded
};

// A zip's entries as libarchive visits them (by local header offset), the
// first 1,001 of them checked before the archive is opened.
class ZipDecoders {
public:
    explicit ZipDecoders(const ReadableFile& file);
    // The first entry's fault: unsupported for a method libarchive lacks or
    // a stream claiming more than the limit; none when all fit (a damaged
    // directory too: libarchive names it).
    ArchiveFault fault() const { return fault_; }
    // The checked entry whose data begins at offset, or nullptr: libarchive
    // decodes no other.
    const ZipData* checked(std::uint64_t data_offset) const;

private:
    ArchiveFault fault_ = ArchiveFault::none;
    std::vector<ZipData> data_; // by offset
};

// The fault of one zip entry's stream stored under method, length bytes
// at offset: none, or unsupported as above.
ArchiveFault zip_stream_fault(unsigned method, const ReadableFile& file, std::uint64_t offset, std::uint64_t length);

} // namespace cartonym
