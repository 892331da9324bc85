// cartonym-cli db check | learn | import-dat: checking and growing the name
// database.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace cartonym {

// The "db" subcommand's choices as the command line gives them.
struct DatabaseCommandLine {
    CLI::App* db = nullptr;
    CLI::App* check = nullptr;
    CLI::App* learn = nullptr;
    CLI::App* import_dat = nullptr;
    std::string database; // --db, "" for the chosen default
    bool write = false;
    bool json = false;
    bool recursive = false;
    std::string catalogue;
    std::vector<std::string> paths;

    bool chosen() const;
};

// Registers "db" and its subcommands on the application.
void add_database_commands(CLI::App& app, DatabaseCommandLine& line);

// Runs the chosen db subcommand; returns the exit status.
int run_database_command(const DatabaseCommandLine& line, std::ostream& out, std::ostream& err);

} // namespace cartonym
