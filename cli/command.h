// SPDX-License-Identifier: GPL-3.0-or-later
// The commands of cartonym-cli: each a small class that registers its
// options and runs itself, listed in one table (cli.cpp).
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cartonym {

// Where a command writes, and whether stderr is a terminal (for progress).
struct CommandStreams {
    std::ostream& out;
    std::ostream& err;
    bool stderr_is_terminal = false;
};

class Command {
public:
    virtual ~Command() = default;
    // Adds the command, with its options and arguments, to app.
    virtual void add_to(CLI::App& app) = 0;
    // True when the parsed command line chose this command.
    bool chosen() const;
    // Runs it; returns the exit status.
    virtual int run(const CommandStreams& streams) = 0;

protected:
    CLI::App* command_ = nullptr; // set by add_to
};

std::unique_ptr<Command> make_info_command();
std::unique_ptr<Command> make_batch_command();
std::unique_ptr<Command> make_database_command();
std::unique_ptr<Command> make_undo_command();
std::unique_ptr<Command> make_catalogue_command();
std::unique_ptr<Command> make_report_command();
std::unique_ptr<Command> make_export_command();

// The catalogues of info, batch and report: --dat FILE (repeatable) and,
// but for report, --no-dat.
struct CatalogueOptions {
    std::vector<std::string> files;
    bool none = false;

    void add_to(CLI::App& command, bool with_no_dat = true);
};

class CatalogueSession;

// Whether a command can go on after opening its catalogues: stop when it
// must end with exit status 2, what went wrong having been said on err.
enum class OpeningOutcome { ready, stop };

// The catalogues of a command as opened: session is nullptr when none is
// in use (and when the outcome is stop).
struct CataloguesForCli {
    OpeningOutcome outcome = OpeningOutcome::ready;
    std::unique_ptr<CatalogueSession> session;
};

// The catalogues chosen, read; a skipped entry is noted on err. A catalogue
// that cannot be read is said on err and gives stop.
CataloguesForCli open_catalogues_for_cli(const CatalogueOptions& options, std::ostream& err);

// Writes the session's digest cache; a failure is said on err as a warning.
void save_cache_for_cli(CatalogueSession& session, std::ostream& err);

// The options info and batch share: the database, the file-name style and
// the catalogues.
struct NamingOptions {
    std::string database; // "" for the chosen default
    bool without_spaces = false;
    bool without_archives = false; // --no-archives: every file read raw
    CatalogueOptions catalogues;

    void add_to(CLI::App& command);
    // Adds the subcommand name with these options to app; returns it.
    CLI::App* add_command(CLI::App& app, const std::string& name, const std::string& description);
    // The database to use: --db, or the chosen default.
    std::string database_path() const;
    // As info and batch start: the database checked, then the catalogues
    // opened; stop also when the database is missing.
    CataloguesForCli open_for_cli(std::ostream& err) const;
};

// The --db option of every command that reads the database.
void add_database_option(CLI::App& command, std::string& database);

// The --no-archives option of every command that analyses files.
void add_archives_option(CLI::App& command, bool& without_archives);

// The database check shared with the window's start-up: its message on
// stderr when the database is not ready. False when the command must stop
// (the database is missing).
bool check_database_for_cli(const std::string& path, std::ostream& err);

} // namespace cartonym
