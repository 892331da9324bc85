#include "common/file_operations.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace cartonym {
namespace {

void check_fault_hook(SystemOperation operation, const std::string& path)
{
    if (const int error = injected_error(operation, path))
        throw_errno(error);
}

// The kernel's rename that refuses to replace; returns 0 or an errno.
int rename_without_replacing(const std::string& source, const std::string& target)
{
    const long result = ::syscall(SYS_renameat2, AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(),
                                    static_cast<unsigned>(RENAME_NOREPLACE));
    if (result == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    // A file system without the no-replace flag: a hard link fails on an
    // existing name just the same, and removing the old name ends the move.
    if (::link(source.c_str(), target.c_str()) != 0)
        return errno == EPERM ? error : errno;
    if (::unlink(source.c_str()) != 0) {
        const int delete_error = errno;
        ::unlink(target.c_str());
        return delete_error;
    }
    return 0;
}

std::string parent_folder_of(const std::string& path)
{
    const auto cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

// A link whose target is relative leads elsewhere once it lies in another
// folder, so moving it by renaming would leave a link to nothing. Such a link
// is moved as a new link that names the same target from the link's old
// folder, absolutely: made without replacing (an existing target fails), then
// the old link removed. Returns nullopt when quelle is no such link or stays
// in its folder (a plain rename does), otherwise 0 or the errno.
std::optional<int> move_relative_link(const std::string& source, const std::string& target)
{
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::nullopt;
    const std::string source_folder = parent_folder_of(source);
    if (source_folder == parent_folder_of(target))
        return std::nullopt;
    std::string link_target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(source.c_str(), link_target.data(), link_target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= link_target.size())
        return std::nullopt; // changed or unreadable meanwhile: the plain rename decides
    link_target.resize(static_cast<std::size_t>(length));
    if (link_target.front() == '/')
        return std::nullopt;
    char* absolute_folder = ::realpath(source_folder.c_str(), nullptr);
    if (absolute_folder == nullptr)
        return errno;
    std::string folder = absolute_folder;
    std::free(absolute_folder);
    const std::string new_target = folder + (folder == "/" ? "" : "/") + link_target;
    if (::symlink(new_target.c_str(), target.c_str()) != 0)
        return errno;
    if (::unlink(source.c_str()) != 0) {
        const int error = errno;
        ::unlink(target.c_str());
        return error;
    }
    return 0;
}

// Closes a descriptor once, at the latest when the holder goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd() const { return fd_; }
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};


void sync_folder(const std::string& folder)
{
    check_fault_hook(SystemOperation::Sync, folder);
    const FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.fd() < 0)
        throw_errno(errno);
    // Some file systems cannot synchronise a folder; the data is safe anyway.
    if (::fsync(fd.fd()) != 0 && errno != EINVAL && errno != EROFS)
        throw_errno(errno);
}

// Copies quelle into a fresh temporary file in target's folder and links it
// into place; the source stays. On failure nothing new is left behind.
void copy_to_target(const std::string& source, const std::string& target)
{
    check_fault_hook(SystemOperation::Copy, target);
    const FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd() < 0)
        throw_errno(errno);
    struct stat info {};
    if (::fstat(in.fd(), &info) != 0)
        throw_errno(errno);
    if (!S_ISREG(info.st_mode))
        throw Error(ErrorNumber::PathFileAccessError);

    const std::string folder = parent_folder_of(target);
    std::string copy_path = folder + (folder == "/" ? "" : "/") + ".cartonym-kopie-XXXXXX";
    FileDescriptor out(::mkostemp(copy_path.data(), O_CLOEXEC));
    if (out.fd() < 0)
        throw_errno(errno);
    try {
        if (::fchmod(out.fd(), info.st_mode & 0777) != 0)
            throw_errno(errno);
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(in.fd(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw_errno(errno);
            }
            if (n == 0)
                break;
            write_all(out.fd(), std::string_view(buffer, static_cast<std::size_t>(n)), copy_path);
        }
        check_fault_hook(SystemOperation::Sync, copy_path);
        if (::fsync(out.fd()) != 0)
            throw_errno(errno);
        if (const int error = out.close())
            throw_errno(error);
        if (const int error = rename_without_replacing(copy_path, target))
            throw_errno(error);
    } catch (...) {
        ::unlink(copy_path.c_str());
        throw;
    }
    sync_folder(folder);
}

} // namespace

void move_file(const std::string& source, const std::string& target)
{
    check_fault_hook(SystemOperation::Move, target);
    if (const auto error = move_relative_link(source, target)) {
        if (*error)
            throw_errno(*error);
        return;
    }
    if (const int error = rename_without_replacing(source, target))
        throw_errno(error);
}

void move_across_file_systems(const std::string& source, const std::string& target)
{
    int error = injected_error(SystemOperation::Move, target);
    if (error == 0)
        error = rename_without_replacing(source, target);
    if (error == 0)
        return;
    if (error != EXDEV)
        throw_errno(error);
    // Another file system: an existing target is refused before any copying.
    if (entry_exists(target))
        throw Error(ErrorNumber::FileAlreadyExists);
    copy_to_target(source, target);
    delete_file(source);
}

void create_folder(const std::string& path)
{
    check_fault_hook(SystemOperation::CreateFolder, path);
    if (::mkdir(path.c_str(), 0777) != 0) {
        if (errno == EEXIST)
            throw Error(ErrorNumber::PathFileAccessError);
        throw_errno(errno);
    }
}

void remove_folder(const std::string& path)
{
    check_fault_hook(SystemOperation::RemoveFolder, path);
    if (::rmdir(path.c_str()) != 0) {
        const int error = errno;
        if (error == ENOTEMPTY || error == EEXIST)
            throw Error(ErrorNumber::PathFileAccessError);
        // An entry of that name that is no folder (a file, a FIFO, a link)
        // stays just as a folder with entries does; a path that does not
        // lead there at all is another matter.
        struct stat info {};
        if (error == ENOTDIR && ::lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            throw Error(ErrorNumber::PathFileAccessError);
        throw_errno(error);
    }
}

void delete_file(const std::string& path)
{
    check_fault_hook(SystemOperation::Delete, path);
    if (::unlink(path.c_str()) != 0)
        throw_errno(errno);
}

bool entry_exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace cartonym
