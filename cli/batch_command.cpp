// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli batch: one batch run over a folder, as "Start Batchmode" does.
#include "cli/command.h"

#include "common/number_text.h"
#include "common/system_calls.h"
#include "naming/file_names.h"
#include "operations/engine.h"
#include "operations/identification.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace cartonym {
namespace {

using namespace cli_output;

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

// A file-system name exactly, whatever its bytes: the form unknown.log
// writes (escapes for bytes that are not UTF-8 and for characters the code
// page lacks), as UTF-8.
std::string exact_name(const std::string& name) { return as_utf8(escaped_file_name(name)); }

json identified_by(IdentifiedBy tier)
{
    return tier == IdentifiedBy::catalogue ? json("catalogue")
        : tier == IdentifiedBy::database   ? json("database")
                                           : json(nullptr);
}

json companions_array(const std::vector<CompanionMove>& moves)
{
    json companions = json::array();
    for (const CompanionMove& move : moves)
        companions.push_back({{"from", move.from}, {"to", move.to.empty() ? json(nullptr) : json(move.to)},
            {"outcome", companion_outcome_name(move.outcome)}});
    return companions;
}

json plan_array(const std::vector<PlannedFile>& plan, bool with_catalogues)
{
    json files = json::array();
    for (const PlannedFile& file : plan) {
        files.push_back({{"file", file.file}, {"outcome", outcome_name(file.outcome)},
            {"destination", file.destination.empty() ? json(nullptr) : json(file.destination)}});
        if (with_catalogues)
            files.back()["identified_by"] = identified_by(file.identified_by);
        if (!file.reason.empty())
            files.back()["reason"] = file.reason;
        if (!file.companions.empty())
            files.back()["companions"] = companions_array(file.companions);
        if (!file.companion_note.empty())
            files.back()["companion_note"] = file.companion_note;
    }
    return files;
}

// The files that have companions, or whose name looks like a companion's
// of more than one image: each with its companions' moves.
json companion_files(const std::vector<PlannedFile>& plan)
{
    json files = json::array();
    for (const PlannedFile& file : plan) {
        if (file.companions.empty() && file.companion_note.empty())
            continue;
        files.push_back({{"file", file.file}, {"companions", companions_array(file.companions)}});
        if (!file.companion_note.empty())
            files.back()["companion_note"] = file.companion_note;
    }
    return files;
}

json batch_object(const BatchResult& result, bool dry_run, bool with_catalogues)
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
        object["dry_run"] = true;
        object["plan"] = plan_array(result.plan, with_catalogues);
    }
    if (with_catalogues)
        object["verified"] = result.counts.verified;
    if (result.met_companions) {
        object["companions_moved"] = result.companions_moved;
        object["companions"] = companion_files(result.plan);
    }
    return object;
}

// The statistics panel, top to bottom, then the unknown images' names.
void write_batch_panel(const BatchResult& result, bool with_catalogues, std::ostream& out)
{
    const BatchCounts& counts = result.counts;
    out << total_caption << ' ' << decimal_text(counts.total) << '\n'
        << roms_caption << ' ' << decimal_text(counts.roms()) << '\n'
        << already_correct_caption << ' ' << decimal_text(counts.already_correct) << '\n'
        << renamed_caption << ' ' << decimal_text(counts.renamed) << '\n'
        << duplicates_caption << ' ' << decimal_text(counts.duplicates) << '\n';
    if (with_catalogues)
        out << "Verified by catalogues: " << counts.verified << '\n';
    for (const std::string& name : result.unknown_names)
        out << name_on_one_line(name) << '\n';
}

void write_plan(const BatchResult& result, std::ostream& out)
{
    for (const PlannedFile& file : result.plan) {
        out << name_on_one_line(file.file) << " -> " << outcome_name(file.outcome);
        if (!file.destination.empty())
            out << ' ' << name_on_one_line(file.destination);
        out << '\n';
        if (!file.companion_note.empty())
            out << "  " << name_on_one_line(file.file) << ": " << file.companion_note << '\n';
        for (const CompanionMove& move : file.companions) {
            out << "  companion " << name_on_one_line(move.from) << " -> " << companion_outcome_name(move.outcome);
            if (!move.to.empty())
                out << ' ' << name_on_one_line(move.to);
            out << '\n';
        }
    }
}

// The companions that stayed behind although their image moved, each with
// the reason.
void write_companions_left(const BatchResult& result, std::ostream& out)
{
    for (const PlannedFile& file : result.plan)
        for (const CompanionMove& move : file.companions)
            if (move.outcome == CompanionOutcome::name_taken || move.outcome == CompanionOutcome::passed_over)
                out << name_on_one_line(move.from) << " stays where it is: "
                    << (move.outcome == CompanionOutcome::name_taken ? name_on_one_line(move.to) + " is taken"
                                                                     : std::string("it cannot be moved"))
                    << '\n';
}

// name in at most room characters, its middle given up for "..." when it
// is longer (a character: a byte that does not continue a UTF-8 sequence).
std::string fitted(const std::string& name, std::size_t room)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < name.size(); ++i)
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80)
            starts.push_back(i);
    if (starts.size() <= room)
        return name;
    const std::size_t keep = room > 3 ? room - 3 : 0, tail = starts.size() - keep / 2;
    return name.substr(0, starts[keep - keep / 2]) + "..." + (tail < starts.size() ? name.substr(starts[tail]) : "");
}

