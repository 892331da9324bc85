// The steps of an undo: each decided first (run_undo.cpp), then taken here
// unless the undo is a dry run. Every step can be taken again after a kill
// part way, and a step that a kill cut short is recognised by the next
// undo (see run_undo.cpp): no step leaves a link at two places, and a
// private file left by a killed undo has a name the next one removes.
#pragma once

#include "common/system_calls.h"
#include "operations/journal_format.h"

#include <cstdint>
#include <string>

namespace cartonym {

// What an entry is now, links not followed.
struct EntryState {
    bool exists = false;
    EntryKind kind = EntryKind::Missing;
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
};

EntryState look_at(const std::string& path);

struct UndoStep {
    enum class Kind {
        RenameBack,     // path renamed back to place
        RelinkBack,     // the run's link at path renamed to place, then given its own target text again
        Retarget,       // the link at place given its own target text again (path: where the run had put it)
        RemoveName,     // path removed
        DeleteLog,      // the log at path deleted
        CutLog,         // the log at path cut back to keep bytes
        PlaceGameList,  // the earlier game list put back at place (path: the copy it comes from)
        MakeFolder,     // the folder at path made again
        ClearLeftovers, // private files of ended processes removed from the folder at path
    };
    Kind kind;
    std::string path;
    std::string place = {};
    std::string text = {};  // the link's target text, the game list's content
    FileIdentity seen = {}; // CutLog: the log as it was when the step was decided
    std::uint64_t keep = 0; // CutLog: the log's size before the run
};

// Takes a step; throws Error when it fails.
// Takes the step; reserving is told a name about to be reserved for a
// rename back (see rename_without_replacing).
void take(const UndoStep& step, const ReservationNotice& reserving = {});

} // namespace cartonym
