// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/record_proposals.h"

#include "analysis/archive_reader.h"
#include "analysis/header_detection.h"
#include "common/paths.h"
#include "common/windows1252.h"
#include "database_tools/database_check.h"
#include "database_tools/learned_name.h"
#include "naming/name_database.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace cartonym {
namespace {

// Turns a proposed name into the file's status: new, or unusable when the
// record would fail the database check.
void propose(Proposal& proposal, const std::optional<std::string>& name_cp1252, const std::string& what)
{
    if (!name_cp1252) {
        proposal.status = ProposalStatus::unusable_name;
        proposal.message = "the " + what + " has characters that Windows-1252 lacks";
        return;
    }
    proposal.full_name = *name_cp1252;
    for (const DatabaseFinding& finding : check_proposed_record(proposal.internal_name, proposal.full_name)) {
        if (finding.severity == FindingSeverity::error) {
            proposal.status = ProposalStatus::unusable_name;
            proposal.message = std::string(kind_name(finding.kind)) + ": " + finding.message;
            return;
        }
    }
    proposal.status = ProposalStatus::new_record;
}

// Where an image's bytes come from: the file itself, or an entry of an archive.
struct ImageSource {
    std::string file;
    std::string entry;     // "" for the file itself
    std::string file_name; // the name that learn takes the full name from
};

ContentDigest digest_of_image(const ImageSource& source, std::uint64_t offset, DigestKinds kinds)
{
    if (source.entry.empty())
        return digest_of_file(source.file, offset, kinds);
    ContentHasher hasher(kinds);
    std::uint64_t passed = 0;
    const ArchiveFault fault = stream_entry(source.file, source.entry, whole_entry_limit, [&](std::string_view piece) {
        const std::size_t skip = static_cast<std::size_t>(std::min<std::uint64_t>(offset - passed, piece.size()));
        passed += skip;
        hasher.update(reinterpret_cast<const unsigned char*>(piece.data()) + skip, piece.size() - skip);
    });
    if (fault != ArchiveFault::none)
        throw Error(ErrorNumber::path_file_access_error);
    return hasher.finish();
}

void examine_image(Proposal& proposal, const RomAnalysis& analysis, const ImageSource& source,
    const DatabaseKeys& known_keys, const RomCatalogue* catalogue)
{
    if (!analysis.Rom_ok) {
        proposal.status = ProposalStatus::not_image;
        proposal.message = "no SNES image";
        return;
    }
    proposal.internal_name = analysis.Interner_name;
    if (correction_decides(analysis) || known_keys.contains(analysis.Interner_name)) {
        proposal.status = ProposalStatus::known;
        proposal.message = "the database or a correction already names it";
        return;
    }
    if (!catalogue) {
        const std::optional<std::string> name = cp1252_from_utf8(source.file_name);
        propose(proposal, name ? std::optional(full_name_from_file_name(*name, analysis.Landkuerzel)) : std::nullopt,
            "file name");
        return;
    }
    const ContentDigest digest = digest_of_image(source, copier_header_length(analysis), catalogue->needed_kinds());
    const CatalogueEntry* entry = catalogue->find(digest);
    if (!entry) {
        proposal.status = ProposalStatus::no_match;
        proposal.message = "no catalogue entry matches its cartridge data";
        return;
    }
    const std::optional<std::string> name = cp1252_from_utf8(entry->game_name);
    propose(proposal, name ? std::optional(clean_full_name(*name, analysis.Landkuerzel)) : std::nullopt,
        "catalogue's game name");
}

Proposal& add_proposal(std::vector<Proposal>& out, const std::string& file, const std::string& entry = "")
{
    Proposal& proposal = out.emplace_back();
    proposal.file = file;
    proposal.entry = entry;
    return proposal;
}

// The proposals of one archive: one per image entry, each named after the
// archive's file name (without the archive's extension) when it holds one
// image, else after the entry's own file name.
void examine_archive(const std::string& file, const ArchiveAnalysis& archive, const DatabaseKeys& known_keys,
    const RomCatalogue* catalogue, std::vector<Proposal>& out)
{
    if (archive.fault != ArchiveFault::none || archive.images.empty()) {
        Proposal& proposal = add_proposal(out, file);
        proposal.status = ProposalStatus::not_image;
        proposal.message =
            archive.fault == ArchiveFault::none ? "no SNES image" : "archive " + archive_fault_text(archive.fault);
        return;
    }
    std::string archive_name = base_name(file);
    if (archive_name.ends_with(".gz")) // "Name.smc.gz", "Name.tar.gz": the image's or the tar's extension follows
        archive_name.resize(archive_name.size() - 3);
    for (const EntryAnalysis& image : archive.images) {
        Proposal& proposal = add_proposal(out, file, image.entry);
        const std::string name = archive.images.size() == 1 ? archive_name : base_name(image.entry);
        examine_image(proposal, image.analysis, {file, image.entry, name}, known_keys, catalogue);
    }
}

void examine(const std::string& file, const DatabaseKeys& known_keys, const RomCatalogue* catalogue, bool archives,
    std::vector<Proposal>& out)
{
    const std::size_t first = out.size();
    try {
        const ArchiveAnalysis archive = archives ? analyse_archive(file) : ArchiveAnalysis{};
        if (archive.kind != ArchiveKind::none)
            return examine_archive(file, archive, known_keys, catalogue, out);
        Proposal& proposal = add_proposal(out, file);
        examine_image(proposal, Analysiere_rom(file), {file, "", base_name(file)}, known_keys, catalogue);
    } catch (const Error& error) {
        out.resize(first);
        Proposal& proposal = add_proposal(out, file);
        proposal.error = error;
        proposal.message = "Error Nr. " + std::to_string(error.value()) + ": " + error.description();
    }
}

// The records of the run's new files, each internal name once, in the
// order of the files.
void gather_records(ProposalRun& run)
{
    run.records.clear();
    std::unordered_set<std::string> proposed;
    for (const Proposal& proposal : run.files) {
        if (proposal.status == ProposalStatus::new_record && proposed.insert(proposal.internal_name).second)
            run.records.emplace_back(proposal.internal_name, proposal.full_name);
    }
}

} // namespace

