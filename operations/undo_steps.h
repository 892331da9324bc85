// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of an undo: each decided first (run_undo.cpp), then taken here
// unless the undo is a dry run. Every step can be taken again after a kill
// part way, and a step that a kill cut short is recognised by the next
// undo (see run_undo.cpp): no step leaves a link at two places, and a
// private file left by a killed undo has a name the next one removes.
#pragma once

#include "common/system_calls.h"
#include "operations/journal_format.h"
#include "operations/run_journal.h"

#include <cstdint>
#include <string>

namespace cartonym {

// What an entry is now, links not followed.
struct EntryState {
    bool exists = false;
    EntryKind kind = EntryKind::missing;
    FileIdentity identity;

    bool same_entry(std::uint64_t device, std::uint64_t inode) const
    {
        return exists && identity.device == device && identity.inode == inode;
    }
    // The same entry unchanged: an inode number taken again by a new file
    // after the old one was deleted differs in its time of change at least.
    bool is_moved_entry(const MoveRecord& move) const
    {
        const RecordedIdentity& entry = move.entry;
        return same_entry(entry.device, entry.inode) && identity.size == entry.size && identity.mtime_s == entry.mtime_s
            && identity.mtime_ns == entry.mtime_ns;
    }
    // The moved entry at its new place, its time of change too when the
    // journal has it: a file that took its inode number after it was
    // deleted, with its size and modification time copied, differs there.
    bool is_moved_entry_at_target(const MoveRecord& move) const
    {
        return is_moved_entry(move)
            && (!move.arrived_ctime
                || (identity.ctime_s == move.arrived_ctime->first && identity.ctime_ns == move.arrived_ctime->second));
    }
};

EntryState look_at(const std::string& path);

struct UndoStep {
    enum class Kind {
        rename_back,     // path renamed back to place
        relink_back,     // the run's link at path renamed to place, then given its own target text again
        retarget,        // the link at place given its own target text again (path: where the run had put it)
        remove_name,     // path removed, while it is still the entry seen
        cut_log,         // the log at path cut back to keep bytes
        place_game_list, // the earlier game list put back at place (path: the copy it comes from)
        make_folder,     // the folder at path made again
        clear_leftovers, // private files of ended processes removed from the folder at path
    };
    Kind kind;
    std::string path;
    std::string place = {};
    std::string text = {};  // the link's target text, the game list's content
    FileIdentity seen = {}; // RemoveName, CutLog: the entry as it was when the step was decided
    std::uint64_t keep = 0; // CutLog: the log's size before the run
};

// What undo does with a copy an export placed: removes it while it is the
// copy placed, unchanged (seen: as it is now); nothing when it is gone; a
// copy changed since, or another file at its name, stays.
enum class CopyState { unchanged, gone, changed };
struct CopyFound {
    CopyState state = CopyState::gone;
    FileIdentity seen;
};
CopyFound find_copy(const CopyRecord& copy);

// Takes a step; throws Error when it fails. False when another entry than
// the one seen stands where the step acts: the step is not taken. reserving
// is told a name about to be reserved for a rename back (see
// rename_without_replacing).
bool take(const UndoStep& step, const ReservationNotice& reserving = {});

// A file that did not go back, in one line: "PATH stays where it is:
// REASON", or for one that is gone, "PATH cannot go back to PLACE: REASON".
std::string undo_problem_text(const UndoProblem& problem);

} // namespace cartonym
