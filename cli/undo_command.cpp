// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli undo: lists the runs kept in journals and takes a run back.
#include "cli/command.h"

#include "operations/engine.h"
#include "operations/run_undo.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace cartonym {
namespace {

using namespace cli_output;

const char* state_text(RunState state)
{
    switch (state) {
    case RunState::not_undone: return "not undone";
    case RunState::partly_undone: return "partly undone";
    case RunState::undone: return "undone";
    }
    return "not undone";
}

int list(bool as_json, std::ostream& out)
{
    for (const RunSummary& run : list_runs()) {
        if (as_json) {
            json line = {{"run", run.name}, {"folder", run.folder}, {"folder_escaped", exact_name(run.folder)},
                {"started", run.started}, {"moves", run.moves}, {"undone", run.state == RunState::undone},
                {"state", state_text(run.state)}, {"finished", run.finished}, {"interrupted", run.interrupted}};
            // An export's line tells its copies; a batch run's stays as it was.
            if (run.exported)
                line["copies"] = run.copies;
            out << json_line(line) << '\n';
        } else {
            out << run.name << '\t' << name_on_one_line(run.folder) << '\t' << run.started << '\t'
                << (run.exported ? run.copies : run.moves) << (run.exported ? " copies\t" : " moves\t")
                << state_text(run.state)
                << (run.interrupted       ? " (interrupted)"
                           : run.finished ? ""
                                          : " (stopped before its end)")
                << '\n';
        }
    }
    return exit_ok;
}

// The exact forms of paths beside their UTF-8 ones, which turn a byte that
// is no UTF-8 into U+FFFD.
json exact_names(const std::vector<std::string>& paths)
{
    json names = json::array();
    for (const std::string& path : paths)
        names.push_back(exact_name(path));
    return names;
}

// undo --json: the report as one object, every path with its exact form.
json report_object(const UndoReport& report)
{
    json moved = json::array(), problems = json::array();
    for (const auto& [from, to] : report.moved_back)
        moved.push_back(
            {{"from", from}, {"to", to}, {"from_escaped", exact_name(from)}, {"to_escaped", exact_name(to)}});
    for (const UndoProblem& problem : report.problems)
        problems.push_back(
            {{"file", problem.path}, {"place", problem.place.empty() ? json(nullptr) : json(problem.place)},
                {"reason", problem.reason}, {"file_escaped", exact_name(problem.path)},
                {"place_escaped", problem.place.empty() ? json(nullptr) : json(exact_name(problem.place))}});
    return json({{"run", report.name}, {"folder", report.folder}, {"folder_escaped", exact_name(report.folder)},
        {"dry_run", report.dry_run}, {"complete", report.complete()}, {"moved_back", moved},
        {"not_moved_back", problems}, {"removed", report.removed}, {"removed_escaped", exact_names(report.removed)},
        {"restored", report.restored}, {"restored_escaped", exact_names(report.restored)},
        {"kept_folders", report.kept_folders}, {"kept_folders_escaped", exact_names(report.kept_folders)}});
}

void print_lines(const UndoReport& report, std::ostream& out)
{
    const bool dry = report.dry_run;
    for (const auto& [from, to] : report.moved_back)
        out << (dry ? "would go back: " : "back: ") << name_on_one_line(from) << " -> " << name_on_one_line(to) << '\n';
    for (const std::string& path : report.removed)
        out << (dry ? "would remove: " : "removed: ") << name_on_one_line(path) << '\n';
    for (const std::string& path : report.restored)
        out << (dry ? "would restore: " : "restored: ") << name_on_one_line(path) << '\n';
    for (const std::string& path : report.kept_folders)
        out << "kept (not empty): " << name_on_one_line(path) << '\n';
    out << "Run " << report.name << ": " << went_back_text(report.moved_back.size(), dry) << ", "
        << report.problems.size() << (dry ? " would not\n" : " could not\n");
}

void print_report(const UndoReport& report, bool as_json, std::ostream& out, std::ostream& err)
{
    if (as_json)
        out << json_line(report_object(report)) << '\n';
    else
        print_lines(report, out);
    for (const UndoProblem& problem : report.problems) {
        err << "cartonym-cli: " << name_on_one_line(problem.path) << " stays where it is: " << problem.reason;
        if (!problem.place.empty())
            err << " (it was " << name_on_one_line(problem.place) << ')';
        err << '\n';
    }
}

// The "undo" subcommand: exit status 0 everything went back, 1 something
// could not (each named), 2 an unknown run or no run to undo.
class UndoCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ = app.add_subcommand("undo", "Take back a batch run: every file to where it was, never overwriting");
        CLI::Option* list_option = command_->add_flag("--list", list_, "List the runs kept in journals, newest first");
        command_->add_flag("--dry-run", dry_run_, "Print what undo would do and change nothing")->excludes(list_option);
        command_->add_flag("--json", json_, "Print JSON (one line per run with --list)");
        command_->add_option("RUN", run_, "A run as --list names it (default: the latest not yet undone)")
            ->excludes(list_option);
    }

    int run(const CommandStreams& streams) override
    {
        try {
            if (list_)
                return list(json_, streams.out);
            const UndoReport report = undo_run(run_, dry_run_);
            print_report(report, json_, streams.out, streams.err);
            streams.out.flush();
            return report.complete() ? exit_ok : exit_failure;
        } catch (const JournalUnavailable& error) {
            streams.err << "cartonym-cli: " << error.what() << '\n';
            return exit_usage;
        } catch (const std::exception& error) {
            streams.err << "cartonym-cli: " << error.what() << '\n';
            return exit_failure;
        }
    }

private:
    bool list_ = false;
    bool dry_run_ = false;
    bool json_ = false;
    std::string run_; // "" for the latest run not yet undone
};

} // namespace

std::unique_ptr<Command> make_undo_command() { return std::make_unique<UndoCommand>(); }

} // namespace cartonym
