// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/file_contents.h"

#include "common/error.h"
#include "common/paths.h"

namespace cartonym {

std::string read_whole_file(const std::string& path, std::uint64_t largest)
{
    const ReadableFile file(path);
    if (file.length() > largest)
        throw Error(ErrorNumber::disk_full);
    std::string content(static_cast<std::size_t>(file.length()), '\0');
    if (!content.empty())
        file.read_at(0, reinterpret_cast<unsigned char*>(content.data()), content.size());
    return content;
}

void create_missing_folders(const std::string& folder)
{
    if (folder == "." || is_root_folder(folder) || folder.empty())
        return;
    const StatusResult looked = status_of(folder, Links::followed, no_throw);
    if (looked.result.done()) {
        if (looked.status.kind != EntryKind::folder)
            result_of(SystemOutcome::not_a_folder).raise();
        return;
    }
    if (!looked.result.is(SystemOutcome::missing))
        looked.result.raise();
    create_missing_folders(parent_folder(folder));
    if (const SystemResult made = make_folder(folder, no_throw); !made.is(SystemOutcome::exists))
        made.raise_if_failed();
}

std::string working_name_beside(const std::string& target)
{
    return join_path(parent_folder(target), "." + base_name(target) + ".new-XXXXXX");
}

void remove_working_files_beside(const std::string& target)
{
    const std::string prefix = "." + base_name(target) + ".new-";
    const std::string folder = parent_folder(target);
    try {
        Directory entries(folder);
        while (const auto entry = entries.next()) {
            const std::string path = join_path(folder, entry->name);
            if (entry->name.starts_with(prefix) && entry_kind(path) == EntryKind::regular_file)
                remove_name(path, no_throw);
        }
    } catch (const Error&) {
        // A folder that cannot be listed has nothing to tidy.
    }
}

WorkingFile::WorkingFile(std::string path_template, int suffix_length)
    : path_(std::move(path_template))
    , file_(create_unique_file(path_, suffix_length))
{ }

WorkingFile::~WorkingFile()
{
    file_.discard();
    if (!path_.empty())
        remove_name(path_, no_throw);
}

void WorkingFile::write(std::string_view data) { write_all(file_, data); }

bool WorkingFile::copy_from(const ReadableFile& source, std::uint64_t offset, std::uint64_t count)
{
    return copy_in_system(source.handle(), offset, file_, count);
}

void WorkingFile::set_access_rights(AccessRights rights) { cartonym::set_access_rights(file_, rights); }

void WorkingFile::flush_file_system() noexcept { sync_file_system(file_); }

void WorkingFile::finish(bool flush)
{
    if (flush)
        sync_file(file_);
    file_.close();
}

void WorkingFile::replace(const std::string& destination)
{
    rename_replacing(path_, destination);
    path_.clear();
}

void WorkingFile::place(const std::string& destination)
{
    rename_without_replacing(path_, destination, SystemOperation::move, destination).raise_if_failed();
    path_.clear();
}

void place_new_file(const std::string& path, std::string_view content, AccessRights rights)
{
    WorkingFile fresh(working_name_beside(path));
    fresh.set_access_rights(rights);
    fresh.write(content);
    fresh.finish();
    fresh.place(path);
    sync_folder(parent_folder(path));
}

std::string private_copy_template(const std::string& folder)
{
    return join_path(folder, ".cartonym-copy-" + std::to_string(process_id()) + "-XXXXXX");
}

CheckedPlacement place_checked_file(const std::string& target, const std::function<void(WorkingFile& file)>& write,
    const std::function<bool(const std::string& written)>& check, FolderSync folder_sync)
{
    if (entry_exists(target))
        return CheckedPlacement::target_exists;
    const std::string folder = parent_folder(target);
    WorkingFile fresh(private_copy_template(folder));
    write(fresh);
    fresh.finish();
    if (!check(fresh.path()))
        return CheckedPlacement::check_failed; // the private file goes with fresh
    try {
        fresh.place(target);
    } catch (const Error& error) {
        if (error.number() == ErrorNumber::file_already_exists)
            return CheckedPlacement::target_exists;
        throw;
    }
    if (folder_sync == FolderSync::now)
        sync_folder(folder);
    return CheckedPlacement::placed;
}

} // namespace cartonym
