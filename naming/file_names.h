// SPDX-License-Identifier: GPL-3.0-or-later
// New file names, the separator rule of folder paths, the output folders.
#pragma once

#include "common/paths.h"

#include <string>

namespace cartonym {

// The output folders of a batch run.
inline constexpr const char* renamed_folder_name = "Renamed_SNES_ROMs";
inline constexpr const char* unknown_folder_name = "Unknown_ROMs";
inline constexpr const char* duplicates_folder_name = "Duplicates";

// "" when the folder path already ends in the separator (a root folder),
// otherwise the separator.
std::string Trenner(const std::string& folder);

// The normal form: full name, country suffix and extension, nothing between.
std::string normal_name(const std::string& Voller_name, const std::string& Landkuerzel, const std::string& Endung);

// Replaces every space of name by "_", in name itself, and returns the result.
std::string Baue_dateiname(std::string& name);

// A Windows-1252 name as a file-system name on this platform (UTF-8 here).
std::string file_system_name(const std::string& text);

// The game list's file name in the folder of a batch run.
inline constexpr const char* game_list_name = "games.htm";

} // namespace cartonym
