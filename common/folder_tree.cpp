#include "common/folder_tree.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace cartonym {

bool is_folder(const std::string& path)
{
    if (const int error = injected_error(SystemOperation::Open, path))
        throw_errno(error);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw_errno(errno);
    return S_ISDIR(info.st_mode);
}

std::vector<std::string> list_subfolders(const std::string& folder)
{
    if (const int error = injected_error(SystemOperation::List, folder))
        throw_errno(error);
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr)
        throw_errno(errno);
    std::vector<std::pair<std::string, std::string>> entries; // folded name, name
    const int folder_fd = ::dirfd(directory);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (entry == nullptr) {
            const int error = errno;
            ::closedir(directory);
            if (error != 0)
                throw_errno(error);
            break;
        }
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue;
        if (entry->d_type != DT_DIR) {
            if (entry->d_type != DT_UNKNOWN)
                continue;
            struct stat info {};
            if (::fstatat(folder_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode))
                continue;
        }
        std::string folded = name;
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        entries.emplace_back(std::move(folded), name);
    }
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> names;
    for (auto& [folded, name] : entries)
        names.push_back(std::move(name));
    return names;
}

} // namespace cartonym
