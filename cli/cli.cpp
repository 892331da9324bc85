// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include "cli/command.h"
#include "common/program_info.h"
#include "naming/database_location.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>

#include <array>

namespace cartonym {
namespace {

// Every command of cartonym-cli, in the order --help lists them.
constexpr std::array command_table = {
    &make_info_command,
    &make_batch_command,
    &make_database_command,
    &make_undo_command,
    &make_catalogue_command,
    &make_report_command,
    &make_export_command,
};

} // namespace

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool stderr_is_terminal)
{
    using namespace cli_output;
    CLI::App app{"Identifies SNES ROM images and gives them their proper names.", "cartonym-cli"};
    // The version, and which name database the commands use without --db.
    app.set_version_flag("--version", [] {
        return std::string("cartonym-cli ") + program_info::version_text + "\nname database: " + chosen_database_path();
    });
    app.require_subcommand(1);

    std::vector<std::unique_ptr<Command>> commands;
    for (const auto make : command_table) {
        commands.push_back(make());
        commands.back()->add_to(app);
    }

    std::vector<std::string> arguments(args.rbegin(), args.rend());
    if (!arguments.empty())
        arguments.pop_back(); // the program name
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        return code == 0 ? exit_ok : exit_usage;
    }
    for (const auto& command : commands) {
        if (command->chosen())
            return command->run({out, err, stderr_is_terminal});
    }
    return exit_usage;
}

} // namespace cartonym
