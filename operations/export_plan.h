// SPDX-License-Identifier: GPL-3.0-or-later
// The plan of an export (export_plan.cpp): every image of the source
// folder found, identified and named, one chosen per game where asked, and
// each given its place in the layout; then what a rerun keeps. The copies
// are made by export_run.cpp.
#pragma once

#include "analysis/archive_reader.h"
#include "database_tools/content_digest.h"
#include "database_tools/rom_catalogue.h"
#include "operations/export_layouts.h"
#include "operations/export_run.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cartonym {

// Where a copy's bytes come from: a file read raw or an archive's entry,
// without its first skip bytes (the copier header of a headerless copy).
struct CopySource {
    std::string path;
    std::string entry; // "" for a file read raw
    std::uint64_t skip = 0;
};

// Hands the source's bytes to sink in pieces (of piece_size bytes where it is a
// file read raw); Error when it cannot be read (52 for an archive entry
// that cannot be read whole).
void stream_source(const CopySource& source, const PieceSink& sink, std::size_t piece_size = std::size_t{1} << 20);

// The SHA-1 and CRC32 of the bytes a copy of source gets.
ContentDigest source_digest(const CopySource& source);

// One image of the plan with what its copy needs.
struct PlannedImage {
    ExportItem item;
    CopySource source;
    std::string target_path;                  // the copy's path ("" when left out)
    const CatalogueEntry* entry = nullptr;    // the catalogue's entry of a verified image
    std::uint64_t data_start = 0;             // where the copy's cartridge data begins (a header kept)
    std::vector<std::string> companion_paths; // the sources of item.companions
    std::uint32_t crc32 = 0;                  // of the copy, once copied or kept
};

struct ExportPlan {
    const ExportLayout* layout = nullptr;
    std::vector<PlannedImage> images;
    std::size_t other_files = 0;
    bool grouped_by_clones = false;
    std::vector<std::string> folders; // the target folders the copies need, outermost first
};

// Finds, identifies, names and places every image of options.from; then
// what is kept and what clashes at the target. Throws Error when the
// source folder cannot be read.
ExportPlan plan_export(const ExportOptions& options, const ExportLayout& layout);

// Whether digest is the cartridge data the catalogue's entry lists.
bool matches_entry(const ContentDigest& digest, const CatalogueEntry& entry);

} // namespace cartonym
