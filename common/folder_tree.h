// What a path names, and the sub-folders of a folder, for commands that
// take files and folders alike.
#pragma once

#include <string>
#include <vector>

namespace cartonym {

// True when path names a folder (following links). Throws Error when it
// cannot be examined. Hook: Open.
bool is_folder(const std::string& path);

// The folder's non-hidden sub-folders (links are not followed), sorted as
// list_files sorts files: by name folded to lower case, then by bytes.
// Throws Error when the folder cannot be read. Hook: List.
std::vector<std::string> list_subfolders(const std::string& folder);

} // namespace cartonym
