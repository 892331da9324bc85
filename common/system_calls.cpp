#include "common/system_calls.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/windows1252.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

extern char** environ;

namespace cartonym {
namespace {

FaultHook& installed_hook()
{
    static FaultHook hook;
    return hook;
}

FileIdentity identity_from_stat(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::uint64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtim.tv_sec),
        static_cast<std::int64_t>(info.st_mtim.tv_nsec), static_cast<std::int64_t>(info.st_ctim.tv_sec),
        static_cast<std::int64_t>(info.st_ctim.tv_nsec)};
}

int errno_of(long result) { return result == 0 ? 0 : errno; }

SystemOutcome outcome_of_errno(int error)
{
    switch (error) {
    case 0: return SystemOutcome::done;
    case EEXIST: return SystemOutcome::exists;
    case ENOENT: return SystemOutcome::missing;
    case ENOTDIR: return SystemOutcome::not_a_folder;
    case ENOTEMPTY: return SystemOutcome::not_empty;
    case EXDEV: return SystemOutcome::other_volume;
    case EINVAL:
    case ENOSYS:
    case EOPNOTSUPP: return SystemOutcome::unsupported;
    case EPERM: return SystemOutcome::not_permitted;
    case EROFS: return SystemOutcome::read_only;
    case EINTR: return SystemOutcome::interrupted;
    default: return SystemOutcome::failed;
    }
}

SystemResult result_of_errno(int error)
{
    return {outcome_of_errno(error), error, error == 0 ? ErrorNumber::device_io_error : error_number_from_errno(error)};
}

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

EntryStatus status_from_stat(const struct stat& info)
{
    return {
        entry_kind_from_mode(info.st_mode), identity_from_stat(info), static_cast<AccessRights>(info.st_mode & 07777)};
}

// Throws the errno a twin returned, if any.
void throw_if(int error)
{
    if (error != 0)
        throw_errno(error);
}

// Closes through the hook exactly once and never again after EINTR; a
// failure the hook injects closes all the same. Returns 0 or the errno.
template <typename Close> int close_once(SystemOperation operation, const std::string& path, Close&& close) noexcept
{
    bool called = false;
    const int result = system_call(
        operation, path,
        [&] {
            called = true;
            return close();
        },
        Interrupted::give_up);
    const int error = errno_of(result);
    if (!called)
        close();
    return error;
}

// Nothing of that name: the name is missing, or a part of the path before
// it is no folder.
bool names_nothing(int error) { return error == ENOENT || error == ENOTDIR; }

long renameat2(const std::string& source, const std::string& target, unsigned flags)
{
    return ::syscall(SYS_renameat2, AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), flags);
}

} // namespace

SystemResult result_of(SystemOutcome outcome)
{
    switch (outcome) {
    case SystemOutcome::done: return {};
    case SystemOutcome::exists: return result_of_errno(EEXIST);
    case SystemOutcome::missing: return result_of_errno(ENOENT);
    case SystemOutcome::not_a_folder: return result_of_errno(ENOTDIR);
    case SystemOutcome::not_empty: return result_of_errno(ENOTEMPTY);
    case SystemOutcome::other_volume: return result_of_errno(EXDEV);
    case SystemOutcome::unsupported: return result_of_errno(ENOSYS);
    case SystemOutcome::not_permitted: return result_of_errno(EPERM);
    case SystemOutcome::read_only: return result_of_errno(EROFS);
    case SystemOutcome::interrupted: return result_of_errno(EINTR);
    case SystemOutcome::failed: break;
    }
    return result_of_errno(EIO);
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

FaultHook set_fault_hook(FaultHook hook)
{
    FaultHook old = std::move(installed_hook());
    installed_hook() = std::move(hook);
    return old;
}

int injected_error(SystemOperation operation, const std::string& path)
{
    const auto& hook = installed_hook();
    return hook ? hook(operation, path) : 0;
}

FileDescriptor::~FileDescriptor() { discard(); }

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(other.fd_)
    , path_(std::move(other.path_))
{
    other.fd_ = -1;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        discard();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

void FileDescriptor::close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    // Never repeated: after EINTR the descriptor is closed all the same.
    if (const int error = close_once(SystemOperation::close, path_, [&] { return ::close(fd); }); error != EINTR)
        throw_if(error);
}

void FileDescriptor::discard() noexcept
{
    if (fd_ >= 0) {
        const int fd = fd_;
        close_once(SystemOperation::close, path_, [&] { return ::close(fd); });
    }
    fd_ = -1;
}

FileDescriptor open_file(const std::string& path, int flags, mode_t mode)
{
    const int fd =
        system_call(SystemOperation::open, path, [&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); });
    if (fd < 0)
        throw_errno(errno);
    return {fd, path};
}

