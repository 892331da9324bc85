#include "cli/database_commands.h"

#include "common/windows1252.h"
#include "common/database_file.h"
#include "common/error.h"
#include "operations/folder_listing.h"
#include "database_tools/database_check.h"
#include "database_tools/database_writes.h"
#include "naming/database_location.h"
#include "naming/name_database.h"
#include "naming/file_names.h"
#include "database_tools/record_proposals.h"
#include "database_tools/rom_catalogue.h"
#include "operations/folder_listing.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace cartonym {
namespace {

using nlohmann::json;
using namespace cli_output;

// The database text, or the message and exit status when it cannot be read:
// the start-up message when it is missing, the error text otherwise.
std::optional<std::string> read_database_or_report(const std::string& path, std::ostream& err)
{
    try {
        return read_database(path);
    } catch (const Error& error) {
        const StartupCheckResult startup = check_database_at_startup(path);
        if (startup.state == StartupState::database_missing)
            err << as_utf8(startup.message) << '\n';
        else // an unreadable file, a FIFO, a folder, a file too large: named
            err << "cartonym-cli: " << path << ": cannot be read: " << as_utf8(short_error_text(error)) << '\n';
        return std::nullopt;
    }
}

int run_check(const DatabaseCommandLine& line, std::ostream& out, std::ostream& err)
{
    const std::string path = line.database.empty() ? chosen_database_path() : line.database;
    const std::optional<std::string> text = read_database_or_report(path, err);
    if (!text)
        return exit_usage;
    const DatabaseCheck check = check_database(*text);
    for (const DatabaseFinding& finding : check.findings) {
        const char* severity = finding.severity == FindingSeverity::error ? "error" : "warning";
        if (line.json)
            out << json_line({{"line", finding.line}, {"severity", severity}, {"kind", kind_name(finding.kind)},
                {"message", as_utf8(finding.message)}, {"key", as_utf8(finding.key)}})
                << '\n';
        else
            out << finding.line << ": " << severity << ": " << kind_name(finding.kind) << ": "
                << as_utf8(finding.message) << '\n';
    }
    const std::size_t errors = check.count(FindingSeverity::error);
    if (!line.json)
        out << check.records << " records, " << errors << " errors, " << check.count(FindingSeverity::warning)
            << " warnings\n";
    out.flush();
    return errors == 0 ? exit_ok : exit_failure;
}

// The files a path stands for, in the batch run's order; a folder that
// cannot be listed is given as itself, so that it is reported as an error.
void collect_files(const std::string& path, bool recursive, std::vector<std::string>& files)
{
    bool folder = false;
    try {
        folder = is_folder(path);
    } catch (const Error&) { }
    if (!folder) {
        files.push_back(path);
        return;
    }
    try {
        for (const std::string& name : list_files(path))
            files.push_back(join_path(path, name));
        if (recursive) {
            for (const std::string& name : list_subfolders(path))
                collect_files(join_path(path, name), true, files);
        }
    } catch (const Error&) {
        files.push_back(path);
    }
}

json proposal_object(const Proposal& proposal)
{
    json object = {{"file", proposal.file}, {"status", status_name(proposal.status)}};
    if (!proposal.internal_name.empty())
        object["internal_name"] = as_utf8(proposal.internal_name);
    if (!proposal.full_name.empty())
        object["full_name"] = as_utf8(proposal.full_name);
    if (proposal.error)
        object["error"] = {{"number", proposal.error->value()}, {"description", proposal.error->description()}};
    else if (proposal.status != ProposalStatus::new_record && !proposal.message.empty())
        object["message"] = as_utf8(proposal.message);
    return object;
}

// Appends the records to the database, creating the user's database first
// when no --db was given and there is none. False after a failure (reported).
bool write_records(const DatabaseCommandLine& line, std::string path, const std::string& text, const ProposalRun& run,
    std::ostream& err)
{
    if (check_database(text).ends_in_cut_record) {
        err << "cartonym-cli: " << path
            << ": the database ends inside a record; records appended to it would be misread (see db check)\n";
        return false;
    }
    try {
        if (line.database.empty() && path != user_database_path()) {
            path = create_user_database();
            err << "cartonym-cli: created " << path << " as a copy of " << default_database_path() << '\n';
        }
        // One writer at a time; under the lock the database is read again.
        const bool linked = entry_kind(path) == EntryKind::link;
        const DatabaseWriteLock lock(path);
        const DatabaseAppend append = append_proposals(lock, run);
        for (std::size_t i = 0; i < run.files.size(); ++i) {
            if (run.files[i].status != append.run.files[i].status)
                err << "cartonym-cli: " << run.files[i].file << ": another writer added its record meanwhile\n";
        }
        if (!append.written) {
            err << "cartonym-cli: nothing written: every record is in the database already\n";
            return true;
        }
        err << "cartonym-cli: " << append.run.records.size()
            << (append.run.records.size() == 1 ? " record" : " records") << " appended to "
            << (linked ? append.database : path) << " (the previous file is "
            << (linked ? append.backup : path + ".bak") << ")\n";
    } catch (const Error& error) {
        err << "cartonym-cli: " << path << " was not changed: " << as_utf8(short_error_text(error)) << '\n';
        return false;
    }
    return true;
}

int run_learn(const DatabaseCommandLine& line, bool from_catalogue, std::ostream& out, std::ostream& err)
{
    const std::string path = line.database.empty() ? chosen_database_path() : line.database;
    const std::optional<std::string> text = read_database_or_report(path, err);
    if (!text)
        return exit_usage;
    std::optional<RomCatalogue> catalogue;
    if (from_catalogue) {
        try {
            catalogue = RomCatalogue::read(line.catalogue);
            for (const std::string& fault : catalogue->faults())
                err << "cartonym-cli: " << fault << '\n';
        } catch (const Error& error) {
            err << "cartonym-cli: " << error.what() << '\n';
            return exit_usage;
        }
    }

    std::vector<std::string> files;
    for (const std::string& given : line.paths)
        collect_files(given, line.recursive, files);
    const ProposalRun run = propose_records(files, *text, catalogue ? &*catalogue : nullptr);

    int status = exit_ok;
    for (const Proposal& proposal : run.files) {
        if (line.json)
            out << json_line(proposal_object(proposal)) << '\n';
        else if (proposal.status != ProposalStatus::new_record)
            err << proposal.file << ": " << status_name(proposal.status) << ": " << as_utf8(proposal.message) << '\n';
        if (proposal.status == ProposalStatus::error || proposal.status == ProposalStatus::conflict
            || proposal.status == ProposalStatus::unusable_name)
            status = exit_failure;
    }
    if (!line.json) {
        for (const auto& [key, name] : run.records)
            out << database_record(key, name); // Windows-1252 bytes, as the database holds them
    }
    out.flush();

    if (line.write && run.blocks_writing())
        err << "cartonym-cli: nothing written: a file is a conflict or has an unusable name\n";
    else if (line.write && !run.records.empty() && !write_records(line, path, *text, run, err))
        status = exit_failure;
    return status;
}

} // namespace

