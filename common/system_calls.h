// File-system primitives of the core, all behind one seam: before each
// system call the installed hook may answer with an errno, and the operation
// then fails with that error instead. Tests use it to fail the n-th operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace cartonym {

enum class SystemOperation {
    Open,
    Read,
    Write,
    Sync,
    Close,
    Move,
    Copy,
    CreateFolder,
    RemoveFolder,
    Delete,
    List,
};

// Returns an errno to inject, or 0 to let the operation run.
using FaultHook = std::function<int(SystemOperation, const std::string& path)>;

// Installs the hook (an empty function removes it); returns the previous one.
FaultHook set_fault_hook(FaultHook hook);

// The errno the hook injects for this operation, or 0.
int injected_error(SystemOperation operation, const std::string& path);

// Writes every byte to fd, going on after interruptions; throws Error.
// Hook: Write (pfad names the file for the hook and nothing else).
void write_all(int fd, std::string_view data_bytes, const std::string& path);

// The folder that holds the running executable.
std::string program_folder();

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

// The identity of the file at pfad, following links, without opening it;
// throws Error when it cannot be examined. Hook: Open.
FileIdentity identity_of(const std::string& path);

// A file opened for positioned binary reads. Opening never blocks: the file
// is opened non-blocking and anything but a regular file (a FIFO, socket or
// device) is refused with a path/file access error. Closed by the destructor.
class ReadableFile {
public:
    explicit ReadableFile(const std::string& path);
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    std::uint64_t length() const noexcept { return identity_.size; }
    const FileIdentity& identity() const noexcept { return identity_; }

    // Reads anzahl bytes at versatz; bytes beyond the end of the file read as 0.
    void read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const;

private:
    int fd_ = -1;
    FileIdentity identity_;
    std::string path_;
};

} // namespace cartonym
