// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/user_folders.h"

#include "common/paths.h"
#include "common/system_calls.h"

namespace cartonym {
namespace {

// The name of the program's own folder inside each base folder.
constexpr const char* program_folder_name = "cartonym";

// Where a kind's base folder comes from: a variable naming it, else a
// folder below the home folder.
struct BaseFolderRule {
    const char* variable;
    const char* below_home;
};

BaseFolderRule rule_of(UserFolderKind kind)
{
    switch (kind) {
    case UserFolderKind::data: return {"XDG_DATA_HOME", ".local/share"};
    case UserFolderKind::state: return {"XDG_STATE_HOME", ".local/state"};
    case UserFolderKind::cache: return {"XDG_CACHE_HOME", ".cache"};
    case UserFolderKind::config: break;
    }
    return {"XDG_CONFIG_HOME", ".config"};
}

std::optional<std::string> base_folder(UserFolderKind kind)
{
    const BaseFolderRule rule = rule_of(kind);
    if (const auto value = environment_variable(rule.variable); value && is_absolute_path(*value))
        return *value;
    if (const auto home = environment_variable("HOME"); home && !home->empty())
        return join_path(*home, rule.below_home);
    return std::nullopt;
}

} // namespace

std::optional<std::string> user_folder(UserFolderKind kind)
{
    const auto base = base_folder(kind);
    if (!base)
        return std::nullopt;
    return join_path(*base, program_folder_name);
}

} // namespace cartonym
