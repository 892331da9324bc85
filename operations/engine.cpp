// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/engine.h"

#include "database_tools/database_writes.h"

#include "common/database_file.h"
#include "common/system_calls.h"
#include "database_tools/database_check.h"
#include "database_tools/record_proposals.h"
#include "naming/database_items.h"
#include "naming/database_location.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"
#include "reports/game_list.h"

#include <algorithm>
#include <memory>

namespace cartonym {

std::string journal_trouble_text(JournalTrouble trouble, const std::string& reason)
{
    if (trouble == JournalTrouble::cannot_keep)
        return "the run's journal cannot be kept (" + reason + "); the run goes on without undo";
    return "the run's journal could not be completed (" + reason + ")";
}

BatchResult sort_folder(const SortingRun& run)
{
    BatchOptions options = run.options;
    options.recorder = nullptr;
    const auto tell = [&run](JournalTrouble trouble, const std::string& reason) {
        if (run.journal_trouble)
            run.journal_trouble(trouble, reason);
    };
    std::unique_ptr<RunJournal> journal;
    if (!options.dry_run) {
        try {
            journal = std::make_unique<RunJournal>(options.folder);
            options.recorder = journal.get();
        } catch (const JournalUnavailable& error) {
            tell(JournalTrouble::cannot_keep, error.what());
        }
    }
    BatchResult result = Batchrun(options, run.observer);
    if (journal && journal->failure())
        tell(JournalTrouble::not_completed, journal->failure()->what());
    return result;
}

DatabaseFile open_database_or_say_why(const std::string& path)
{
    DatabaseFile opened;
    try {
        opened.file.emplace(path);
    } catch (const Error& error) {
        const StartupCheckResult startup = check_database_at_startup(path);
        opened.missing = startup.state == StartupState::database_missing;
        opened.failure = opened.missing ? startup.message : short_error_text(error);
    }
    return opened;
}

namespace {

// Takes the database's lock, waiting for another writer or not.
std::optional<DatabaseWriteLock> database_lock(const std::string& path, bool wait)
{
    if (!wait)
        return DatabaseWriteLock::try_take(path);
    std::optional<DatabaseWriteLock> lock;
    lock.emplace(path);
    return lock;
}

void append_under_lock(AppendOutcome& outcome, const ProposalRun& run, bool wait)
{
    const std::optional<DatabaseWriteLock> lock = database_lock(outcome.path, wait);
    if (!lock) {
        outcome.status = AppendOutcome::Status::busy;
        return;
    }
    const DatabaseAppend append = append_proposals(*lock, run);
    outcome.path = append.database;
    outcome.backup = append.backup;
    for (std::size_t i = 0; i < run.files.size() && i < append.run.files.size(); ++i) {
        if (run.files[i].status != append.run.files[i].status)
            outcome.added_meanwhile.push_back(run.files[i].file);
    }
    outcome.records = append.written ? append.run.records.size() : 0;
    if (!append.written)
        outcome.status = AppendOutcome::Status::nothing_new;
}

} // namespace

namespace {

AppendOutcome append_checked(
    const std::string& path, bool into_user_database, bool ends_inside_record, const ProposalRun& run, bool wait)
{
    AppendOutcome outcome;
    outcome.path = path;
    outcome.records = run.records.size();
    if (ends_inside_record) {
        outcome.status = AppendOutcome::Status::ends_inside_record;
        return outcome;
    }
    try {
        if (into_user_database && path != user_database_path()) {
            outcome.path = create_user_database();
            outcome.created_user_database = true;
        }
        append_under_lock(outcome, run, wait);
    } catch (const Error& error) {
        outcome.status = AppendOutcome::Status::failed;
        outcome.error = error;
    }
    return outcome;
}

} // namespace

AppendOutcome append_proposals(const std::string& path, bool into_user_database, const ProposalRun& run, bool wait)
{
    bool ends_inside_record = false;
    try {
        const ReadableFile file(path);
        const FileBytes bytes(file);
        ends_inside_record = DatabaseKeys(bytes).ends_inside_record();
    } catch (const Error& error) {
        AppendOutcome outcome;
        outcome.path = path;
        outcome.status = AppendOutcome::Status::failed;
        outcome.error = error;
        return outcome;
    }
    return append_checked(path, into_user_database, ends_inside_record, run, wait);
}

std::string records_appended_text(std::size_t records, const std::string& shown_path)
{
    return std::to_string(records) + (records == 1 ? " record" : " records") + " appended to " + shown_path
        + " (the previous file is " + shown_path + ".bak)";
}

std::vector<RunSummary> undoable_runs_of(const std::string& folder)
{
    std::vector<RunSummary> runs;
    for (RunSummary& run : list_runs()) {
        if (run.folder == folder && run.has_changes && run.state != RunState::undone)
            runs.push_back(std::move(run));
    }
    return runs;
}

std::string went_back_text(std::size_t files, bool dry_run)
{
    const std::string count = std::to_string(files) + (files == 1 ? " file" : " files");
    return count + (dry_run ? " would go back" : " went back");
}

bool rename_in_own_folder(const std::string& folder, const std::string& name, const std::string& Neuer_name)
{
    if (is_plain_file_name(Neuer_name) && file_system_name(Neuer_name) == name)
        return false;
    rename_file_in_folder(join_path(folder, name), folder, Neuer_name);
    return true;
}

std::string progress_text(std::int32_t number, std::int32_t count, std::int64_t elapsed_ms)
{
    const std::int64_t done = number - 1;
    std::string text = std::to_string(done) + " of " + std::to_string(count) + " files done";
    if (done <= 0)
        return text;
    const std::int64_t left_s = (elapsed_ms * (count - done) / done + 999) / 1000;
    if (left_s < 60)
        return text + ", about " + std::to_string(std::max<std::int64_t>(left_s, 1)) + " s left";
    return text + ", about " + std::to_string((left_s + 30) / 60) + " min left";
}

std::string failure_words(const Error& error)
{
    const auto* system = dynamic_cast<const SystemError*>(&error);
    if (system != nullptr && system->outcome() == SystemOutcome::read_only)
        return "Read-only file system (" + error.description() + ")";
    return error.description();
}

namespace {

// Whether a new file can be made in folder: one is made and removed again.
// The failure's words, or "" when it can.
std::string cannot_write(const std::string& folder)
{
    try {
        std::string probe = join_path(folder, ".cartonym-check-XXXXXX");
        const FileDescriptor file = create_unique_file(probe);
        remove_name(probe);
        return {};
    } catch (const Error& error) {
        return failure_words(error);
    }
}

} // namespace

std::string read_only_said(std::string text, const std::string& folder)
{
    const Error denied(ErrorNumber::permission_denied);
    const std::string line = "happened:\n" + denied.description();
    const std::size_t at = text.find(line);
    if (at == std::string::npos)
        return text;
    const std::string why = cannot_write(folder);
    if (why.starts_with("Read-only file system"))
        text.replace(at, line.size(), "happened:\n" + why);
    return text;
}

std::vector<std::string> run_obstacles(const BatchOptions& options)
{
    std::vector<std::string> obstacles;
    const auto check_folder = [&obstacles](const std::string& what, const std::string& folder) {
        const std::string why = cannot_write(folder);
        if (!why.empty())
            obstacles.push_back(what + " " + folder + " cannot be written: " + why);
    };
    bool folder = false;
    try {
        folder = is_folder(options.folder);
    } catch (const Error&) { }
    if (!folder)
        obstacles.push_back("The folder " + options.folder + " cannot be opened.");
    else
        check_folder("The folder", options.folder);
    for (const char* output : {renamed_folder_name, unknown_folder_name, duplicates_folder_name}) {
        const std::string path = join_path(options.folder, output);
        if (folder && entry_exists(path))
            check_folder("The output folder", path);
    }
    if (options.game_list)
        check_folder("The temporary folder", temporary_folder());
    const DatabaseFile database = open_database_or_say_why(options.database_path);
    if (!database.file)
        obstacles.push_back("The database " + options.database_path + " cannot be read: " + database.failure);
    return obstacles;
}

} // namespace cartonym
