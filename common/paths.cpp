// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/paths.h"

#include "common/system_calls.h"

namespace cartonym {

std::string parent_folder(const std::string& path)
{
    const auto cut = path.rfind(path_separator);
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string base_name(const std::string& path)
{
    const auto cut = path.rfind(path_separator);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string join_path(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == path_separator)
        return folder + name;
    return folder + path_separator + name;
}

bool is_absolute_path(std::string_view path) { return path.starts_with(path_separator); }

bool is_root_folder(std::string_view path) { return path.size() == 1 && path.front() == path_separator; }

bool is_inside_folder(std::string_view path, std::string_view folder)
{
    if (!path.starts_with(folder) || path.size() == folder.size())
        return false;
    return folder.ends_with(path_separator) || path[folder.size()] == path_separator;
}

bool is_plain_name(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find(path_separator) == std::string_view::npos;
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
