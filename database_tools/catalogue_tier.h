// SPDX-License-Identifier: GPL-3.0-or-later
// The first tier of identification: a file whose cartridge data a
// catalogue lists is verified and named after the catalogue's entry.
#pragma once

#include "analysis/archive_reader.h"
#include "analysis/header_detection.h"
#include "database_tools/content_digest.h"
#include "database_tools/rom_catalogue.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// The digests of an archive's entries worked out in the pass that
// analyses it, for the entries the cache lacks: every image entry, or only
// what an archive of one image needs (its first image entry, and a first
// entry the analysis rejects).
class EntryDigestTaker final : public WholeEntryTaker {
public:
    EntryDigestTaker(std::string path, const DigestCache* cache, bool every_image)
        : path_(std::move(path))
        , cache_(cache)
        , every_image_(every_image)
    { }

    bool wants(const std::string& entry, const RomAnalysis& analysis, std::string_view head) override;
    void take(std::string_view piece) override;
    void end(bool whole) override;

    // What the pass made of entry: nullptr when it was not taken; nullopt
    // when it was taken but could not be read whole (too large, or its
    // archive damaged past its head), so that reading it again is no use.
    const std::optional<CartridgeDigests>* find(const std::string& entry) const;
    // The archive as it was before its first entry was taken.
    FileIdentity identity() const { return identity_.value_or(FileIdentity{}); }

private:
    std::string path_;
    const DigestCache* cache_;
    bool every_image_;
    bool image_seen_ = false;
    std::optional<FileIdentity> identity_;
    std::string entry_;
    std::optional<CartridgeHasher> hasher_;
    std::map<std::string, std::optional<CartridgeDigests>> found_;
};

// A file as the analysis met it, with what verifying it needs.
struct LookedAtFile {
    FileAnalysis file;
    AnalysedFile analysed;
    std::unique_ptr<EntryDigestTaker> entries; // digests worked out while an archive was analysed
};

// The catalogues of one command, tried in their order; within one the
// first matching entry wins.
class CatalogueTier {
public:
    CatalogueTier(std::vector<LoadedCatalogue> catalogues, DigestCache* cache = nullptr)
        : catalogues_(std::move(catalogues))
        , cache_(cache)
    { }

    const std::vector<LoadedCatalogue>& catalogues() const { return catalogues_; }

    // A taker of an archive's entries for the analysis of the archive at path.
    std::unique_ptr<EntryDigestTaker> entry_taker(const std::string& path, bool every_image) const
    {
        return std::make_unique<EntryDigestTaker>(path, cache_, every_image);
    }

    // Analyses the file at path as analyse_file does and, for an archive
    // of one image, works out the digests its entry lacks in that same
    // pass. Throws Error when the file cannot be opened or read.
    LookedAtFile look_at(const std::string& path, bool archives) const;

    // The digests of the file as look met it (through the cache when there
    // is one): a file read raw, the image of an archive of one image, or
    // an archive's only entry the analysis rejects; nullopt for other
    // archives and for a file or entry too large. Throws Error when it
    // cannot be read.
    std::optional<CartridgeDigests> file_digests(const std::string& path, const LookedAtFile& look) const;

    // Verifies the file as look met it (see file_digests): a file read raw
    // is named as verified_file_name says, an archive of one image after
    // the rom name's stem with its own extension, and an archive's only
    // entry the analysis rejects as a rejected file, its extension then
    // the archive's.
    Verification verify_file(const std::string& path, const LookedAtFile& look, bool without_spaces) const;

    // The digests of the image entry named entry of the archive at path
    // (analysed as analysis), streamed whole once; nullopt for an entry too
    // large or that cannot be read whole. Throws Error when the archive
    // cannot be opened or read.
    static std::optional<CartridgeDigests> entry_digests(
        const std::string& path, const std::string& entry, const RomAnalysis& analysis);

    // Verifies the image entry named entry of the archive at path: with
    // the digests the taker worked out, else those of entry_digests,
    // through the cache when there is one and analysed (the archive's
    // identity and the entry's head) is given. It is named as a file
    // (verified_file_name). Throws Error as entry_digests.
    Verification verify_entry(const std::string& path, const std::string& entry, const RomAnalysis& analysis,
        bool without_spaces, const AnalysedFile& analysed, const EntryDigestTaker* taken) const;

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
        const RomAnalysis& analysis, const AnalysedFile& analysed, const EntryDigestTaker* taken) const;

    std::vector<LoadedCatalogue> catalogues_;
    DigestCache* cache_;
};

// A file as the analysis met it: through the tier's look_at when there
// is one, else analysed without digests.
LookedAtFile look_at_file(const std::string& path, bool archives, const CatalogueTier* tier);

} // namespace cartonym
