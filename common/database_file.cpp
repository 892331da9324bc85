// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/database_file.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"

namespace cartonym {
namespace {

// A complete new file beside target with content and the access rights mode.
void write_beside(WorkingFile& file, std::string_view content, AccessRights rights)
{
    file.set_access_rights(rights);
    file.write(content);
    file.finish();
}

} // namespace

void replace_file_keeping_backup(const std::string& path, std::string_view content)
{
    const std::string target = resolved_path(path);
    const AccessRights rights = status_of(target, Links::followed).rights;
    const std::string previous = read_whole_file(target);

    WorkingFile fresh(working_name_beside(target));
    write_beside(fresh, content, rights);
    WorkingFile backup(working_name_beside(target));
    write_beside(backup, previous, rights);
    backup.replace(target + ".bak");
    fresh.replace(target);
    sync_folder(parent_folder(target));
}

void create_file_with_folders(const std::string& path, std::string_view content)
{
    create_missing_folders(parent_folder(path));
    place_new_file(path, content);
}

} // namespace cartonym
