// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli export: a set of checked copies for a device, in its layout.
#include "cli/command.h"

#include "common/system_calls.h"
#include "database_tools/catalogue_tier.h"
#include "operations/engine.h"
#include "operations/export_layouts.h"
#include "operations/export_run.h"
#include "operations/identification.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>

namespace cartonym {
namespace {

using namespace cli_output;

const char* outcome_text(ExportOutcome outcome)
{
    switch (outcome) {
    case ExportOutcome::completed: return "completed";
    case ExportOutcome::failed: return "failed";
    case ExportOutcome::interrupted: return "interrupted";
    }
    return "failed";
}

json nullable(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

json item_object(const ExportItem& item, bool dry_run)
{
    json companions = json::array();
    for (const ExportCompanion& companion : item.companions)
        companions.push_back({{"source", companion.source}, {"target", companion.target},
            {"action", export_action_name(companion.action, dry_run)}});
    const json by = item.identified_by == IdentifiedBy::catalogue ? json("catalogue")
        : item.identified_by == IdentifiedBy::database            ? json("database")
                                                                  : json(nullptr);
    return {{"source", item.source}, {"source_escaped", exact_name(item.source)}, {"entry", nullable(item.entry)},
        {"target", nullable(item.target)}, {"name", nullable(item.name)}, {"identified_by", by},
        {"action", export_action_name(item.action, dry_run)}, {"headerless", item.headerless_copy},
        {"reason", nullable(item.reason)}, {"companions", companions}};
}

json export_object(const ExportResult& result, const ExportOptions& options)
{
    json items = json::array();
    for (const ExportItem& item : result.items)
        items.push_back(item_object(item, options.dry_run));
    json object = {{"outcome", outcome_text(result.outcome)}, {"dry_run", options.dry_run}, {"layout", options.layout},
        {"copied", result.copied}, {"kept", result.kept}, {"clashes", result.clashes}, {"unknown", result.unknown},
        {"left_out", result.left_out}, {"failed", result.failed}, {"bytes_copied", result.bytes_copied},
        {"other_files", result.other_files}, {"items", items}, {"run", nullable(result.run_name)},
        {"message", nullable(result.message)}};
    if (options.one_per_game)
        object["grouped_by"] = result.grouped_by_clones ? "parent" : "name";
    if (!result.side_file.empty())
        object["side_file"] = {
            {"path", result.side_file}, {"action", side_file_action_name(result.side_file_action, options.dry_run)}};
    return object;
}

void write_lines(const ExportResult& result, const ExportOptions& options, std::ostream& out)
{
    for (const ExportItem& item : result.items) {
        out << name_on_one_line(item.source) << " -> " << export_action_name(item.action, options.dry_run);
        if (!item.target.empty())
            out << ' ' << name_on_one_line(item.target);
        if (!item.reason.empty())
            out << " (" << item.reason << ')';
        out << '\n';
        for (const ExportCompanion& companion : item.companions)
            out << "  companion " << name_on_one_line(companion.source) << " -> "
                << export_action_name(companion.action, options.dry_run) << ' ' << name_on_one_line(companion.target)
                << '\n';
    }
    if (!result.side_file.empty())
        out << name_on_one_line(result.side_file) << " -> "
            << side_file_action_name(result.side_file_action, options.dry_run) << '\n';
    if (options.one_per_game)
        out << (result.grouped_by_clones ? "One per game: grouped by the catalogue's parents and clones\n"
                                         : "One per game: grouped by names without their bracketed tags (no clone "
                                           "data)\n");
    out << "Exported: " << result.copied << (options.dry_run ? " to copy, " : " copied, ") << result.kept << " kept, "
        << result.clashes << " clashes, " << result.unknown << " unknown, " << result.left_out << " left out, "
        << result.failed << " failed\n";
    if (!result.run_name.empty())
        out << "Run " << result.run_name << " (cartonym-cli undo " << result.run_name << " takes it back)\n";
}

class ExportCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ =
            app.add_subcommand("export", "Copy the images of a folder as a set for a device, checked, in its layout");
        add_database_option(*command_, database_);
        add_archives_option(*command_, without_archives_);
        catalogues_.add_to(*command_);
        command_->add_option("--layout", options_.layout, "The folder layout: " + layout_names() + " (default: plain)");
        command_->add_flag("--headerless", headerless_, "Copy without the 512-byte copier header, as .sfc");
        command_->add_flag("--one-per-game", options_.one_per_game, "Keep one image per game");
        command_->add_option("--prefer", prefer_, "Region order of --one-per-game (default: USA,World,Europe,Japan)");
        command_->add_option(
            "--include-kinds", kinds_, "Kinds --one-per-game may choose after all (Beta,Proto,Demo,Sample,Pirate,Unl)");
        command_->add_flag("--include-unknown", options_.include_unknown, "Copy unknown images under their own name");
        command_->add_option("--per-folder", options_.per_folder, "At most N images per letter folder (letters)");
        command_->add_flag("--no-companions", without_companions_, "Copy no saves, patches or other companion files");
        command_->add_flag("--dry-run", options_.dry_run, "Print what the export would do and copy nothing");
        command_->add_flag("--json", as_json_, "Print the outcome as one JSON object");
        command_->add_option("FROM", options_.from, "The folder of images")->required();
        command_->add_option("TO", options_.to, "The folder the set goes into")->required();
    }

