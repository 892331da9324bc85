// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX implementation of common/folders.h (but for
// rename_without_replacing(), which common/file_operations.cpp builds).
#include "common/folders.h"

#include "common/paths.h"
#include "common/system_call_posix.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

namespace cartonym {

using namespace posix;

namespace {

long renameat2(const std::string& source, const std::string& target, unsigned flags)
{
    return ::syscall(SYS_renameat2, AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), flags);
}

// True when name, in the folder of stream, is a folder (folders) or else a
// regular file, looked at with the flags of fstatat.
bool entry_in_folder_is(void* stream, const std::string& folder, const std::string& name, int flags, bool folders)
{
    struct stat info { };
    const int fd = ::dirfd(static_cast<DIR*>(stream));
    return system_call(SystemOperation::examine, join_path(folder, name),
               [&] { return ::fstatat(fd, name.c_str(), &info, flags); })
        == 0
        && (folders ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode));
}

} // namespace

void sync_folder(const std::string& folder)
{
    const FileDescriptor handle = open_file(folder, OpenMode::read | OpenMode::folder);
    // Some file systems cannot flush a folder; the data is safe anyway.
    if (system_call(SystemOperation::sync, folder, [&] { return ::fsync(static_cast<int>(handle.get())); }) != 0
        && errno != EINVAL && errno != EROFS)
        throw_last_error();
}

SystemResult rename_no_replace(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    return result_of_call(
        system_call(operation, hook_path, [&] { return renameat2(source, target, RENAME_NOREPLACE); }));
}

SystemResult rename_over(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    return result_of_call(system_call(operation, hook_path, [&] { return ::rename(source.c_str(), target.c_str()); }));
}

SystemResult exchange_names(const std::string& first, const std::string& second)
{
    return result_of_call(
        system_call(SystemOperation::move, second, [&] { return renameat2(first, second, RENAME_EXCHANGE); }));
}

SystemResult make_folder(const std::string& path, NoThrow) noexcept
{
    return result_of_call(
        system_call(SystemOperation::create_folder, path, [&] { return ::mkdir(path.c_str(), 0777); }));
}

SystemResult remove_empty_folder(const std::string& path, NoThrow) noexcept
{
    return result_of_call(system_call(SystemOperation::remove_folder, path, [&] { return ::rmdir(path.c_str()); }));
}

Directory::Directory(const std::string& path)
    : path_(path)
{
    DIR* stream = nullptr;
    const int result = system_call(SystemOperation::list, path, [&] {
        stream = ::opendir(path.c_str());
        return stream == nullptr ? -1 : 0;
    });
    if (result != 0)
        throw_last_error();
    stream_ = stream;
}

Directory::~Directory()
{
    if (stream_ == nullptr)
        return;
    // The stream is gone whatever closing answers; nothing to report.
    DIR* stream = static_cast<DIR*>(stream_);
    bool called = false;
    system_call(
        SystemOperation::close, path_,
        [&] {
            called = true;
            return ::closedir(stream);
        },
        Interrupted::give_up);
    if (!called)
        ::closedir(stream);
}

std::optional<Directory::Entry> Directory::next()
{
    const dirent* entry = nullptr;
    const int read = system_call(SystemOperation::list, path_, [&] {
        errno = 0;
        entry = ::readdir(static_cast<DIR*>(stream_));
        return entry == nullptr && errno != 0 ? -1 : 0;
    });
    if (read != 0)
        throw_last_error();
    if (entry == nullptr)
        return std::nullopt;
    Entry result;
    result.name = entry->d_name;
    switch (entry->d_type) {
    case DT_REG: result.kind = EntryKind::regular_file; break;
    case DT_DIR: result.kind = EntryKind::folder; break;
    case DT_LNK: result.kind = EntryKind::link; break;
    case DT_UNKNOWN: result.type_known = false; break;
    default: result.kind = EntryKind::other; break;
    }
    return result;
}

bool Directory::leads_to_regular_file(const std::string& name) const
{
    return entry_in_folder_is(stream_, path_, name, 0, false);
}

bool Directory::is_subfolder(const std::string& name) const
{
    return entry_in_folder_is(stream_, path_, name, AT_SYMLINK_NOFOLLOW, true);
}

} // namespace cartonym
