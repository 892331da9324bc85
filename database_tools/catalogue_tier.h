// The first tier of identification: a file whose cartridge data a
// catalogue lists is verified and named after the catalogue's entry.
#pragma once

#include "analysis/archive_reader.h"
#include "analysis/rom_analysis.h"
#include "database_tools/content_digest.h"
#include "database_tools/rom_catalogue.h"

#include <optional>
#include <string>
#include <vector>

namespace cartonym {

class DigestCache;

// Which tier named a file: a catalogue, the corrections and the name
// database, or none.
enum class IdentifiedBy { none, catalogue, database };

// A catalogue in use, with the file it was read from.
struct LoadedCatalogue {
    std::string path;
    RomCatalogue catalogue;
};

// What the catalogues say about one file.
struct Verification {
    std::optional<CartridgeDigests> digests; // when the file was hashed
    const CatalogueEntry* entry = nullptr;   // the matching entry, nullptr when none
    const LoadedCatalogue* catalogue = nullptr;
    bool without_first_512 = false; // a rejected file matched without its first 512 bytes
    std::string new_name;           // UTF-8, in the chosen style; "" when no entry matches

    // The digest that matched, else that of the cartridge data.
    const ContentDigest* digest() const;
};

// The new name of a verified file: the rom name, whose extension becomes
// the analysis's for an image with a copier header and ".smc" for a
// rejected file matched without its first 512 bytes; every space "_" when
// without_spaces.
std::string verified_file_name(
    const std::string& rom_name, const RomAnalysis& analysis, bool without_first_512, bool without_spaces);

// The catalogues of one command, tried in their order; within one the
// first matching entry wins.
class CatalogueTier {
public:
    CatalogueTier(std::vector<LoadedCatalogue> catalogues, DigestCache* cache = nullptr)
        : catalogues_(std::move(catalogues))
        , cache_(cache)
    { }

    const std::vector<LoadedCatalogue>& catalogues() const { return catalogues_; }

    // Hashes the file at path (analysed as analysis, which met it as
    // analysed) when it is not too large, through the cache when there is
    // one, and looks its digests up. Throws Error when it cannot be read.
    Verification verify(
        const std::string& path, const RomAnalysis& analysis, const AnalysedFile& analysed, bool without_spaces) const;

    // The digests of the image entry named entry of the archive at path
    // (analysed as analysis), streamed whole once; nullopt for an entry too
    // large or that cannot be read whole. Throws Error when the archive
    // cannot be opened or read.
    static std::optional<CartridgeDigests> entry_digests(
        const std::string& path, const std::string& entry, const RomAnalysis& analysis);

    // Verifies the image entry named entry of the archive at path (see
    // entry_digests), through the cache when there is one and analysed
    // (the archive's identity and the entry's head) is given. The new name
    // is the rom name's stem with name_extension, the archive's; with "",
    // that of the image as a file (verified_file_name). Throws Error as
    // entry_digests.
    Verification verify_entry(const std::string& path, const std::string& entry, const RomAnalysis& analysis,
        const std::string& name_extension, bool without_spaces, const AnalysedFile* analysed = nullptr) const;

    // Verifies the file at path as analyse_file met it: read raw (see
    // verify), an archive of one image (see verify_entry), or an archive
    // of one entry the analysis rejects (named as a rejected file, its
    // extension then the archive's); other archives are not verified.
    Verification verify_file(
        const std::string& path, const FileAnalysis& file, const AnalysedFile& analysed, bool without_spaces) const;

    // The digests of the file at path (analysed as analysis, which met it
    // as analysed), through the cache when there is one; nullopt for a file
    // too large to be hashed. Throws Error when it cannot be read.
    std::optional<CartridgeDigests> digests_of(
        const std::string& path, const RomAnalysis& analysis, const AnalysedFile& analysed) const;

    // The first entry that matches the digests: the data's, or the
    // rejected file's without its first 512 bytes.
    Verification match(const CartridgeDigests& digests) const;

private:
    std::optional<CartridgeDigests> cached_entry_digests(const std::string& path, const std::string& entry,
        const RomAnalysis& analysis, const AnalysedFile* analysed) const;

    std::vector<LoadedCatalogue> catalogues_;
    DigestCache* cache_;
};

} // namespace cartonym
