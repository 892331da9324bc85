// SPDX-License-Identifier: GPL-3.0-or-later
// ROM catalogues: the game and rom names of cartridge dumps by their sums,
// read from a Logiqx XML file, a clrmamepro text file or an SMDB list, as
// a stream: only the entries are held, never the file or a document tree.
#pragma once

#include "database_tools/content_digest.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cartonym {

// One rom of one game. Names are UTF-8 as in the file.
struct CatalogueEntry {
    std::string game_name;
    std::string rom_name; // a plain file name: no "/", no "..", at most 255 bytes
    std::uint64_t size = 0;
    bool has_size = true; // an SMDB line of five columns has none: found by SHA-1 only
    std::optional<std::uint32_t> crc32;
    std::optional<Sha1> sha1;
    std::size_t game = 0; // the index of its game among the catalogue's games
    std::string parent;   // the game's parent (Logiqx and clrmamepro "cloneof"), "" for a parent or none
};

// Hands out the catalogue's bytes piece by piece from its start; an empty
// piece ends them.
using CatalogueBytes = std::function<std::string_view()>;

class RomCatalogue {
public:
    // Reads the file at path through the system-call seam in large pieces;
    // throws Error, whose what() (UTF-8) names the file and the place of the
    // fault: the error of reading, 52 for a text that is no catalogue, 61
    // for a file or a number of entries no catalogue reaches.
    static RomCatalogue read(const std::string& path);

    // A file larger than this is refused with error 61 before it is read.
    static constexpr std::uint64_t largest_file = std::uint64_t{1} << 30;
    // The entries held take at most about this much memory; beyond it the
    // catalogue is refused with error 61.
    static constexpr std::uint64_t largest_held = std::uint64_t{192} << 20;
    // Blocks of a clrmamepro file nest at most this deep.
    static constexpr int deepest_nesting = 16;

    // Parses catalogue text; file_name is used in messages and, for SMDB,
    // as the catalogue's name. The kind is told by the first character that
    // is not blank: "<" for Logiqx XML, a line of tab-separated columns for
    // SMDB, anything else must open a clrmamepro block.
    static RomCatalogue parse(std::string_view text, const std::string& file_name);
    // The same over bytes that open() hands out afresh from the start each
    // time it is called (twice: once to tell the kind, once to read).
    static RomCatalogue parse(const std::function<CatalogueBytes()>& open, const std::string& file_name);

    // The header's name and version ("" when it has none); an SMDB list is
    // named after its file.
    const std::string& name() const { return name_; }
    const std::string& version() const { return version_; }
    const std::vector<CatalogueEntry>& entries() const { return entries_; }
    std::size_t games() const { return games_; }
    // Whether any game names a parent: the catalogue has clone data.
    bool has_clones() const { return has_clones_; }

    // The malformed games and unusable entries that were skipped, each
    // "<file>: <place>: <what>; the game is skipped" (or "the entry is
    // skipped"), UTF-8, in file order.
    const std::vector<std::string>& faults() const { return faults_; }

    // The first entry, in file order, with this SHA-1; otherwise the first
    // entry without SHA-1 with this CRC32 and size; nullptr when none.
    const CatalogueEntry* find(const ContentDigest& digest) const;

    // The sums find needs.
    DigestKinds needed_kinds() const;

    // Used by the readers of each format.
    struct Builder;

private:
    std::string name_;
    std::string version_;
    std::vector<CatalogueEntry> entries_;
    std::vector<std::string> faults_;
    std::size_t games_ = 0;
    bool has_clones_ = false;
    std::map<Sha1, std::size_t> by_sha1_;
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::size_t> by_crc32_and_size_;
};

} // namespace cartonym
