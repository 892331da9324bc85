// SPDX-License-Identifier: GPL-3.0-or-later
// The memory an archive's decoder may reserve. libarchive starts liblzma's
// decoders with whatever dictionary an archive claims (a 7z's LZMA or LZMA2
// coder, a zip's LZMA or XZ entry) and no memory limit: a few crafted bytes
// would make it reserve 4 GiB. The program's own definitions of those
// decoders' entry points (decoder_limits.cpp) stand in front of liblzma's,
// refuse a decoder that needs more than decoder_memory_limit and hand the
// rest on. A 7z's PPMd coder, which libarchive sets up itself, is checked
// in the header before libarchive opens the archive. What is refused reads
// as "unsupported".
#pragma once

#include "common/system_calls.h"

#include <cstdint>

namespace cartonym {

// The strongest presets of the usual packers use a 64 MiB dictionary
// (64.1 MiB of decoder memory). Packers make dictionaries of 2^n and
// 3 * 2^(n-1) bytes, so the next real one, 96 MiB, is refused; a PPMd model
// may have up to the limit too. What a decoder touches while passing over
// entries (its dictionary fills as data passes) stays within it.
inline constexpr std::uint64_t decoder_memory_limit = 72 * 1024 * 1024;

// Whether the decoders an archive's header names fit the limit (a 7z's;
// every other file fits); a refusal is noted for decoder_refused(). A 7z
// of more than 65,536 entries, which libarchive would lay out before the
// first is read, or whose header is said to run past its end, does not fit
// either and reads as damaged.
bool decoders_fit(const ReadableFile& file);

// Whether a decoder was refused for its memory since the last decoder
// or header check started on this thread; answers once, then false.
bool decoder_refused();

} // namespace cartonym
