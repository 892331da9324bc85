// cartonym-cli undo: lists the runs kept in journals and takes a run back.
#pragma once

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace cartonym {

// The "undo" subcommand's choices as the command line gives them.
struct UndoCommandLine {
    CLI::App* undo = nullptr;
    bool list = false;
    bool dry_run = false;
    bool json = false;
    std::string run; // "" for the latest run not yet undone

    bool chosen() const;
};

// Registers "undo" on the application.
void add_undo_command(CLI::App& app, UndoCommandLine& line);

// Runs it; returns the exit status: 0 everything went back, 1 something
// could not (each named), 2 an unknown run or no run to undo.
int run_undo_command(const UndoCommandLine& line, std::ostream& out, std::ostream& err);

} // namespace cartonym
