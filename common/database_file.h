// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a small text file (the name database) so that a failure at any
// step leaves the previous file as it was. Every system call is preceded by
// the fault-injection hook, so tests can fail each step.
#pragma once

#include <string>
#include <string_view>

namespace cartonym {

// Replaces the file at path (the file a link leads to, when path is a link)
// by content: a complete new file is written beside it and flushed to disk,
// a copy of the previous file is kept as <path>.bak (replacing an older
// one), the new file is renamed into place and the folder is flushed. Until
// that rename the file at path is unchanged; temporary files are removed on
// every failure. The new file keeps the previous file's access rights.
// Throws Error.
void replace_file_keeping_backup(const std::string& path, std::string_view content);

// Creates the file at path with content the same safe way (written beside
// it, flushed, renamed into place), first creating the missing folders of
// path. Throws Error.
void create_file_with_folders(const std::string& path, std::string_view content);

} // namespace cartonym
