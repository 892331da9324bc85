// SPDX-License-Identifier: GPL-3.0-or-later
// Appending records to a name database, one writer at a time. Every writer
// (the command line and the window) takes the advisory lock of a lock file
// beside the database's real file, reads the database again under it and
// decides anew which records are still new, so that a record another writer
// or a hand edit added meanwhile is never lost nor written twice.
#pragma once

#include "common/system_calls.h"
#include "database_tools/record_proposals.h"

#include <optional>
#include <string>

namespace cartonym {

class DatabaseWriteLock {
public:
    // Waits until no other writer of the database at path holds the lock.
    // A link is followed: the lock lies beside the file it leads to.
    // Throws Error.
    explicit DatabaseWriteLock(const std::string& database_path);

    // The lock when no other writer holds it, else nullopt at once (for the
    // window, which tells the user instead of waiting). Throws Error.
    static std::optional<DatabaseWriteLock> try_take(const std::string& database_path);

    // The database's real file (the target of a link) and the lock file.
    const std::string& database() const { return database_; }
    static std::string lock_path_of(const std::string& database);

private:
    struct Unlocked { };
    DatabaseWriteLock(const std::string& database_path, Unlocked);

    std::string database_;
    FileDescriptor lock_;
};

struct DatabaseAppend {
    std::string database; // the file written: the target of a link
    std::string backup;   // the previous file, beside it
    ProposalRun run;      // the statuses against the database as it was under the lock
    bool written = false; // false when nothing was new or writing is blocked
};

// Under the lock: removes the working files that killed writes left beside
// the database, reads the database again, turns the proposals whose
// internal name it now knows into "known", and, when nothing blocks and a
// record is left, replaces the database by it with those records appended
// (the previous file kept as <database>.bak). Throws Error; the database is
// then unchanged.
DatabaseAppend append_proposals(const DatabaseWriteLock& lock, const ProposalRun& proposals);

} // namespace cartonym