bool DatabaseCommandLine::chosen() const { return db != nullptr && *db; }

void add_database_commands(CLI::App& app, DatabaseCommandLine& line)
{
    line.db = app.add_subcommand("db", "Check and grow the name database");
    line.db->require_subcommand(1);
    const auto database_option = [&](CLI::App* command) {
        command
            ->add_option(
                "--db", line.database, "The name database (default: the user's own, else snes.dat beside the program)")
            ->check([](const std::string& value) {
                return value.empty() ? std::string("--db needs a file name") : std::string();
            });
    };

    line.check = line.db->add_subcommand("check", "Report records the lookup cannot use or that give bad names");
    database_option(line.check);
    line.check->add_flag("--json", line.json, "One JSON object per finding");

    const auto learning = [&](CLI::App* command) {
        database_option(command);
        command->add_flag("--write", line.write, "Append the proposed records to the database");
        command->add_flag("--json", line.json, "One JSON object per file");
        command->add_flag("-r,--recursive", line.recursive, "Take the files of sub-folders too");
    };
    line.learn = line.db->add_subcommand("learn", "Propose records named after image files' names");
    learning(line.learn);
    line.learn->add_option("PATH", line.paths, "Image files or folders")->required();

    line.import_dat = line.db->add_subcommand("import-dat", "Propose records named by a ROM catalogue");
    learning(line.import_dat);
    line.import_dat->add_option("DATFILE", line.catalogue, "Logiqx XML or clrmamepro catalogue")->required();
    line.import_dat->add_option("PATH", line.paths, "Image files or folders")->required();
}

int run_database_command(const DatabaseCommandLine& line, std::ostream& out, std::ostream& err)
{
    if (*line.check)
        return run_check(line, out, err);
    if (*line.learn)
        return run_learn(line, false, out, err);
    if (*line.import_dat)
        return run_learn(line, true, out, err);
    return exit_usage;
}

} // namespace cartonym