const char* status_name(ProposalStatus status)
{
    switch (status) {
    case ProposalStatus::new_record: return "new";
    case ProposalStatus::known: return "known";
    case ProposalStatus::conflict: return "conflict";
    case ProposalStatus::unusable_name: return "unusable_name";
    case ProposalStatus::not_image: return "not_image";
    case ProposalStatus::no_match: return "no_match";
    case ProposalStatus::error: return "error";
    }
    return "error";
}

bool ProposalRun::blocks_writing() const
{
    for (const Proposal& proposal : files) {
        if (proposal.status == ProposalStatus::conflict || proposal.status == ProposalStatus::unusable_name)
            return true;
    }
    return false;
}

ProposalRun propose_records(const std::vector<std::string>& files, std::string_view database_text,
    const RomCatalogue* catalogue, const ProposalProgress& progress, bool archives)
{
    const TextBytes bytes(database_text);
    return propose_records(files, DatabaseKeys(bytes), catalogue, progress, archives);
}

ProposalRun propose_records(const std::vector<std::string>& files, const DatabaseKeys& known_keys,
    const RomCatalogue* catalogue, const ProposalProgress& progress, bool archives)
{
    ProposalRun run;
    std::size_t done = 0;
    for (const std::string& file : files) {
        if (progress && !progress(done++, files.size()))
            break;
        examine(file, known_keys, catalogue, archives, run.files);
    }

    // Files of this call with the same internal name must agree on the name.
    std::map<std::string, std::vector<Proposal*>> by_key;
    for (Proposal& proposal : run.files) {
        if (proposal.status == ProposalStatus::new_record)
            by_key[proposal.internal_name].push_back(&proposal);
    }
    for (auto& [key, proposals] : by_key) {
        for (Proposal* proposal : proposals) {
            for (const Proposal* other : proposals) {
                if (other->full_name != proposal->full_name) {
                    proposal->status = ProposalStatus::conflict;
                    proposal->message = "another file of this call has the same internal name and proposes \""
                        + other->full_name + "\"";
                    break;
                }
            }
        }
    }
    gather_records(run);
    return run;
}

ProposalRun reconsider_proposals(const ProposalRun& run, const DatabaseKeys& known_keys)
{
    ProposalRun result;
    result.files = run.files;
    for (Proposal& proposal : result.files) {
        if (proposal.status == ProposalStatus::new_record && known_keys.contains(proposal.internal_name)) {
            proposal.status = ProposalStatus::known;
            proposal.message = "the database or a correction already names it";
        }
    }
    gather_records(result);
    return result;
}

std::string append_records(
    std::string_view database_text, const std::vector<std::pair<std::string, std::string>>& records)
{
    std::string text(database_text);
    // An item the file leaves open is closed first: it keeps the value the
    // reader gives it, and the new records start on a line of their own.
    if (ends_inside_quoted_item(text))
        text += '"';
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        text += "\r\n";
    for (const auto& [key, name] : records)
        text += database_record(key, name);
    return text;
}

} // namespace cartonym
