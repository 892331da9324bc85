#include "database_tools/record_proposals.h"

#include "analysis/rom_analysis.h"
#include "common/paths.h"
#include "common/windows1252.h"
#include "database_tools/database_check.h"
#include "naming/name_database.h"
#include "database_tools/learned_name.h"

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

Proposal examine(
    const std::string& file, const std::unordered_set<std::string>& known_keys, const RomCatalogue* catalogue)
{
    Proposal proposal;
    proposal.file = file;
    try {
        const RomAnalysis analysis = Analysiere_rom(file);
        if (!analysis.Rom_ok) {
            proposal.status = ProposalStatus::not_image;
            proposal.message = "no SNES image";
            return proposal;
        }
        proposal.internal_name = analysis.Interner_name;
        if (correction_decides(analysis) || known_keys.contains(analysis.Interner_name)) {
            proposal.status = ProposalStatus::known;
            proposal.message = "the database or a correction already names it";
            return proposal;
        }
        if (!catalogue) {
            const std::optional<std::string> name = cp1252_from_utf8(base_name(file));
            propose(proposal,
                name ? std::optional(full_name_from_file_name(*name, analysis.Landkuerzel)) : std::nullopt,
                "file name");
            return proposal;
        }
        const ContentDigest digest = digest_of_file(file, copier_header_length(analysis), catalogue->needed_kinds());
        const CatalogueEntry* entry = catalogue->find(digest);
        if (!entry) {
            proposal.status = ProposalStatus::no_match;
            proposal.message = "no catalogue entry matches its cartridge data";
            return proposal;
        }
        const std::optional<std::string> name = cp1252_from_utf8(entry->game_name);
        propose(proposal, name ? std::optional(clean_full_name(*name, analysis.Landkuerzel)) : std::nullopt,
            "catalogue's game name");
    } catch (const Error& error) {
        proposal.status = ProposalStatus::error;
        proposal.error = error;
        proposal.message = "Error Nr. " + std::to_string(error.value()) + ": " + error.description();
    }
    return proposal;
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
    const RomCatalogue* catalogue, const ProposalProgress& progress)
{
    const std::vector<std::string> keys = database_keys(database_text);
    const std::unordered_set<std::string> known_keys(keys.begin(), keys.end());

    ProposalRun run;
    for (const std::string& file : files) {
        if (progress && !progress(run.files.size(), files.size()))
            break;
        run.files.push_back(examine(file, known_keys, catalogue));
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

ProposalRun reconsider_proposals(const ProposalRun& run, std::string_view database_text)
{
    const std::vector<std::string> keys = database_keys(database_text);
    const std::unordered_set<std::string> known_keys(keys.begin(), keys.end());
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
