// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/run_setup.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/system_calls.h"

#include <algorithm>
#include <string_view>

namespace cartonym {

void check_run_path_length(const std::string& folder)
{
    const std::string absolute = is_absolute_path(folder) ? folder : absolute_path(folder, resolved_path("."));
    const std::size_t longest_entry = 1 + std::string_view(renamed_folder_name).size() + 1 + longest_name;
    if (std::max(absolute.size(), resolved_path(folder).size()) + longest_entry >= longest_path)
        throw Error(ErrorNumber::bad_file_name);
}

std::string foreign_output_folder(const std::string& folder)
{
    const EntryStatus folder_status = status_of(folder, Links::followed);
    for (const char* name : output_folders) {
        const std::string path = folder + Trenner(folder) + name;
        const StatusResult output = status_of(path, Links::followed, no_throw);
        const bool mounted = output.result.done() && output.status.kind == EntryKind::folder
            && output.status.identity.device != folder_status.identity.device;
        if (mounted || entry_kind(path) == EntryKind::link)
            return path;
    }
    return {};
}

} // namespace cartonym