FileDescriptor open_file(const std::string& path, OpenMode mode, AccessRights rights)
{
    return open_file(path, open_flags(mode), static_cast<mode_t>(rights));
}

FileDescriptor create_unique_file(std::string& path_template, int suffix_length)
{
    const int fd = system_call(SystemOperation::open, path_template,
        [&] { return ::mkostemps(path_template.data(), suffix_length, O_CLOEXEC); });
    if (fd < 0)
        throw_errno(errno);
    return {fd, path_template};
}

int status_of(const std::string& path, bool follow_links, struct stat& info, NoThrow) noexcept
{
    return errno_of(system_call(SystemOperation::examine, path,
        [&] { return follow_links ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info); }));
}

void status_of(const std::string& path, bool follow_links, struct stat& info)
{
    throw_if(status_of(path, follow_links, info, no_throw));
}

StatusResult status_of(const std::string& path, Links links, NoThrow) noexcept
{
    struct stat info { };
    const int error = status_of(path, links == Links::followed, info, no_throw);
    return {result_of_errno(error), error == 0 ? status_from_stat(info) : EntryStatus{}};
}

EntryStatus status_of(const std::string& path, Links links)
{
    const StatusResult looked = status_of(path, links, no_throw);
    looked.result.raise_if_failed();
    return looked.status;
}

FileIdentity identity_of(const std::string& path)
{
    struct stat info { };
    status_of(path, true, info);
    return identity_from_stat(info);
}

FileIdentity identity_of(const FileDescriptor& file)
{
    struct stat info { };
    if (system_call(SystemOperation::examine, file.path(), [&] { return ::fstat(file.get(), &info); }) != 0)
        throw_errno(errno);
    return identity_from_stat(info);
}

EntryKind entry_kind(const std::string& path)
{
    struct stat info { };
    if (const int error = status_of(path, false, info, no_throw)) {
        if (names_nothing(error))
            return EntryKind::missing;
        throw_errno(error);
    }
    return entry_kind_from_mode(info.st_mode);
}

std::optional<EntryStatus> entry_status(const std::string& path, Links links)
{
    const StatusResult looked = status_of(path, links, no_throw);
    if (looked.result.is(SystemOutcome::missing) || looked.result.is(SystemOutcome::not_a_folder))
        return std::nullopt;
    looked.result.raise_if_failed();
    return looked.status;
}

bool entry_exists(const std::string& path) { return entry_kind(path) != EntryKind::missing; }

std::optional<std::string> link_target(const std::string& path)
{
    std::string target(PATH_MAX, '\0');
    const ssize_t length = system_call(
        SystemOperation::examine, path, [&] { return ::readlink(path.c_str(), target.data(), target.size()); });
    if (length < 0 && errno != EINVAL && !names_nothing(errno))
        throw_errno(errno);
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
        throw_errno(errno);
    std::string text = resolved;
    std::free(resolved);
    return text;
}