// The progress indicator on a terminal, rewritten in place: "Batchmode: N %",
// then the files done of the run's count with the time left and the file in
// hand, within 79 columns; drawn at the start, for a new file when the
// percentage changed or at most every quarter of a second, and at the end.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err)
        : err_(err)
    { }
    void show(float value)
    {
        percent_ = static_cast<int>(std::floor(value));
        if (files_.empty() && percent_ == 0)
            draw(false);
    }
    void file(std::int32_t number, std::int32_t count, const std::string& name)
    {
        const auto now = std::chrono::steady_clock::now();
        if (number == 1)
            first_ = now;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - first_).count();
        files_ = " (" + progress_text(number, count, elapsed) + ") ";
        name_ = name_on_one_line(name);
        draw(true);
    }
    void end()
    {
        if (started_)
            draw(false);
        if (started_)
            err_ << '\n';
        started_ = false;
    }

private:
    void draw(bool timed)
    {
        const auto now = std::chrono::steady_clock::now();
        if (percent_ == shown_ && (!timed || now - drawn_ < std::chrono::milliseconds(250)))
            return;
        shown_ = percent_;
        drawn_ = now;
        started_ = true;
        std::string line = "Batchmode: " + std::to_string(percent_) + " %";
        if (!files_.empty())
            line += files_ + fitted(name_, 79 - std::min<std::size_t>(79, line.size() + files_.size()));
        err_ << '\r' << line << "\x1b[K" << std::flush; // the rest of the previous line erased
    }

    std::ostream& err_;
    int percent_ = 0, shown_ = -1;
    bool started_ = false;
    std::string files_, name_;
    std::chrono::steady_clock::time_point first_, drawn_;
};

class BatchCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ =
            options_.add_command(app, "batch", "Sort and rename every image of a folder, as \"Start Batchmode\" does");
        command_->add_flag("--gamelist", game_list_, "Create gamelist (games.htm)");
        command_->add_flag("--json", as_json_, "Print the outcome as one JSON object");
        command_->add_flag("--dry-run", dry_run_, "Print what the run would do with every file and change nothing");
        command_->add_flag(
            "--no-companions", without_companions_, "Leave saves, patches and other companion files where they are");
        command_->add_option("FOLDER", folder_, "The folder to process")->required();
    }

    int run(const CommandStreams& streams) override
    {
        SortingRun run;
        run.options = {folder_, options_.database_path(), options_.without_spaces, game_list_, dry_run_};
        run.options.archives = !options_.without_archives;
        CataloguesForCli opened = options_.open_for_cli(streams.err);
        if (opened.outcome == OpeningOutcome::stop)
            return exit_usage;
        run.options.companions = !without_companions_;
        const std::unique_ptr<CatalogueSession> catalogues = std::move(opened.session);
        run.options.catalogues = catalogues ? &catalogues->tier() : nullptr;
        ProgressLine progress(streams.err);
        if (streams.stderr_is_terminal) {
            run.observer.progress = [&progress](float value) { progress.show(value); };
            run.observer.file_started = [&progress](std::int32_t number, std::int32_t count, const std::string& file) {
                progress.file(number, count, file);
            };
        }
        // Ctrl-C and SIGTERM stop the run between two files; what was done so
        // far is then printed with "Interrupted".
        const InterruptSignalCatch interrupt_catch;
        run.observer.stop_requested = [] { return caught_interrupt_signal() != 0; };
        run.journal_trouble = [&](JournalTrouble trouble, const std::string& reason) {
            if (trouble == JournalTrouble::not_completed)
                progress.end(); // the run is over: the warning goes below the progress line
            streams.err << "cartonym-cli: " << journal_trouble_text(trouble, reason) << '\n';
        };
        const BatchResult result = sort_folder(run);
        progress.end();
        print(result, streams, catalogues != nullptr);
        if (catalogues)
            save_cache_for_cli(*catalogues, streams.err);
        switch (result.outcome) {
        case BatchOutcome::failed: return result.setup_failed ? exit_usage : exit_failure;
        case BatchOutcome::interrupted: return 128 + caught_interrupt_signal();
        default: return exit_ok;
        }
    }

private:
    void print(const BatchResult& result, const CommandStreams& streams, bool with_catalogues) const
    {
        std::ostream& out = streams.out;
        if (result.outcome == BatchOutcome::failed)
            streams.err << as_utf8(result.message.text) << '\n';
        if (as_json_) {
            out << json_line(batch_object(result, dry_run_, with_catalogues)) << '\n';
        } else {
            if (dry_run_)
                write_plan(result, out);
            out << as_utf8(result.message.text) << '\n';
            if (result.outcome == BatchOutcome::completed || result.outcome == BatchOutcome::interrupted)
                write_batch_panel(result, with_catalogues, out);
            if (!dry_run_)
                write_companions_left(result, out);
        }
        out.flush();
    }

    NamingOptions options_;
    std::string folder_;
    bool game_list_ = false;
    bool as_json_ = false;
    bool dry_run_ = false;
    bool without_companions_ = false;
};

} // namespace

std::unique_ptr<Command> make_batch_command() { return std::make_unique<BatchCommand>(); }

} // namespace cartonym
