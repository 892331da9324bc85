// SPDX-License-Identifier: GPL-3.0-or-later
// Files through the seam: opening, reading, writing, flushing, locking and
// looking at them. Every call asks the fault hook first (as the operation
// named after "Hook:") and throws SystemError on failure, unless a twin
// taking no_throw returns its SystemResult. Made for POSIX in
// files_posix.cpp.
#pragma once

#include "common/system_error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cartonym {

// How a file is opened: one of read, write and read_write, with options.
enum class OpenMode : unsigned {
    read = 1U << 0,
    write = 1U << 1,
    read_write = read | write,
    append = 1U << 2,     // every write goes to the end of the file
    create = 1U << 3,     // a missing file is made (with the rights given)
    create_new = 1U << 4, // a file is made, and a taken name is the outcome exists
    no_links = 1U << 5,   // a symbolic link at the name is refused, never followed
    no_waiting = 1U << 6, // opening does not wait for the other end of a FIFO or a device
    folder = 1U << 7,     // the name must be a folder (to flush or lock it)
};
constexpr OpenMode operator|(OpenMode first, OpenMode second)
{
    return static_cast<OpenMode>(static_cast<unsigned>(first) | static_cast<unsigned>(second));
}
constexpr bool has(OpenMode mode, OpenMode option)
{
    return (static_cast<unsigned>(mode) & static_cast<unsigned>(option)) == static_cast<unsigned>(option);
}

// The access rights of a file: read, write and run for its owner, its group
// and everyone else, as the nine low bits (octal 0644), with the set-id and
// sticky bits above them. A platform that keeps fewer keeps what it can.
// New files get them less what the process's creation mask withholds.
enum class AccessRights : std::uint32_t {
    owner_only = 0600, // read and write for the owner alone
    ordinary = 0644,   // read and write for the owner, read for everyone
    anyone = 0666,     // read and write for everyone
};

// The platform's handle of an open file (a descriptor on POSIX).
using NativeHandle = std::intptr_t;

// The one owner of an open file: closed once, at the latest when the owner
// goes. close() reports the error of closing; it is never repeated after
// an interruption (the handle is gone either way).
class FileDescriptor {
public:
    static constexpr NativeHandle none = -1;

    FileDescriptor() = default;
    FileDescriptor(NativeHandle handle, std::string path)
        : handle_(handle)
        , path_(std::move(path))
    { }
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    NativeHandle get() const { return handle_; }
    bool is_open() const { return handle_ != none; }
    const std::string& path() const { return path_; }

    // Closes through the hook (Close); throws Error on failure.
    void close();
    // Closes without reporting anything: for clean-up on an error path.
    void discard() noexcept;

private:
    // Closes handle through the hook exactly once (never again after an
    // interruption); a failure the hook injects closes all the same. Made by
    // each platform.
    static SystemResult close_once(const std::string& path, NativeHandle handle) noexcept;

    NativeHandle handle_ = none;
    std::string path_;
};

// Opens path (never inherited by a program started); throws Error. rights
// are those of a file made. Hook: Open.
FileDescriptor open_file(const std::string& path, OpenMode mode, AccessRights rights = AccessRights::anyone);

// Creates a new file from a template ("...XXXXXX" followed by
// suffix_length more characters), which receives the chosen name; throws
// Error. Hook: Open.
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

// Whether a look at a name follows a symbolic link there.
enum class Links { followed, not_followed };

// What is known of an entry: its kind, its access rights, and its identity
// (device and inode: which entry; size, modification and change times:
// which version of it).
struct EntryStatus {
    EntryKind kind = EntryKind::missing;
    FileIdentity identity;
    AccessRights rights{};
};

// The status of path; throws Error (nothing there too). Hook: Examine.
EntryStatus status_of(const std::string& path, Links links);

// The status of path, or why there is none.
struct StatusResult {
    SystemResult result;
    EntryStatus status; // when result.done()
};
StatusResult status_of(const std::string& path, Links links, NoThrow) noexcept;

// The status of the entry at path (links not followed unless asked);
// nullopt when there is none (nothing of that name, or a part of the path
// that is no folder); throws Error when it cannot be examined. Hook: Examine.
std::optional<EntryStatus> entry_status(const std::string& path, Links links = Links::not_followed);

// The identity of the file at path, following links; throws Error.
FileIdentity identity_of(const std::string& path);
FileIdentity identity_of(const FileDescriptor& file);

