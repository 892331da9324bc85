// Paths as text: the folder a path lies in, its last name, joining a folder
// and a name, and the user's base folders. Nothing here touches the disk.
#pragma once

#include <string>

namespace cartonym {

// The separator between a folder path and a name.
inline constexpr char path_separator = '/';

// The folder that holds path: "." for a bare name, "/" for a name in the
// root folder.
std::string parent_folder(const std::string& path);

// The last name of path (all of it when it has no separator).
std::string base_name(const std::string& path);

// folder and name with one separator between them; none is added when the
// folder already ends in one (a root folder).
std::string join_path(const std::string& folder, const std::string& name);

// A base folder of the user's files as the XDG rules give it: the value of
// variable when it is an absolute path, else HOME and below_home
// ("XDG_DATA_HOME", ".local/share" gives ~/.local/share); "" without HOME.
std::string user_base_folder(const std::string& variable, const std::string& below_home);

// path with every link of its existing part resolved, the missing rest
// appended as it is; throws Error.
std::string resolved_as_far_as_it_exists(const std::string& path);

} // namespace cartonym
