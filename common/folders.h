// SPDX-License-Identifier: GPL-3.0-or-later
// Folders and the names in them through the seam: listing, making and
// removing folders, flushing their entries, and renaming. Every call asks
// the fault hook first (as the operation named after "Hook:"); a call that
// returns a SystemResult leaves the caller to branch on its outcome, the
// others throw SystemError. Made for POSIX in folders_posix.cpp, but for
// rename_without_replacing(), which common/file_operations.cpp builds on
// the renames here.
#pragma once

#include "common/files.h"

#include <functional>
#include <optional>
#include <string>

namespace cartonym {

// Flushes a folder's entries to disk; throws Error. A folder whose file
// system cannot flush folders counts as flushed. Hook: Sync.
void sync_folder(const std::string& folder);

// Told the target of a move right before the move reserves that name by
// creating an empty file there (on a volume with neither the kernel's
// no-replace rename nor hard links), so that a journal can name the
// reservation before it exists.
using ReservationNotice = std::function<void(const std::string& target)>;

// Renames without ever replacing; the outcome exists when target (or, on a
// volume that folds case, a name differing from it only in letter case) is
// taken. It takes the first route the volume offers: the kernel's
// no-replace rename; a hard link and the removal of the old name while it
// still names the same entry; or a reservation of the target created
// exclusively, renamed over only while it is still the empty file made. No
// route gives the entry a private name. Renaming a file to its own name
// with other letter case works on a volume that folds case. The hook sees
// operation with hook_path (Link and Open for the other routes). Made in
// common/file_operations.cpp.
SystemResult rename_without_replacing(const std::string& source, const std::string& target, SystemOperation operation,
    const std::string& hook_path, const ReservationNotice& reserving = {});

// Renames with the kernel's no-replace flag; the outcome exists when target
// exists, unsupported where the file system does not know the flag. The
// hook sees operation with hook_path.
SystemResult rename_no_replace(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path);

// Renames, replacing what target names. Only for a target the caller has
// just verified to be its own. The hook sees operation with hook_path.
SystemResult rename_over(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path);

// Swaps two names atomically (unsupported where the file system cannot).
// Hook: Move.
SystemResult exchange_names(const std::string& first, const std::string& second);

// Renames, replacing what target names (only for a file the program wrote
// itself, such as a new version of the name database); throws Error.
// Hook: Move.
void rename_replacing(const std::string& source, const std::string& target);

// Creates a folder; throws Error. The twin returns the result. Hook:
// CreateFolder.
void make_folder(const std::string& path);
SystemResult make_folder(const std::string& path, NoThrow) noexcept;

// Removes an empty folder; throws Error. The twin returns the result
// (not_empty, or exists on some systems, for a folder with entries). Hook:
// RemoveFolder.
void remove_empty_folder(const std::string& path);
SystemResult remove_empty_folder(const std::string& path, NoThrow) noexcept;

// The entries of a folder, read one by one; the stream has one owner and
// is closed when it goes. Hooks: List (opening and each entry), Close.
class Directory {
public:
    explicit Directory(const std::string& path); // throws Error
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    struct Entry {
        std::string name;
        EntryKind kind = EntryKind::other; // from the folder; links and unknown types as Link/Other
        bool type_known = true;            // false when the file system did not tell the type
    };
    // The next entry, or nullopt at the end; throws Error.
    std::optional<Entry> next();

    // True when name, in this folder, leads to a regular file (links
    // followed) or to a folder (links not followed).
    bool leads_to_regular_file(const std::string& name) const;
    bool is_subfolder(const std::string& name) const;

private:
    void* stream_ = nullptr;
    std::string path_;
};

} // namespace cartonym
