// SPDX-License-Identifier: GPL-3.0-or-later
// What the readers of the three catalogue formats share: the catalogue
// being built, the faults and their places, and the bytes one by one.
#pragma once

#include "common/error.h"
#include "database_tools/rom_catalogue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// Stops reading: the file is no catalogue (52) at place.
[[noreturn]] void catalogue_fault(const std::string& file_name, const std::string& place, const std::string& what);

// The fields of one rom as the file gives them.
struct RomFields {
    std::optional<std::string_view> name, size, crc32, sha1;
};

struct RomCatalogue::Builder {
    RomCatalogue& catalogue;
    const std::string& file_name;
    std::uint64_t held = 0;

    // The entry of one rom; nothing for a rom without any sum (a missing
    // dump) or without a usable file name (noted as a fault). Throws Error
    // for a malformed field, which marks its game.
    void add_rom(std::vector<CatalogueEntry>& game, const std::string& game_name, const RomFields& rom,
        const std::string& place);

    // Adds the entries that roms gives, or, when roms throws Error for a
    // malformed one, notes the fault and adds none of them.
    template <typename Roms> void add_game(Roms&& roms)
    {
        std::vector<CatalogueEntry> game;
        try {
            roms(game);
        } catch (const Error& fault) {
            catalogue.faults_.push_back(std::string(fault.what()) + "; the game is skipped");
            return;
        }
        keep(std::move(game));
    }

    void keep(std::vector<CatalogueEntry> game);
    // Gives every rom of a game the game's parent ("cloneof"), at most as
    // long as a name.
    static void set_parent(std::vector<CatalogueEntry>& game, std::optional<std::string_view> parent);
    void set_header(std::string name, std::string version);
};

// The bytes of a catalogue one at a time, fetched piece by piece.
class CatalogueChars {
public:
    explicit CatalogueChars(const CatalogueBytes& bytes)
        : bytes_(bytes)
    { }
    // The next byte without taking it; -1 at the end.
    int peek()
    {
        if (at_ == piece_.size()) {
            piece_ = bytes_();
            at_ = 0;
            if (piece_.empty())
                return -1;
        }
        return static_cast<unsigned char>(piece_[at_]);
    }
    int get()
    {
        const int c = peek();
        if (c >= 0)
            ++at_;
        return c;
    }

private:
    const CatalogueBytes& bytes_;
    std::string_view piece_;
    std::size_t at_ = 0;
};

inline bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The readers of each format, given the bytes from the start of the file
// (after a UTF-8 byte order mark but for XML, which reads its own).
void read_logiqx(const CatalogueBytes& bytes, RomCatalogue::Builder& builder);
void read_clrmamepro(const CatalogueBytes& bytes, RomCatalogue::Builder& builder);
void read_smdb(const CatalogueBytes& bytes, RomCatalogue::Builder& builder);

} // namespace cartonym
