// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/decoder_limits.h"

#include "analysis/seven_zip_coders.h"

#include <dlfcn.h>
#include <lzma.h>

#include <algorithm>
#include <utility>

namespace cartonym {
namespace {

thread_local bool refused = false;

// liblzma's own definition of an entry point that the program's definition
// below hides from libarchive.
template <typename Function> Function* library_definition(const char* name)
{
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

} // namespace

bool decoders_fit(const ReadableFile& file)
{
    const HeaderVerdict verdict = seven_zip_header_verdict(file);
    refused = verdict == HeaderVerdict::over_limit;
    return verdict == HeaderVerdict::fits; // damaged: libarchive names no reason
}

bool decoder_refused() { return std::exchange(refused, false); }

} // namespace cartonym

// These definitions take the place of liblzma's for every caller in the
// process, libarchive's included: the executable's own symbols come first.
extern "C" {

// A 7z folder's decoder: its need is known from the filters before it starts.
lzma_ret lzma_raw_decoder(lzma_stream* stream, const lzma_filter* filters) noexcept
{
    static auto* const start = cartonym::library_definition<decltype(lzma_raw_decoder)>("lzma_raw_decoder");
    const std::uint64_t need = lzma_raw_decoder_memusage(filters);
    cartonym::refused = need != UINT64_MAX && need > cartonym::decoder_memory_limit;
    return cartonym::refused ? LZMA_MEMLIMIT_ERROR : start(stream, filters);
}

// A zip's LZMA and XZ entries: the need shows only in the stream, so liblzma
// checks it against the limit there and lzma_code reports the refusal.
lzma_ret lzma_alone_decoder(lzma_stream* stream, std::uint64_t memory_limit) noexcept
{
    static auto* const start = cartonym::library_definition<decltype(lzma_alone_decoder)>("lzma_alone_decoder");
    cartonym::refused = false;
    return start(stream, std::min(memory_limit, cartonym::decoder_memory_limit));
}

lzma_ret lzma_stream_decoder(lzma_stream* stream, std::uint64_t memory_limit, std::uint32_t flags) noexcept
{
    static auto* const start = cartonym::library_definition<decltype(lzma_stream_decoder)>("lzma_stream_decoder");
    cartonym::refused = false;
    return start(stream, std::min(memory_limit, cartonym::decoder_memory_limit), flags);
}

lzma_ret lzma_code(lzma_stream* stream, lzma_action action) noexcept
{
    static auto* const code = cartonym::library_definition<decltype(lzma_code)>("lzma_code");
    const lzma_ret result = code(stream, action);
    if (result == LZMA_MEMLIMIT_ERROR)
        cartonym::refused = true;
    return result;
}

} // extern "C"
