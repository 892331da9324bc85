#include "operations/engine.h"

#include "common/database_file.h"
#include "naming/database_check.h"
#include "naming/database_location.h"
#include "naming/name_database.h"
#include "naming/record_proposals.h"
#include "operations/run_journal.h"

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
        tell(JournalTrouble::not_completed, *journal->failure());
    return result;
}

DatabaseText read_database_or_say_why(const std::string& path)
{
    try {
        return {read_database(path), {}};
    } catch (const Error& error) {
        const StartupCheckResult startup = check_database_at_startup(path);
        return {
            std::nullopt, startup.state == StartupState::DatabaseMissing ? startup.message : short_error_text(error)};
    }
}

AppendOutcome append_proposals(
    const std::string& path, bool into_user_database, const std::string& text, const ProposalRun& run)
{
    AppendOutcome outcome;
    outcome.path = path;
    outcome.records = run.records.size();
    if (check_database(text).ends_in_cut_record) {
        outcome.status = AppendOutcome::Status::ends_inside_record;
        return outcome;
    }
    try {
        if (into_user_database && path != user_database_path()) {
            outcome.path = create_user_database();
            outcome.created_user_database = true;
        }
        replace_file_keeping_backup(outcome.path, append_records(text, run.records));
    } catch (const Error& error) {
        outcome.status = AppendOutcome::Status::failed;
        outcome.error = error;
    }
    return outcome;
}

std::string records_appended_text(std::size_t records, const std::string& shown_path)
{
    return std::to_string(records) + (records == 1 ? " record" : " records") + " appended to " + shown_path
        + " (the previous file is " + shown_path + ".bak)";
}

} // namespace cartonym
