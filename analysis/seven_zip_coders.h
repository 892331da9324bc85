// A 7z's header read for the memory its coders claim (see decoder_limits.h).
#pragma once

#include "common/system_calls.h"

namespace cartonym {

// False for a 7z whose header names a PPMd coder claiming more than
// decoder_memory_limit, and for one whose header cannot be looked into: a
// header over 4 MiB, or packed by anything but LZMA or LZMA2. True for
// every other file, a damaged 7z included (libarchive names its fault).
bool seven_zip_header_fits(const ReadableFile& file);

} // namespace cartonym