void write_all(const FileDescriptor& file, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = system_call(
            SystemOperation::write, file.path(), [&] { return ::write(file.get(), data.data(), data.size()); });
        if (n < 0)
            throw_errno(errno);
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::size_t read_at(const FileDescriptor& file, std::uint64_t offset, unsigned char* target, std::size_t count)
{
    const ssize_t n = system_call(SystemOperation::read, file.path(),
        [&] { return ::pread(file.get(), target, count, static_cast<off_t>(offset)); });
    if (n < 0)
        throw_errno(errno);
    return static_cast<std::size_t>(n);
}

void sync_file(const FileDescriptor& file)
{
    if (system_call(SystemOperation::sync, file.path(), [&] { return ::fsync(file.get()); }) != 0)
        throw_errno(errno);
}

void sync_folder(const std::string& folder)
{
    const FileDescriptor handle = open_file(folder, O_RDONLY | O_DIRECTORY);
    // Some file systems cannot flush a folder; the data is safe anyway.
    if (system_call(SystemOperation::sync, folder, [&] { return ::fsync(handle.get()); }) != 0 && errno != EINVAL
        && errno != EROFS)
        throw_errno(errno);
}

void lock_file(const FileDescriptor& file)
{
    if (system_call(SystemOperation::lock, file.path(), [&] { return ::flock(file.get(), LOCK_EX); }) != 0)
        throw_errno(errno);
}

bool try_lock_file(const FileDescriptor& file)
{
    if (system_call(SystemOperation::lock, file.path(), [&] { return ::flock(file.get(), LOCK_EX | LOCK_NB); }) == 0)
        return true;
    if (errno == EWOULDBLOCK)
        return false;
    throw_errno(errno);
}

void truncate_file(const FileDescriptor& file, std::uint64_t size)
{
    if (system_call(
            SystemOperation::write, file.path(), [&] { return ::ftruncate(file.get(), static_cast<off_t>(size)); })
        != 0)
        throw_errno(errno);
}

void set_access_rights(const FileDescriptor& file, AccessRights rights, bool only_where_kept)
{
    const auto mode = static_cast<mode_t>(rights);
    if (system_call(SystemOperation::write, file.path(), [&] { return ::fchmod(file.get(), mode); }) == 0)
        return;
    if (!(only_where_kept && (errno == ENOSYS || errno == EPERM || errno == EOPNOTSUPP)))
        throw_errno(errno);
}

int rename_no_replace(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    return errno_of(system_call(operation, hook_path, [&] { return renameat2(source, target, RENAME_NOREPLACE); }));
}

int rename_over(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    return errno_of(system_call(operation, hook_path, [&] { return ::rename(source.c_str(), target.c_str()); }));
}

int create_empty_file(const std::string& path, FileIdentity& made)
{
    const int fd = system_call(SystemOperation::open, path,
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644); });
    if (fd < 0)
        return errno;
    const FileDescriptor file(fd, path);
    struct stat info { };
    if (system_call(SystemOperation::examine, path, [&] { return ::fstat(file.get(), &info); }) != 0)
        return errno;
    made = identity_from_stat(info);
    return 0;
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

int exchange_names(const std::string& first, const std::string& second)
{
    return errno_of(
        system_call(SystemOperation::move, second, [&] { return renameat2(first, second, RENAME_EXCHANGE); }));
}

void rename_replacing(const std::string& source, const std::string& target)
{
    if (system_call(SystemOperation::move, target, [&] { return ::rename(source.c_str(), target.c_str()); }) != 0)
        throw_errno(errno);
}

int create_link(const std::string& target, const std::string& path)
{
    return errno_of(system_call(SystemOperation::move, path, [&] { return ::symlink(target.c_str(), path.c_str()); }));
}

int create_hard_link(const std::string& existing, const std::string& path)
{
    return errno_of(system_call(SystemOperation::link, path, [&] { return ::link(existing.c_str(), path.c_str()); }));
}

int remove_name(const std::string& path, NoThrow) noexcept
{
    return errno_of(system_call(SystemOperation::remove, path, [&] { return ::unlink(path.c_str()); }));
}

void remove_name(const std::string& path) { throw_if(remove_name(path, no_throw)); }

int make_folder(const std::string& path, NoThrow) noexcept
{
    return errno_of(system_call(SystemOperation::create_folder, path, [&] { return ::mkdir(path.c_str(), 0777); }));
}

void make_folder(const std::string& path) { throw_if(make_folder(path, no_throw)); }

int remove_empty_folder(const std::string& path, NoThrow) noexcept
{
    return errno_of(system_call(SystemOperation::remove_folder, path, [&] { return ::rmdir(path.c_str()); }));
}

