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

std::string user_base_folder(const std::string& variable, const std::string& below_home)
{
    if (const auto value = environment_variable(variable); value && value->starts_with('/'))
        return *value;
    if (const auto home = environment_variable("HOME"); home && !home->empty())
        return join_path(*home, below_home);
    return "";
}

std::string resolved_as_far_as_it_exists(const std::string& path)
{
    std::string existing = path, rest;
    while (!entry_exists(existing) && existing != "/" && existing != ".") {
        rest = base_name(existing) + (rest.empty() ? "" : "/" + rest);
        existing = parent_folder(existing);
    }
    const std::string resolved = resolved_path(existing);
    return rest.empty() ? resolved : join_path(resolved, rest);
}

} // namespace cartonym
