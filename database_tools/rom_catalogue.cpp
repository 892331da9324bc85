// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/rom_catalogue.h"

#include "analysis/archive_reader.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "database_tools/catalogue_reading.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace cartonym {

void catalogue_fault(const std::string& file_name, const std::string& place, const std::string& what)
{
    throw Error(ErrorNumber::bad_file_name, file_name + ": " + place + ": " + what);
}

namespace {

// Hexadecimal digits into bytes; nullopt unless there are exactly 2 * N.
template <std::size_t N> std::optional<std::array<unsigned char, N>> parse_hex_bytes(std::string_view text)
{
    if (text.size() != 2 * N)
        return std::nullopt;
    std::array<unsigned char, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const auto [end, error] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, bytes[i], 16);
        if (error != std::errc() || end != text.data() + 2 * i + 2)
            return std::nullopt;
    }
    return bytes;
}

template <typename Number> std::optional<Number> parse_number(std::string_view text, int base, std::size_t longest)
{
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || text.size() > longest || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A rom name the batch run can give a file in its output folder: no path
// ("/", "\\", or "." or ".." as a whole; dots inside a name such as "Tensei
// if... (Japan).sfc" are fine), at most 255 bytes, also once its extension
// is replaced by the longest a new name gets (".smc.gz", ".tar.gz").
bool usable_rom_name(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    const std::size_t stem = dot != std::string_view::npos && dot > 0 ? dot : name.size();
    return !name.empty() && name != "." && name != ".." && name.size() <= 255 && stem + 7 <= 255
        && name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

} // namespace

void RomCatalogue::Builder::add_rom(
    std::vector<CatalogueEntry>& game, const std::string& game_name, const RomFields& rom, const std::string& place)
{
    if (!rom.crc32 && !rom.sha1)
        return;
    CatalogueEntry entry;
    entry.game_name = game_name;
    if (rom.size) {
        const auto size = parse_number<std::uint64_t>(*rom.size, 10, 20);
        if (!size)
            catalogue_fault(file_name, place, "the size \"" + std::string(*rom.size) + "\" is not a decimal number");
        entry.size = *size;
    } else if (!rom.sha1) {
        catalogue_fault(file_name, place, "the rom of \"" + game_name + "\" has no size");
    } else {
        entry.has_size = false;
    }
    if (rom.crc32) {
        entry.crc32 = parse_number<std::uint32_t>(*rom.crc32, 16, 8);
        if (!entry.crc32)
            catalogue_fault(
                file_name, place, "the crc \"" + std::string(*rom.crc32) + "\" is not a CRC32 in hexadecimal digits");
    }
    if (rom.sha1) {
        entry.sha1 = parse_hex_bytes<20>(*rom.sha1);
        if (!entry.sha1)
            catalogue_fault(
                file_name, place, "the sha1 \"" + std::string(*rom.sha1) + "\" is not 40 hexadecimal digits");
    }
    const std::string_view rom_name = rom.name.value_or("");
    if (!usable_rom_name(rom_name)) {
        catalogue.faults_.push_back(file_name + ": " + place + ": the rom name \"" + std::string(rom_name)
            + "\" is no plain file name of at most 255 bytes (248 before its extension); the entry is skipped");
        return;
    }
    entry.rom_name = rom_name;
    game.push_back(std::move(entry));
}

void RomCatalogue::Builder::keep(std::vector<CatalogueEntry> game)
{
    if (game.empty())
        return;
    const std::size_t index = catalogue.games_++;
    for (CatalogueEntry& entry : game) {
        // The entry, its names and its place in an index.
        held += sizeof(CatalogueEntry) + entry.game_name.capacity() + entry.rom_name.capacity()
            + entry.parent.capacity() + 64;
        if (held > largest_held)
            throw Error(ErrorNumber::disk_full,
                file_name + ": cannot be read: more entries than a catalogue holds: Error Nr. 61 (Disk full)");
        entry.game = index;
        catalogue.has_clones_ = catalogue.has_clones_ || !entry.parent.empty();
        const std::size_t at = catalogue.entries_.size();
        if (entry.sha1)
            catalogue.by_sha1_.try_emplace(*entry.sha1, at);
        else
            catalogue.by_crc32_and_size_.try_emplace({*entry.crc32, entry.size}, at);
        catalogue.entries_.push_back(std::move(entry));
    }
}

void RomCatalogue::Builder::set_parent(std::vector<CatalogueEntry>& game, std::optional<std::string_view> parent)
{
    // A parent name longer than any game name is no name: ignored.
    if (!parent || parent->empty() || parent->size() > 4096)
        return;
    for (CatalogueEntry& entry : game)
        entry.parent = *parent;
}

void RomCatalogue::Builder::set_header(std::string name, std::string version)
{
    catalogue.name_ = std::move(name);
    catalogue.version_ = std::move(version);
}

namespace {

enum class CatalogueKind { empty, logiqx, smdb, clrmamepro };

// The kind, told from the first bytes that are not blank: "<", or a first
// line of tab-separated columns that begins with 64 hexadecimal digits.
// marked tells whether a UTF-8 byte order mark comes first.
CatalogueKind kind_of(const CatalogueBytes& bytes, std::size_t& lines, bool& marked)
{
    CatalogueChars chars(bytes);
    static constexpr int mark[] = {0xEF, 0xBB, 0xBF};
    int matched = 0;
    while (matched < 3 && chars.peek() == mark[matched]) {
        chars.get();
        ++matched;
    }
    marked = matched == 3;
    lines = 1;
    if (matched > 0 && !marked)
        return CatalogueKind::clrmamepro; // a broken mark, which that reader refuses
    while (is_blank(chars.peek()))
        lines += chars.get() == '\n' ? 1 : 0;
    if (chars.peek() < 0)
        return CatalogueKind::empty;
    if (chars.peek() == '<')
        return CatalogueKind::logiqx;
    std::string first;
    while (first.size() < 65 && chars.peek() >= 0 && chars.peek() != '\n')
        first += static_cast<char>(chars.get());
    const bool hex = first.size() == 65 && first[64] == '\t' && std::all_of(first.begin(), first.end() - 1, [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
    });
    return hex ? CatalogueKind::smdb : CatalogueKind::clrmamepro;
}

// The bytes after a UTF-8 byte order mark, when marked; pieces may split it.
CatalogueBytes without_byte_order_mark(const CatalogueBytes& bytes, bool marked)
{
    return [&bytes, left = std::size_t{marked ? 3U : 0U}]() mutable {
        std::string_view piece = bytes();
        while (left > 0 && !piece.empty()) {
            const std::size_t count = std::min(left, piece.size());
            piece.remove_prefix(count);
            left -= count;
            if (piece.empty())
                piece = bytes();
        }
        return piece;
    };
}

} // namespace

RomCatalogue RomCatalogue::parse(const std::function<CatalogueBytes()>& open, const std::string& file_name)
{
    std::size_t lines = 0;
    bool marked = false;
    const CatalogueKind kind = kind_of(open(), lines, marked);
    if (kind == CatalogueKind::empty)
        catalogue_fault(file_name, "line " + std::to_string(lines),
            "the file is empty: neither a Logiqx XML catalogue nor a clrmamepro catalogue");
    RomCatalogue catalogue;
    Builder builder{catalogue, file_name};
    const CatalogueBytes bytes = open();
    if (kind == CatalogueKind::logiqx)
        read_logiqx(bytes, builder);
    else if (kind == CatalogueKind::smdb)
        read_smdb(without_byte_order_mark(bytes, marked), builder);
    else
        read_clrmamepro(without_byte_order_mark(bytes, marked), builder);
    return catalogue;
}

RomCatalogue RomCatalogue::parse(std::string_view text, const std::string& file_name)
{
    return parse(
        [text]() -> CatalogueBytes {
            return [text, given = false]() mutable {
                const bool first = !given;
                given = true;
                return first ? text : std::string_view();
            };
        },
        file_name);
}

namespace {

// The most bytes a packed catalogue may inflate to: it is held whole.
constexpr std::uint64_t largest_packed = std::uint64_t{256} << 20;

// The catalogue a zip, 7z or gzip of that one file holds, inflated; nullopt
// for a file that is no archive. Throws Error for an archive of another
// kind of content.
std::optional<std::string> packed_catalogue(const std::string& path)
{
    if (archive_kind_of_file(path) == ArchiveKind::none)
        return std::nullopt;
    std::string whole;
    ArchiveFault fault = ArchiveFault::none;
    std::size_t files = 0;
    const ArchiveFault error = read_archive(path, [&](const ArchiveEntry& entry) {
        if (++files == 1) {
            whole.assign(entry.head);
            fault = entry.read_rest(largest_packed, [&whole](std::string_view piece) { whole.append(piece); });
        }
    });
    if (files > 1)
        throw Error(ErrorNumber::bad_file_name,
            path + ": the archive holds " + std::to_string(files) + " files, not one catalogue");
    if (files == 0 || error != ArchiveFault::none || fault != ArchiveFault::none)
        throw Error(ErrorNumber::bad_file_name,
            path + ": the archive cannot be read: "
                + (files == 0 ? "empty" : archive_fault_text(error != ArchiveFault::none ? error : fault)));
    return whole;
}

} // namespace

RomCatalogue RomCatalogue::read(const std::string& path)
{
    // Pieces of this size keep the reads few and the memory small.
    constexpr std::size_t Piece = 1 << 20;
    std::optional<ReadableFile> file;
    try {
        file.emplace(path);
        if (file->length() > largest_file)
            throw Error(ErrorNumber::disk_full);
    } catch (const Error& error) {
        throw Error(error.number(), path + ": cannot be read: " + short_error_text(error));
    }
    // A packed catalogue is read from its inflated bytes.
    if (const std::optional<std::string> packed = packed_catalogue(path)) {
        return parse(
            [&packed]() -> CatalogueBytes {
                return [&packed, given = false]() mutable {
                    return std::exchange(given, true) ? std::string_view() : std::string_view(*packed);
                };
            },
            path);
    }
    std::string buffer(Piece, '\0');
    const auto open = [&]() -> CatalogueBytes {
        return [&, position = std::uint64_t{0}]() mutable {
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(Piece, file->length() - position));
            try {
                file->read_at(position, reinterpret_cast<unsigned char*>(buffer.data()), size);
            } catch (const Error& error) {
                throw Error(error.number(), path + ": cannot be read: " + short_error_text(error));
            }
            position += size;
            return std::string_view(buffer.data(), size);
        };
    };
    return parse(open, path);
}

