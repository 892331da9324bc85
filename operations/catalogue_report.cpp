// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/catalogue_report.h"

#include "analysis/archive_reader.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "operations/folder_listing.h"
#include "operations/journal_format.h"

#include <algorithm>
#include <map>

namespace cartonym {
namespace {

// The folder's files in the batch run's order, then (recursive) those of
// each sub-folder in the same order.
void collect_files(const std::string& folder, bool recursive, std::vector<std::string>& files)
{
    for (const std::string& name : list_files(folder))
        files.push_back(join_path(folder, name));
    if (recursive) {
        for (const std::string& sub : list_subfolders(folder))
            collect_files(join_path(folder, sub), true, files);
    }
}

std::string tier_result(const FileSelection& selection)
{
    if (selection.state == SelectionState::known)
        return "named " + utf8_from_cp1252(selection.names.Voller_name);
    return selection.state == SelectionState::unknown ? "unknown image" : "not an image";
}

// The entries of one catalogue that the digests match (the first of each
// kind), as indexes.
const CatalogueEntry* matching_entry(const RomCatalogue& catalogue, const CartridgeDigests& digests)
{
    const CatalogueEntry* entry = nullptr;
    if (digests.without_first_512)
        entry = catalogue.find(*digests.without_first_512);
    return entry ? entry : catalogue.find(digests.data);
}

class ReportMaker {
public:
    ReportMaker(const CatalogueSession& session, const std::string& database_path, bool without_spaces, bool archives)
        : tier_(session.tier())
        , database_path_(database_path)
        , without_spaces_(without_spaces)
        , archives_(archives)
        , found_(tier_.catalogues().size())
    { }

    void take(const std::string& path)
    {
        // An archive of one image is held against the catalogues as its
        // image, one whose only entry the analysis rejects as that entry;
        // other archives are unknown, without digests.
        const LookedAtFile look = tier_.look_at(path, archives_);
        const RomAnalysis& analysis = look.file.analysis;
        const std::optional<CartridgeDigests> digests = tier_.file_digests(path, look);
        bool matched = false;
        for (std::size_t c = 0; digests && c < found_.size(); ++c) {
            if (const CatalogueEntry* entry = matching_entry(tier_.catalogues()[c].catalogue, *digests)) {
                found_[c][entry].push_back(path);
                matched = true;
            }
        }
        if (matched)
            return;
        CatalogueReport::Unknown unknown{path, {}, {},
            tier_result(select_analysed(analysis, database_path_, without_spaces_)),
            analysis.Rom_ok || look.file.archive != ArchiveKind::none};
        if (digests) {
            unknown.crc32 = hex_text(digests->data.crc32);
            unknown.sha1 = hex_text(digests->data.sha1);
        }
        report_.unknown.push_back(std::move(unknown));
    }

    void note_error(const std::string& path, const Error& error)
    {
        report_.errors.push_back(path + ": " + error.what());
    }

