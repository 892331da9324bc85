// SPDX-License-Identifier: GPL-3.0-or-later
// The registered catalogues: copies kept in the user's data folder, used
// by every command that is given no catalogue of its own.
#pragma once

#include <string>
#include <vector>

namespace cartonym {

// catalogues in the user's data folder (user_folder: on POSIX systems
// $XDG_DATA_HOME/cartonym/catalogues, by default ~/.local/share/...).
// Throws Error (76) when there is no data folder.
std::string catalogue_folder();

// The registered catalogues' file names in the order they were registered
// (each begins with a four-digit number that keeps that order); none when
// there is no data folder or the folder does not exist. Throws Error when it cannot be read.
std::vector<std::string> registered_catalogues();

// Copies the catalogue at path into the folder under a free name,
// "<number> <path's file name>", written beside it and then placed, and
// returns that name. Throws Error.
std::string register_catalogue(const std::string& path);

// Removes the registered catalogue of this file name; false when there is
// none. Throws Error.
bool unregister_catalogue(const std::string& file);

} // namespace cartonym
