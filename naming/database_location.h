// SPDX-License-Identifier: GPL-3.0-or-later
// Where the name database is: the user's own copy, which the database tools
// grow, or the one beside the program.
#pragma once

#include <string>

namespace cartonym {

// snes.dat in the user's data folder (user_folder: on POSIX systems
// $XDG_DATA_HOME/cartonym/snes.dat, by default ~/.local/share/cartonym/
// snes.dat); "" when there is no data folder.
std::string user_database_path();

// The user's database when it exists, else the one beside the program
// (default_database_path).
std::string chosen_database_path();

// Creates the user's database as a copy of the one beside the program,
// creating its folders as needed, and returns its path. Throws Error.
std::string create_user_database();

} // namespace cartonym