    CatalogueReport finish()
    {
        for (std::size_t c = 0; c < found_.size(); ++c) {
            const LoadedCatalogue& loaded = tier_.catalogues()[c];
            CatalogueReport::PerCatalogue per{&loaded, loaded.catalogue.name(), {}, {}};
            if (per.name.empty())
                per.name = base_name(loaded.path);
            for (const CatalogueEntry& entry : loaded.catalogue.entries()) {
                const auto found = found_[c].find(&entry);
                if (found == found_[c].end())
                    per.missing.push_back(&entry);
                else
                    per.have.push_back({&entry, found->second});
            }
            report_.catalogues.push_back(std::move(per));
        }
        return std::move(report_);
    }

private:
    const CatalogueTier& tier_;
    const std::string& database_path_;
    bool without_spaces_;
    bool archives_;
    std::vector<std::map<const CatalogueEntry*, std::vector<std::string>>> found_;
    CatalogueReport report_;
};

std::string csv_field(const std::string& text)
{
    std::string field = "\"";
    for (const char c : text)
        field += c == '"' ? std::string("\"\"") : std::string(1, c);
    return field + '"';
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// A name as XML 1.0 text, escaped; tab, line feed and carriage return as
// references. What XML cannot hold becomes a stand-in: "?" for another
// control character, U+FFFD for a byte that is no UTF-8, U+FFFE and U+FFFF.
std::string xml_text(const std::string& name)
{
    std::string text;
    for (std::size_t at = 0; at < name.size();) {
        char32_t c = 0;
        if (!decode_utf8(name, at, c)) {
            ++at;
            c = 0xFFFD;
        }
        if (c == '\t' || c == '\n' || c == '\r')
            text += "&#" + std::to_string(static_cast<int>(c)) + ';';
        else if (c < 0x80)
            text += escaped(std::string(1, static_cast<char>(c < 0x20 ? '?' : c)));
        else
            append_utf8(text, c == 0xFFFE || c == 0xFFFF ? 0xFFFD : c);
    }
    return text;
}

std::string digest_of_entry(const CatalogueEntry& entry, bool sha1)
{
    if (sha1)
        return entry.sha1 ? hex_text(*entry.sha1) : std::string();
    return entry.crc32 ? hex_text(*entry.crc32) : std::string();
}

// Every row of the report as status, catalogue, game, rom, path, crc32, sha1.
template <typename Row> void each_row(const CatalogueReport& report, Row&& row)
{
    for (const CatalogueReport::PerCatalogue& per : report.catalogues) {
        for (const CatalogueReport::Have& have : per.have) {
            for (const std::string& path : have.paths)
                row("have", per.name, have.entry->game_name, have.entry->rom_name, path,
                    digest_of_entry(*have.entry, false), digest_of_entry(*have.entry, true));
        }
        for (const CatalogueEntry* entry : per.missing)
            row("missing", per.name, entry->game_name, entry->rom_name, std::string(), digest_of_entry(*entry, false),
                digest_of_entry(*entry, true));
    }
    for (const CatalogueReport::Unknown& unknown : report.unknown)
        row("unknown", std::string(), std::string(), std::string(), unknown.path, unknown.crc32, unknown.sha1);
}

} // namespace

CatalogueReport make_report(const CatalogueSession& session, const std::string& folder, bool recursive,
    const std::string& database_path, bool without_spaces, bool archives)
{
    std::vector<std::string> files;
    collect_files(folder, recursive, files);
    ReportMaker maker(session, database_path, without_spaces, archives);
    for (const std::string& path : files) {
        try {
            maker.take(path);
        } catch (const Error& error) {
            maker.note_error(path, error);
        }
    }
    CatalogueReport report = maker.finish();
    report.folder = folder;
    report.made_at = time_stamp(wall_clock_ns(), true);
    return report;
}

std::size_t CatalogueReport::unknown_images() const
{
    return static_cast<std::size_t>(
        std::ranges::count_if(unknown, [](const Unknown& file) { return file.image_or_archive; }));
}

std::string report_text(const CatalogueReport& report, std::string (*on_one_line)(const std::string&))
{
    std::string text;
    each_row(report,
        [&text, on_one_line](const std::string& status, const std::string&, const std::string& game, const std::string&,
            const std::string& path, const std::string& crc32, const std::string& sha1) {
            if (status == "have")
                text += "have " + on_one_line(game) + '\t' + on_one_line(path) + '\n';
            else if (status == "missing")
                text += "missing " + on_one_line(game) + '\n';
            else
                text += "unknown " + on_one_line(path) + '\t' + crc32 + '\t' + sha1 + '\n';
        });
    for (const CatalogueReport::PerCatalogue& per : report.catalogues)
        text += per.name + ": " + std::to_string(per.have.size()) + " have, " + std::to_string(per.missing.size())
            + " missing\n";
    text += std::to_string(report.unknown.size()) + " unknown\n";
    return text;
}

namespace {

// Every row, each cell as cell() gives it, between the texts of a row.
template <typename Cell>
std::string rows_of(
    const CatalogueReport& report, Cell&& cell, const char* opening, const char* between, const char* closing)
{
    std::string text;
    each_row(report, [&](const auto& first, const auto&... fields) {
        text += opening + cell(first);
        ((text += between + cell(fields)), ...);
        text += closing;
    });
    return text;
}

} // namespace

std::string report_csv(const CatalogueReport& report)
{
    return "status,catalogue,game,rom,path,crc32,sha1\r\n" + rows_of(report, csv_field, "", ",", "\r\n");
}

std::string report_html(const CatalogueReport& report)
{
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Catalogue report</title></head>\n"
                       "<body>\n<h1>Catalogue report</h1>\n<p>Folder: "
        + escaped(report.folder) + "<br>\nMade: " + escaped(report.made_at) + "<br>\n";
    for (const CatalogueReport::PerCatalogue& per : report.catalogues)
        html += escaped(per.name) + ": " + std::to_string(per.have.size()) + " have, "
            + std::to_string(per.missing.size()) + " missing<br>\n";
    const std::size_t images = report.unknown_images();
    html += "Unknown images and archives: " + std::to_string(images)
        + "<br>\nOther files (no image): " + std::to_string(report.unknown.size() - images) + "</p>\n"
        + "<table border=\"1\">\n<tr><th>status</th><th>catalogue</th>"
          "<th>game</th><th>rom</th><th>path</th><th>crc32</th><th>sha1</th></tr>\n";
    return html + rows_of(report, escaped, "<tr><td>", "</td><td>", "</td></tr>\n") + "</table>\n</body></html>\n";
}

std::string missing_as_logiqx(const CatalogueReport& report)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<datafile>\n\t<header>\n\t\t<name>Missing</name>\n"
                      "\t\t<description>The entries of the catalogues that the folder lacks</description>\n"
                      "\t</header>\n";
    for (const CatalogueReport::PerCatalogue& per : report.catalogues) {
        const CatalogueEntry* game = nullptr;
        for (const CatalogueEntry* entry : per.missing) {
            if (!game || game->game != entry->game) {
                if (game)
                    xml += "\t</game>\n";
                game = entry;
                xml += "\t<game name=\"" + xml_text(entry->game_name) + "\">\n\t\t<description>"
                    + xml_text(entry->game_name) + "</description>\n";
            }
            xml += "\t\t<rom name=\"" + xml_text(entry->rom_name) + '"';
            if (entry->has_size)
                xml += " size=\"" + std::to_string(entry->size) + '"';
            if (entry->crc32)
                xml += " crc=\"" + hex_text(*entry->crc32) + '"';
            if (entry->sha1)
                xml += " sha1=\"" + hex_text(*entry->sha1) + '"';
            xml += "/>\n";
        }
        if (game)
            xml += "\t</game>\n";
    }
    return xml + "</datafile>\n";
}

void write_report_file(const std::string& path, const std::string& content)
{
    WorkingFile file(working_name_beside(path));
    file.write(content);
    file.finish();
    file.place(path);
}

} // namespace cartonym
