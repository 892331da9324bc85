// SPDX-License-Identifier: GPL-3.0-or-later
// The files of a folder as the file list shows them and the batch run takes them.
#pragma once

#include <string>
#include <vector>

namespace cartonym {

// The folder's non-hidden regular files (a link to a regular file counts),
// sorted by name without regard to letter case: names compared folded to
// lower case, names equal when folded keep their byte order. Throws Error
// when the folder cannot be read.
std::vector<std::string> list_files(const std::string& folder);

// The same files, each with whether the folder names it as a link (or did
// not tell its type).
struct ListedFile {
    std::string name;
    bool is_link = false;
};
std::vector<ListedFile> list_file_entries(const std::string& folder);

// The folder's non-hidden sub-folders (links are not followed), in the same
// order. Throws Error when the folder cannot be read.
std::vector<std::string> list_subfolders(const std::string& folder);

// True when path names a folder (following links). Throws Error when it
// cannot be examined.
bool is_folder(const std::string& path);

} // namespace cartonym
