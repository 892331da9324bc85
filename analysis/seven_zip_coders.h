// SPDX-License-Identifier: GPL-3.0-or-later
// A 7z's header read for what its coders and entries claim (see
// decoder_limits.h).
#pragma once

#include "common/system_calls.h"

namespace cartonym {

enum class HeaderVerdict {
    fits,       // every file but a 7z, a damaged 7z too (libarchive names its fault)
    over_limit, // a PPMd coder claiming more than decoder_memory_limit, or a header
                // that cannot be looked into: over 4 MiB, packed by anything but LZMA or LZMA2
    damaged,    // more than 65,536 entries, streams or folders, which libarchive lays out at
                // once, or a header said to run past the end of the file
};

HeaderVerdict seven_zip_header_verdict(const ReadableFile& file);

} // namespace cartonym
