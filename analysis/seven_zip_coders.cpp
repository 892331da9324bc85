// SPDX-License-Identifier: GPL-3.0-or-later
// A 7z's coders, read from its header before libarchive opens it: an LZMA
// or LZMA2 coder reserves the dictionary its properties claim, a PPMd coder
// the model (up to 4 GiB each), which only the header tells. The header is
// read as libarchive reads it; where it does not parse, libarchive finds
// the same fault and names it.
#include "analysis/archive_limits.h"

#include <lzma.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {
namespace {

// The longest header read: a few thousand entries' worth.
constexpr std::uint64_t header_limit = 4 * 1024 * 1024;
// The most entries, streams or folders libarchive gets to lay out (some
// 100 bytes each); it takes counts up to 100 million and reserves for them.
constexpr std::uint64_t entry_bound = 65536;
constexpr std::uint64_t ppmd = 0x030401, lzma1 = 0x030101, lzma2 = 0x21, aes = 0x06F10701;

// A header that does not parse: libarchive will say it is damaged.
struct Malformed { };
// A count over entry_bound: the archive is called damaged first.
struct TooMany { };

// The bytes of a header, read front to back.
class HeaderReader {
public:
    explicit HeaderReader(std::string bytes)
        : bytes_(std::move(bytes))
    { }
    unsigned byte() { return static_cast<unsigned char>(take(1)[0]); }
    std::string_view take(std::uint64_t count)
    {
        if (count > bytes_.size() - at_)
            throw Malformed{};
        at_ += count;
        return std::string_view(bytes_).substr(at_ - count, count);
    }
    // A number: the leading one bits of the first byte count the bytes that follow.
    std::uint64_t number()
    {
        const unsigned first = byte();
        std::uint64_t value = 0;
        for (unsigned i = 0, mask = 0x80; i < 8; ++i, mask >>= 1) {
            if ((first & mask) == 0)
                return value + (std::uint64_t{first & (mask - 1)} << (8 * i));
            value |= std::uint64_t{byte()} << (8 * i);
        }
        return value;
    }
    std::uint64_t count()
    {
        const std::uint64_t value = number();
        return value <= entry_bound ? value : throw TooMany{};
    }

private:
    std::string bytes_;
    std::size_t at_ = 0;
};

struct Coder {
    std::uint64_t id = 0;
    std::string_view properties;
};

struct Folder {
    std::vector<Coder> coders;
    std::uint64_t outputs = 0;
    std::uint64_t unpack_size = 0; // of its last output
    bool digest = false;
    std::uint64_t streams = 1; // the entries' streams it holds
};

struct Streams {
    std::uint64_t pack_position = 0;
    std::uint64_t first_pack_size = 0;
    std::vector<Folder> folders;
    std::uint64_t unpack_streams = 0;
};

Folder read_folder(HeaderReader& in)
{
    Folder folder;
    const std::uint64_t coders = in.count();
    if (coders > 4)
        throw Malformed{};
    std::uint64_t inputs = 0;
    for (std::uint64_t i = 0; i < coders; ++i) {
        const unsigned flags = in.byte();
        if (flags & 0x80)
            throw Malformed{};
        Coder coder;
        for (const char c : in.take(flags & 0x0F))
            coder.id = coder.id << 8 | static_cast<unsigned char>(c);
        const bool simple = (flags & 0x10) == 0;
        inputs += simple ? 1 : in.count();
        folder.outputs += simple ? 1 : in.count();
        if (flags & 0x20)
            coder.properties = in.take(in.number());
        folder.coders.push_back(coder);
    }
    if (folder.outputs == 0 || inputs + 1 < folder.outputs)
        throw Malformed{};
    const std::uint64_t bound = folder.outputs - 1, packed = inputs - bound;
    for (std::uint64_t i = 0; i < 2 * bound + (packed > 1 ? packed : 0); ++i)
        in.count(); // the bind pairs and the packed streams' indexes
    return folder;
}

// Passes over count digests; notes which folders have one where given.
void skip_digests(HeaderReader& in, std::uint64_t count, std::vector<Folder>* folders = nullptr)
{
    const bool all = in.byte() != 0;
    std::uint64_t defined = all ? count : 0;
    unsigned bits = 0xFF;
    for (std::uint64_t i = 0; i < count && (!all || folders != nullptr); ++i) {
        bits = !all && i % 8 == 0 ? in.byte() : bits;
        const bool there = (bits >> (7 - i % 8) & 1) != 0;
        defined += all ? 0 : there;
        if (folders != nullptr)
            (*folders)[i].digest = there;
    }
    in.take(4 * defined);
}

// How many streams each folder holds, their sizes and digests.
void read_substreams(HeaderReader& in, Streams& streams)
{
    unsigned next = in.byte();
    if (next == 0x0D) {
        streams.unpack_streams = 0;
        for (Folder& folder : streams.folders)
            streams.unpack_streams += folder.streams = in.count();
        next = in.byte();
    }
    for (const Folder& folder : streams.folders) {
        for (std::uint64_t i = 1; next == 0x09 && i < folder.streams; ++i)
            in.number();
    }
    next = next == 0x09 ? in.byte() : next;
    if (next == 0x0A) {
        std::uint64_t digests = 0;
        for (const Folder& folder : streams.folders)
            digests += folder.streams != 1 || !folder.digest ? folder.streams : 0;
        if (digests == 0)
            throw Malformed{};
        skip_digests(in, digests);
        next = in.byte();
    }
    if (next != 0x00)
        throw Malformed{};
}

// Pack information: where the packed streams lie.
void read_packing(HeaderReader& in, Streams& streams)
{
    streams.pack_position = in.number();
    const std::uint64_t count = in.count();
    if (count == 0 || in.byte() != 0x09)
        throw Malformed{};
    streams.first_pack_size = in.number();
    for (std::uint64_t i = 1; i < count; ++i)
        in.number();
    unsigned next = in.byte();
    if (next == 0x0A) {
        skip_digests(in, count);
        next = in.byte();
    }
    if (next != 0x00)
        throw Malformed{};
}

// The folders with their coders, unpack sizes and digests.
void read_folders(HeaderReader& in, Streams& streams)
{
    if (in.byte() != 0x0B)
        throw Malformed{};
    const std::uint64_t count = in.count();
    if (in.byte() != 0) { // folders elsewhere, which libarchive takes only when there are none
        in.count();
        if (count > 0)
            throw Malformed{};
    }
    for (std::uint64_t i = 0; i < count; ++i)
        streams.folders.push_back(read_folder(in));
    if (in.byte() != 0x0C)
        throw Malformed{};
    for (Folder& folder : streams.folders) {
        for (std::uint64_t i = 0; i < folder.outputs; ++i)
            folder.unpack_size = in.number();
    }
    unsigned next = in.byte();
    if (next == 0x0A) {
        skip_digests(in, count, &streams.folders);
        next = in.byte();
    }
    if (next != 0x00)
        throw Malformed{};
}

// Streams information, read as far as its end.
Streams read_streams(HeaderReader& in)
{
    Streams streams;
    unsigned next = in.byte();
    if (next == 0x06) {
        read_packing(in, streams);
        next = in.byte();
    }
    if (next == 0x07) {
        read_folders(in, streams);
        streams.unpack_streams = streams.folders.size();
        next = in.byte();
    }
    if (next == 0x08) {
        read_substreams(in, streams);
        next = in.byte();
    }
    if (next != 0x00)
        throw Malformed{};
    return streams;
}

// The memory a coder's decoder reserves, as its properties claim (0 for
// the other coders, whose need is small and fixed).
std::uint64_t coder_need(const Coder& coder)
{
    const auto* p = reinterpret_cast<const unsigned char*>(coder.properties.data());
    if (coder.id == ppmd && coder.properties.size() >= 5)
        return p[1] | p[2] << 8 | p[3] << 16 | std::uint64_t{p[4]} << 24;
    return coder.id == lzma1 || coder.id == lzma2 ? lzma_need(coder.id == lzma2, coder.properties) : 0;
}

bool coders_fit(const std::vector<Folder>& folders)
{
    return std::ranges::none_of(folders, [](const Folder& folder) {
        return std::ranges::any_of(
            folder.coders, [](const Coder& coder) { return coder_need(coder) > decoder_memory_limit; });
    });
}

// The header an encoded header's one LZMA or LZMA2 coder packs, decoded
// from the file in pieces, as far as the data goes.
std::string decode_header(const ReadableFile& file, const Streams& streams)
{
    const Folder& folder = streams.folders.at(0);
    const Coder& coder = folder.coders.at(0);
    lzma_filter filters[2] = {
        {coder.id == lzma1 ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    const auto* properties = reinterpret_cast<const std::uint8_t*>(coder.properties.data());
    if (lzma_properties_decode(&filters[0], nullptr, properties, coder.properties.size()) != LZMA_OK)
        throw Malformed{};
    lzma_stream stream = LZMA_STREAM_INIT;
    const lzma_ret started = lzma_raw_decoder(&stream, filters); // checked against the limit before
    std::free(filters[0].options);
    std::string header(folder.unpack_size, '\0');
    stream.next_out = reinterpret_cast<std::uint8_t*>(header.data());
    stream.avail_out = header.size();
    std::array<std::uint8_t, 64 * 1024> piece{};
    std::uint64_t at = 32 + streams.pack_position, left = std::min(streams.first_pack_size, file.length());
    for (lzma_ret result = started; result == LZMA_OK && stream.avail_out > 0 && left > 0;) {
        stream.avail_in = std::min<std::uint64_t>(piece.size(), left);
        stream.next_in = piece.data();
        file.read_at(at, piece.data(), stream.avail_in);
        at += stream.avail_in;
        left -= stream.avail_in;
        result = lzma_code(&stream, LZMA_RUN);
    }
    lzma_end(&stream);
    header.resize(header.size() - stream.avail_out); // libarchive gets no more where the data stops
    return header;
}

// The verdict on a header: its coders, its entries.
ArchiveFault main_header_fault(HeaderReader& in)
{
    unsigned next = in.byte();
    if (next == 0x02) {
        while (in.byte() != 0)
            in.number();
        next = in.byte();
    }
    Streams main;
    if (next == 0x04) {
        main = read_streams(in);
        next = in.byte();
    }
    if (!coders_fit(main.folders))
        return ArchiveFault::unsupported;
    const std::uint64_t entries = next == 0x05 ? in.count() : 0;
    return std::max(entries, main.unpack_streams) > entry_bound ? ArchiveFault::damaged : ArchiveFault::none;
}

// The fault of a 7z's header, decoded first where packed; unsupported
// also where it cannot be looked into (too long, packed by another coder).
ArchiveFault header_fault(const ReadableFile& file)
{
    std::array<unsigned char, 32> start{};
    file.read_at(0, start.data(), start.size());
    std::uint64_t offset = 0, size = 0;
    for (int i = 7; i >= 0; --i) {
        offset = offset << 8 | start[12 + i];
        size = size << 8 | start[20 + i];
    }
    const std::uint64_t length = file.length();
    if (size == 0 || offset > length || 32 + offset >= length)
        return ArchiveFault::none; // libarchive finds no entry or a damaged archive
    if (size > length - 32 - offset)
        return ArchiveFault::damaged; // libarchive would ask for as much as the size says
    if (size > header_limit)
        return ArchiveFault::unsupported;
    std::string bytes(size, '\0');
    file.read_at(32 + offset, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    HeaderReader plain(std::move(bytes));
    const unsigned kind = plain.byte();
    if (kind == 0x17) {
        const Streams packing = read_streams(plain);
        if (packing.folders.empty())
            throw Malformed{};
        const std::vector<Coder>& coders = packing.folders[0].coders;
        if (std::ranges::any_of(coders, [](const Coder& coder) { return coder.id == aes; }))
            return ArchiveFault::encrypted; // libarchive would ask for a passphrase
        if (coders.size() != 1 || (coders[0].id != lzma1 && coders[0].id != lzma2)
            || packing.folders[0].unpack_size > header_limit || !coders_fit(packing.folders))
            return ArchiveFault::unsupported;
        plain = HeaderReader(decode_header(file, packing));
        if (plain.byte() != 0x01)
            throw Malformed{};
    } else if (kind != 0x01) {
        return ArchiveFault::none;
    }
    return main_header_fault(plain);
}

} // namespace

ArchiveFault seven_zip_fault(const ReadableFile& file)
{
    std::array<char, 6> first{};
    file.read_at(0, reinterpret_cast<unsigned char*>(first.data()), first.size());
    try {
        return std::string_view(first.data(), first.size()) == "7z\xBC\xAF\x27\x1C" ? header_fault(file)
                                                                                    : ArchiveFault::none;
    } catch (const Malformed&) {
        return ArchiveFault::none;
    } catch (const TooMany&) {
        return ArchiveFault::damaged;
    }
}

} // namespace cartonym
