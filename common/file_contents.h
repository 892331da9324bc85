// SPDX-License-Identifier: GPL-3.0-or-later
// Whole files: reading one into memory, creating the folders a new file
// needs, and writing a file under a working name before it takes its place,
// so that no one ever sees half of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "common/system_calls.h"

namespace cartonym {

// The whole content of a regular file; throws Error, 61 (what the
// system's "file too large" maps to) when it is longer than largest.
std::string read_whole_file(const std::string& path, std::uint64_t largest = UINT64_MAX);

// Creates folder and every missing folder above it; an existing folder (or
// a link to one) is left as it is, anything else in the way is the outcome
// not_a_folder (Error 76).
// Throws Error.
void create_missing_folders(const std::string& folder);

// The template of a hidden working name beside target:
// <folder>/.<name>.new-XXXXXX.
std::string working_name_beside(const std::string& target);

// Removes the working files beside target that writers killed before they
// placed them. Only a caller that holds target's lock may call it, so that
// no live writer's file is touched. Never throws.
void remove_working_files_beside(const std::string& target);

// A new file under a working name of its own (a create_unique_file
// template), written and flushed before it takes its place. Until then it
// is this owner's alone: it is removed when the owner goes without having
// placed or released it.
class WorkingFile {
public:
    explicit WorkingFile(std::string path_template, int suffix_length = 0);
    ~WorkingFile();
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;

    const std::string& path() const { return path_; }
    bool is_open() const { return file_.is_open(); }

    // Appends data; throws Error.
    void write(std::string_view data);
    // Appends count bytes of source from offset, copied inside the system;
    // false, with nothing written, where the system cannot (see
    // copy_in_system). Throws Error.
    bool copy_from(const ReadableFile& source, std::uint64_t offset, std::uint64_t count);
    // Sets the access rights; throws Error.
    void set_access_rights(AccessRights rights);
    // Flushes the whole file system that holds the file at once: before
    // finish() of many new files, each of which then has little left to
    // flush. Only a speed-up (finish() still flushes the file): never throws.
    void flush_file_system() noexcept;
    // Flushes to disk (when flush) and closes; throws Error.
    void finish(bool flush = true);

    // Renames the finished file onto destination, replacing what is there:
    // only for the files this program keeps itself. Throws Error.
    void replace(const std::string& destination);
    // Renames the finished file onto destination, which must not exist;
    // throws Error (58 when it does).
    void place(const std::string& destination);
    // Gives up ownership without removing: the caller has moved the file.
    void release() { path_.clear(); }

private:
    std::string path_;
    FileDescriptor file_;
};

// Writes a new file at path (never replacing: 58 when path exists) through
// a working file beside it, flushed, with the given access rights, and
// flushes the folder; throws Error.
void place_new_file(const std::string& path, std::string_view content, AccessRights rights = AccessRights::ordinary);

// What became of a new file written and checked before it takes its place.
enum class CheckedPlacement { placed, target_exists, check_failed };

// Writes a new file at target, never replacing, under a private name of
// target's folder (.cartonym-copy-<pid>-XXXXXX, which
// remove_leftovers_of_ended_moves() removes once the writer has ended):
// write gives its bytes, then it is flushed and closed, and check, given
// its path, reads it back; only when check finds it right is it placed and
// the folder flushed (unless the caller flushes it later, once for many
// copies: FolderSync::later). A refused check, a taken target or a failure
// (thrown as Error) leaves no private file behind.
enum class FolderSync { now, later };

// The template of a checked copy's private name in folder, which
// remove_leftovers_of_ended_moves() knows: for writers that place their
// copies themselves.
std::string private_copy_template(const std::string& folder);
CheckedPlacement place_checked_file(const std::string& target, const std::function<void(WorkingFile& file)>& write,
    const std::function<bool(const std::string& written)>& check, FolderSync folder_sync = FolderSync::now);

} // namespace cartonym
