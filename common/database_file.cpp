#include "common/database_file.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace cartonym {
namespace {

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
        , file_(create_unique_file(path_))
    { }
    ~TempFile()
    {
        file_.discard();
        if (!path_.empty())
            remove_name(path_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Writes content with the given access rights, flushes and closes.
    void write(std::string_view content, mode_t mode)
    {
        set_mode(file_, mode);
        write_all(file_, content);
        sync_file(file_);
        file_.close();
    }

    // Renames the file onto destination, replacing what is there: only for
    // the files this program keeps itself (the database and its backup).
    void replace(const std::string& destination)
    {
        rename_replacing(path_, destination);
        path_.clear();
    }

    // Renames the file onto destination, which must not exist.
    void place(const std::string& destination)
    {
        if (const int error = rename_without_replacing(path_, destination, SystemOperation::Move, destination))
            throw_errno(error);
        path_.clear();
    }

private:
    std::string path_;
    FileDescriptor file_;
};

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
    struct stat info { };
    if (status_of(folder, true, info)) {
        if (!S_ISDIR(info.st_mode))
            throw_errno(ENOTDIR);
        return;
    }
    if (errno != ENOENT)
        throw_errno(errno);
    create_folders(folder_of(folder));
    if (const int error = make_folder(folder); error != 0 && error != EEXIST)
        throw_errno(error);
}

} // namespace

void replace_file_keeping_backup(const std::string& path, std::string_view content)
{
    const std::string target = resolved_path(path);
    struct stat info { };
    if (!status_of(target, true, info))
        throw_errno(errno);
    const mode_t mode = info.st_mode & 07777;
    const std::string previous = read_whole(target);

    TempFile fresh(target);
    fresh.write(content, mode);
    TempFile backup(target);
    backup.write(previous, mode);
    backup.replace(target + ".bak");
    fresh.replace(target);
    sync_folder(folder_of(target));
}

void create_file_with_folders(const std::string& path, std::string_view content)
{
    create_folders(folder_of(path));
    TempFile fresh(path);
    fresh.write(content, 0644);
    fresh.place(path);
    sync_folder(folder_of(path));
}

} // namespace cartonym
