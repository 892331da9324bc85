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

Verification CatalogueTier::verify(
    const std::string& path, const RomAnalysis& analysis, const AnalysedFile& analysed, bool without_spaces) const
{
    const std::optional<CartridgeDigests> digests = digests_of(path, analysis, analysed);
    if (!digests)
        return {};
    Verification verification = match(*digests);
    if (verification.entry)
        verification.new_name =
            verified_file_name(verification.entry->rom_name, analysis, verification.without_first_512, without_spaces);
    return verification;
}

std::optional<CartridgeDigests> CatalogueTier::entry_digests(
    const std::string& path, const std::string& entry, const RomAnalysis& analysis)
{
    CartridgeHasher hasher(analysis, std::nullopt);
    const std::string fault = stream_entry(path, entry, whole_entry_limit, [&](std::string_view piece) {
        hasher.update(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
    });
    // An entry too large, or whose archive turns out damaged past the
    // analysis's reading, has no digests.
    if (!fault.empty())
        return std::nullopt;
    return hasher.finish();
}

std::optional<CartridgeDigests> CatalogueTier::cached_entry_digests(
    const std::string& path, const std::string& entry, const RomAnalysis& analysis, const AnalysedFile* analysed) const
{
    if (!cache_ || !analysed)
        return entry_digests(path, entry, analysis);
    // An entry is kept under its archive's path and its own name, apart
    // from any file's path by the NUL between them.
    const std::string key = path + '\0' + entry;
    std::optional<CartridgeDigests> digests = cache_->find(key, *analysed);
    if (digests)
        return digests;
    const FileIdentity before = identity_of(path);
    digests = entry_digests(path, entry, analysis);
    // Digests of an archive that changed since its analysis are not kept.
    if (digests && before == analysed->identity && identity_of(path) == before)
        cache_->keep(key, *analysed, *digests);
    return digests;
}

Verification CatalogueTier::verify_entry(const std::string& path, const std::string& entry, const RomAnalysis& analysis,
    const std::string& name_extension, bool without_spaces, const AnalysedFile* analysed) const
{
    const std::optional<CartridgeDigests> digests = cached_entry_digests(path, entry, analysis, analysed);
    if (!digests)
        return {};
    Verification verification = match(*digests);
    if (verification.entry && name_extension.empty()) {
        verification.new_name =
            verified_file_name(verification.entry->rom_name, analysis, verification.without_first_512, without_spaces);
    } else if (verification.entry) {
        verification.new_name = name_stem(verification.entry->rom_name) + name_extension;
        if (without_spaces)
            Baue_dateiname(verification.new_name);
    }
    return verification;
}

Verification CatalogueTier::verify_file(
    const std::string& path, const FileAnalysis& file, const AnalysedFile& analysed, bool without_spaces) const
{
    if (file.archive == ArchiveKind::none)
        return verify(path, file.analysis, analysed, without_spaces);
    if (!file.entry.empty())
        return verify_entry(path, file.entry, file.analysis, file.analysis.Endung, without_spaces, &analysed);
    if (!file.candidate)
        return {};
    // A rejected entry the catalogue knows is named as a rejected file,
    // whose extension then goes into the archive's.
    Verification verification =
        verify_entry(path, file.candidate->entry, file.candidate->analysis, "", without_spaces, &analysed);
    if (verification.entry) {
        const std::string stem = name_stem(verification.new_name);
        verification.new_name = stem + archive_name_extension(verification.new_name.substr(stem.size()), file.archive);
    }
    return verification;
}

} // namespace cartonym
