// SPDX-License-Identifier: GPL-3.0-or-later
// The full game name a file name or a catalogue name stands for, for
// proposing new database records. Texts are Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace cartonym {

// Cleans a name: "_" is read as a space when the name has no space; then,
// when it ends with the image's own country suffix (" (USA)"), exactly that
// suffix is removed (an image without a suffix ends with "" and keeps its
// name); otherwise every trailing group in round or square brackets is
// removed with the blanks before it.
std::string clean_full_name(std::string_view name, std::string_view country_suffix);

// The file name without its extension (from the last dot on), cleaned.
// A name the program gave, full name + suffix + extension in either style,
// gives back the full name (in the no-spaces style, with its "_" as spaces).
std::string full_name_from_file_name(std::string_view file_name, std::string_view country_suffix);

} // namespace cartonym
