#include "common/file_tree.h"

#include "common/paths.h"
#include "common/system_calls.h"

namespace cartonym {

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
