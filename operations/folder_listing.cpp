#include "operations/folder_listing.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace cartonym {
namespace {

std::string ascii_lower(const std::string& name)
{
    std::string lower = name;
    for (char& character : lower) {
        if (character >= 'A' && character <= 'Z')
            character = static_cast<char>(character - 'A' + 'a');
    }
    return lower;
}

} // namespace

std::vector<std::string> list_files(const std::string& folder)
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
            if (error == 0)
                break;
            ::closedir(directory);
            throw_errno(error);
        }
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue; // ".", ".." and hidden files
        // The entry's type from the folder itself spares a stat per file;
        // links (a link counts when it leads to a regular file) and file
        // systems that do not tell the type are examined.
        if (entry->d_type != DT_REG) {
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;
            struct stat info {};
            if (::fstatat(folder_fd, name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode))
                continue;
        }
        entries.emplace_back(ascii_lower(name), name);
    }
    ::closedir(directory);

    std::sort(entries.begin(), entries.end());
    std::vector<std::string> files;
    files.reserve(entries.size());
    for (auto& [folded, name] : entries)
        files.push_back(std::move(name));
    return files;
}

} // namespace cartonym
