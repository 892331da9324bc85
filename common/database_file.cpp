#include "common/database_file.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"

#include <cerrno>
#include <sys/stat.h>

namespace cartonym {
namespace {

// A complete new file beside target with content and the access rights mode.
void write_beside(WorkingFile& file, std::string_view content, mode_t mode)
{
    file.set_mode(mode);
    file.write(content);
    file.finish();
}

} // namespace

void replace_file_keeping_backup(const std::string& path, std::string_view content)
{
    const std::string target = resolved_path(path);
    struct stat info { };
    status_of(target, true, info);
    const mode_t mode = info.st_mode & 07777;
    const std::string previous = read_whole_file(target);

    WorkingFile fresh(working_name_beside(target));
    write_beside(fresh, content, mode);
    WorkingFile backup(working_name_beside(target));
    write_beside(backup, previous, mode);
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
