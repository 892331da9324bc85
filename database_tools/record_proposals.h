// SPDX-License-Identifier: GPL-3.0-or-later
// New database records proposed for image files: the full name taken from
// the file name or from a ROM catalogue, each file with its status.
#pragma once

#include "common/error.h"
#include "database_tools/database_check.h"
#include "database_tools/rom_catalogue.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

enum class ProposalStatus { new_record, known, conflict, unusable_name, not_image, no_match, error };

// The name of a status as the command line prints it ("new", "known", ...).
const char* status_name(ProposalStatus status);

struct Proposal {
    std::string file;  // the path as given (a file-system name)
    std::string entry; // the image's entry when the file is an archive, else ""
    ProposalStatus status = ProposalStatus::error;
    std::string internal_name; // Windows-1252; "" when the file is no image
    std::string full_name;     // Windows-1252; the proposed name, "" when there is none
    std::string message;       // Windows-1252; why the file is not new, "" when it is
    std::optional<Error> error;
};

struct ProposalRun {
    std::vector<Proposal> files;                              // in the order given
    std::vector<std::pair<std::string, std::string>> records; // key, full name; first file's order

    // True when any file is a conflict or has an unusable name: then
    // nothing may be written.
    bool blocks_writing() const;
};

// Examines the files in order against the database text (its complete
// records and the fixed corrections tell what is known). Without a
// catalogue the full name comes from the file name; with one, from the
// name of the game whose rom matches the cartridge data. progress, when
// given, is called before each file with the files done so far and their
// total; when it returns false the run stops there and holds only the files
// examined until then. With archives, an archive gives one proposal per
// image entry.
using ProposalProgress = std::function<bool(std::size_t done, std::size_t total)>;
ProposalRun propose_records(const std::vector<std::string>& files, const DatabaseKeys& known_keys,
    const RomCatalogue* catalogue, const ProposalProgress& progress = {}, bool archives = true);
ProposalRun propose_records(const std::vector<std::string>& files, std::string_view database_text,
    const RomCatalogue* catalogue, const ProposalProgress& progress = {}, bool archives = true);

// The run against another version of the database (read again before a
// write): a new record whose internal name the database now knows is known.
ProposalRun reconsider_proposals(const ProposalRun& run, const DatabaseKeys& known_keys);

// The database text with the records appended (after a line end, when the
// text does not end with one), Windows-1252 with CR LF.
std::string append_records(
    std::string_view database_text, const std::vector<std::pair<std::string, std::string>>& records);

} // namespace cartonym
