// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/command.h"

#include "naming/database_location.h"
#include "naming/name_database.h"
#include "operations/engine.h"
#include "operations/identification.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>

namespace cartonym {

bool Command::chosen() const { return command_ != nullptr && command_->parsed(); }

void add_database_option(CLI::App& command, std::string& database)
{
    command
        .add_option("--db", database, "The name database (default: the user's own, else snes.dat beside the program)")
        ->check([](const std::string& value) {
            return value.empty() ? std::string("--db needs a file name") : std::string();
        });
}

void add_archives_option(CLI::App& command, bool& without_archives)
{
    command.add_flag("--no-archives", without_archives, "Read every file raw, archives too");
}

void NamingOptions::add_to(CLI::App& command)
{
    add_database_option(command, database);
    add_archives_option(command, without_archives);
    command.add_flag(
        "--no-spaces", without_spaces, "Long filenames without spaces: every space of a new name becomes \"_\"");
    catalogues.add_to(command);
}

CLI::App* NamingOptions::add_command(CLI::App& app, const std::string& name, const std::string& description)
{
    CLI::App* command = app.add_subcommand(name, description);
    add_to(*command);
    return command;
}

CataloguesForCli NamingOptions::open_for_cli(std::ostream& err) const
{
    if (!check_database_for_cli(database_path(), err))
        return {OpeningOutcome::stop, nullptr};
    return open_catalogues_for_cli(catalogues, err);
}

std::string NamingOptions::database_path() const { return database.empty() ? chosen_database_path() : database; }

void CatalogueOptions::add_to(CLI::App& command, bool with_no_dat)
{
    auto* dat =
        command
            .add_option("--dat", files, "A ROM catalogue for verified names (repeatable; default: the registered ones)")
            ->allow_extra_args(false);
    if (with_no_dat)
        command.add_flag("--no-dat", none, "Use no catalogue")->excludes(dat);
}

CataloguesForCli open_catalogues_for_cli(const CatalogueOptions& options, std::ostream& err)
{
    try {
        return {OpeningOutcome::ready,
            CatalogueSession::open({options.files, options.none},
                [&err](const std::string& note) { err << "cartonym-cli: " << note << '\n'; })};
    } catch (const Error& error) {
        err << "cartonym-cli: " << error.what() << '\n';
        return {OpeningOutcome::stop, nullptr};
    }
}

void save_cache_for_cli(CatalogueSession& session, std::ostream& err)
{
    try {
        session.save_cache();
    } catch (const Error& failure) {
        err << "cartonym-cli: the digest cache cannot be written: " << failure.what() << '\n';
    }
}

bool check_database_for_cli(const std::string& path, std::ostream& err)
{
    const StartupCheckResult check = check_database_at_startup(path);
    if (check.state != StartupState::ready)
        err << cli_output::as_utf8(check.message) << '\n';
    if (check.state == StartupState::database_missing)
        err << looked_for_line(path) << '\n';
    return check.state != StartupState::database_missing;
}

} // namespace cartonym
