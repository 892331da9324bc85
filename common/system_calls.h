// The one seam between the program and the operating system. Every system
// call of the program goes through system_call() in this folder: it first
// asks the installed fault hook, which may answer with an errno that the
// call then fails with, and it repeats a call interrupted by a signal where
// repeating is right. Tests use the hook to fail the n-th operation of any
// kind. Descriptors and folder streams have one owner each.
//
// One error convention: every function throws Error, which keeps the errno.
// Where a caller must branch on the errno (EEXIST, ENOENT, ...), a noexcept
// twin taking no_throw returns it instead (0 on success).
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The open flags (O_...) and the status of a file (struct stat, S_IS...)
// that the seam's callers pass and read come with the seam.
#include <fcntl.h>
#include <sys/stat.h>

namespace cartonym {

// The kind of an operation, as the fault hook sees it.
enum class SystemOperation {
    open,
    read,
    write,
    sync,
    close,
    move,
    copy,
    create_folder,
    remove_folder,
    remove,
    list,
    examine,
    link, // a hard link: the no-replace move's second route
    lock,
};

// Returns an errno to inject, or 0 to let the operation run.
using FaultHook = std::function<int(SystemOperation, const std::string& path)>;

// Installs the hook (an empty function removes it); returns the previous one.
FaultHook set_fault_hook(FaultHook hook);

// The errno the hook injects for this operation, or 0.
int injected_error(SystemOperation operation, const std::string& path);

// The tag of the noexcept twins.
struct NoThrow {
    explicit NoThrow() = default;
};
inline constexpr NoThrow no_throw{};

// Whether a call interrupted by a signal is made again.
enum class Interrupted { retry, give_up };

// Runs call() behind the hook: an injected errno makes it return -1 with
// errno set, and a call interrupted by a signal (EINTR) is made again
// unless told otherwise (close, whose descriptor is gone after EINTR).
// Only for use inside common/.
template <typename Call>
auto system_call(SystemOperation operation, const std::string& path, Call&& call,
    Interrupted interrupted = Interrupted::retry) -> decltype(call())
{
    for (;;) {
        // An injected EINTR is an interruption like a real one.
        if (const int error = injected_error(operation, path)) {
            errno = error;
            if (error == EINTR && interrupted == Interrupted::retry)
                continue;
            return -1;
        }
        const auto result = call();
        if (!(result == -1 && errno == EINTR) || interrupted == Interrupted::give_up)
            return result;
    }
}

// The one owner of a file descriptor: closed once, at the latest when the
// owner goes. close() reports the error of closing; it is never repeated
// after EINTR (the descriptor is gone either way).
class FileDescriptor {
public:
    FileDescriptor() = default;
    FileDescriptor(int fd, std::string path)
        : fd_(fd)
        , path_(std::move(path))
    { }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // Closes through the hook (Close); throws Error on failure.
    void close();
    // Closes without reporting anything: for clean-up on an error path.
    void discard() noexcept;

private:
    int fd_ = -1;
    std::string path_;
};

// Opens path with open(2) flags (O_CLOEXEC always added); throws Error.
// Hook: open.
FileDescriptor open_file(const std::string& path, int flags, mode_t mode = 0);

// Creates a new file from a mkostemps template ("...XXXXXX" followed by
// suffix_length more characters), which receives the chosen name; throws
// Error. Hook: open.
FileDescriptor create_unique_file(std::string& path_template, int suffix_length = 0);

// What tells one version of a file from another.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtime_s = 0;
    std::int64_t mtime_ns = 0;
    std::int64_t ctime_s = 0; // changes with the access rights too
    std::int64_t ctime_ns = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The kind of a directory entry without following links.
enum class EntryKind { missing, regular_file, folder, link, other };

// The kind of entry a stat mode describes.
EntryKind entry_kind_from_mode(mode_t mode);

// The status of path. follow_links chooses stat or lstat; throws Error.
// The twin returns the errno. Hook: examine.
void status_of(const std::string& path, bool follow_links, struct stat& info);
int status_of(const std::string& path, bool follow_links, struct stat& info, NoThrow) noexcept;

// The identity of the file at path, following links; throws Error.
FileIdentity identity_of(const std::string& path);
FileIdentity identity_of(const FileDescriptor& file);

// The kind of the entry at path (links not followed); Missing when there is
// none (nothing of that name, or a part of the path that is no folder);
// throws Error when it cannot be examined.
EntryKind entry_kind(const std::string& path);

// The kind and identity of the entry at path, links not followed; nullopt
// when there is none; throws Error when it cannot be examined. Hook: examine.
struct EntryStatus {
    EntryKind kind = EntryKind::missing;
    FileIdentity identity;
};
std::optional<EntryStatus> entry_status(const std::string& path);

// True when something of that name exists (a dangling link counts).
bool entry_exists(const std::string& path);

// The target of a symbolic link, or nullopt when path is none (no link, or
// nothing there); throws Error when it cannot be read. Hook: examine.
std::optional<std::string> link_target(const std::string& path);

// The absolute path of a folder with every link resolved; throws Error.
std::string resolved_path(const std::string& path);

// Writes every byte to the file; throws Error. Hook: write.
void write_all(const FileDescriptor& file, std::string_view data);

// Reads up to count bytes at offset; returns how many (0 at the end of the
// file); throws Error. Hook: read.
std::size_t read_at(const FileDescriptor& file, std::uint64_t offset, unsigned char* target, std::size_t count);

// Flushes a file, or a folder's entries, to disk; throws Error. A folder
// whose file system cannot flush folders counts as flushed. Hook: sync.
void sync_file(const FileDescriptor& file);
void sync_folder(const std::string& folder);

// Takes the advisory lock (flock) of a whole file for this descriptor: the
// system releases it when the descriptor closes, also when the process is
// killed. lock_file waits until no one else holds it; try_lock_file returns
// false at once when someone does. Both throw Error. Hook: lock.
void lock_file(const FileDescriptor& file);
bool try_lock_file(const FileDescriptor& file);

// Cuts a file back to size bytes; throws Error. Hook: write.
void truncate_file(const FileDescriptor& file, std::uint64_t size);

// Sets a file's access rights; throws Error. Hook: write. With
// only_where_kept, a volume that keeps no access rights (FAT through FUSE:
// ENOSYS, EPERM or EOPNOTSUPP) counts as done.
void set_mode(const FileDescriptor& file, mode_t mode, bool only_where_kept = false);

// Told the target of a move right before the move reserves that name by
// creating an empty file there (on a volume with neither the kernel's
// no-replace rename nor hard links), so that a journal can name the
// reservation before it exists.
using ReservationNotice = std::function<void(const std::string& target)>;

// Renames without ever replacing; returns 0 or the errno (EEXIST when
// target, or on a volume that folds case a name differing from it only in
// letter case, is taken). It takes the first route the volume offers:
// the kernel's no-replace rename; a hard link and the removal of the old
// name while it still names the same entry; or a reservation of the target
// created exclusively, renamed over only while it is still the empty file
// made. No route gives the entry a private name. Renaming a file to its
// own name with other letter case works on a volume that folds case. The
// hook sees operation with hook_path (Link and Open for the other routes).
// Made in common/file_operations.cpp.
int rename_without_replacing(const std::string& source, const std::string& target, SystemOperation operation,
    const std::string& hook_path, const ReservationNotice& reserving = {});

// Renames with the kernel's no-replace flag; returns 0 or the errno
// (EEXIST when target exists, EINVAL or ENOSYS where the file system does
// not know the flag). The hook sees operation with hook_path.
int rename_no_replace(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path);

// Renames, replacing what target names; returns 0 or the errno. Only for a
// target the caller has just verified to be its own. The hook sees
// operation with hook_path.
int rename_over(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path);

// Creates an empty regular file at path exclusively (never through a
// link) and tells its identity; returns 0 or the errno (EEXIST when the
// name, or on a case-folding volume a name differing only in letter case,
// is taken). Hook: open.
int create_empty_file(const std::string& path, FileIdentity& made);

// True when the file system of path hands out inode numbers that need not
// survive a remount (FAT, exFAT and everything mounted through FUSE), so
// that a file is known again only by its content. Unknown counts as true.
bool inodes_may_change_on_remount(const std::string& path);

// Swaps two names atomically; returns 0 or the errno. Hook: move.
int exchange_names(const std::string& first, const std::string& second);

// Renames, replacing what target names (only for a file the program wrote
// itself, such as a new version of the name database); throws Error.
// Hook: move.
void rename_replacing(const std::string& source, const std::string& target);

// Creates a symbolic link; returns 0 or the errno. Hook: move (path).
int create_link(const std::string& target, const std::string& path);

// Creates a hard link; returns 0 or the errno. Hook: link (path).
int create_hard_link(const std::string& existing, const std::string& path);

// Removes a name (never a folder); throws Error. The twin returns the
// errno, for clean-up that goes on whatever happens. Hook: remove.
void remove_name(const std::string& path);
int remove_name(const std::string& path, NoThrow) noexcept;

// Creates a folder; throws Error. The twin returns the errno. Hook:
// create_folder.
void make_folder(const std::string& path);
int make_folder(const std::string& path, NoThrow) noexcept;

// Removes an empty folder; throws Error. The twin returns the errno. Hook:
// remove_folder.
void remove_empty_folder(const std::string& path);
int remove_empty_folder(const std::string& path, NoThrow) noexcept;

// The entries of a folder, read one by one; the stream has one owner and
// is closed when it goes. Hooks: List (opening and each entry), Close.
class Directory {
public:
    explicit Directory(const std::string& path); // throws Error
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    struct Entry {
        std::string name;
        EntryKind kind = EntryKind::other; // from the folder; links and unknown types as Link/Other
        bool type_known = true;            // false when the file system did not tell the type
    };
    // The next entry, or nullopt at the end; throws Error.
    std::optional<Entry> next();

