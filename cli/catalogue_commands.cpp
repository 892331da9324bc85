// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli catalogue add|list|remove: the registered catalogues; and
// cartonym-cli report: a folder held against the catalogues.
#include "cli/command.h"

#include "common/error.h"
#include "naming/database_location.h"
#include "operations/catalogue_report.h"
#include "operations/identification.h"

#include "cli/output.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace cartonym {
namespace {

using namespace cli_output;

class CatalogueCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ = app.add_subcommand("catalogue", "List, add and remove the registered ROM catalogues")
                       ->require_subcommand(1);
        add_ = command_->add_subcommand("add", "Check catalogues and register copies of them");
        add_->add_option("FILE", files_, "Logiqx XML, clrmamepro or SMDB catalogues")->required();
        list_ = command_->add_subcommand("list", "Print the registered catalogues");
        list_->add_flag("--json", as_json_, "One JSON object per catalogue");
        remove_ = command_->add_subcommand("remove", "Remove a registered catalogue");
        remove_->add_option("NAME", name_, "The file name that list prints")->required();
    }

    int run(const CommandStreams& streams) override
    {
        try {
            if (add_->parsed()) {
                for (const CatalogueSummary& added : add_catalogues(files_))
                    streams.out << "registered " << added.file << '\n';
                return exit_ok;
            }
            if (list_->parsed())
                return list(streams);
            if (remove_catalogue(name_))
                return exit_ok;
            streams.err << "cartonym-cli: no registered catalogue is named " << name_ << '\n';
            return exit_failure;
        } catch (const Error& error) {
            streams.err << "cartonym-cli: " << error.what() << '\n';
            return exit_usage;
        }
    }

private:
    int list(const CommandStreams& streams) const
    {
        int status = exit_ok;
        for (const CatalogueSummary& catalogue : list_catalogues()) {
            if (!catalogue.fault.empty()) {
                streams.err << "cartonym-cli: " << catalogue.fault << '\n';
                status = exit_usage;
            } else if (as_json_) {
                streams.out << json_line({{"file", catalogue.file}, {"name", catalogue.name},
                    {"version", catalogue.version}, {"roms", catalogue.roms}})
                            << '\n';
            } else {
                streams.out << catalogue.file << '\t' << catalogue.name << '\t' << catalogue.version << '\t'
                            << catalogue.roms << " roms\n";
            }
        }
        return status;
    }

    CLI::App *add_ = nullptr, *list_ = nullptr, *remove_ = nullptr;
    std::vector<std::string> files_;
    std::string name_;
    bool as_json_ = false;
};

json report_object(const CatalogueReport& report)
{
    json catalogues = json::array();
    for (const CatalogueReport::PerCatalogue& per : report.catalogues) {
        json have = json::array(), missing = json::array();
        for (const CatalogueReport::Have& entry : per.have)
            have.push_back({{"game", entry.entry->game_name}, {"rom", entry.entry->rom_name}, {"paths", entry.paths}});
        for (const CatalogueEntry* entry : per.missing)
            missing.push_back({{"game", entry->game_name}, {"rom", entry->rom_name}});
        catalogues.push_back({{"name", per.name}, {"file", per.catalogue->path}, {"have", have}, {"missing", missing}});
    }
    json unknown = json::array();
    for (const CatalogueReport::Unknown& file : report.unknown)
        unknown.push_back({{"path", file.path}, {"crc32", file.crc32}, {"sha1", file.sha1}, {"result", file.result}});
    return {{"catalogues", catalogues}, {"unknown", unknown}};
}

class ReportCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ = app.add_subcommand("report", "Hold a folder against the catalogues: have, missing, unknown");
        catalogue_options_.add_to(*command_, false);
        add_database_option(*command_, database_);
        add_archives_option(*command_, without_archives_);
        command_->add_flag("-r,--recursive", recursive_, "Take the files of sub-folders too");
        auto* json_flag = command_->add_flag("--json", as_json_, "The report as one JSON object");
        auto* csv_flag = command_->add_flag("--csv", as_csv_, "The report as CSV")->excludes(json_flag);
        command_->add_option("--html", html_, "Write the report as an HTML page to FILE")
            ->excludes(json_flag)
            ->excludes(csv_flag);
        command_->add_option("--fixdat", fixdat_, "Write a Logiqx catalogue of the missing entries to FILE");
        command_->add_option("FOLDER", folder_, "The folder to report on")->required();
    }

    int run(const CommandStreams& streams) override
    {
        const CataloguesForCli opened = open_catalogues_for_cli(catalogue_options_, streams.err);
        if (opened.outcome == OpeningOutcome::stop)
            return exit_usage;
        const std::unique_ptr<CatalogueSession>& session = opened.session;
        if (!session) {
            streams.err << "cartonym-cli: report needs a catalogue: give --dat FILE or register one with "
                           "catalogue add\n";
            return exit_usage;
        }
        try {
            const CatalogueReport report = make_report(*session, folder_, recursive_,
                database_.empty() ? chosen_database_path() : database_, false, !without_archives_);
            for (const std::string& error : report.errors)
                streams.err << "cartonym-cli: " << error << '\n';
            if (as_json_)
                streams.out << json_line(report_object(report)) << '\n';
            else if (as_csv_)
                streams.out << report_csv(report);
            else if (html_.empty())
                streams.out << report_text(report, name_on_one_line);
            else
                write_report_file(html_, report_html(report));
            if (!fixdat_.empty())
                write_report_file(fixdat_, missing_as_logiqx(report));
        } catch (const Error& error) {
            streams.err << "cartonym-cli: " << error.what() << '\n';
            return exit_usage;
        }
        try {
            session->save_cache();
        } catch (const Error&) {
            // The report says nothing of a cache it could not keep: the next report only takes longer.
        }
        return exit_ok;
    }

private:
    CatalogueOptions catalogue_options_;
    std::string database_, html_, fixdat_, folder_;
    bool recursive_ = false, as_json_ = false, as_csv_ = false, without_archives_ = false;
};

} // namespace

std::unique_ptr<Command> make_catalogue_command() { return std::make_unique<CatalogueCommand>(); }
std::unique_ptr<Command> make_report_command() { return std::make_unique<ReportCommand>(); }

} // namespace cartonym
