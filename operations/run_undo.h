// SPDX-License-Identifier: GPL-3.0-or-later
// The undo of a batch run (run_undo.cpp): the runs that have journals, and
// taking one back. undo_run() takes a run's changes back, newest first, and
// never replaces or removes anything it cannot recognise as the run's own.
#pragma once

#include "operations/run_journal.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace cartonym {

enum class RunState { not_undone, partly_undone, undone };

struct RunSummary {
    std::string name;
    std::string folder;
    std::string started;    // UTC, e.g. 2026-12-06T10:45:12.123456Z
    std::size_t moves = 0;  // files the run moved (or was about to move when it stopped)
    std::size_t copies = 0; // files an export copied (or was about to copy when it stopped)
    bool exported = false;  // the run is an export
    bool finished = false;  // false for a run that was killed or crashed
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
