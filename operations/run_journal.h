// The journal of a batch run and the undo of a run: the writer
// (run_journal.cpp), the format (journal_format.*) and undo (run_undo.cpp).
//
// Every run that changes the disk writes one journal file in
// $XDG_STATE_HOME/cartonym/runs/ (default ~/.local/state/cartonym/runs/),
// named by the run's start time. Each change is written to the journal
// before it is made, so a process killed at any moment leaves a journal
// covering every change it made. undo_run() takes the changes back, newest
// first, and never replaces or removes anything it cannot recognise as the
// run's own.
#pragma once

#include "common/system_calls.h"
#include "operations/batch_run.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cartonym {

enum class RecordKind; // operations/journal_format.h

// The folder that holds the journals, from the environment; throws
// JournalUnavailable when neither XDG_STATE_HOME nor HOME names one.
std::string runs_folder();

// A journal that cannot be created or a run that cannot be found: the text
// says why.
class JournalUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Records a run's changes in its journal. Construct it before the run, hand
// it to BatchOptions::recorder. Failures to write an entry throw Error, which
// stops the run before the change is made; finished() never throws (see
// failure()).
class RunJournal : public RunRecorder {
public:
    // Creates the journal of a run of folder (never replacing another).
    // Throws JournalUnavailable with the reason when it cannot.
    explicit RunJournal(const std::string& folder);
    ~RunJournal() override;
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    void folder_created(const std::string& path) override;
    void moving(const std::string& from, const std::string& to) override;
    void log_appending(const std::string& log_path) override;
    void link_making(const std::string& path, const std::string& target) override;
    void moved(const std::string& from, const std::string& to) override;
    void move_failed(const std::string& from, const std::string& to, ErrorNumber error) override;
    void reserving(const std::string& path) override;
    void game_list_placed(const std::string& path) override;
    void game_list_removing(const std::string& path) override;
    void interrupted() override { interrupted_ = true; }
    void finished() override;

    // The run's name (what `undo --list` prints) and the journal's path.
    const std::string& name() const { return name_; }
    const std::string& path() const { return path_; }
    // A failure while ending the journal, if any.
    const std::optional<std::string>& failure() const { return failure_; }

private:
    void open_new_journal(const std::string& runs, std::int64_t now);
    std::string heading(const std::string& runs, std::int64_t now);
    void write_record(RecordKind kind, const std::vector<std::string>& values);
    void write_change(RecordKind kind, const std::vector<std::string>& values);
    void record_pending_log();
    void discard_if_unused() noexcept;
    std::string absolute(const std::string& path) const;

    std::string name_, path_, working_folder_, folder_;
    std::string saved_game_list_;
    std::vector<std::string> created_folders_, earlier_folders_;
    FileDescriptor file_;
    std::int64_t last_sync_ns_ = 0;
    bool changes_recorded_ = false;
    bool ended_ = false;
    bool interrupted_ = false;
    std::optional<std::string> failure_;
    // The link the last move announced found at its source, if it was one.
    std::optional<FileIdentity> last_moved_link_;
    // An append to a log announced but whose bytes are not yet recorded.
    std::optional<std::pair<std::string, std::int64_t>> pending_log_;
};

enum class RunState { not_undone, partly_undone, undone };

struct RunSummary {
    std::string name;
    std::string folder;
    std::string started;   // UTC, e.g. 2026-12-06T10:45:12.123456Z
    std::size_t moves = 0; // files the run moved (or was about to move when it stopped)
    bool finished = false; // false for a run that was killed or crashed
    bool has_changes = false;
    RunState state = RunState::not_undone;
    bool interrupted = false; // stopped between two files at its caller's asking (Cancel, Ctrl-C)
};

// Every run with a journal, newest first.
std::vector<RunSummary> list_runs();

// Something undo left as it is, and why.
struct UndoProblem {
    std::string path;  // where it is now
    std::string place; // where it was before the run ("" for a log or list)
    std::string reason;
};

struct UndoReport {
    std::string name, folder;
    bool dry_run = false;
    std::vector<std::pair<std::string, std::string>> moved_back; // (where it was after the run, where it is again)
    std::vector<UndoProblem> problems;                           // files that did not go back
    std::vector<std::string> removed;                            // game lists, logs and folders taken away
    std::vector<std::string> restored;                           // logs cut back, an earlier game list put back
    std::vector<std::string> kept_folders;                       // output folders that are not empty
    bool complete() const { return problems.empty(); }
};

// Undoes the run called name ("" for the latest that is not yet undone).
// A dry run decides everything and changes nothing. Throws
// JournalUnavailable for an unknown name or when there is no run to undo.
UndoReport undo_run(const std::string& name, bool dry_run);

} // namespace cartonym
