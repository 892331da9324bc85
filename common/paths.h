// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as text: the folder a path lies in, its last name, joining a folder
// and a name, and the kinds of path. Every split and join of a path goes
// through here, so that the separator and the root are the platform's in
// one place. Nothing here touches the disk but resolved_as_far_as_it_exists.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cartonym {

// Whether paths follow Windows' rules: a backslash between names (a "/"
// read as one too) and roots such as "C:" with a backslash or a server's
// share. Elsewhere "/" alone separates and "/" is the one root.
#ifdef _WIN32
inline constexpr bool windows_paths = true;
#else
inline constexpr bool windows_paths = false;
#endif

// The separator between a folder path and a name, as the program writes it.
inline constexpr char path_separator = windows_paths ? '\\' : '/';

// Whether c separates names in a path.
constexpr bool is_path_separator(char c) { return c == path_separator || (windows_paths && c == '/'); }

// The longest path the system takes, its terminating NUL counted
// (PATH_MAX; on Windows that of a long path, in UTF-16 units, which a path's
// UTF-8 bytes never undercount), and the longest name of one entry
// (NAME_MAX).
inline constexpr std::size_t longest_path = windows_paths ? 32767 : 4096;
inline constexpr std::size_t longest_name = 255;

// The folder that holds path: "." for a bare name, the root ("/", or a
// drive's root on Windows) for a name in a root folder.
std::string parent_folder(const std::string& path);

// The last name of path (all of it when it has no separator).
std::string base_name(const std::string& path);

// folder and name with one separator between them; none is added when the
// folder already ends in one (a root folder).
std::string join_path(const std::string& folder, const std::string& name);

// Whether path is named from a root folder ("/roms/a.smc", or on Windows
// from a drive's root or a share), not from the current folder.
bool is_absolute_path(std::string_view path);

// Whether path is the root folder itself.
bool is_root_folder(std::string_view path);

// Whether path lies inside folder at any depth (folder itself is not
// inside), comparing the texts: both must be named the same way.
bool is_inside_folder(std::string_view path, std::string_view folder);

// Whether name is the name of one entry: not empty, not "." or "..", and
// without a separator.
bool is_plain_name(std::string_view name);

// path when it is absolute, else path inside working_folder.
std::string absolute_path(const std::string& path, const std::string& working_folder);

// path with every link of its existing part resolved, the missing rest
// appended as it is; throws Error.
std::string resolved_as_far_as_it_exists(const std::string& path);

} // namespace cartonym
