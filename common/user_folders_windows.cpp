// SPDX-License-Identifier: GPL-3.0-or-later
// The user's folders on Windows: what roams with the user (data and
// settings) below %APPDATA%, what belongs to this machine (the run
// journals, the cache) below %LOCALAPPDATA%. An XDG variable naming an
// absolute folder (XDG_DATA_HOME and kin) is taken first, as on POSIX, for
// a portable setup and for tests.
#include "common/user_folders.h"

#include "common/paths.h"
#include "common/system_calls.h"

namespace cartonym {
namespace {

struct BaseFolderRule {
    const char* xdg_variable;
    const char* variable;
    const char* below; // inside the program's folder there, or nullptr
};

BaseFolderRule rule_of(UserFolderKind kind)
{
    switch (kind) {
    case UserFolderKind::data: return {"XDG_DATA_HOME", "APPDATA", nullptr};
    case UserFolderKind::state: return {"XDG_STATE_HOME", "LOCALAPPDATA", nullptr};
    case UserFolderKind::cache: return {"XDG_CACHE_HOME", "LOCALAPPDATA", "cache"};
    case UserFolderKind::config: break;
    }
    return {"XDG_CONFIG_HOME", "APPDATA", nullptr};
}

} // namespace

std::optional<std::string> user_folder(UserFolderKind kind)
{
    const BaseFolderRule rule = rule_of(kind);
    if (const auto value = environment_variable(rule.xdg_variable); value && is_absolute_path(*value))
        return join_path(*value, "cartonym");
    const auto base = environment_variable(rule.variable);
    if (!base || !is_absolute_path(*base))
        return std::nullopt;
    const std::string folder = join_path(*base, "Cartonym");
    return rule.below ? join_path(folder, rule.below) : folder;
}

} // namespace cartonym