    // True when name, in this folder, leads to a regular file (links
    // followed) or to a folder (links not followed).
    bool leads_to_regular_file(const std::string& name) const;
    bool is_subfolder(const std::string& name) const;

private:
    void* stream_ = nullptr;
    std::string path_;
};

// The wall-clock time in nanoseconds since 1970.
std::int64_t wall_clock_ns();

// While it lives, SIGINT and SIGTERM no longer end the process: the first
// one is remembered, for the program to stop at the next safe point. When it
// goes, the handlers it replaced are back and nothing is remembered, so that
// a later run in the same process starts undisturbed.
class InterruptSignalCatch {
public:
    InterruptSignalCatch();
    ~InterruptSignalCatch();
    InterruptSignalCatch(const InterruptSignalCatch&) = delete;
    InterruptSignalCatch& operator=(const InterruptSignalCatch&) = delete;

private:
    struct Replaced;
    std::unique_ptr<Replaced> replaced_;
};

// The interrupting signal caught (SIGINT or SIGTERM), or 0.
int caught_interrupt_signal();

// This process's id.
long process_id();

// True when the descriptor (STDERR_FILENO: 2) is a terminal.
bool is_terminal(int fd);
inline constexpr int standard_error = 2;

// True when a process with this id is running. Hook: examine ("/proc/<pid>").
bool process_is_running(long pid);

// The folder that holds the running executable.
std::string program_folder();

// A variable of the environment, or nullopt.
std::optional<std::string> environment_variable(const std::string& name);

// The value of the first environment variable whose name equals name
// without regard to ASCII letter case.
std::optional<std::string> environment_variable_any_case(std::string_view name);

// A file opened for positioned binary reads. Opening never blocks: the file
// is opened non-blocking and anything but a regular file (a FIFO, socket or
// device) is refused with a path/file access error.
class ReadableFile {
public:
    explicit ReadableFile(const std::string& path);

    std::uint64_t length() const noexcept { return identity_.size; }
    const FileIdentity& identity() const noexcept { return identity_; }
    // The access rights (rwx for owner, group and others) of the file opened.
    mode_t access_rights() const noexcept { return access_rights_; }

    // Reads count bytes at offset; bytes beyond the end of the file read as 0.
    void read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const;

private:
    FileDescriptor file_;
    FileIdentity identity_;
    mode_t access_rights_ = 0;
};

} // namespace cartonym