    int run(const CommandStreams& streams) override
    {
        options_.database_path = database_.empty() ? NamingOptions{}.database_path() : database_;
        if (!check_database_for_cli(options_.database_path, streams.err))
            return exit_usage;
        CataloguesForCli opened = open_catalogues_for_cli(catalogues_, streams.err);
        if (opened.outcome == OpeningOutcome::stop)
            return exit_usage;
        const std::unique_ptr<CatalogueSession> catalogues = std::move(opened.session);
        options_.catalogues = catalogues ? &catalogues->tier() : nullptr;
        options_.archives = !without_archives_;
        options_.companions = !without_companions_;
        if (headerless_)
            options_.headerless = true;
        if (!prefer_.empty())
            options_.rules.region_order = comma_separated(prefer_);
        options_.rules.included_kinds = comma_separated(kinds_);
        ExportRun run{options_, {}};
        const InterruptSignalCatch interrupt_catch;
        run.observer.stop_requested = [] { return caught_interrupt_signal() != 0; };
        show_progress(run, streams);
        const ExportResult result = export_set(run);
        if (streams.stderr_is_terminal)
            streams.err << '\n';
        print(result, streams);
        if (catalogues)
            save_cache_for_cli(*catalogues, streams.err);
        if (result.outcome == ExportOutcome::interrupted)
            return 128 + caught_interrupt_signal();
        if (result.outcome == ExportOutcome::failed)
            return result.error ? exit_usage : exit_failure;
        return exit_ok;
    }

private:
    void show_progress(ExportRun& run, const CommandStreams& streams) const
    {
        if (!streams.stderr_is_terminal)
            return;
        const auto start = std::chrono::steady_clock::now();
        run.observer.progress = [&streams, start](const ExportProgress& progress) {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            streams.err << "\rExport: "
                        << progress_text(static_cast<std::int32_t>(progress.done + 1),
                               static_cast<std::int32_t>(progress.total), elapsed)
                        << "\x1b[K" << std::flush;
        };
    }

    void print(const ExportResult& result, const CommandStreams& streams) const
    {
        if (!result.message.empty())
            streams.err << "cartonym-cli: " << result.message << '\n';
        if (!result.journal_issue.empty())
            streams.err << "cartonym-cli: the export's journal: " << result.journal_issue << '\n';
        if (as_json_)
            streams.out << json_line(export_object(result, options_)) << '\n';
        else
            write_lines(result, options_, streams.out);
        streams.out.flush();
    }

    ExportOptions options_;
    std::string database_, prefer_, kinds_;
    CatalogueOptions catalogues_;
    bool without_archives_ = false, without_companions_ = false, headerless_ = false, as_json_ = false;
};

} // namespace

std::unique_ptr<Command> make_export_command() { return std::make_unique<ExportCommand>(); }

} // namespace cartonym
