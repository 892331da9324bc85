#include "operations/folder_listing.h"

#include "common/system_calls.h"
#include "common/error.h"
#include "common/windows1252.h"

#include <algorithm>
#include <sys/stat.h>

namespace cartonym {
namespace {

// The entries of a folder that pass keep, sorted by name without regard to
// letter case: names compared folded to lower case, names equal when folded
// keep their byte order. Hidden entries (and "." and "..") are left out.
template <typename Keep>
std::vector<std::string> sorted_entries(const std::string& folder, Keep&& keep)
{
    Directory directory(folder);
    std::vector<std::pair<std::string, std::string>> entries; // folded name, name
    while (const auto entry = directory.next()) {
        if (entry->name.empty() || entry->name.front() == '.')
            continue;
        if (keep(directory, *entry))
            entries.emplace_back(ascii_lower(entry->name), entry->name);
    }
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (auto& [folded, name] : entries)
        names.push_back(std::move(name));
    return names;
}

} // namespace

std::vector<std::string> list_files(const std::string& folder)
{
    // The entry's type from the folder itself spares a stat per file; links
    // (a link counts when it leads to a regular file) and file systems that
    // do not tell the type are examined.
    return sorted_entries(folder, [](const Directory& directory, const Directory::Entry& entry) {
        if (entry.type_known && entry.kind == EntryKind::RegularFile)
            return true;
        if (entry.type_known && entry.kind != EntryKind::Link)
            return false;
        return directory.leads_to_regular_file(entry.name);
    });
}

std::vector<std::string> list_subfolders(const std::string& folder)
{
    return sorted_entries(folder, [](const Directory& directory, const Directory::Entry& entry) {
        if (entry.type_known)
            return entry.kind == EntryKind::Folder;
        return directory.is_subfolder(entry.name);
    });
}

bool is_folder(const std::string& path)
{
    struct stat info {};
    if (!status_of(path, true, info))
        throw_errno(errno);
    return S_ISDIR(info.st_mode);
}

} // namespace cartonym
