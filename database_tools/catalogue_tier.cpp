// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/catalogue_tier.h"

#include "database_tools/digest_cache.h"
#include "naming/file_names.h"

namespace cartonym {

const ContentDigest* Verification::digest() const
{
    if (!digests)
        return nullptr;
    return without_first_512 ? &*digests->without_first_512 : &digests->data;
}

namespace {

// The name without its extension.
std::string name_stem(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 ? name.substr(0, dot) : name;
}

} // namespace

std::string verified_file_name(
    const std::string& rom_name, const RomAnalysis& analysis, bool without_first_512, bool without_spaces)
{
    std::string name = rom_name;
    const std::string extension = analysis.Rom_ok ? (copier_header_length(analysis) > 0 ? analysis.Endung : "")
        : without_first_512                       ? ".smc"
                                                  : "";
    if (!extension.empty())
        name = name_stem(name) + extension;
    if (without_spaces)
        Baue_dateiname(name);
    return name;
}

Verification CatalogueTier::match(const CartridgeDigests& digests) const
{
    Verification verification;
    verification.digests = digests;
    for (const LoadedCatalogue& loaded : catalogues_) {
        const CatalogueEntry* entry = nullptr;
        if (digests.without_first_512)
            entry = loaded.catalogue.find(*digests.without_first_512);
        verification.without_first_512 = entry != nullptr;
        if (!entry)
            entry = loaded.catalogue.find(digests.data);
        if (entry) {
            verification.entry = entry;
            verification.catalogue = &loaded;
            return verification;
        }
    }
    verification.without_first_512 = false;
    return verification;
}

std::optional<CartridgeDigests> CatalogueTier::digests_of(
    const std::string& path, const RomAnalysis& analysis, const AnalysedFile& analysed) const
{
    if (!is_hashed(analysed.identity.size))
        return std::nullopt;
    std::optional<CartridgeDigests> digests;
    if (cache_)
        digests = cache_->find(path, analysed);
    if (!digests) {
        FileIdentity hashed;
        digests = cartridge_digests(path, analysis, &hashed);
        // Digests of a file that changed after its analysis are not kept.
        if (cache_ && hashed == analysed.identity)
            cache_->keep(path, analysed, *digests);
    }
    return digests;
}

namespace {

// An entry is kept in the cache under its archive's path and its own
// name, apart from any file's path by the NUL between them.
std::string entry_key(const std::string& path, const std::string& entry) { return path + '\0' + entry; }

} // namespace

bool EntryDigestTaker::wants(const std::string& entry, const RomAnalysis& analysis, std::string_view head)
{
    const bool later_image = analysis.Rom_ok && image_seen_;
    image_seen_ = image_seen_ || analysis.Rom_ok;
    if (later_image && !every_image_)
        return false;
    if (!identity_)
        identity_ = identity_of(path_);
    if (cache_ && cache_->find(entry_key(path_, entry), AnalysedFile{*identity_, std::string(head)}))
        return false;
    entry_ = entry;
    hasher_.emplace(analysis, std::nullopt);
    return true;
}

void EntryDigestTaker::take(std::string_view piece)
{
    hasher_->update(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
}

void EntryDigestTaker::end(bool whole)
{
    found_.insert_or_assign(entry_, whole ? std::optional(hasher_->finish()) : std::nullopt);
    hasher_.reset();
}

const std::optional<CartridgeDigests>* EntryDigestTaker::find(const std::string& entry) const
{
    const auto found = found_.find(entry);
    return found != found_.end() ? &found->second : nullptr;
}

std::optional<CartridgeDigests> CatalogueTier::entry_digests(
    const std::string& path, const std::string& entry, const RomAnalysis& analysis)
{
    CartridgeHasher hasher(analysis, std::nullopt);
    const ArchiveFault fault = stream_entry(path, entry, whole_entry_limit, [&](std::string_view piece) {
        hasher.update(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
    });
    // An entry too large, or whose archive turns out damaged past the
    // analysis's reading, has no digests.
    if (fault != ArchiveFault::none)
        return std::nullopt;
    return hasher.finish();
}

std::optional<CartridgeDigests> CatalogueTier::cached_entry_digests(const std::string& path, const std::string& entry,
    const RomAnalysis& analysis, const AnalysedFile& analysed, const EntryDigestTaker* taken) const
{
    const std::string key = entry_key(path, entry);
    if (cache_) {
        if (std::optional<CartridgeDigests> digests = cache_->find(key, analysed))
            return digests;
    }
    // Digests from the analysing pass, else from a pass of their own.
    const std::optional<CartridgeDigests>* in_pass = taken ? taken->find(entry) : nullptr;
    const FileIdentity before = in_pass ? taken->identity() : identity_of(path);
    const std::optional<CartridgeDigests> digests = in_pass ? *in_pass : entry_digests(path, entry, analysis);
    // Digests of an archive that changed since its analysis are not kept.
    if (digests && cache_ && before == analysed.identity && identity_of(path) == before)
        cache_->keep(key, analysed, *digests);
    return digests;
}

Verification CatalogueTier::verify_entry(const std::string& path, const std::string& entry, const RomAnalysis& analysis,
    bool without_spaces, const AnalysedFile& analysed, const EntryDigestTaker* taken) const
{
    const std::optional<CartridgeDigests> digests = cached_entry_digests(path, entry, analysis, analysed, taken);
    if (!digests)
        return {};
    Verification verification = match(*digests);
    if (verification.entry)
        verification.new_name =
            verified_file_name(verification.entry->rom_name, analysis, verification.without_first_512, without_spaces);
    return verification;
}

LookedAtFile CatalogueTier::look_at(const std::string& path, bool archives) const
{
    LookedAtFile look;
    look.entries = entry_taker(path, false);
    look.file = analyse_file(path, archives, &look.analysed, look.entries.get());
    return look;
}

LookedAtFile look_at_file(const std::string& path, bool archives, const CatalogueTier* tier)
{
    if (tier)
        return tier->look_at(path, archives);
    LookedAtFile look;
    look.file = analyse_file(path, archives);
    return look;
}

std::optional<CartridgeDigests> CatalogueTier::file_digests(const std::string& path, const LookedAtFile& look) const
{
    const FileAnalysis& file = look.file;
    if (file.archive == ArchiveKind::none)
        return digests_of(path, file.analysis, look.analysed);
    if (!file.entry.empty())
        return cached_entry_digests(path, file.entry, file.analysis, look.analysed, look.entries.get());
    if (file.candidate)
        return cached_entry_digests(
            path, file.candidate->entry, file.candidate->analysis, look.analysed, look.entries.get());
    return std::nullopt;
}

Verification CatalogueTier::verify_file(const std::string& path, const LookedAtFile& look, bool without_spaces) const
{
    const std::optional<CartridgeDigests> digests = file_digests(path, look);
    if (!digests)
        return {};
    Verification verification = match(*digests);
    if (!verification.entry)
        return verification;
    const FileAnalysis& file = look.file;
    const bool named_as_file = file.archive == ArchiveKind::none || file.entry.empty();
    const RomAnalysis& analysis = file.entry.empty() && file.candidate ? file.candidate->analysis : file.analysis;
    std::string name = named_as_file
        ? verified_file_name(verification.entry->rom_name, analysis, verification.without_first_512, false)
        : name_stem(verification.entry->rom_name) + file.analysis.Endung;
    // A rejected entry the catalogue knows is named as a rejected file,
    // whose extension then goes into the archive's.
    if (file.archive != ArchiveKind::none && file.entry.empty()) {
        const std::string stem = name_stem(name);
        name = stem + archive_name_extension(name.substr(stem.size()), file.archive);
    }
    if (without_spaces)
        Baue_dateiname(name);
    verification.new_name = std::move(name);
    return verification;
}

} // namespace cartonym
