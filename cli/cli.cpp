#include "cli/cli.h"
#include "cli/database_commands.h"

#include "analysis/rom_analysis.h"
#include "common/windows1252.h"
#include "common/error.h"
#include "common/program_info.h"
#include "common/number_text.h"
#include "naming/file_names.h"
#include "naming/database_location.h"
#include "naming/name_database.h"
#include "operations/batch_run.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cmath>

namespace cartonym {
namespace {

using nlohmann::json;

constexpr int exit_ok = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

struct CommonOptions {
    std::string database;
    bool without_spaces = false;
};

std::string as_utf8(const std::string& cp1252) { return utf8_from_cp1252(cp1252); }

std::string json_line(const json& object)
{
    // File names as given may be invalid UTF-8; such bytes become U+FFFD.
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

json error_object(const Error& error)
{
    return {{"number", error.value()}, {"description", error.description()}};
}

// The database check shared with the window's start-up. Returns false when
// the command must stop (the database is missing).
bool check_database_for_cli(const std::string& path, std::ostream& err)
{
    const StartupCheckResult check = check_database_at_startup(path);
    if (check.state != StartupState::Ready)
        err << as_utf8(check.message) << '\n';
    return check.state != StartupState::DatabaseMissing;
}

json info_object(const std::string& file, const CommonOptions& options)
{
    const RomAnalysis analysis = Analysiere_rom(file);
    if (!analysis.Rom_ok)
        return {{"file", file}, {"rom_ok", false}};
    LookupResult names = Finde_romname(analysis, options.database);
    if (!names.Neuer_name.empty() && options.without_spaces)
        Baue_dateiname(names.Neuer_name);
    const bool known = !names.Neuer_name.empty();
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
        {"full_name", known ? as_utf8(names.Voller_name) : std::string()},
        {"new_name", as_utf8(names.Neuer_name)},
    };
}

int run_info(const std::vector<std::string>& files, const CommonOptions& options,
                    std::ostream& out, std::ostream& err)
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
    case BatchOutcome::Completed: return "completed";
    case BatchOutcome::NoFiles: return "no_files";
    case BatchOutcome::Failed: return "failed";
    }
    return "failed";
}

json batch_object(const BatchResult& result)
{
    const BatchCounts& counts = result.counts;
    return {
        {"outcome", outcome_text(result.outcome)},
        {"total", counts.total},
        {"roms", counts.roms()},
        {"renamed", counts.renamed},
        {"already_correct", counts.already_correct},
        {"duplicates", counts.duplicates},
        {"unknown", result.unknown_names},
        {"message", as_utf8(result.message.text)},
    };
}

// A file name on one output line: a control character (a line break in a
// name, say) is written as \u{XXXX} and a backslash doubled, so that every
// name stays on its line and can be read back exactly.
std::string name_on_one_line(const std::string& name)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string line;
    for (const char character : name) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte == '\\') {
            line += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            line += "\\u{00";
            line += digits[byte >> 4];
            line += digits[byte & 0x0F];
            line += '}';
        } else {
            line += character;
        }
    }
    return line;
}

// The statistics panel, top to bottom, then the unknown images' names.
void write_batch_panel(const BatchResult& result, std::ostream& out)
{
    const BatchCounts& counts = result.counts;
    out << "Total files in directory: " << decimal_text(counts.total) << '\n'
        << "SNES ROMs: " << decimal_text(counts.roms()) << '\n'
        << "ROMs that had alredy the correct filename: " << decimal_text(counts.already_correct) << '\n'
        << "Successfully renamed: " << decimal_text(counts.renamed) << '\n'
        << "Duplicates (see subdir Duplicates): " << decimal_text(counts.duplicates) << '\n';
    for (const std::string& name : result.unknown_names)
        out << name_on_one_line(name) << '\n';
}

int run_batch(const std::string& folder, const CommonOptions& options, bool game_list, bool as_json,
                     std::ostream& out, std::ostream& err, bool stderr_is_terminal)
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
    const BatchResult result =
        Batchrun({folder, options.database, options.without_spaces, game_list}, observer);
    if (display_started)
        err << '\n';

    if (result.outcome == BatchOutcome::Failed)
        err << as_utf8(result.message.text) << '\n';
    if (as_json) {
        out << json_line(batch_object(result)) << '\n';
    } else {
        out << as_utf8(result.message.text) << '\n';
        if (result.outcome == BatchOutcome::Completed)
            write_batch_panel(result, out);
    }
    out.flush();
    return result.outcome == BatchOutcome::Failed ? exit_failure : exit_ok;
}

void add_common_options(CLI::App& command, CommonOptions& options)
{
    command.add_option("--db", options.database, "The name database (default: snes.dat beside the program)");
    command.add_flag("--no-spaces", options.without_spaces,
                    "Long filenames without spaces: every space of a new name becomes \"_\"");
}

} // namespace

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool stderr_is_terminal)
{
    CLI::App app{"Identifies SNES ROM images and gives them their proper names.", "cartonym-cli"};
    app.set_version_flag("--version", std::string("cartonym-cli ") + program_info::version_text);
    app.require_subcommand(1);

    CommonOptions options;
    std::vector<std::string> files;
    CLI::App* info = app.add_subcommand("info", "Analyse images and print one JSON line per file");
    add_common_options(*info, options);
    info->add_option("FILE", files, "Image files")->required();

    std::string batch_folder;
    bool game_list = false;
    bool as_json = false;
    CLI::App* batch = app.add_subcommand("batch", "Sort and rename every image of a folder, as \"Start Batchmode\" does");
    add_common_options(*batch, options);
    batch->add_flag("--gamelist", game_list, "Create gamelist (games.htm)");
    batch->add_flag("--json", as_json, "Print the outcome as one JSON object");
    batch->add_option("FOLDER", batch_folder, "The folder to process")->required();

    DatabaseCommandLine database_command;
    add_database_commands(app, database_command);

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
    if (options.database.empty())
        options.database = chosen_database_path();

    if (*info)
        return run_info(files, options, out, err);
    if (*batch)
        return run_batch(batch_folder, options, game_list, as_json, out, err, stderr_is_terminal);
    return exit_usage;
}

} // namespace cartonym
