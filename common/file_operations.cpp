#include "common/file_operations.h"

#include "common/error.h"
#include "common/system_calls.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace cartonym {
namespace {

// The start of the hidden names of a move's private files (a copy on its
// way across file systems, a link being repointed): the kind and the id of
// the process that made them, so that a later run can tell the leftovers
// of a process that no longer runs.
std::string private_name_prefix(const char* kind)
{
    return std::string(".cartonym-") + kind + "-" + std::to_string(process_id()) + "-";
}

std::string parent_folder_of(const std::string& path)
{
    const auto cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string joined(const std::string& folder, const std::string& name)
{
    return folder + (folder.ends_with('/') ? "" : "/") + name;
}

// A link whose target is relative leads elsewhere once it lies in another
// folder. After the link itself has been renamed into place (atomically, so
// whatever stood at the source is what moved), a fresh link naming the same
// target absolutely is made under a private name and exchanged with it; the
// old link, now under the private name, is removed only after checking that
// it is still a link. Nothing but a link the move has just verified is ever
// removed, and a regular file swapped in by another process stays.
void repoint_moved_link(const std::string& old_folder, const std::string& target)
{
    const auto link = link_target(target);
    if (!link || link->empty() || link->front() == '/')
        return;
    const std::string absolute = joined(resolved_path(old_folder), *link);
    std::string fresh = joined(parent_folder_of(target), private_name_prefix("link") + "XXXXXX");
    create_unique_file(fresh).discard();
    remove_name(fresh, no_throw);
    if (const int error = create_link(absolute, fresh))
        throw_errno(error);
    if (const int error = exchange_names(fresh, target)) {
        remove_name(fresh, no_throw);
        throw_errno(error);
    }
    if (entry_kind(fresh) == EntryKind::link)
        remove_name(fresh, no_throw);
}

// Copies source into a fresh private file in target's folder and links it
// into place; the source stays. On failure nothing new is left behind.
void copy_to_target(const std::string& source, const std::string& target)
{
    if (const int error = injected_error(SystemOperation::copy, target))
        throw_errno(error);
    const ReadableFile in(source);
    struct stat info { };
    status_of(source, true, info);

    const std::string folder = parent_folder_of(target);
    std::string copy_path = joined(folder, private_name_prefix("copy") + "XXXXXX");
    FileDescriptor out = create_unique_file(copy_path);
    try {
        set_mode(out, info.st_mode & 0777);
        std::string buffer(1 << 16, '\0');
        for (std::uint64_t offset = 0; offset < in.length();) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), in.length() - offset));
            in.read_at(offset, reinterpret_cast<unsigned char*>(buffer.data()), n);
            write_all(out, std::string_view(buffer.data(), n));
            offset += n;
        }
        sync_file(out);
        out.close();
        if (const int error = rename_without_replacing(copy_path, target, SystemOperation::copy, target))
            throw_errno(error);
    } catch (...) {
        out.discard();
        remove_name(copy_path, no_throw);
        throw;
    }
    sync_folder(folder);
}

} // namespace

void remove_leftovers_of_ended_moves(const std::string& folder)
{
    try {
        Directory directory(folder);
        while (const auto entry = directory.next()) {
            for (const char* kind : {"copy", "link"}) {
                const std::string prefix = std::string(".cartonym-") + kind + "-";
                if (!entry->name.starts_with(prefix))
                    continue;
                const std::string rest = entry->name.substr(prefix.size());
                const long pid = std::atol(rest.c_str());
                const std::string path = joined(folder, entry->name);
                const EntryKind found = entry_kind(path);
                // A partial copy (its source still exists) or a spare link.
                if (pid > 0 && !process_is_running(pid)
                    && (found == EntryKind::regular_file ? std::string(kind) == "copy" : found == EntryKind::link))
                    remove_name(path, no_throw);
            }
        }
    } catch (const Error&) {
        // A folder that cannot be read has nothing to tidy for us.
    }
}

void move_file(const std::string& source, const std::string& target, bool may_be_link)
{
    if (const int error = rename_without_replacing(source, target, SystemOperation::move, target))
        throw_errno(error);
    const std::string old_folder = parent_folder_of(source);
    if (may_be_link && old_folder != parent_folder_of(target) && entry_kind(target) == EntryKind::link)
        repoint_moved_link(old_folder, target);
}

void move_across_file_systems(const std::string& source, const std::string& target)
{
    const int error = rename_without_replacing(source, target, SystemOperation::move, target);
    if (error == 0)
        return;
    if (error != EXDEV)
        throw_errno(error);
    // Another file system: an existing target is refused before any copying.
    if (entry_exists(target))
        throw Error(ErrorNumber::file_already_exists);
    copy_to_target(source, target);
    delete_file(source);
}

void create_folder(const std::string& path)
{
    if (const int error = make_folder(path, no_throw))
        throw error == EEXIST ? Error(ErrorNumber::path_file_access_error) : Error(error_number_from_errno(error));
}

void remove_folder(const std::string& path)
{
    const int error = remove_empty_folder(path, no_throw);
    if (error == 0)
        return;
    if (error == ENOTEMPTY || error == EEXIST)
        throw Error(ErrorNumber::path_file_access_error);
    // An entry of that name that is no folder (a file, a FIFO, a link)
    // stays just as a folder with entries does; a path that does not lead
    // there at all is another matter.
    if (error == ENOTDIR) {
        const EntryKind kind = entry_kind(path);
        if (kind != EntryKind::missing && kind != EntryKind::folder)
            throw Error(ErrorNumber::path_file_access_error);
    }
    throw_errno(error);
}

void delete_file(const std::string& path)
{
    if (const int error = remove_name(path, no_throw))
        throw_errno(error);
}

} // namespace cartonym