void remove_empty_folder(const std::string& path) { throw_if(remove_empty_folder(path, no_throw)); }

Directory::Directory(const std::string& path)
    : path_(path)
{
    DIR* stream = nullptr;
    const int result = system_call(SystemOperation::list, path, [&] {
        stream = ::opendir(path.c_str());
        return stream == nullptr ? -1 : 0;
    });
    if (result != 0)
        throw_errno(errno);
    stream_ = stream;
}

Directory::~Directory()
{
    if (stream_ != nullptr) {
        DIR* stream = static_cast<DIR*>(stream_);
        // The stream is gone whatever closing answers; nothing to report.
        close_once(SystemOperation::close, path_, [&] { return ::closedir(stream); });
    }
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
        throw_errno(errno);
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
    struct stat info { };
    const int fd = ::dirfd(static_cast<DIR*>(stream_));
    return system_call(
               SystemOperation::examine, join_path(path_, name), [&] { return ::fstatat(fd, name.c_str(), &info, 0); })
        == 0
        && S_ISREG(info.st_mode);
}

bool Directory::is_subfolder(const std::string& name) const
{
    struct stat info { };
    const int fd = ::dirfd(static_cast<DIR*>(stream_));
    return system_call(SystemOperation::examine, join_path(path_, name),
               [&] { return ::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW); })
        == 0
        && S_ISDIR(info.st_mode);
}

namespace {
volatile std::sig_atomic_t interrupt_signal = 0;

extern "C" void remember_interrupt(int signal_number)
{
    if (interrupt_signal == 0)
        interrupt_signal = signal_number;
}
} // namespace

struct InterruptSignalCatch::Replaced {
    struct sigaction interrupt { };
    struct sigaction terminate { };
};

InterruptSignalCatch::InterruptSignalCatch()
    : replaced_(std::make_unique<Replaced>())
{
    struct sigaction action { };
    action.sa_handler = remember_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    interrupt_signal = 0;
    ::sigaction(SIGINT, &action, &replaced_->interrupt);
    ::sigaction(SIGTERM, &action, &replaced_->terminate);
}

InterruptSignalCatch::~InterruptSignalCatch()
{
    ::sigaction(SIGINT, &replaced_->interrupt, nullptr);
    ::sigaction(SIGTERM, &replaced_->terminate, nullptr);
    interrupt_signal = 0;
}

int caught_interrupt_signal() { return interrupt_signal; }

std::int64_t wall_clock_ns()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool is_terminal(int fd)
{
    return system_call(SystemOperation::examine, "", [&] { return ::isatty(fd) == 1 ? 0 : -1; }) == 0;
}

long process_id() { return static_cast<long>(::getpid()); }

bool process_is_running(long pid)
{
    return pid > 0 && (system_call(SystemOperation::examine, "/proc/" + std::to_string(pid), [&] {
        return ::kill(static_cast<pid_t>(pid), 0);
    }) == 0 || errno == EPERM);
}

std::string program_folder() { return parent_folder(link_target("/proc/self/exe").value_or(".")); }

std::optional<std::string> environment_variable(const std::string& name)
{
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

std::optional<std::string> environment_variable_any_case(std::string_view name)
{
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string_view::npos && ascii_lower(text.substr(0, equals)) == ascii_lower(name))
            return std::string(text.substr(equals + 1));
    }
    return std::nullopt;
}

ReadableFile::ReadableFile(const std::string& path)
    : file_(open_file(path, O_RDONLY | O_NONBLOCK | O_NOCTTY))
{
    struct stat info { };
    if (system_call(SystemOperation::examine, path, [&] { return ::fstat(file_.get(), &info); }) != 0)
        throw_errno(errno);
    if (!S_ISREG(info.st_mode))
        throw Error(ErrorNumber::path_file_access_error);
    identity_ = identity_from_stat(info);
    access_rights_ = static_cast<AccessRights>(info.st_mode & 0777);
}

void ReadableFile::read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const
{
    std::memset(target, 0, count);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = cartonym::read_at(file_, offset + done, target + done, count - done);
        if (n == 0)
            break; // end of file: the rest stays 0
        done += n;
    }
}

} // namespace cartonym
