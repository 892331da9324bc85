// SPDX-License-Identifier: GPL-3.0-or-later
// The report of a folder held against the catalogues: per catalogue the
// entries found (have) and not found (missing), and once for the folder
// the files no entry matches (unknown). Nothing in the folder changes.
#pragma once

#include "operations/identification.h"

#include <string>
#include <vector>

namespace cartonym {

struct CatalogueReport {
    struct Have {
        const CatalogueEntry* entry = nullptr;
        std::vector<std::string> paths; // every file that matches it
    };
    struct PerCatalogue {
        const LoadedCatalogue* catalogue = nullptr;
        std::string name; // the header's name, else the file's
        std::vector<Have> have;
        std::vector<const CatalogueEntry*> missing;
    };
    struct Unknown {
        std::string path;
        std::string crc32, sha1; // lower-case hex; "" for a file over the digest limit
        std::string result;      // the tier-2/3 result: "named <full name>", "unknown image" or "not an image"
        bool image_or_archive = false;
    };
    std::vector<PerCatalogue> catalogues;
    std::vector<Unknown> unknown;
    std::vector<std::string> errors; // files that could not be read, each "<path>: <error>"
    std::string folder, made_at;     // the folder held against them; when (UTC, readable)

    // The unknown files that are images or archives (the others are no image).
    std::size_t unknown_images() const;
};

// Holds the folder's files (recursive: those of its sub-folders too, in the
// batch run's order) against the session's catalogues; with archives, an
// archive of one image as that image. Throws Error when the folder cannot
// be read.
CatalogueReport make_report(const CatalogueSession& session, const std::string& folder, bool recursive,
    const std::string& database_path, bool without_spaces = false, bool archives = true);

// The report's forms: plain lines, CSV (status, catalogue, game, rom, path,
// crc32, sha1), an escaped HTML page, and a Logiqx catalogue of the
// missing entries. All UTF-8. The page begins with its summary: the
// folder, the date, the counts of each catalogue, the unknown images and
// archives, and the other files apart. The plain lines show each game and path
// through on_one_line, which keeps a line break in a name off the line.
std::string report_text(const CatalogueReport& report, std::string (*on_one_line)(const std::string&));
std::string report_csv(const CatalogueReport& report);
std::string report_html(const CatalogueReport& report);
std::string missing_as_logiqx(const CatalogueReport& report);

// Writes a report file at path through a working file beside it, never
// replacing a file: throws Error (58 when path exists).
void write_report_file(const std::string& path, const std::string& content);

} // namespace cartonym
