// SPDX-License-Identifier: GPL-3.0-or-later
// A zip's central directory, found and read as libarchive's seeking zip
// reader finds and reads it, so that the entries checked here are the
// entries it visits; each entry's local header names the method it is
// decoded by and where its data begins.
#include "analysis/archive_limits.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace cartonym {

std::string archive_fault_text(ArchiveFault fault)
{
    switch (fault) {
    case ArchiveFault::none: break;
    case ArchiveFault::damaged: return "damaged";
    case ArchiveFault::encrypted: return "encrypted";
    case ArchiveFault::unsupported: return "unsupported";
    case ArchiveFault::too_many_entries: return "more than 1000 entries";
    case ArchiveFault::too_large: return "too large";
    case ArchiveFault::missing: return "missing";
    case ArchiveFault::ambiguous: return "ambiguous";
    }
    return "";
}

std::uint64_t lzma_need(bool lzma2, std::string_view properties)
{
    lzma_filter filters[2] = {{lzma2 ? LZMA_FILTER_LZMA2 : LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(properties.data());
    if (lzma_properties_decode(&filters[0], nullptr, bytes, properties.size()) != LZMA_OK)
        return 0;
    const std::uint64_t need = lzma_raw_decoder_memusage(filters);
    std::free(filters[0].options);
    return need == UINT64_MAX ? 0 : need;
}

namespace {

std::string bytes_at(const ReadableFile& file, std::uint64_t offset, std::size_t count)
{
    std::string bytes(count, '\0');
    file.read_at(offset, reinterpret_cast<unsigned char*>(bytes.data()), count);
    return bytes;
}

std::uint64_t little_endian(std::string_view bytes, std::size_t at, int width)
{
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

struct Directory {
    std::uint64_t offset = 0;   // as recorded
    std::uint64_t adjusted = 0; // where libarchive starts looking for it
};

// The Zip64 end record a locator points to, where it passes libarchive's checks.
std::optional<Directory> zip64_directory(const ReadableFile& file, std::string_view locator)
{
    if (little_endian(locator, 4, 4) != 0 || little_endian(locator, 16, 4) != 1)
        return std::nullopt;
    const std::string record = bytes_at(file, little_endian(locator, 8, 8), 56);
    const std::uint64_t size = little_endian(record, 4, 8) + 12;
    if (size < 56 || size > 16384 || little_endian(record, 16, 4) != 0 || little_endian(record, 20, 4) != 0
        || little_endian(record, 24, 8) != little_endian(record, 32, 8))
        return std::nullopt;
    const std::uint64_t offset = little_endian(record, 48, 8);
    return Directory{offset, offset};
}

// The central directory the last end record within the last 16 KiB names.
std::optional<Directory> find_directory(const ReadableFile& file)
{
    const std::uint64_t length = file.length();
    const auto tail = static_cast<std::size_t>(std::min<std::uint64_t>(16384, length));
    const std::string end = bytes_at(file, length - tail, tail);
    for (std::size_t i = tail < 22 ? 0 : tail - 22; i > 0; --i) {
        if (end.compare(i, 4, "PK\x05\x06") != 0)
            continue;
        const std::string_view record = std::string_view(end).substr(i);
        const std::uint64_t size = little_endian(record, 12, 4), offset = little_endian(record, 16, 4);
        const std::uint64_t at = length - tail + i;
        if (little_endian(record, 4, 2) != 0 || little_endian(record, 6, 2) != 0
            || little_endian(record, 10, 2) != little_endian(record, 8, 2) || offset + size > at)
            return std::nullopt;
        if (i >= 20 && end.compare(i - 20, 4, "PK\x06\x07") == 0) {
            if (const auto zip64 = zip64_directory(file, std::string_view(end).substr(i - 20)))
                return zip64;
        }
        return Directory{offset, at - size};
    }
    return std::nullopt;
}

// Where the directory really starts: its first signature at or after the
// adjusted place (archives with bytes put in front are offset by as many).
std::optional<std::uint64_t> directory_start(const ReadableFile& file, std::uint64_t from)
{
    constexpr std::size_t piece = 64 * 1024;
    for (std::uint64_t at = from; at < file.length(); at += piece - 3) {
        const std::string bytes = bytes_at(file, at, piece);
        for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
            if (bytes.compare(i, 2, "PK") == 0
                && (bytes.compare(i + 2, 2, "\x01\x02") == 0 || bytes.compare(i + 2, 2, "\x05\x06") == 0
                    || bytes.compare(i + 2, 2, "\x06\x06") == 0))
                return at + i;
        }
    }
    return std::nullopt;
}

struct ZipEntry {
    std::uint64_t local = 0;
    std::uint64_t compressed = 0;
    unsigned method = 0;
    std::uint32_t crc = 0;
};

// A Zip64 extra field's values stand in for the 32-bit ones that are all ones.
void apply_zip64(std::string_view extra, std::initializer_list<std::uint64_t*> fields)
{
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::size_t size = little_endian(extra, at + 2, 2);
        std::string_view data = extra.substr(at + 4, std::min(size, extra.size() - at - 4));
        at += 4 + size;
        if (little_endian(extra, at - 4 - size, 2) != 0x0001)
            continue;
        for (std::uint64_t* field : fields) {
            if (*field == 0xFFFFFFFF && data.size() >= 8) {
                *field = little_endian(data, 0, 8);
                data.remove_prefix(8);
            }
        }
        return;
    }
}

// The entries of the central directory, in its order.
std::vector<ZipEntry> directory_entries(const ReadableFile& file)
{
    std::vector<ZipEntry> entries;
    const auto directory = find_directory(file);
    const auto start = directory ? directory_start(file, directory->adjusted) : std::nullopt;
    if (!start)
        return entries;
    const std::uint64_t correction = *start - directory->offset;
    for (std::uint64_t at = *start; entries.size() < (1U << 20);) {
        const std::string header = bytes_at(file, at, 46);
        if (header.compare(0, 4, "PK\x01\x02") != 0)
            break;
        const std::size_t name = little_endian(header, 28, 2), extra = little_endian(header, 30, 2);
        ZipEntry entry{little_endian(header, 42, 4) + correction, little_endian(header, 20, 4),
            static_cast<unsigned>(little_endian(header, 10, 2)),
            static_cast<std::uint32_t>(little_endian(header, 16, 4))};
        std::uint64_t uncompressed = little_endian(header, 24, 4);
        apply_zip64(bytes_at(file, at + 46 + name, extra), {&uncompressed, &entry.compressed, &entry.local});
        entries.push_back(entry);
        at += 46 + name + extra + little_endian(header, 32, 2);
    }
    return entries;
}

} // namespace

ZipDecoders::ZipDecoders(const ReadableFile& file)
{
    std::vector<ZipEntry> entries = directory_entries(file);
    std::stable_sort(
        entries.begin(), entries.end(), [](const ZipEntry& a, const ZipEntry& b) { return a.local < b.local; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                      [](const ZipEntry& a, const ZipEntry& b) { return a.local == b.local; }),
        entries.end());
    entries.resize(std::min(entries.size(), entry_limit + 1));
    for (const ZipEntry& entry : entries) {
        const std::string local = bytes_at(file, entry.local, 30);
        if (local.compare(0, 4, "PK\x03\x04") != 0)
            continue; // libarchive finds it damaged before decoding
        const std::size_t name = little_endian(local, 26, 2), extra = little_endian(local, 28, 2);
        const std::uint64_t data = entry.local + 30 + name + extra;
        std::uint64_t uncompressed = little_endian(local, 22, 4), compressed = little_endian(local, 18, 4);
        apply_zip64(bytes_at(file, entry.local + 30 + name, extra), {&uncompressed, &compressed});
        compressed = compressed != 0 ? compressed : entry.compressed;
        const auto method = static_cast<unsigned>(little_endian(local, 8, 2));
        const auto crc = static_cast<std::uint32_t>(little_endian(local, 14, 4));
        data_.push_back({data, compressed, method, crc != 0 ? crc : entry.crc});
        if ((little_endian(local, 6, 2) & 0x41) != 0 || compressed == 0)
            continue; // encrypted: never decoded without a passphrase; empty: nothing to decode
        fault_ = zip_stream_fault(method, file, data, compressed);
        if (fault_ == ArchiveFault::none && entry.method != method)
            fault_ = zip_stream_fault(entry.method, file, data, compressed);
        if (fault_ != ArchiveFault::none)
            break;
    }
    std::sort(data_.begin(), data_.end(), [](const ZipData& a, const ZipData& b) { return a.offset < b.offset; });
}

const ZipData* ZipDecoders::checked(std::uint64_t data_offset) const
{
    const auto found = std::lower_bound(data_.begin(), data_.end(), data_offset,
        [](const ZipData& data, std::uint64_t offset) { return data.offset < offset; });
    return found != data_.end() && found->offset == data_offset ? &*found : nullptr;
}

} // namespace cartonym
