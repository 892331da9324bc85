// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/identification.h"

#include "analysis/archive_reader.h"

#include "common/error.h"
#include "common/file_operations.h"
#include "common/paths.h"
#include "database_tools/catalogue_registry.h"
#include "operations/engine.h"

namespace cartonym {

CatalogueSession::CatalogueSession(std::vector<LoadedCatalogue> catalogues)
    : cache_(std::make_unique<DigestCache>(DigestCache::default_path()))
    , tier_(std::move(catalogues), cache_.get())
{ }

std::unique_ptr<CatalogueSession> CatalogueSession::open(
    const CatalogueChoice& choice, const std::function<void(const std::string&)>& note)
{
    if (choice.none)
        return nullptr;
    std::vector<std::string> paths = choice.files;
    if (paths.empty()) {
        for (const std::string& file : registered_catalogues())
            paths.push_back(join_path(catalogue_folder(), file));
    }
    if (paths.empty())
        return nullptr;
    std::vector<LoadedCatalogue> catalogues;
    for (const std::string& path : paths) {
        catalogues.push_back({path, RomCatalogue::read(path)});
        if (note) {
            for (const std::string& fault : catalogues.back().catalogue.faults())
                note(fault);
        }
    }
    return std::unique_ptr<CatalogueSession>(new CatalogueSession(std::move(catalogues)));
}

void CatalogueSession::save_cache()
{
    try {
        cache_->save();
    } catch (const Error& error) {
        throw Error(error.number(), DigestCache::default_path() + ": " + short_error_text(error));
    }
}

Identification identify_analysed(
    RomAnalysis analysis, Verification verification, const std::string& database_path, bool without_spaces)
{
    Identification identification;
    identification.verification = std::move(verification);
    if (identification.verification.entry) {
        identification.selection.analysis = std::move(analysis);
        identification.selection.state = SelectionState::known;
        identification.identified_by = IdentifiedBy::catalogue;
        return identification;
    }
    identification.selection = select_analysed(std::move(analysis), database_path, without_spaces);
    if (identification.selection.state == SelectionState::known)
        identification.identified_by = IdentifiedBy::database;
    return identification;
}

namespace {

// What a look at path met of it, as analyse_file records it, with the
// file's identity where it records none (an archive that is no image).
AnalysedFile with_identity(AnalysedFile seen, const std::string& path)
{
    if (seen.identity == FileIdentity{})
        seen.identity = identity_of(path);
    return seen;
}

} // namespace

Identification identify_file(const std::string& path, const std::string& database_path, bool without_spaces,
    const CatalogueSession* catalogues, bool archives)
{
    const CatalogueTier* tier = catalogues ? &catalogues->tier() : nullptr;
    LookedAtFile look = tier ? tier->look_at(path, archives) : LookedAtFile{};
    if (!tier)
        look.file = analyse_file(path, archives, &look.analysed);
    Verification verification = tier ? tier->verify_file(path, look, without_spaces) : Verification{};
    FileAnalysis& file = look.file;
    std::string archive_reason = passed_over_reason(file);
    Identification found =
        identify_analysed(std::move(file.analysis), std::move(verification), database_path, without_spaces);
    found.archive_entry = std::move(file.entry);
    found.archive_images = file.images;
    found.archive_reason = std::move(archive_reason);
    found.seen = with_identity(std::move(look.analysed), path);
    found.archives = archives;
    return found;
}

bool still_as_identified(const std::string& path, const Identification& found)
{
    if (identity_of(path) != found.seen.identity)
        return false;
    AnalysedFile now;
    analyse_file(path, found.archives, &now);
    now = with_identity(std::move(now), path);
    return now.identity == found.seen.identity && now.bytes_read == found.seen.bytes_read;
}

RenameOutcome rename_identified(
    const std::string& folder, const std::string& name, const Identification& found, const std::string& new_name)
{
    if (!still_as_identified(join_path(folder, name), found))
        return RenameOutcome::file_changed;
    const bool renamed = found.identified_by == IdentifiedBy::catalogue
        ? rename_verified_in_own_folder(folder, name, new_name)
        : rename_in_own_folder(folder, name, new_name);
    return renamed ? RenameOutcome::renamed : RenameOutcome::had_the_name;
}

bool rename_verified_in_own_folder(const std::string& folder, const std::string& name, const std::string& new_name)
{
    if (!is_plain_file_name(new_name))
        throw Error(ErrorNumber::bad_file_name);
    if (new_name == name)
        return false;
    move_file(join_path(folder, name), join_path(folder, new_name));
    return true;
}

namespace {

CatalogueSummary summary_of(const std::string& file, const RomCatalogue& catalogue)
{
    return {file, catalogue.name(), catalogue.version(), catalogue.entries().size(), {}};
}

} // namespace

std::vector<CatalogueSummary> list_catalogues()
{
    std::vector<CatalogueSummary> summaries;
    for (const std::string& file : registered_catalogues()) {
        try {
            summaries.push_back(summary_of(file, RomCatalogue::read(join_path(catalogue_folder(), file))));
        } catch (const Error& error) {
            summaries.push_back({file, {}, {}, 0, error.what()});
        }
    }
    return summaries;
}

std::vector<CatalogueSummary> add_catalogues(const std::vector<std::string>& paths)
{
    std::vector<CatalogueSummary> summaries;
    for (const std::string& path : paths)
        summaries.push_back(summary_of({}, RomCatalogue::read(path)));
    for (std::size_t i = 0; i < paths.size(); ++i)
        summaries[i].file = register_catalogue(paths[i]);
    return summaries;
}

bool remove_catalogue(const std::string& file) { return unregister_catalogue(file); }

std::vector<std::pair<std::string, FileIdentity>> registry_state()
{
    std::vector<std::pair<std::string, FileIdentity>> state;
    for (const std::string& file : registered_catalogues())
        state.emplace_back(file, identity_of(join_path(catalogue_folder(), file)));
    return state;
}

} // namespace cartonym
