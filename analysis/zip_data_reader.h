// SPDX-License-Identifier: GPL-3.0-or-later
// A zip entry stored or deflated, read straight from its data with zlib
// once libarchive has read its headers: libarchive inflates 256 KiB at a
// time whatever is asked for, four times the head the analysis reads.
// The entry's end is checked as libarchive checks it: its stream must end
// within its stored length, and its bytes must match its CRC-32.
#pragma once

#include "analysis/archive_limits.h"

#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace cartonym {

class ZipDataReader {
public:
    // data is a stored (0) or deflated (8) entry of file.
    ZipDataReader(const ReadableFile& file, const ZipData& data);
    ~ZipDataReader();
    ZipDataReader(const ZipDataReader&) = delete;
    ZipDataReader& operator=(const ZipDataReader&) = delete;

    // Reads up to count bytes; fewer at the entry's end or on a fault.
    std::size_t read(unsigned char* target, std::size_t count);
    // none, or damaged: the stream broke off or the CRC-32 did not match.
    ArchiveFault fault() const { return fault_; }

private:
    std::size_t inflate_into(unsigned char* target, std::size_t count);
    void finish();

    const ReadableFile& file_;
    ZipData data_;
    std::uint64_t taken_ = 0; // stored bytes taken in
    z_stream stream_{};
    bool inflating_ = false;
    bool ended_ = false;
    std::uint32_t crc_ = 0;
    ArchiveFault fault_ = ArchiveFault::none;
    std::array<unsigned char, 16 * 1024> input_{};
};

} // namespace cartonym
