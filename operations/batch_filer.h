// SPDX-License-Identifier: GPL-3.0-or-later
// The changes a batch run makes to the disk, behind one interface: the
// real run's filer makes them, the dry run's only checks them.
#pragma once

#include "analysis/header_detection.h"
#include "operations/batch_run.h"
#include "reports/game_list.h"

#include <memory>
#include <string>

namespace cartonym {

// The changes a run makes to the disk. The run decides every change the
// same way in both modes and hands it to its filer: the real run's makes
// it (recorded in the journal first), the dry run's only works out whether
// it would succeed, against the names the run has already taken and
// vacated, and skips everything else.
class Filer {
public:
    virtual ~Filer() = default;
    // Creates an output folder: Error 75 when the name exists.
    virtual void create_output_folder(const std::string& path) = 0;
    // Removes what interrupted moves of ended processes left in an output folder.
    virtual void clear_leftovers(const std::string& folder) = 0;
    // Moves from to to, never replacing: Error 58 when to is taken.
    virtual void move(const std::string& from, const std::string& to, bool may_be_link) = 0;
    // Replaces the link at from by a fresh one at to leading to the new
    // place of its image: Error 58 when to is taken.
    virtual void move_link(const std::string& from, const std::string& to, const std::string& image) = 0;
    // Appends an unknown image's entry to the log in log_folder.
    virtual void append_log_entry(
        const std::string& log_folder, const std::string& file, const RomAnalysis& analysis) = 0;
    // Removes an output folder the run did not use (Error 75 when it is not empty).
    virtual void remove_output_folder(const std::string& path) = 0;
    // The game list: begun, a row, ended and placed in folder F, the
    // earlier one removed, or dropped.
    virtual void begin_game_list() = 0;
    virtual void add_game(const GameListRow& row) = 0;
    virtual void end_game_list(const std::string& F, const std::string& placed, bool any_image) = 0;
    virtual void remove_game_list(const std::string& path) = 0;
    virtual void drop_game_list() = 0;
};

// The filer of a run: the dry run's, or the real run's that records each
// change with options.recorder first.
std::unique_ptr<Filer> filer_for(const BatchOptions& options);

} // namespace cartonym
