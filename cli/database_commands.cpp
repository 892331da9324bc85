// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli db check | learn | import-dat: checking and growing the name
// database.
#include "cli/command.h"

#include "common/error.h"
#include "database_tools/database_check.h"
#include "database_tools/record_proposals.h"
#include "database_tools/rom_catalogue.h"
#include "naming/database_items.h"
#include "naming/database_location.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/engine.h"
#include "operations/folder_listing.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace cartonym {
namespace {

using namespace cli_output;

// The "db" subcommand's choices as the command line gives them.
struct DatabaseChoices {
    std::string database; // --db, "" for the chosen default
    bool write = false;
    bool json = false;
    bool recursive = false;
    bool without_archives = false;
    std::string catalogue;
    std::vector<std::string> paths;

    std::string database_path() const { return database.empty() ? chosen_database_path() : database; }
};

// The database's file opened, or nullopt after the reason was written to err.
std::optional<ReadableFile> open_database_or_report(const std::string& path, std::ostream& err)
{
    DatabaseFile opened = open_database_or_say_why(path);
    if (opened.missing)
        err << as_utf8(opened.failure) << '\n' << looked_for_line(path) << '\n';
    else if (!opened.file) // an unreadable file, a FIFO, a folder: named
        err << "cartonym-cli: " << path << ": cannot be read: " << as_utf8(opened.failure) << '\n';
    return std::move(opened.file);
}

// A failure while the database is read: named, with what went wrong (the
// limit it met, for a database beyond what the lookup reads).
int report_reading_failure(const std::string& path, const Error& error, std::ostream& err)
{
    err << "cartonym-cli: " << path << ": cannot be read: " << error.what() << '\n';
    return exit_usage;
}

void print_finding(const DatabaseFinding& finding, bool as_json, std::ostream& out)
{
    const char* severity = finding.severity == FindingSeverity::error ? "error" : "warning";
    if (as_json)
        out << json_line({{"line", finding.line}, {"severity", severity}, {"kind", kind_name(finding.kind)},
            {"message", as_utf8(finding.message)}, {"key", as_utf8(finding.key)}})
            << '\n';
    else
        out << finding.line << ": " << severity << ": " << kind_name(finding.kind) << ": " << as_utf8(finding.message)
            << '\n';
}

int run_check(const DatabaseChoices& line, std::ostream& out, std::ostream& err)
{
    const std::optional<ReadableFile> file = open_database_or_report(line.database_path(), err);
    if (!file)
        return exit_usage;
    DatabaseCheck check;
    try {
        check = check_database(
            FileBytes(*file), [&](const DatabaseFinding& finding) { print_finding(finding, line.json, out); });
    } catch (const Error& error) {
        out.flush();
        return report_reading_failure(line.database_path(), error, err);
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
    if (!proposal.entry.empty())
        object["entry"] = proposal.entry;
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
bool write_records(const DatabaseChoices& line, const std::string& path, const ProposalRun& run, std::ostream& err)
{
    const AppendOutcome outcome = append_proposals(path, line.database.empty(), run);
    if (outcome.status == AppendOutcome::Status::ends_inside_record) {
        err << "cartonym-cli: " << path
            << ": the database ends inside a record; records appended to it would be misread (see db check)\n";
        return false;
    }
    if (outcome.created_user_database)
        err << "cartonym-cli: created " << outcome.path << " as a copy of " << default_database_path() << '\n';
    for (const std::string& file : outcome.added_meanwhile)
        err << "cartonym-cli: " << file << ": another writer added its record meanwhile\n";
    if (outcome.status == AppendOutcome::Status::failed) {
        err << "cartonym-cli: " << outcome.path << " was not changed: " << as_utf8(short_error_text(*outcome.error))
            << '\n';
        return false;
    }
    if (outcome.status == AppendOutcome::Status::nothing_new) {
        err << "cartonym-cli: nothing written: every record is in the database already\n";
        return true;
    }
    err << "cartonym-cli: " << records_appended_text(outcome.records, outcome.path) << '\n';
    return true;
}

bool blocks_exit(const Proposal& proposal)
{
    return proposal.status == ProposalStatus::error || proposal.status == ProposalStatus::conflict
        || proposal.status == ProposalStatus::unusable_name;
}

int run_learn(const DatabaseChoices& line, bool from_catalogue, std::ostream& out, std::ostream& err)
{
    const std::string path = line.database_path();
    const std::optional<ReadableFile> file = open_database_or_report(path, err);
    if (!file)
        return exit_usage;
    const FileBytes bytes(*file);
    std::optional<DatabaseKeys> keys;
    try {
        keys.emplace(bytes);
    } catch (const Error& error) {
        return report_reading_failure(path, error, err);
    }
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
    const ProposalRun run =
        propose_records(files, *keys, catalogue ? &*catalogue : nullptr, {}, !line.without_archives);

    int status = exit_ok;
    for (const Proposal& proposal : run.files) {
        if (line.json)
            out << json_line(proposal_object(proposal)) << '\n';
        else if (proposal.status != ProposalStatus::new_record)
            err << proposal.file << (proposal.entry.empty() ? "" : " [" + proposal.entry + "]") << ": "
                << status_name(proposal.status) << ": " << as_utf8(proposal.message) << '\n';
        if (blocks_exit(proposal))
            status = exit_failure;
    }
    if (!line.json) {
        for (const auto& [key, name] : run.records)
            out << database_record(key, name); // Windows-1252 bytes, as the database holds them
    }
    out.flush();

    if (line.write && run.blocks_writing())
        err << "cartonym-cli: nothing written: a file is a conflict or has an unusable name\n";
    else if (line.write && !run.records.empty() && !write_records(line, path, run, err))
        status = exit_failure;
    return status;
}

class DatabaseCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ = app.add_subcommand("db", "Check and grow the name database");
        command_->require_subcommand(1);
        check_ = command_->add_subcommand("check", "Report records the lookup cannot use or that give bad names");
        add_database_option(*check_, line_.database);
        check_->add_flag("--json", line_.json, "One JSON object per finding");

        learn_ = command_->add_subcommand("learn", "Propose records named after image files' names");
        add_learning_options(*learn_);
        learn_->add_option("PATH", line_.paths, "Image files or folders")->required();

        import_dat_ = command_->add_subcommand("import-dat", "Propose records named by a ROM catalogue");
        add_learning_options(*import_dat_);
        import_dat_->add_option("DATFILE", line_.catalogue, "Logiqx XML or clrmamepro catalogue")->required();
        import_dat_->add_option("PATH", line_.paths, "Image files or folders")->required();
    }

    int run(const CommandStreams& streams) override
    {
        if (check_->parsed())
            return run_check(line_, streams.out, streams.err);
        if (learn_->parsed())
            return run_learn(line_, false, streams.out, streams.err);
        if (import_dat_->parsed())
            return run_learn(line_, true, streams.out, streams.err);
        return exit_usage;
    }

private:
    void add_learning_options(CLI::App& command)
    {
        add_database_option(command, line_.database);
        command.add_flag("--write", line_.write, "Append the proposed records to the database");
        command.add_flag("--json", line_.json, "One JSON object per file");
        command.add_flag("-r,--recursive", line_.recursive, "Take the files of sub-folders too");
        add_archives_option(command, line_.without_archives);
    }

    CLI::App *check_ = nullptr, *learn_ = nullptr, *import_dat_ = nullptr;
    DatabaseChoices line_;
};

} // namespace

std::unique_ptr<Command> make_database_command() { return std::make_unique<DatabaseCommand>(); }

} // namespace cartonym
