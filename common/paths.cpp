// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/paths.h"

#include "common/system_calls.h"

namespace cartonym {
namespace {

// Where the name after the separator at from ends: at the next separator
// or the end.
std::size_t end_of_name(std::string_view path, std::size_t from)
{
    while (from < path.size() && !is_path_separator(path[from]))
        ++from;
    return from;
}

// The length of the root that path begins with: "/" on POSIX; on Windows a
// drive ("C:" and its separator), a server's share ("\\server\share\", also
// "\\?\C:\") or a lone separator. 0 for a path from the current folder.
std::size_t root_length(std::string_view path)
{
    if constexpr (!windows_paths)
        return path.starts_with('/') ? 1 : 0;
    if (path.size() >= 2 && path[1] == ':' && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z'))
        return path.size() >= 3 && is_path_separator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1])) {
        const std::size_t share = end_of_name(path, end_of_name(path, 2) + 1);
        return share < path.size() ? share + 1 : path.size();
    }
    return !path.empty() && is_path_separator(path[0]) ? 1 : 0;
}

// The place of the last separator after the root, npos when there is none.
std::size_t last_separator(std::string_view path)
{
    const std::size_t root = root_length(path);
    for (std::size_t at = path.size(); at > root; --at)
        if (is_path_separator(path[at - 1]))
            return at - 1;
    return std::string_view::npos;
}

} // namespace

std::string parent_folder(const std::string& path)
{
    const auto cut = last_separator(path);
    if (cut != std::string::npos)
        return path.substr(0, cut);
    const std::size_t root = root_length(path);
    return root == 0 ? "." : path.substr(0, root);
}

std::string base_name(const std::string& path)
{
    const auto cut = last_separator(path);
    return cut == std::string::npos ? path.substr(root_length(path)) : path.substr(cut + 1);
}

std::string join_path(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && is_path_separator(folder.back()))
        return folder + name;
    return folder + path_separator + name;
}

bool is_absolute_path(std::string_view path)
{
    const std::size_t root = root_length(path);
    return root > 0 && is_path_separator(path[root - 1]);
}

bool is_root_folder(std::string_view path) { return is_absolute_path(path) && root_length(path) == path.size(); }

bool is_inside_folder(std::string_view path, std::string_view folder)
{
    if (!path.starts_with(folder) || path.size() == folder.size())
        return false;
    return (!folder.empty() && is_path_separator(folder.back())) || is_path_separator(path[folder.size()]);
}

bool is_plain_name(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (is_path_separator(c))
            return false;
    return true;
}

std::string absolute_path(const std::string& path, const std::string& working_folder)
{
    return is_absolute_path(path) ? path : join_path(working_folder, path);
}

std::string resolved_as_far_as_it_exists(const std::string& path)
{
    std::string existing = path, rest;
    while (!entry_exists(existing) && !is_root_folder(existing) && existing != ".") {
        rest = rest.empty() ? base_name(existing) : join_path(base_name(existing), rest);
        existing = parent_folder(existing);
    }
    const std::string resolved = resolved_path(existing);
    return rest.empty() ? resolved : join_path(resolved, rest);
}

} // namespace cartonym
