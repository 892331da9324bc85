// SPDX-License-Identifier: GPL-3.0-or-later
// File mode: one selected file analysed, looked up and shown; the rename.
#pragma once

#include "analysis/header_detection.h"
#include "naming/name_database.h"

#include <string>

namespace cartonym {

enum class SelectionState {
    not_an_image, // "This is no SNES ROM Image or a bad dump !"
    unknown,      // image, but the database does not know it
    known,        // image with a new name; the rename button is shown
};

struct FileSelection {
    SelectionState state = SelectionState::not_an_image;
    RomAnalysis analysis;
    LookupResult names; // namen.Neuer_name: exactly what "Suggested new filename:" shows
};

inline constexpr const char* no_image_text = "This is no SNES ROM Image or a bad dump !";
inline constexpr const char* unknown_text = "ROM unknown !";

// Analyses Dateipfad, looks it up and applies the chosen style (the unknown
// text too); for an unknown image namen.Voller_name is "". Throws Error
// when the image or the database cannot be read.
FileSelection select_file(const std::string& Dateipfad, const std::string& database_path, bool without_spaces);
// The same for a file already analysed (or an entry of an archive).
FileSelection select_analysed(RomAnalysis analysis, const std::string& database_path, bool without_spaces);

// The same, looking inside archives when archives is true: an archive of
// exactly one image is selected as that image, its new name ending in the
// archive's extension; any other archive is no image.
FileSelection select_file(
    const std::string& Dateipfad, const std::string& database_path, bool without_spaces, bool archives);

// True when name names an entry inside a folder: not empty, not "." or
// "..", and without "/", "\" or NUL. Other names are refused with Error 52.
bool is_plain_file_name(const std::string& name);

// Renames Dateipfad to ordner, Trenner and Neuer_name (a Windows-1252 name)
// without ever replacing a file: fails with Error 58 when the target exists,
// and with 52 when the name would leave the folder ("/", "\", "." or "..").
void rename_file_in_folder(const std::string& Dateipfad, const std::string& folder, const std::string& Neuer_name);

} // namespace cartonym