// The kind of the entry at path (links not followed); missing when there is
// none (nothing of that name, or a part of the path that is no folder);
// throws Error when it cannot be examined.
EntryKind entry_kind(const std::string& path);

// True when something of that name exists (a dangling link counts).
bool entry_exists(const std::string& path);

// The target of a symbolic link, or nullopt when path is none (no link, or
// nothing there); throws Error when it cannot be read. Hook: Examine.
std::optional<std::string> link_target(const std::string& path);

// The absolute path of a folder with every link resolved; throws Error.
std::string resolved_path(const std::string& path);

// Writes every byte to the file; throws Error. Hook: Write.
void write_all(const FileDescriptor& file, std::string_view data);

// Reads up to count bytes at offset; returns how many (0 at the end of the
// file); throws Error. Hook: Read.
std::size_t read_at(const FileDescriptor& file, std::uint64_t offset, unsigned char* target, std::size_t count);

// Appends count bytes of from, starting at offset, to to inside the system,
// without a trip through this program's memory, where the system can copy
// between the two; returns false, having copied nothing, where it cannot
// (Windows, FUSE, another file system on an older kernel), so that the
// caller writes the bytes itself. A source that turns out shorter throws
// Error 62. Throws Error. Hook: Write.
bool copy_in_system(const FileDescriptor& from, std::uint64_t offset, const FileDescriptor& to, std::uint64_t count);

// Flushes a file to disk; throws Error. Hook: Sync.
void sync_file(const FileDescriptor& file);

// Flushes the whole file system that holds file, at once, where the system
// lets a program do so (not Windows, where it does nothing). Only a
// speed-up before sync_file() of many files, which still reports each
// file's errors: never throws. Hook: Sync.
void sync_file_system(const FileDescriptor& file) noexcept;

// Takes the advisory lock of a whole file for this handle: the system
// releases it when the handle closes, also when the process is killed.
// lock_file waits until no one else holds it; try_lock_file returns false
// at once when someone does. Both throw Error. Hook: lock.
void lock_file(const FileDescriptor& file);
bool try_lock_file(const FileDescriptor& file);

// Cuts a file back to size bytes; throws Error. Hook: Write.
void truncate_file(const FileDescriptor& file, std::uint64_t size);

// Sets a file's access rights; throws Error. Hook: Write. With
// only_where_kept, a volume that keeps no access rights (FAT through FUSE)
// counts as done.
void set_access_rights(const FileDescriptor& file, AccessRights rights, bool only_where_kept = false);

// A file made by create_empty_file(), or why there is none.
struct CreatedFile {
    SystemResult result;
    FileIdentity identity; // when result.done()
};

// Creates an empty regular file at path exclusively (never through a
// link) and tells its identity; the outcome exists when the name (or, on a
// case-folding volume, a name differing only in letter case) is taken.
// Hook: Open.
CreatedFile create_empty_file(const std::string& path);

// True when the file system of path hands out inode numbers that need not
// survive a remount (FAT, exFAT and everything mounted through FUSE), so
// that a file is known again only by its content. Unknown counts as true.
bool inodes_may_change_on_remount(const std::string& path);

// Creates a symbolic link at path leading to target. Hook: Move (path).
SystemResult create_link(const std::string& target, const std::string& path);

// Creates a hard link. Hook: Link (path).
SystemResult create_hard_link(const std::string& existing, const std::string& path);

// Removes a name (never a folder); throws Error. The twin, for clean-up
// that goes on whatever happens, returns the result. Hook: Delete.
void remove_name(const std::string& path);
SystemResult remove_name(const std::string& path, NoThrow) noexcept;

// A file opened for positioned binary reads. Opening never blocks: the file
// is opened without waiting and anything but a regular file (a FIFO, socket
// or device) is refused with a path/file access error.
class ReadableFile {
public:
    explicit ReadableFile(const std::string& path);

    std::uint64_t length() const noexcept { return identity_.size; }
    const FileIdentity& identity() const noexcept { return identity_; }
    // The access rights of the file opened.
    AccessRights access_rights() const noexcept { return access_rights_; }

    // Reads count bytes at offset; bytes beyond the end of the file read as 0.
    void read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const;
    const FileDescriptor& handle() const noexcept { return file_; }

private:
    FileDescriptor file_;
    FileIdentity identity_;
    AccessRights access_rights_{};
};

} // namespace cartonym
