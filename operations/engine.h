// SPDX-License-Identifier: GPL-3.0-or-later
// The engine as the window and cartonym-cli drive it: a batch run with its
// journal, the name database read or the reason it cannot be, and records
// appended to the database with the previous file kept as .bak. Both front
// ends call these and add only their way of showing the outcome.
#pragma once

#include "common/error.h"
#include "common/system_calls.h"
#include "operations/batch_run.h"
#include "operations/run_undo.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cartonym {

struct ProposalRun;

// Why a run goes on without a complete journal.
enum class JournalTrouble {
    cannot_keep,  // no journal could be created: the run cannot be undone
    not_completed // the journal could not be ended properly
};

// The sentence that says so, beginning in lower case, e.g. "the run's
// journal cannot be kept (<reason>); the run goes on without undo".
std::string journal_trouble_text(JournalTrouble trouble, const std::string& reason);

struct SortingRun {
    BatchOptions options;   // options.recorder is set by sort_folder
    BatchObserver observer; // as Batchrun takes it
    // Told at once when the journal cannot be kept (before the first file)
    // or could not be completed (after the last).
    std::function<void(JournalTrouble trouble, const std::string& reason)> journal_trouble;
};

// One batch run of options.folder. A real run keeps a journal for undo and
// goes on without one when none can be kept; a dry run keeps none.
BatchResult sort_folder(const SortingRun& run);

// The line added to the start-up message of a missing database, naming
// where the database was looked for (path as the file system's bytes).
inline std::string looked_for_line(const std::string& path) { return "The program looked for it at: " + path; }

// The name database's file opened for the database tools, which read it as
// the lookup does (whatever its size), or why it cannot be opened.
struct DatabaseFile {
    std::optional<ReadableFile> file;
    std::string failure;
    bool missing = false; // the file is missing: the failure is the start-up message
};
DatabaseFile open_database_or_say_why(const std::string& path);

// What became of records appended to a database.
struct AppendOutcome {
    enum class Status {
        appended,           // written; the previous file is backup
        nothing_new,        // every record is in the database already (perhaps added meanwhile)
        busy,               // another writer holds the database (only when told not to wait)
        ends_inside_record, // refused: records appended would be misread
        failed,             // nothing changed: error says why
    };
    Status status = Status::appended;
    std::string path;                   // the database written (a link's target), or meant
    std::string backup;                 // the previous file, beside path
    bool created_user_database = false; // path was first made as a copy of the database beside the program
    std::optional<Error> error;
    std::size_t records = 0;
    std::vector<std::string> added_meanwhile; // files whose record another writer added meanwhile
};

// Appends run's records to the database at path, one writer at a time: it
// is read as the lookup reads it for the check that it does not end inside
// a record, and under the database's lock it is read again and only the
// records still new are written. When into_user_database is set and path
// is not the user's own database, that one is created first (as a copy of
// the one beside the program) and written instead. Without wait, a
// database another writer holds is left alone (busy).
AppendOutcome append_proposals(
    const std::string& path, bool into_user_database, const ProposalRun& run, bool wait = true);

// "1 record appended to <shown> (the previous file is <shown>.bak)".
std::string records_appended_text(std::size_t records, const std::string& shown_path);

// The runs of folder that undo can still take back (they changed the disk
// and are not wholly undone), newest first.
std::vector<RunSummary> undoable_runs_of(const std::string& folder);

// "1 file went back", "3 files went back"; for a dry run "1 file would go
// back". The window and `undo` say it alike.
std::string went_back_text(std::size_t files, bool dry_run);

// Renames the file name of folder to Neuer_name (Windows-1252) in that same
// folder, never replacing a file. A file that already has that name is left
// as it is: returns false, and true when it was renamed. Throws Error.
bool rename_in_own_folder(const std::string& folder, const std::string& name, const std::string& Neuer_name);

// The progress of a run as the window and cartonym-cli show it, when file
// number of count is taken up elapsed_ms after the first: "104 of 2000
// files done, about 3 min left" (the estimate from the files done so far;
// none before the first is done).
std::string progress_text(std::int32_t number, std::int32_t count, std::int64_t elapsed_ms);

// What would stop a run of options, each said in a sentence (Windows-1252
// for the database's start-up message, the file-system's bytes for paths):
// the folder and its existing output folders that cannot be written, the
// temporary folder of the game list, the database. Empty when nothing would.
std::vector<std::string> run_obstacles(const BatchOptions& options);

// An error's description, with "read-only file system" where the failure
// was one (a SystemError whose outcome is read_only).
std::string failure_words(const Error& error);

// A failure message's text with "read-only file system" said where the
// failure was one: when text reports "Permission denied" and folder lies on a
// read-only file system, that line reads "Read-only file system (Permission
// denied)". Otherwise text as it is.
std::string read_only_said(std::string text, const std::string& folder);

} // namespace cartonym
