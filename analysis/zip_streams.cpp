// SPDX-License-Identifier: GPL-3.0-or-later
// A zip entry's stream read for what its decoder will reserve, before it
// is decoded: an LZMA entry's dictionary, a PPMd entry's model, a bzip2
// entry's block size, the filters of every XZ block and the window of every
// zstd frame that the decoding can reach. The streams are walked as their
// decoders walk them (an XZ block ends where its LZMA2 chunks end, a zstd
// frame where its last block ends), without decoding; the walk stops where
// a decoder would stop with an error, and once decoded_bound bytes would
// have been decoded.
#include "analysis/archive_limits.h"

#include <lzma.h>

#include <algorithm>
#include <array>
#include <optional>

namespace cartonym {
namespace {

// The end of the stream as the walk goes: at the entry's end, or at bytes
// its decoder stops at.
struct StreamEnd { };

// The most steps (blocks, chunks) walked: a stream of tiny empty pieces
// that takes more is refused.
constexpr unsigned step_limit = 1U << 20;

// An entry's stored bytes, read front to back in pieces.
class StreamBytes {
public:
    StreamBytes(const ReadableFile& file, std::uint64_t offset, std::uint64_t length)
        : file_(file)
        , at_(offset)
        , end_(offset + std::min(length, file.length() - std::min(offset, file.length())))
    { }
    std::uint64_t position() const { return at_; }
    bool ended() const { return at_ >= end_; }
    unsigned byte() { return static_cast<unsigned char>(take(1)[0]); }
    std::string take(std::size_t count)
    {
        if (count > end_ - at_)
            throw StreamEnd{};
        std::string bytes;
        while (bytes.size() < count) {
            if (at_ < start_ || at_ >= start_ + piece_.size()) {
                start_ = at_;
                file_.read_at(start_, piece_.data(), piece_.size());
            }
            const std::size_t from = at_ - start_, n = std::min(count - bytes.size(), piece_.size() - from);
            bytes.append(reinterpret_cast<const char*>(piece_.data() + from), n);
            at_ += n;
        }
        return bytes;
    }
    void skip(std::uint64_t count)
    {
        if (count > end_ - at_)
            throw StreamEnd{};
        at_ += count;
    }
    std::uint64_t little_endian(std::size_t width)
    {
        const std::string bytes = take(width);
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;)
            value = value << 8 | static_cast<unsigned char>(bytes[i]);
        return value;
    }
    std::uint64_t big_endian_16()
    {
        const unsigned high = byte();
        return high << 8 | byte();
    }

private:
    const ReadableFile& file_;
    std::uint64_t at_;
    std::uint64_t end_;
    std::uint64_t start_ = UINT64_MAX;
    std::array<unsigned char, 16 * 1024> piece_{};
};

ArchiveFault over_limit(std::uint64_t need)
{
    return need > decoder_memory_limit ? ArchiveFault::unsupported : ArchiveFault::none;
}

// Method 14: a version, the properties' length, then LZMA's 5 properties.
ArchiveFault lzma_fault(StreamBytes& in)
{
    in.skip(2);
    return in.little_endian(2) != 5 ? ArchiveFault::none : over_limit(lzma_need(false, in.take(5)));
}

// Method 98: 4 bits of order, 8 of model size in MiB less one, 4 of restore method.
ArchiveFault ppmd_fault(StreamBytes& in) { return over_limit((((in.little_endian(2) >> 4) & 0xFF) + 1) << 20); }

// Method 12: "BZh" and the block size in 100 kB; the decoder holds four
// bytes for each byte of a block.
ArchiveFault bzip2_fault(StreamBytes& in)
{
    const std::string header = in.take(4);
    const bool sized = header.starts_with("BZh") && header[3] >= '1' && header[3] <= '9';
    return sized ? over_limit(std::uint64_t(header[3] - '0') * 400000 + 65536) : ArchiveFault::none;
}

// The LZMA2 chunks of an XZ block, up to their end marker, or until the
// bound or the step limit is passed; the bytes they decode to are counted
// into decoded.
void pass_lzma2_chunks(StreamBytes& in, std::uint64_t& decoded, unsigned& steps)
{
    for (unsigned control = in.byte(); control != 0; control = in.byte()) {
        if (++steps > step_limit || decoded > decoded_bound)
            return;
        if (control == 1 || control == 2) {
            const std::uint64_t size = in.big_endian_16() + 1;
            in.skip(size);
            decoded += size;
        } else if (control >= 0x80) {
            const std::uint64_t high = control & 0x1F;
            decoded += (high << 16 | in.big_endian_16()) + 1;
            const std::uint64_t packed = in.big_endian_16() + 1;
            in.skip(packed + (control >= 0xC0 ? 1 : 0));
        } else {
            throw StreamEnd{}; // liblzma stops at a chunk it does not know
        }
    }
}

// Method 95: one XZ stream, block by block, each block's filters' need.
ArchiveFault xz_fault(StreamBytes& in)
{
    const std::string header = in.take(12);
    if (header.compare(0, 6, std::string_view("\xFD\x37\x7A\x58\x5A\0", 6)) != 0)
        return ArchiveFault::none;
    const auto check = static_cast<lzma_check>(header[7] & 0x0F);
    std::uint64_t decoded = 0;
    for (unsigned steps = 0; decoded <= decoded_bound && steps <= step_limit; ++steps) {
        const std::uint64_t start = in.position();
        const unsigned size = in.byte();
        if (size == 0)
            return ArchiveFault::none; // the index: no more blocks
        const std::string block_header = static_cast<char>(size) + in.take(lzma_block_header_size_decode(size) - 1);
        std::array<lzma_filter, LZMA_FILTERS_MAX + 1> filters{};
        lzma_block block{};
        block.version = 1;
        block.check = check;
        block.header_size = static_cast<std::uint32_t>(block_header.size());
        block.filters = filters.data();
        if (lzma_block_header_decode(&block, nullptr, reinterpret_cast<const std::uint8_t*>(block_header.data()))
            != LZMA_OK)
            return ArchiveFault::none; // liblzma stops here too
        const std::uint64_t need = lzma_raw_decoder_memusage(filters.data());
        const auto last = std::ranges::find(filters, LZMA_VLI_UNKNOWN, &lzma_filter::id) - 1;
        const bool lzma2_last = last >= filters.begin() && last->id == LZMA_FILTER_LZMA2;
        lzma_filters_free(filters.data(), nullptr);
        if (!lzma2_last || (need != UINT64_MAX && need > decoder_memory_limit))
            return ArchiveFault::unsupported;
        pass_lzma2_chunks(in, decoded, steps);
        if (decoded > decoded_bound || steps > step_limit)
            break;
        in.skip((4 - (in.position() - start) % 4) % 4 + lzma_check_size(check));
    }
    return decoded > decoded_bound ? ArchiveFault::none : ArchiveFault::unsupported;
}

// A zstd frame's header: the window its decoder holds.
std::uint64_t zstd_window(StreamBytes& in, bool& checksum)
{
    const unsigned descriptor = in.byte();
    if (descriptor & 0x08)
        throw StreamEnd{}; // a reserved bit: zstd stops
    checksum = (descriptor & 0x04) != 0;
    const bool single_segment = (descriptor & 0x20) != 0;
    std::uint64_t window = 0;
    if (!single_segment) {
        const unsigned exponent_and_mantissa = in.byte();
        const std::uint64_t base = std::uint64_t{1} << (10 + (exponent_and_mantissa >> 3));
        window = base + base / 8 * (exponent_and_mantissa & 7);
    }
    in.skip(std::array<unsigned, 4>{0, 1, 2, 4}[descriptor & 3]); // the dictionary's number
    const unsigned code = descriptor >> 6;
    const std::size_t content_size_width = code == 0 ? (single_segment ? 1 : 0) : std::size_t{1} << code;
    const std::uint64_t content_size = content_size_width == 0 ? 0 : in.little_endian(content_size_width);
    return single_segment ? content_size + (content_size_width == 2 ? 256 : 0) : window;
}

// The blocks of one zstd frame, what they decode added to decoded: the
// archive's fault where the blocks decide it (unsupported past the step
// limit, none at a reserved block type, where zstd stops), else nullopt.
std::optional<ArchiveFault> zstd_blocks(StreamBytes& in, std::uint64_t& decoded, unsigned& steps, bool checksum)
{
    bool last = false;
    for (; !last && decoded <= decoded_bound; ++steps) {
        if (steps > step_limit)
            return ArchiveFault::unsupported;
        const std::uint64_t block = in.little_endian(3);
        const std::uint64_t type = block >> 1 & 3, size = block >> 3;
        last = (block & 1) != 0;
        if (type == 3)
            return ArchiveFault::none;
        in.skip(type == 1 ? 1 : size);
        decoded += type == 2 ? 128 * 1024 : size;
    }
    in.skip(last && checksum ? 4 : 0);
    return std::nullopt;
}

// Method 93: zstd frames, each frame's window; skippable frames passed over.
ArchiveFault zstd_fault(StreamBytes& in)
{
    std::uint64_t decoded = 0;
    for (unsigned steps = 0; !in.ended() && decoded <= decoded_bound; ++steps) {
        const std::uint64_t magic = in.little_endian(4);
        if ((magic & 0xFFFFFFF0) == 0x184D2A50) {
            in.skip(in.little_endian(4));
            continue;
        }
        if (magic != 0xFD2FB528)
            return ArchiveFault::none; // zstd stops here
        bool checksum = false;
        const std::uint64_t window = zstd_window(in, checksum);
        if (window > decoder_memory_limit)
            return ArchiveFault::unsupported;
        if (const std::optional<ArchiveFault> fault = zstd_blocks(in, decoded, steps, checksum))
            return *fault;
    }
    return ArchiveFault::none;
}

} // namespace

ArchiveFault zip_stream_fault(unsigned method, const ReadableFile& file, std::uint64_t offset, std::uint64_t length)
{
    StreamBytes in(file, offset, length);
    try {
        switch (method) {
        case 0: // stored
        case 8: // deflated: zlib holds 32 KiB
            return ArchiveFault::none;
        case 12: return bzip2_fault(in);
        case 14: return lzma_fault(in);
        case 93: return zstd_fault(in);
        case 95: return xz_fault(in);
        case 98: return ppmd_fault(in);
        default: return ArchiveFault::unsupported;
        }
    } catch (const StreamEnd&) {
        return ArchiveFault::none; // nothing past it is decoded
    }
}

} // namespace cartonym
