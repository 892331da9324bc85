// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli info: file mode's selection of each file, one JSON line each.
#include "cli/command.h"

#include "analysis/archive_reader.h"
#include "analysis/header_detection.h"
#include "common/error.h"
#include "naming/name_database.h"
#include "operations/file_mode.h"
#include "operations/identification.h"

#include "cli/output.h"
#include "common/paths.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>

namespace cartonym {
namespace {

using namespace cli_output;

json image_object(const std::string& file, const FileSelection& selection)
{
    // File mode's selection; where the window shows "ROM unknown !", info
    // gives empty names.
    if (!selection.analysis.Rom_ok)
        return {{"file", file}, {"rom_ok", false}};
    const RomAnalysis& analysis = selection.analysis;
    const bool known = selection.state == SelectionState::known;
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
        {"full_name", known ? as_utf8(selection.names.Voller_name) : std::string()},
        {"new_name", known ? as_utf8(selection.names.Neuer_name) : std::string()},
    };
}

// With catalogues in use: which tier named the file, the catalogue, the
// digests; a verified file carries the catalogue's names.
void add_tier(json& object, const Identification& identification)
{
    const Verification& verification = identification.verification;
    object["identified_by"] = identification.identified_by == IdentifiedBy::catalogue ? json("catalogue")
        : identification.identified_by == IdentifiedBy::database                      ? json("database")
                                                                                      : json(nullptr);
    if (const ContentDigest* digest = verification.digest()) {
        object["crc32"] = hex_text(digest->crc32);
        object["sha1"] = hex_text(digest->sha1);
    }
    if (!verification.entry)
        return;
    const std::string& name = verification.catalogue->catalogue.name();
    object["catalogue"] = name.empty() ? base_name(verification.catalogue->path) : name;
    object["full_name"] = verification.entry->game_name;
    object["new_name"] = verification.new_name;
}

json info_object(
    const std::string& file, const std::string& database, bool without_spaces, const CatalogueSession* catalogues)
{
    const Identification identification = identify_file(file, database, without_spaces, catalogues);
    json object = image_object(file, identification.selection);
    if (catalogues)
        add_tier(object, identification);
    return object;
}

// The line of one entry of an archive, verified when catalogues are in use;
// a rejected entry only when a catalogue knows it (nullopt otherwise).
std::optional<json> entry_line(const std::string& file, const ArchiveAnalysis& archive, const EntryAnalysis& image,
    const std::string& database, const NamingOptions& options, const CatalogueSession* catalogues,
    const EntryDigestTaker* taken)
{
    Verification verification;
    if (catalogues) {
        const AnalysedFile analysed{archive.identity, image.head};
        verification =
            catalogues->tier().verify_entry(file, image.entry, image.analysis, options.without_spaces, analysed, taken);
    }
    if (!image.analysis.Rom_ok && !verification.entry)
        return std::nullopt;
    const Identification identification =
        identify_analysed(image.analysis, std::move(verification), database, options.without_spaces);
    json line = image_object(file, identification.selection);
    line["entry"] = image.entry;
    if (catalogues)
        add_tier(line, identification);
    return line;
}

// One line per file, or per image entry of an archive.
std::vector<json> info_lines(const std::string& file, const std::string& database, const NamingOptions& options,
    const CatalogueSession* catalogues)
{
    // With catalogues, the digests of every image entry are worked out in
    // the pass that analyses the archive.
    const std::unique_ptr<EntryDigestTaker> taker = catalogues ? catalogues->tier().entry_taker(file, true) : nullptr;
    const ArchiveAnalysis archive =
        options.without_archives ? ArchiveAnalysis{} : analyse_archive(file, catalogues != nullptr, taker.get());
    if (archive.kind == ArchiveKind::none)
        return {info_object(file, database, options.without_spaces, catalogues)};
    if (archive.fault != ArchiveFault::none)
        return {{{"file", file}, {"rom_ok", false}, {"archive_error", archive_fault_text(archive.fault)}}};
    std::vector<json> lines;
    for (const EntryAnalysis& image : archive.images)
        lines.push_back(*entry_line(file, archive, image, database, options, catalogues, taker.get()));
    if (archive.images.empty() && catalogues && archive.lone_rejected) {
        if (auto line = entry_line(file, archive, *archive.lone_rejected, database, options, catalogues, taker.get()))
            lines.push_back(std::move(*line));
    }
    if (lines.empty())
        return {{{"file", file}, {"rom_ok", false}}};
    return lines;
}

class InfoCommand : public Command {
public:
    void add_to(CLI::App& app) override
    {
        command_ = options_.add_command(app, "info", "Analyse images and print one JSON line per file");
        command_->add_option("FILE", files_, "Image files")->required();
    }

    int run(const CommandStreams& streams) override
    {
        const std::string database = options_.database_path();
        CataloguesForCli opened = options_.open_for_cli(streams.err);
        if (opened.outcome == OpeningOutcome::stop)
            return exit_usage;
        const std::unique_ptr<CatalogueSession> catalogues = std::move(opened.session);
        int status = exit_ok;
        for (const std::string& file : files_) {
            std::vector<json> lines;
            try {
                lines = info_lines(file, database, options_, catalogues.get());
            } catch (const Error& error) {
                json failure = {{"number", error.value()}, {"description", error.description()}};
                // The database failed, not the image: the error names it.
                if (const auto* failed = dynamic_cast<const DatabaseFailure*>(&error))
                    failure["file"] = failed->path();
                lines = {{{"file", file}, {"error", failure}}};
                status = exit_failure;
            }
            for (const json& line : lines)
                streams.out << json_line(line) << '\n';
        }
        streams.out.flush();
        if (catalogues)
            save_cache_for_cli(*catalogues, streams.err);
        return status;
    }

private:
    NamingOptions options_;
    std::vector<std::string> files_;
};

} // namespace

std::unique_ptr<Command> make_info_command() { return std::make_unique<InfoCommand>(); }

} // namespace cartonym
