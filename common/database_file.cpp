#include "common/database_file.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cartonym {
namespace {

void check_hook(SystemOperation operation, const std::string& path)
{
    if (const int error = injected_error(operation, path))
        throw_errno(error);
}

std::string folder_of(const std::string& path)
{
    const auto cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string base_of(const std::string& path)
{
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// A hidden temporary file beside a target; removed again unless it was
// moved into place.
class TempFile {
public:
    explicit TempFile(const std::string& target)
        : path_(folder_of(target) + "/." + base_of(target) + ".new-XXXXXX")
    {
        check_hook(SystemOperation::Open, path_);
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            const int error = errno;
            path_.clear();
            throw_errno(error);
        }
    }
    ~TempFile()
    {
        // Clean-up after a failure is not routed through the hook: it must
        // not be the step that fails, or the temporary file would stay.
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Writes content with the given access rights, flushes and closes.
    void Write(std::string_view content, mode_t mode)
    {
        check_hook(SystemOperation::Write, path_);
        if (::fchmod(fd_, mode) != 0)
            throw_errno(errno);
        write_all(fd_, content, path_);
        check_hook(SystemOperation::Sync, path_);
        if (::fsync(fd_) != 0)
            throw_errno(errno);
        check_hook(SystemOperation::Close, path_);
        const int result = ::close(fd_);
        fd_ = -1;
        if (result != 0)
            throw_errno(errno);
    }

    // Renames the file onto destination, replacing what is there.
    void move_to(const std::string& destination)
    {
        check_hook(SystemOperation::Move, destination);
        if (::rename(path_.c_str(), destination.c_str()) != 0)
            throw_errno(errno);
        path_.clear();
    }

private:
    std::string path_;
    int fd_ = -1;
};

// Flushes a folder's entries (the renames done in it) to disk.
void sync_folder(const std::string& folder)
{
    check_hook(SystemOperation::Open, folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw_errno(errno);
    if (const int error = injected_error(SystemOperation::Sync, folder)) {
        ::close(fd);
        throw_errno(error);
    }
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (result != 0 && error != EINVAL) // some file systems cannot sync folders
        throw_errno(error);
}

std::string read_whole(const std::string& path)
{
    const ReadableFile file(path);
    std::string content(file.length(), '\0');
    file.read_at(0, reinterpret_cast<unsigned char*>(content.data()), content.size());
    return content;
}

void create_folders(const std::string& folder)
{
    if (folder == "." || folder == "/")
        return;
    check_hook(SystemOperation::Open, folder);
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            throw_errno(ENOTDIR);
        return;
    }
    if (errno != ENOENT)
        throw_errno(errno);
    create_folders(folder_of(folder));
    check_hook(SystemOperation::CreateFolder, folder);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        throw_errno(errno);
}

} // namespace

void replace_file_keeping_backup(const std::string& path, std::string_view content)
{
    check_hook(SystemOperation::Open, path);
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        throw_errno(errno);
    const std::string target = resolved;

    check_hook(SystemOperation::Open, target);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        throw_errno(errno);
    const mode_t mode = info.st_mode & 07777;
    const std::string previous = read_whole(target);

    TempFile fresh(target);
    fresh.Write(content, mode);
    TempFile backup(target);
    backup.Write(previous, mode);
    backup.move_to(target + ".bak");
    fresh.move_to(target);
    sync_folder(folder_of(target));
}

void create_file_with_folders(const std::string& path, std::string_view content)
{
    create_folders(folder_of(path));
    TempFile fresh(path);
    fresh.Write(content, 0644);
    fresh.move_to(path);
    sync_folder(folder_of(path));
}

} // namespace cartonym