const CatalogueEntry* RomCatalogue::find(const ContentDigest& digest) const
{
    if (const auto found = by_sha1_.find(digest.sha1); found != by_sha1_.end())
        return &entries_[found->second];
    if (const auto found = by_crc32_and_size_.find({digest.crc32, digest.size}); found != by_crc32_and_size_.end())
        return &entries_[found->second];
    return nullptr;
}

DigestKinds RomCatalogue::needed_kinds() const { return {!by_sha1_.empty(), !by_crc32_and_size_.empty()}; }

// --- SMDB ------------------------------------------------------------------

void read_smdb(const CatalogueBytes& bytes, RomCatalogue::Builder& builder)
{
    builder.set_header(base_name(builder.file_name), "");
    CatalogueChars chars(bytes);
    std::string line;
    for (std::size_t number = 1; chars.peek() >= 0; ++number) {
        line.clear();
        for (int c = chars.get(); c >= 0 && c != '\n'; c = chars.get()) {
            if (line.size() > 65536)
                catalogue_fault(builder.file_name, "line " + std::to_string(number), "a line over 64 KiB");
            line += static_cast<char>(c);
        }
        if (line.ends_with('\r'))
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        std::vector<std::string_view> columns;
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            columns.push_back(std::string_view(line).substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        builder.add_game([&](std::vector<CatalogueEntry>& game) {
            const std::string place = "line " + std::to_string(number);
            if (columns.size() != 5 && columns.size() != 6)
                catalogue_fault(builder.file_name, place,
                    "a line of " + std::to_string(columns.size()) + " columns, not the 5 or 6 of an SMDB list");
            const std::string rom_name = base_name(std::string(columns[1]));
            const std::string game_name = rom_name.substr(0, std::min(rom_name.rfind('.'), rom_name.size()));
            RomFields rom{rom_name, std::nullopt, columns[4], columns[2]};
            if (columns.size() == 6)
                rom.size = columns[5];
            builder.add_rom(game, game_name, rom, place);
        });
    }
}

} // namespace cartonym
