// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX implementation of common/files.h.
#include "common/files.h"

#include "common/system_call_posix.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace cartonym {

using namespace posix;

namespace {

int descriptor(const FileDescriptor& file) { return static_cast<int>(file.get()); }

FileIdentity identity_from_stat(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::uint64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtim.tv_sec),
        static_cast<std::int64_t>(info.st_mtim.tv_nsec), static_cast<std::int64_t>(info.st_ctim.tv_sec),
        static_cast<std::int64_t>(info.st_ctim.tv_nsec)};
}

EntryKind entry_kind_from_mode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::regular_file;
    if (S_ISDIR(mode))
        return EntryKind::folder;
    if (S_ISLNK(mode))
        return EntryKind::link;
    return EntryKind::other;
}

EntryStatus status_from_stat(const struct stat& info)
{
    return {
        entry_kind_from_mode(info.st_mode), identity_from_stat(info), static_cast<AccessRights>(info.st_mode & 07777)};
}

// The flags of open(2) for a mode; descriptors are never inherited by a
// program started, and a terminal opened never becomes the controlling one.
int open_flags(OpenMode mode)
{
    int flags = O_CLOEXEC | O_NOCTTY;
    flags |= has(mode, OpenMode::read_write) ? O_RDWR : has(mode, OpenMode::write) ? O_WRONLY : O_RDONLY;
    flags |= has(mode, OpenMode::append) ? O_APPEND : 0;
    flags |= has(mode, OpenMode::create) || has(mode, OpenMode::create_new) ? O_CREAT : 0;
    flags |= has(mode, OpenMode::create_new) ? O_EXCL : 0;
    flags |= has(mode, OpenMode::no_links) ? O_NOFOLLOW : 0;
    flags |= has(mode, OpenMode::no_waiting) ? O_NONBLOCK : 0;
    flags |= has(mode, OpenMode::folder) ? O_DIRECTORY : 0;
    return flags;
}

// The status of an open file; throws Error.
struct stat status_of_open(const FileDescriptor& file)
{
    struct stat info { };
    if (system_call(SystemOperation::examine, file.path(), [&] { return ::fstat(descriptor(file), &info); }) != 0)
        throw_last_error();
    return info;
}

} // namespace

SystemResult FileDescriptor::close_once(const std::string& path, NativeHandle handle) noexcept
{
    const int fd = static_cast<int>(handle);
    bool called = false;
    const int result = system_call(
        SystemOperation::close, path,
        [&] {
            called = true;
            return ::close(fd);
        },
        Interrupted::give_up);
    const SystemResult closed = result_of_call(result);
    if (!called)
        ::close(fd);
    return closed;
}

FileDescriptor open_file(const std::string& path, OpenMode mode, AccessRights rights)
{
    const int fd = system_call(SystemOperation::open, path,
        [&] { return ::open(path.c_str(), open_flags(mode), static_cast<mode_t>(rights)); });
    if (fd < 0)
        throw_last_error();
    return {fd, path};
}

FileDescriptor create_unique_file(std::string& path_template, int suffix_length)
{
    const int fd = system_call(SystemOperation::open, path_template,
        [&] { return ::mkostemps(path_template.data(), suffix_length, O_CLOEXEC); });
    if (fd < 0)
        throw_last_error();
    return {fd, path_template};
}

StatusResult status_of(const std::string& path, Links links, NoThrow) noexcept
{
    struct stat info { };
    const SystemResult result = result_of_call(system_call(SystemOperation::examine, path,
        [&] { return links == Links::followed ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info); }));
    return {result, result.done() ? status_from_stat(info) : EntryStatus{}};
}

FileIdentity identity_of(const FileDescriptor& file) { return identity_from_stat(status_of_open(file)); }

std::optional<std::string> link_target(const std::string& path)
{
    std::string target(PATH_MAX, '\0');
    const ssize_t length = system_call(
        SystemOperation::examine, path, [&] { return ::readlink(path.c_str(), target.data(), target.size()); });
    if (length < 0 && errno != EINVAL && errno != ENOENT && errno != ENOTDIR)
        throw_last_error();
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
        return std::nullopt;
    target.resize(static_cast<std::size_t>(length));
    return target;
}

std::string resolved_path(const std::string& path)
{
    char* resolved = nullptr;
    const int result = system_call(SystemOperation::examine, path, [&] {
        resolved = ::realpath(path.c_str(), nullptr);
        return resolved == nullptr ? -1 : 0;
    });
    if (result != 0)
        throw_last_error();
    std::string text = resolved;
    std::free(resolved);
    return text;
}

