// The memory an archive's decoder may reserve. libarchive starts liblzma's
// decoders with whatever dictionary an archive claims (a 7z's LZMA or LZMA2
// coder, a zip's LZMA or XZ entry) and no memory limit: a few crafted bytes
// would make it reserve 4 GiB. The program's own definitions of those
// decoders' entry points (decoder_limits.cpp) stand in front of liblzma's,
// refuse a decoder that needs more than decoder_memory_limit and hand the
// rest on; the archive then reads as "unsupported".
#pragma once

#include <cstdint>

namespace cartonym {

// Room for the 64 MiB dictionary of the usual strongest presets and for
// the next common step, 96 MiB; a decoder that needs more is refused.
inline constexpr std::uint64_t decoder_memory_limit = 128 * 1024 * 1024;

// Whether a decoder was refused for its memory since the last decoder
// started on this thread; answers once, then false.
bool decoder_refused();

} // namespace cartonym
