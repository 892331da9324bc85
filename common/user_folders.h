// SPDX-License-Identifier: GPL-3.0-or-later
// The folders where the program keeps the user's own files, by what they
// hold. The platform decides where each kind lies; callers name the kind.
#pragma once

#include <optional>
#include <string>

namespace cartonym {

// What a user folder holds.
enum class UserFolderKind {
    data,   // what the user made or chose: the user's name database, registered catalogues
    state,  // what the program records of its runs: the run journals
    cache,  // what can be computed again: the digests of catalogued files
    config, // settings: the window's remembered folder
};

// The program's own folder of that kind for this user, the program's name
// below the platform's base folder of the kind. On POSIX systems that base
// is the XDG one: $XDG_DATA_HOME, $XDG_STATE_HOME, $XDG_CACHE_HOME or
// $XDG_CONFIG_HOME when it is an absolute path, else ~/.local/share,
// ~/.local/state, ~/.cache or ~/.config. Nothing when no base can be named
// (no HOME). Reads the environment only; the folder may not exist.
std::optional<std::string> user_folder(UserFolderKind kind);

} // namespace cartonym