void write_all(const FileDescriptor& file, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = system_call(
            SystemOperation::write, file.path(), [&] { return ::write(descriptor(file), data.data(), data.size()); });
        if (n < 0)
            throw_last_error();
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t read_at(const FileDescriptor& file, std::uint64_t offset, unsigned char* target, std::size_t count)
{
    const ssize_t n = system_call(SystemOperation::read, file.path(),
        [&] { return ::pread(descriptor(file), target, count, static_cast<off_t>(offset)); });
    if (n < 0)
        throw_last_error();
    return static_cast<std::size_t>(n);
}

bool copy_in_system(const FileDescriptor& from, std::uint64_t offset, const FileDescriptor& to, std::uint64_t count)
{
    auto at = static_cast<off_t>(offset);
    for (std::uint64_t done = 0; done < count;) {
        const ssize_t n = system_call(SystemOperation::write, to.path(),
            [&] { return ::copy_file_range(descriptor(from), &at, descriptor(to), nullptr, count - done, 0); });
        if (n < 0) {
            const int error = last_error();
            const bool unsupported = error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL
                || error == EBADF || error == ENOTSUP;
            if (done == 0 && unsupported)
                return false;
            throw_last_error();
        }
        if (n == 0)
            throw Error(
                ErrorNumber::input_past_end_of_file, from.path() + ": the file got shorter while it was copied");
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

void sync_file(const FileDescriptor& file)
{
    if (system_call(SystemOperation::sync, file.path(), [&] { return ::fsync(descriptor(file)); }) != 0)
        throw_last_error();
}

void sync_file_system(const FileDescriptor& file) noexcept
{
    system_call(SystemOperation::sync, file.path(), [&] { return ::syncfs(descriptor(file)); });
}

void lock_file(const FileDescriptor& file)
{
    if (system_call(SystemOperation::lock, file.path(), [&] { return ::flock(descriptor(file), LOCK_EX); }) != 0)
        throw_last_error();
}

bool try_lock_file(const FileDescriptor& file)
{
    if (system_call(SystemOperation::lock, file.path(), [&] { return ::flock(descriptor(file), LOCK_EX | LOCK_NB); })
        == 0)
        return true;
    if (errno == EWOULDBLOCK)
        return false;
    throw_last_error();
}

void truncate_file(const FileDescriptor& file, std::uint64_t size)
{
    if (system_call(SystemOperation::write, file.path(),
            [&] { return ::ftruncate(descriptor(file), static_cast<off_t>(size)); })
        != 0)
        throw_last_error();
}

void set_access_rights(const FileDescriptor& file, AccessRights rights, bool only_where_kept)
{
    const auto mode = static_cast<mode_t>(rights);
    if (system_call(SystemOperation::write, file.path(), [&] { return ::fchmod(descriptor(file), mode); }) == 0)
        return;
    if (!(only_where_kept && (errno == ENOSYS || errno == EPERM || errno == EOPNOTSUPP)))
        throw_last_error();
}

CreatedFile create_empty_file(const std::string& path)
{
    const int fd = system_call(SystemOperation::open, path,
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644); });
    if (fd < 0)
        return {result_of_call(fd), {}};
    const FileDescriptor file(fd, path);
    struct stat info { };
    if (system_call(SystemOperation::examine, path, [&] { return ::fstat(fd, &info); }) != 0)
        return {result_of_call(-1), {}};
    return {{}, identity_from_stat(info)};
}

bool inodes_may_change_on_remount(const std::string& path)
{
    constexpr long fuse_magic = 0x65735546;
    constexpr long msdos_magic = 0x4d44;
    constexpr long exfat_magic = 0x2011BAB0;
    struct statfs info { };
    if (system_call(SystemOperation::examine, path, [&] { return ::statfs(path.c_str(), &info); }) != 0)
        return true;
    const long type = static_cast<long>(info.f_type);
    return type == fuse_magic || type == msdos_magic || type == exfat_magic;
}

SystemResult create_link(const std::string& target, const std::string& path)
{
    return result_of_call(
        system_call(SystemOperation::move, path, [&] { return ::symlink(target.c_str(), path.c_str()); }));
}

SystemResult create_hard_link(const std::string& existing, const std::string& path)
{
    return result_of_call(
        system_call(SystemOperation::link, path, [&] { return ::link(existing.c_str(), path.c_str()); }));
}

SystemResult remove_name(const std::string& path, NoThrow) noexcept
{
    return result_of_call(system_call(SystemOperation::remove, path, [&] { return ::unlink(path.c_str()); }));
}

ReadableFile::ReadableFile(const std::string& path)
    : file_(open_file(path, OpenMode::read | OpenMode::no_waiting))
{
    const struct stat info = status_of_open(file_);
    if (!S_ISREG(info.st_mode))
        throw Error(ErrorNumber::path_file_access_error);
    identity_ = identity_from_stat(info);
    access_rights_ = static_cast<AccessRights>(info.st_mode & 0777);
}

} // namespace cartonym
