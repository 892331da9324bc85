// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/database_writes.h"

#include "common/database_file.h"
#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "database_tools/database_check.h"
#include "naming/database_index.h"

namespace cartonym {
namespace {

FileDescriptor open_lock_file(const std::string& database)
{
    return open_file(DatabaseWriteLock::lock_path_of(database),
        OpenMode::read_write | OpenMode::create | OpenMode::no_links, AccessRights::anyone);
}

} // namespace

DatabaseWriteLock::DatabaseWriteLock(const std::string& database_path, Unlocked)
    : database_(resolved_path(database_path))
    , lock_(open_lock_file(database_))
{ }

DatabaseWriteLock::DatabaseWriteLock(const std::string& database_path)
    : DatabaseWriteLock(database_path, Unlocked{})
{
    lock_file(lock_);
}

std::optional<DatabaseWriteLock> DatabaseWriteLock::try_take(const std::string& database_path)
{
    DatabaseWriteLock lock(database_path, Unlocked{});
    if (!try_lock_file(lock.lock_))
        return std::nullopt;
    return lock;
}

std::string DatabaseWriteLock::lock_path_of(const std::string& database) { return database + ".lock"; }

DatabaseAppend append_proposals(const DatabaseWriteLock& lock, const ProposalRun& proposals)
{
    DatabaseAppend result;
    result.database = lock.database();
    result.backup = result.database + ".bak";
    remove_working_files_beside(result.database);
    // The whole file, which its replacement holds anyway, up to what the lookup reads.
    const std::string text = read_whole_file(result.database, DatabaseLimits{}.largest_file);
    const TextBytes bytes(text);
    const DatabaseKeys keys(bytes);
    result.run = reconsider_proposals(proposals, keys);
    if (result.run.blocks_writing() || result.run.records.empty())
        return result;
    if (keys.ends_inside_record())
        throw Error(ErrorNumber::input_past_end_of_file,
            result.database + ": the database ends inside a record; records appended to it would be misread");
    replace_file_keeping_backup(result.database, append_records(text, result.run.records));
    result.written = true;
    return result;
}

} // namespace cartonym
