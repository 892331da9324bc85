// SPDX-License-Identifier: GPL-3.0-or-later
// The checks a batch run makes of its folder before anything moves.
#pragma once

#include "naming/file_names.h"

#include <string>

namespace cartonym {

// The run's output folders, in the order the run makes them.
inline constexpr const char* output_folders[] = {duplicates_folder_name, unknown_folder_name, renamed_folder_name};

// Every path of a run of folder named absolutely, as its journal and undo
// name it, must fit the longest path the system takes: throws Error 52
// for a folder too deep, before the first move.
void check_run_path_length(const std::string& folder);

// The first output folder of folder that is a link or another volume
// mounted there (it would take the images wherever it leads, out of undo's
// reach), "" when none is. Throws Error when folder cannot be examined.
std::string foreign_output_folder(const std::string& folder);

} // namespace cartonym
