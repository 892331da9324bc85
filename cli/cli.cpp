#include "cli/cli.h"
#include "cli/database_commands.h"
#include "cli/undo_command.h"

#include "analysis/rom_analysis.h"
#include "common/windows1252.h"
#include "common/error.h"
#include "common/program_info.h"
#include "common/number_text.h"
#include "common/system_calls.h"
#include "naming/file_names.h"
#include "naming/database_location.h"
#include "naming/name_database.h"
#include "operations/batch_run.h"
#include "operations/file_mode.h"
#include "operations/run_journal.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cmath>
#include <memory>

namespace cartonym {
namespace {

using nlohmann::json;
using namespace cli_output;

struct CommonOptions {
    std::string database;
    bool without_spaces = false;
};

json error_object(const Error& error) { return {{"number", error.value()}, {"description", error.description()}}; }

// The database check shared with the window's start-up. Returns false when
// the command must stop (the database is missing).
bool check_database_for_cli(const std::string& path, std::ostream& err)
{
    const StartupCheckResult check = check_database_at_startup(path);
    if (check.state != StartupState::ready)
        err << as_utf8(check.message) << '\n';
    return check.state != StartupState::database_missing;
}

json info_object(const std::string& file, const CommonOptions& options)
{
    // File mode's selection; where the window shows "ROM unknown !", info
    // gives empty names.
    const FileSelection selection = select_file(file, options.database, options.without_spaces);
    if (selection.state == SelectionState::not_an_image)
        return {{"file", file}, {"rom_ok", false}};
    const RomAnalysis& analysis = selection.analysis;
    const bool known = selection.state == SelectionState::known;
    return {
        {"file", file},
        {"rom_ok", true},
        {"format_code", as_utf8(analysis.Formatcode)},
        {"file_type", as_utf8(analysis.Dateityp_text)},
        {"extension", as_utf8(analysis.Endung)},
        {"internal_name", as_utf8(analysis.Interner_name)},
        {"rom_type", as_utf8(analysis.Cardid_text)},
        {"rom_size", as_utf8(analysis.Size_text)},
        {"country", as_utf8(analysis.Land_text)},
        {"country_suffix", as_utf8(analysis.Landkuerzel)},
        {"licensee", as_utf8(analysis.Hersteller_text)},
        {"checksum_key", as_utf8(analysis.Pruefsumme)},
        {"checksum", as_utf8(analysis.CRC1_text)},
        {"full_name", known ? as_utf8(selection.names.Voller_name) : std::string()},
        {"new_name", known ? as_utf8(selection.names.Neuer_name) : std::string()},
    };
}

int run_info(const std::vector<std::string>& files, const CommonOptions& options, std::ostream& out, std::ostream& err)
{
    if (!check_database_for_cli(options.database, err))
        return exit_usage;
    int status = exit_ok;
    for (const std::string& file : files) {
        json line;
        try {
            line = info_object(file, options);
        } catch (const Error& error) {
            line = {{"file", file}, {"error", error_object(error)}};
            status = exit_failure;
        }
        out << json_line(line) << '\n';
    }
    out.flush();
    return status;
}

const char* outcome_text(BatchOutcome outcome)
{
    switch (outcome) {
    case BatchOutcome::completed: return "completed";
    case BatchOutcome::no_files: return "no_files";
    case BatchOutcome::failed: return "failed";
    case BatchOutcome::interrupted: return "interrupted";
    }
    return "failed";
}

json batch_object(const BatchResult& result, bool dry_run)
{
    const BatchCounts& counts = result.counts;
    json unknown_escaped = json::array();
    for (const std::string& name : result.unknown_names)
        unknown_escaped.push_back(exact_name(name));
    json object = {
        {"outcome", outcome_text(result.outcome)},
        {"total", counts.total},
        {"roms", counts.roms()},
        {"renamed", counts.renamed},
        {"already_correct", counts.already_correct},
        {"duplicates", counts.duplicates},
        {"unknown", result.unknown_names},
        {"unknown_escaped", unknown_escaped},
        {"message", as_utf8(result.message.text)},
    };
    if (dry_run) {
        json plan = json::array();
        for (const PlannedFile& file : result.plan) {
            plan.push_back({{"file", file.file}, {"outcome", outcome_name(file.outcome)},
                {"destination", file.destination.empty() ? json(nullptr) : json(file.destination)}});
        }
        object["dry_run"] = true;
        object["plan"] = std::move(plan);
    }
    return object;
}

// The statistics panel, top to bottom, then the unknown images' names.
void write_batch_panel(const BatchResult& result, std::ostream& out)
{
    const BatchCounts& counts = result.counts;
    out << total_caption << ' ' << decimal_text(counts.total) << '\n'
        << roms_caption << ' ' << decimal_text(counts.roms()) << '\n'
        << already_correct_caption << ' ' << decimal_text(counts.already_correct) << '\n'
        << renamed_caption << ' ' << decimal_text(counts.renamed) << '\n'
        << duplicates_caption << ' ' << decimal_text(counts.duplicates) << '\n';
    for (const std::string& name : result.unknown_names)
        out << name_on_one_line(name) << '\n';
}

struct BatchCommand {
    std::string folder;
    bool game_list = false;
    bool as_json = false;
    bool dry_run = false;
};

int run_batch(const BatchCommand& command, const CommonOptions& options, std::ostream& out, std::ostream& err,
    bool stderr_is_terminal)
{
    if (!check_database_for_cli(options.database, err))
        return exit_usage;

    BatchObserver observer;
    bool display_started = false;
    int shown = -1;
    if (stderr_is_terminal) {
        observer.progress = [&](float value) {
            const int percent = static_cast<int>(std::floor(value));
            if (percent == shown)
                return;
            shown = percent;
            display_started = true;
            err << "\rBatchmode: " << percent << " %" << std::flush;
        };
    }
    // Ctrl-C and SIGTERM stop the run between two files; what was done so
    // far is then printed with "Interrupted".
    catch_interrupt_signals();
    observer.stop_requested = [] { return caught_interrupt_signal() != 0; };
    BatchOptions batch_options{command.folder, options.database, options.without_spaces, command.game_list};
    batch_options.dry_run = command.dry_run;
    // Every real run keeps a journal for undo; without one it goes on.
    std::unique_ptr<RunJournal> journal;
    if (!command.dry_run) {
        try {
            journal = std::make_unique<RunJournal>(command.folder);
            batch_options.recorder = journal.get();
        } catch (const JournalUnavailable& error) {
            err << "cartonym-cli: the run's journal cannot be kept (" << error.what()
                << "); the run goes on without undo\n";
        }
    }
    const BatchResult result = Batchrun(batch_options, observer);
    if (display_started)
        err << '\n';
    if (journal && journal->failure())
        err << "cartonym-cli: the run's journal could not be completed (" << *journal->failure() << ")\n";

    if (result.outcome == BatchOutcome::failed)
        err << as_utf8(result.message.text) << '\n';
    if (command.as_json) {
        out << json_line(batch_object(result, command.dry_run)) << '\n';
    } else {
        if (command.dry_run) {
            for (const PlannedFile& file : result.plan) {
                out << name_on_one_line(file.file) << " -> " << outcome_name(file.outcome);
                if (!file.destination.empty())
                    out << ' ' << name_on_one_line(file.destination);
                out << '\n';
            }
        }
        out << as_utf8(result.message.text) << '\n';
        if (result.outcome == BatchOutcome::completed || result.outcome == BatchOutcome::interrupted)
            write_batch_panel(result, out);
    }
    out.flush();
    switch (result.outcome) {
    case BatchOutcome::failed: return result.setup_failed ? exit_usage : exit_failure;
    case BatchOutcome::interrupted: return 128 + caught_interrupt_signal();
    default: return exit_ok;
    }
}

void add_common_options(CLI::App& command, CommonOptions& options)
{
    command
        .add_option(
            "--db", options.database, "The name database (default: the user's own, else snes.dat beside the program)")
        ->check([](const std::string& value) {
            return value.empty() ? std::string("--db needs a file name") : std::string();
        });
    command.add_flag("--no-spaces", options.without_spaces,
        "Long filenames without spaces: every space of a new name becomes \"_\"");
}

} // namespace

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderr_is_terminal)
{
    CLI::App app{"Identifies SNES ROM images and gives them their proper names.", "cartonym-cli"};
    // The version, and which name database the commands use without --db.
    app.set_version_flag("--version", [] {
        return std::string("cartonym-cli ") + program_info::version_text + "\nname database: " + chosen_database_path();
    });
    app.require_subcommand(1);

    CommonOptions options;
    std::vector<std::string> files;
    CLI::App* info = app.add_subcommand("info", "Analyse images and print one JSON line per file");
    add_common_options(*info, options);
    info->add_option("FILE", files, "Image files")->required();

    BatchCommand batch_command;
    CLI::App* batch =
        app.add_subcommand("batch", "Sort and rename every image of a folder, as \"Start Batchmode\" does");
    add_common_options(*batch, options);
    batch->add_flag("--gamelist", batch_command.game_list, "Create gamelist (games.htm)");
    batch->add_flag("--json", batch_command.as_json, "Print the outcome as one JSON object");
    batch->add_flag(
        "--dry-run", batch_command.dry_run, "Print what the run would do with every file and change nothing");
    batch->add_option("FOLDER", batch_command.folder, "The folder to process")->required();

    DatabaseCommandLine database_command;
    add_database_commands(app, database_command);
    UndoCommandLine undo_command;
    add_undo_command(app, undo_command);

    std::vector<std::string> arguments(args.rbegin(), args.rend());
    if (!arguments.empty())
        arguments.pop_back(); // the program name
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        return code == 0 ? exit_ok : exit_usage;
    }
    if (database_command.chosen())
        return run_database_command(database_command, out, err);
    if (undo_command.chosen())
        return run_undo_command(undo_command, out, err);
    if (options.database.empty())
        options.database = chosen_database_path();

    if (*info)
        return run_info(files, options, out, err);
    if (*batch)
        return run_batch(batch_command, options, out, err, stderr_is_terminal);
    return exit_usage;
}

} // namespace cartonym
