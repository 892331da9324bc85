// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/folder_listing.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/windows1252.h"

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

namespace cartonym {
namespace {

// The entries of a folder that pass keep, sorted by name without regard to
// letter case: names compared folded to lower case, names equal when folded
// keep their byte order. Hidden entries (and "." and "..") are left out.
template <typename Keep> std::vector<ListedFile> sorted_entries(const std::string& folder, Keep&& keep)
{
    Directory directory(folder);
    std::vector<std::pair<std::string, ListedFile>> entries; // folded name, entry
    while (const auto entry = directory.next()) {
        if (entry->name.empty() || entry->name.front() == '.')
            continue;
        if (keep(directory, *entry))
            entries.emplace_back(ascii_lower(entry->name),
                ListedFile{entry->name, !entry->type_known || entry->kind == EntryKind::link});
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first, a.second.name) < std::tie(b.first, b.second.name);
    });
    std::vector<ListedFile> listed;
    listed.reserve(entries.size());
    for (auto& [folded, entry] : entries)
        listed.push_back(std::move(entry));
    return listed;
}

std::vector<std::string> names_of(std::vector<ListedFile> listed)
{
    std::vector<std::string> names;
    names.reserve(listed.size());
    for (ListedFile& entry : listed)
        names.push_back(std::move(entry.name));
    return names;
}

} // namespace

std::vector<std::string> list_files(const std::string& folder) { return names_of(list_file_entries(folder)); }

std::vector<ListedFile> list_file_entries(const std::string& folder)
{
    // The entry's type from the folder itself spares a stat per file; links
    // (a link counts when it leads to a regular file) and file systems that
    // do not tell the type are examined.
    return sorted_entries(folder, [](const Directory& directory, const Directory::Entry& entry) {
        if (entry.type_known && entry.kind == EntryKind::regular_file)
            return true;
        if (entry.type_known && entry.kind != EntryKind::link)
            return false;
        return directory.leads_to_regular_file(entry.name);
    });
}

std::vector<std::string> list_subfolders(const std::string& folder)
{
    return names_of(sorted_entries(folder, [](const Directory& directory, const Directory::Entry& entry) {
        if (entry.type_known)
            return entry.kind == EntryKind::folder;
        return directory.is_subfolder(entry.name);
    }));
}

bool is_folder(const std::string& path) { return status_of(path, Links::followed).kind == EntryKind::folder; }

std::vector<std::pair<std::string, std::string>> take_out_links_into_the_folder(
    const std::string& folder, std::vector<ListedFile>& files)
{
    std::set<std::string> names;
    for (const ListedFile& file : files)
        names.insert(file.name);
    std::vector<std::pair<std::string, std::string>> links; // link, the image it leads to
    std::vector<ListedFile> others;
    for (ListedFile& file : files) {
        const std::string& name = file.name;
        const std::string path = join_path(folder, name);
        std::optional<std::string> target;
        if (file.is_link && entry_kind(path) == EntryKind::link)
            target = link_target(path);
        std::string image;
        if (target && !target->empty()) {
            try {
                const std::string resolved = resolved_path(path), led_to = base_name(resolved);
                if (parent_folder(resolved) == resolved_path(folder) && led_to != name && names.contains(led_to))
                    image = led_to;
            } catch (const Error&) {
                image.clear(); // leads nowhere: taken up like any other entry
            }
        }
        if (image.empty())
            others.push_back(std::move(file));
        else
            links.emplace_back(name, std::move(image));
    }
    files = std::move(others);
    return links;
}

} // namespace cartonym
