// SPDX-License-Identifier: GPL-3.0-or-later
// An exported set: the images of a folder (and of its sub-folders, inside
// archives too) copied into another folder in the layout a device expects,
// named after the catalogues or the name database, headerless where
// wanted, one per game where asked. Only copies are made: each is written
// under a private name, flushed, read back and checked, then placed without
// replacing anything; the run's journal lets undo take exactly those
// copies back. The window and cartonym-cli both call export_set().
#pragma once

#include "common/error.h"
#include "database_tools/catalogue_tier.h"
#include "operations/game_selection.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cartonym {

struct ExportOptions {
    std::string from, to; // file-system paths
    std::string database_path;
    const CatalogueTier* catalogues = nullptr; // nullptr: none in use
    std::string layout = "plain";              // a name of export_layouts()
    std::optional<bool> headerless;            // nullopt: as the layout says
    bool one_per_game = false;
    SelectionRules rules;         // with one_per_game
    bool include_unknown = false; // images no catalogue or database names go under their own name
    std::size_t per_folder = 0;   // the letters layout's folder limit; 0: none
    bool archives = true;         // images inside archives are exported
    bool companions = true;       // saves, patches ... are copied with their image
    bool dry_run = false;         // decide everything, copy nothing
    bool journal = true;          // keep a journal for undo (not in a dry run)
};

// What the export did, or in a dry run would do, with one image.
enum class ExportAction {
    copied,          // copied and checked
    kept,            // its target holds the same bytes already: left as it is
    clash,           // another file has its target name: left alone, nothing copied
    read_back_wrong, // the copy read back differs: refused, nothing placed
    failed,          // the copy failed (reason): nothing placed
    duplicate,       // another image of the set has its target name
    unknown,         // neither a catalogue nor the name database names it: left out
    other_chosen,    // one per game: another image of its game was chosen
    kind_left_out,   // one per game: a kind of release left out (Beta, Proto ...)
};

// "copied", "kept", "clash", "read_back_wrong", "failed", "duplicate",
// "unknown", "other_chosen", "kind_left_out"; in a dry run "copy" for copied.
const char* export_action_name(ExportAction action, bool dry_run = false);

// A companion copied, or to be copied, with its image.
struct ExportCompanion {
    std::string source; // relative to the source folder, the system's separator
    std::string target; // relative to the target folder
    ExportAction action = ExportAction::copied;
};

struct ExportItem {
    std::string source; // relative to the source folder, the system's separator
    std::string entry;  // the image's entry inside an archive, "" for a file read raw
    std::string target; // relative to the target folder, "" when it is left out
    std::string name;   // the game's name (UTF-8), "" for an unknown image
    std::string group;  // one per game: the game it counts as
    IdentifiedBy identified_by{};
    ExportAction action = ExportAction::copied;
    bool headerless_copy = false; // the copier header is left out of the copy
    std::uint64_t size = 0;       // the copy's bytes
    std::string reason;           // why a copy failed or an image is left out, "" otherwise
    std::vector<ExportCompanion> companions;
};

// A side file (playlist, game list) of the layout.
enum class SideFileAction { none, placed, kept, differs_kept, failed };
const char* side_file_action_name(SideFileAction action, bool dry_run = false);

enum class ExportOutcome { completed, failed, interrupted };

struct ExportResult {
    ExportOutcome outcome = ExportOutcome::completed;
    std::vector<ExportItem> items; // every image of the source folder, in order
    std::size_t other_files = 0;   // files that are no image (nor a companion)
    std::string side_file;         // relative to the target folder, "" for a layout without one
    SideFileAction side_file_action = SideFileAction::none;
    bool grouped_by_clones = false; // one per game: by a catalogue's parents, else by names without tags
    std::size_t copied = 0, kept = 0, clashes = 0, failed = 0, unknown = 0, left_out = 0;
    std::uint64_t bytes_copied = 0;
    std::string run_name;      // the journal's run, for undo ("" without one)
    std::string journal_issue; // why there is no journal, or it could not be ended; "" when fine
    std::optional<Error> error;
    std::string message; // the failure that stopped the export (UTF-8), "" otherwise
};

// Where an export stands, after each image: images done of those to copy
// (kept ones count as done), bytes copied of those to copy.
struct ExportProgress {
    std::size_t done = 0, total = 0;
    std::uint64_t bytes = 0, total_bytes = 0;
    std::string file; // the image done last, relative to the source folder
};

struct ExportObserver {
    std::function<void(const ExportProgress& progress)> progress;
    std::function<bool()> stop_requested; // asked before each copy
};

struct ExportRun {
    ExportOptions options;
    ExportObserver observer;
};

// One export. Failures do not leave it: they end in ExportOutcome::failed
// with message (a wrong layout, a source folder that cannot be read, a
// journal that cannot be written, a target folder that cannot be made).
ExportResult export_set(const ExportRun& run);

} // namespace cartonym
