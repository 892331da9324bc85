// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a batch run: the writer (run_journal.cpp); the format is
// journal_format.*, and undo, which reads it, run_undo.*.
//
// Every run that changes the disk writes one journal file in
// runs/ of the user's state folder (user_folder: on POSIX systems
// $XDG_STATE_HOME/cartonym/runs/, by default ~/.local/state/cartonym/runs/),
// named by the run's start time. Each change is written to the journal
// before it is made, so a process killed at any moment leaves a journal
// covering every change it made.
#pragma once

#include "common/error.h"
#include "common/system_calls.h"
#include "operations/batch_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cartonym {

enum class RecordKind; // operations/journal_format.h

// The folder that holds the journals, in the user's state folder; throws
// JournalUnavailable when there is none (neither XDG_STATE_HOME nor HOME
// names one).
std::string runs_folder();

// A journal that cannot be created or a run that cannot be found: what()
// says why; the number is that of the failure behind it, where there was one.
class JournalUnavailable : public Error {
public:
    explicit JournalUnavailable(const std::string& reason, ErrorNumber number = ErrorNumber::path_file_access_error)
        : Error(number, reason)
    { }
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
    // The journal of an export into folder: copies and the folders made
    // for them, nothing moved.
    struct Export { };
    RunJournal(const std::string& folder, Export);
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
    // A checked copy of size bytes and this digest (copy_digest_text())
    // about to be placed at path, and then placed.
    void copying(const std::string& path, std::uint64_t size, const std::string& digest);
    void copied(const std::string& path);
    void interrupted() override { interrupted_ = true; }
    void finished() override;

    // The run's name (what `undo --list` prints) and the journal's path.
    const std::string& name() const { return name_; }
    const std::string& path() const { return path_; }
    // A failure while ending the journal, if any: what() names the journal
    // and gives the error's description.
    const std::optional<Error>& failure() const { return failure_; }

private:
    void open_new_journal(const std::string& runs, std::int64_t now);
    void start(const std::string& folder, bool exporting);
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
    std::optional<Error> failure_;
    // The link the last move announced found at its source, if it was one.
    std::optional<FileIdentity> last_moved_link_;
    // An append to a log announced but whose bytes are not yet recorded.
    std::optional<std::pair<std::string, std::int64_t>> pending_log_;
};

} // namespace cartonym
