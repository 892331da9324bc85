// ROM catalogues: the game names of cartridge dumps by their sums, read from
// a Logiqx XML file or a clrmamepro text file.
#pragma once

#include "database_tools/content_digest.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cartonym {

// One rom of one game. The name is the game's, UTF-8 as in the file.
struct CatalogueEntry {
    std::string game_name;
    std::uint64_t size = 0;
    std::optional<std::uint32_t> crc32;
    std::optional<Sha1> sha1;
};

class RomCatalogue {
public:
    // Reads the file at path; throws Error, whose what() (UTF-8) names the
    // file and the place of the fault: the error of reading, or 52 for a
    // text that is no catalogue.
    static RomCatalogue read(const std::string& path);

    // What read() will hold: real catalogues are a few MiB; a larger file
    // is refused with error 61, so that no file can exhaust the memory. An
    // XML catalogue's parsed tree takes up to 18 times its text.
    static constexpr std::uint64_t largest_text = std::uint64_t{8} << 20;
    static constexpr std::uint64_t largest_xml_text = std::uint64_t{3} << 20;
    // Blocks of a clrmamepro file nest at most this deep.
    static constexpr int deepest_nesting = 16;

    // Parses catalogue text; file_name is used in error messages. The kind is
    // told by the first character that is not blank: "<" for Logiqx XML,
    // anything else must open a clrmamepro block.
    static RomCatalogue parse(std::string_view text, const std::string& file_name);

    const std::vector<CatalogueEntry>& entries() const { return entries_; }

    // The malformed games that were skipped, each "<file>: <place>: <what>;
    // the game is skipped" (UTF-8), in file order.
    const std::vector<std::string>& faults() const { return faults_; }

    // The first entry, in file order, with this SHA-1; otherwise the first
    // entry without SHA-1 with this CRC32 and size; nullptr when none.
    const CatalogueEntry* find(const ContentDigest& digest) const;

    // The sums Find needs.
    DigestKinds needed_kinds() const;

private:
    void add(CatalogueEntry entry);

    std::vector<CatalogueEntry> entries_;
    std::vector<std::string> faults_;
    std::map<Sha1, std::size_t> by_sha1_;
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::size_t> by_crc32_and_size_;
};

} // namespace cartonym
