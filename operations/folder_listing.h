// SPDX-License-Identifier: GPL-3.0-or-later
// The files of a folder as the file list shows them and the batch run takes them.
#pragma once

#include <string>
#include <utility>
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

// Takes the links that lead to another file of folder out of files: each
// link with the name of the file it leads to. Such links are taken up after
// every other file: the image a link leads to may move in the run, and the
// link must neither be filed in the image's place nor be left leading
// nowhere.
std::vector<std::pair<std::string, std::string>> take_out_links_into_the_folder(
    const std::string& folder, std::vector<ListedFile>& files);

// The folder's non-hidden sub-folders (links are not followed), in the same
// order. Throws Error when the folder cannot be read.
std::vector<std::string> list_subfolders(const std::string& folder);

// True when path names a folder (following links). Throws Error when it
// cannot be examined.
bool is_folder(const std::string& path);

} // namespace cartonym
