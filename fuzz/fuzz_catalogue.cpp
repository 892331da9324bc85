// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the ROM catalogue readers (Logiqx XML, clrmamepro, SMDB).
// The text is parsed whole and once more handed out in small pieces through
// one reused buffer, as a file is read; both must give the same catalogue or
// the same error, and neither may crash. Every entry with a SHA-1 must be
// found by it.
//
// Input: 1 byte piece length (1-64), then the catalogue text.
#include "common/error.h"
#include "database_tools/rom_catalogue.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// What a parse gives: the catalogue, or the error it threw.
struct Outcome {
    template <typename Parse> explicit Outcome(Parse parse)
    {
        try {
            catalogue = parse();
        } catch (const cartonym::Error& error) {
            number = error.value();
            message = error.what();
        }
    }
    std::optional<cartonym::RomCatalogue> catalogue;
    int number = 0;
    std::string message;
};

bool same_entry(const cartonym::CatalogueEntry& a, const cartonym::CatalogueEntry& b)
{
    return a.game_name == b.game_name && a.rom_name == b.rom_name && a.size == b.size && a.has_size == b.has_size
        && a.crc32 == b.crc32 && a.sha1 == b.sha1 && a.game == b.game;
}

void check_same(const cartonym::RomCatalogue& a, const cartonym::RomCatalogue& b)
{
    check(a.name() == b.name() && a.version() == b.version() && a.games() == b.games());
    check(a.faults() == b.faults() && a.entries().size() == b.entries().size());
    for (std::size_t i = 0; i < a.entries().size(); ++i)
        check(same_entry(a.entries()[i], b.entries()[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data_bytes, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::size_t piece_length = 1 + data_bytes[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data_bytes) + 1, size - 1);

    const Outcome whole([&] { return cartonym::RomCatalogue::parse(text, "fuzz.dat"); });

    // Pieces copied into one buffer that each new piece overwrites.
    std::vector<char> buffer(piece_length);
    const auto open = [&]() -> cartonym::CatalogueBytes {
        return [&, at = std::size_t{0}]() mutable {
            const std::size_t count = std::min(piece_length, text.size() - at);
            std::memset(buffer.data(), '?', buffer.size());
            std::memcpy(buffer.data(), text.data() + at, count);
            at += count;
            return std::string_view(buffer.data(), count);
        };
    };
    const Outcome pieces([&] { return cartonym::RomCatalogue::parse(open, "fuzz.dat"); });

    // Expat's own verdict on malformed XML may differ with where the pieces
    // end (a bad token or junk after the root); the readers' own may not.
    const bool from_expat = whole.message.find("not well-formed XML: ") != std::string::npos
        || whole.message.find("inside the XML") != std::string::npos;
    if (whole.number != pieces.number || (!from_expat && whole.message != pieces.message)) {
        std::fprintf(stderr, "whole: %d %s\npieces: %d %s\n", whole.number, whole.message.c_str(), pieces.number,
            pieces.message.c_str());
        std::abort();
    }
    if (!whole.catalogue) {
        check(whole.number == 52 || whole.number == 61); // no catalogue, or too large a one
        return 0;
    }
    check_same(*whole.catalogue, *pieces.catalogue);
    for (const cartonym::CatalogueEntry& entry : whole.catalogue->entries()) {
        if (!entry.sha1)
            continue;
        const cartonym::CatalogueEntry* found =
            whole.catalogue->find({entry.size, entry.crc32.value_or(0), *entry.sha1});
        check(found != nullptr && found->sha1 == entry.sha1);
    }
    return 0;
}
