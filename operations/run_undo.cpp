// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/run_undo.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/file_operations.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "naming/file_names.h"
#include "operations/journal_format.h"
#include "operations/undo_scope.h"
#include "operations/undo_steps.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"

#include <algorithm>
#include <ranges>
#include <set>

namespace cartonym {

std::vector<RunSummary> list_runs()
{
    std::vector<RunSummary> summaries;
    for (const JournalContents& run : read_journals()) {
        // A file whose first target was taken is recorded twice: files count once.
        std::set<std::string> moved;
        for (const MoveRecord& move : run.moves)
            moved.insert(move.from);
        summaries.push_back({run.name, run.folder, time_stamp(run.started_ns, true), moved.size(), run.copies.size(),
            run.exported, run.finished, run.has_changes(), run.state, run.interrupted});
    }
    return summaries;
}

namespace {

// One undo: decides every step, and takes it unless it is a dry run.
class Undo {
public:
    // Undone runs that began before this one: the output folders they had
    // made (made_before) and found (found_before). Undone runs beginning at
    // any time: the output folders they made that no run still to undo
    // found or made (left_by_undone).
    struct EarlierRuns {
        std::set<std::string> made_before, found_before, left_by_undone;
    };

    Undo(const JournalContents& run, bool dry_run, EarlierRuns earlier_runs)
        : dry_run_(dry_run)
        , earlier_runs_(std::move(earlier_runs))
    {
        report_.name = run.name;
        report_.folder = run.folder;
        report_.dry_run = dry_run;
        run_ = records_in_scope(run, report_);
    }

    UndoReport undo()
    {
        // What undos and runs killed part way left under private names goes first.
        if (is_absolute_path(run_.folder)) {
            carry_out({UndoStep::Kind::clear_leftovers, run_.folder});
            for (const char* output : {renamed_folder_name, unknown_folder_name, duplicates_folder_name})
                carry_out({UndoStep::Kind::clear_leftovers, join_path(run_.folder, output)});
        }
        for (const std::string& folder : copy_folders())
            carry_out({UndoStep::Kind::clear_leftovers, folder});
        remove_unconfirmed_links();
        remove_empty_reservations(run_.reservations);
        move_files_back();
        remove_copies();
        take_back_game_list();
        for (const LogRecord& log : run_.logs)
            take_back_log(log);
        // Among runs over one folder at once, an output folder belongs to
        // the tree before them when the earliest run found it there: the
        // undo that leaves it empty removes it otherwise.
        for (auto folder = run_.created.rbegin(); folder != run_.created.rend(); ++folder) {
            if (std::ranges::find(run_.earlier_folders, *folder) != run_.earlier_folders.end())
                continue; // found there first: made again below
            if (earlier_runs_.found_before.contains(*folder))
                make_earlier_folder(*folder);
            else
                remove_created_folder(*folder);
        }
        // Output folders and a game list the journal does not name are
        // looked for only in a folder named absolutely.
        if (!run_.finished && is_absolute_path(run_.folder))
            remove_unrecorded_folders();
        for (const std::string& folder : run_.earlier_folders) {
            if (earlier_runs_.made_before.contains(folder))
                remove_created_folder(folder);
            else
                make_earlier_folder(folder);
        }
        remove_folders_left_by_undone_runs();
        if (!dry_run_)
            mark_undone();
        return std::move(report_);
    }

private:
    void problem(const std::string& path, const std::string& place, const std::string& reason)
    {
        report_.problems.push_back({path, place, reason});
    }

    // Takes the step unless this is a dry run, and reports it: false (the
    // failure reported) when it failed.
    bool carry_out(const UndoStep& step)
    {
        using Kind = UndoStep::Kind;
        try {
            if (!dry_run_ && !take(step, [this](const std::string& path) { note_reservation(path); })) {
                problem(step.path, step.place, "another file is there now");
                return false;
            }
        } catch (const Error& error) {
            if (step.kind == Kind::make_folder && error.number() == ErrorNumber::file_already_exists)
                return false;
            const bool taken = error.number() == ErrorNumber::file_already_exists && !step.place.empty();
            problem(step.path, step.place, taken ? "its old place is taken" : error.description());
            return false;
        }
        switch (step.kind) {
        case Kind::clear_leftovers: break;
        case Kind::rename_back:
        case Kind::relink_back:
        case Kind::retarget:
            leaving_.insert(step.path);
            report_.moved_back.emplace_back(step.path, step.place);
            break;
        case Kind::remove_name:
            leaving_.insert(step.path);
            report_.removed.push_back(step.path);
            break;
        case Kind::place_game_list:
            arriving_.insert(step.place);
            report_.restored.push_back(step.place);
            break;
        case Kind::cut_log:
        case Kind::make_folder: report_.restored.push_back(step.path); break;
        }
        return true;
    }

    // The folders an export placed copies in, each once.
    std::set<std::string> copy_folders() const
    {
        std::set<std::string> folders;
        for (const CopyRecord& copy : run_.copies)
            folders.insert(parent_folder(copy.path));
        return folders;
    }

    // An export's copies go, newest first, each only while it is unchanged.
    void remove_copies()
    {
        for (auto copy = run_.copies.rbegin(); copy != run_.copies.rend(); ++copy) {
            const CopyFound found = find_copy(*copy);
            if (found.state == CopyState::unchanged)
                carry_out({UndoStep::Kind::remove_name, copy->path, "", "", found.seen});
            else if (found.state == CopyState::changed)
                problem(copy->path, "", "it was changed after the export");
        }
    }

    // A run stopped between making a fresh link and recording its move: the
    // link at the recorded place, naming exactly the recorded target, is
    // the run's (the old link it was to replace is still in place). Only a
    // link of that very target text goes, never a file.
    void remove_unconfirmed_links()
    {
        for (const auto& [path, target] : run_.unconfirmed_links) {
            const EntryState now = look_at(path);
            if (now.kind == EntryKind::link && link_target(path) == target)
                carry_out({UndoStep::Kind::remove_name, path, "", "", now.identity});
        }
    }

    // A name reserved for a move whose file never came: still the empty
    // regular file the run made (a file with any byte is someone's).
    void remove_empty_reservations(const std::vector<std::string>& reservations)
    {
        for (const std::string& path : reservations) {
            const EntryState state = look_at(path);
            if (state.kind == EntryKind::regular_file && state.identity.size == 0)
                carry_out({UndoStep::Kind::remove_name, path, "", "", state.identity});
        }
    }

    // Newest move first. Only the newest record of each file counts: a
    // file is moved once, and an older record is a move that failed
    // (its target taken) before the run tried another.
    void move_files_back()
    {
        std::set<std::string> handled;
        for (auto move = run_.moves.rbegin(); move != run_.moves.rend(); ++move) {
            if (!handled.insert(move->from).second)
                continue;
            if (move->kind == MoveKind::link)
                move_link_back(*move);
            else if (move->kind != MoveKind::missing)
                move_file_back(*move);
        }
    }

    // The moved file: the same entry unchanged, or where inode numbers may
    // not survive a remount (FAT, exFAT, FUSE), a regular file of the same
    // size and digest.
    // Whether the entry at path is the file the move moved: where inode
    // numbers may change on a remount, by its content check; elsewhere by
    // its identity (at its new place also by the time of change the move
    // gave it).
    static bool holds_moved_file(
        const std::string& path, const EntryState& state, const MoveRecord& move, bool at_target)
    {
        const auto same_bytes = [&] {
            return move.content && state.kind == EntryKind::regular_file && state.identity.size == move.content->size
                && content_check_of(path) == move.content;
        };
        if (move.content && inodes_may_change_on_remount(parent_folder(path)))
            return same_bytes();
        // At its new place the moved file may also have been put back by
        // hand (moved away and back, or copied): its bytes tell it then.
        return at_target ? state.is_moved_entry_at_target(move) || same_bytes() : state.is_moved_entry(move);
    }

    void move_file_back(const MoveRecord& move)
    {
        const EntryState at_from = look_at(move.from);
        if (holds_moved_file(move.from, at_from, move, false))
            return; // the move was never made, or was taken back already
        const EntryState at_to = look_at(move.to);
        if (!holds_moved_file(move.to, at_to, move, true))
            problem(move.to, move.from, at_to.exists ? "another file is there now" : "the file is no longer there");
        else if (at_from.exists)
            problem(move.to, move.from, "its old place is taken");
        else
            carry_out({UndoStep::Kind::rename_back, move.to, move.from});
    }

    // The link at a place is the run's: the one it made, the one it moved
    // there, or one naming the target the run gave the link.
    static bool is_runs_link(const EntryState& state, const std::optional<std::string>& target, const MoveRecord& move)
    {
        const bool made =
            (move.made_device != 0 || move.made_inode != 0) && state.same_entry(move.made_device, move.made_inode);
        return state.kind == EntryKind::link
            && (made || state.is_moved_entry(move)
                || (!move.repointed_target.empty() && target == move.repointed_target));
    }

    static std::optional<std::string> target_of(const EntryState& state, const std::string& path)
    {
        return state.kind == EntryKind::link ? link_target(path) : std::nullopt;
    }

    void move_link_back(const MoveRecord& move)
    {
        const EntryState at_from = look_at(move.from);
        const EntryState at_to = look_at(move.to);
        if (at_from.is_moved_entry(move)) {
            // The old link is still there; a fresh one the run made at the
            // new place before it was stopped goes again.
            if (at_to.kind == EntryKind::link && at_to.same_entry(move.made_device, move.made_inode)
                && (move.made_device != 0 || move.made_inode != 0))
                carry_out({UndoStep::Kind::remove_name, move.to, "", "", at_to.identity});
            return;
        }
        const auto from_target = target_of(at_from, move.from);
        if (!at_to.exists && at_from.kind == EntryKind::link) {
            // An undo stopped part way: the link is back, perhaps still
            // naming its target as the run's link did.
            if (from_target != move.link_target && is_runs_link(at_from, from_target, move))
                carry_out({UndoStep::Kind::retarget, move.to, move.from, move.link_target});
            return;
        }
        const auto to_target = target_of(at_to, move.to);
        const bool unchanged =
            at_to.kind == EntryKind::link && at_to.is_moved_entry(move) && to_target == move.link_target;
        if (!unchanged && !is_runs_link(at_to, to_target, move))
            problem(move.to, move.from, at_to.exists ? "another file is there now" : "the link is no longer there");
        else if (at_from.exists)
            problem(move.to, move.from, "its old place is taken");
        else
            carry_out({unchanged ? UndoStep::Kind::rename_back : UndoStep::Kind::relink_back, move.to, move.from,
                move.link_target});
    }

    std::optional<std::string> earlier_game_list() const
    {
        if (!run_.earlier_game_list)
            return std::nullopt;
        try {
            return read_whole_file(run_.earlier_game_list->second);
        } catch (const Error&) {
            return std::nullopt;
        }
    }

    void take_back_game_list()
    {
        const std::optional<std::string> earlier = earlier_game_list();
        if (!run_.game_list && !run_.finished && is_absolute_path(run_.folder))
            take_back_unrecorded_game_list(earlier);
        if (run_.game_list)
            take_back_recorded_game_list(*run_.game_list, earlier);
        // The game list that was there before the run is put back when the
        // run replaced or removed it (or was stopped while doing so).
        if (run_.earlier_game_list && (run_.game_list || run_.earlier_game_list_removed || !run_.finished))
            put_back_earlier_game_list(earlier);
    }

    void take_back_recorded_game_list(const GameListRecord& list, const std::optional<std::string>& earlier)
    {
        const EntryState now = look_at(list.path);
        if (!now.exists)
            return;
        std::optional<std::string> content;
        if (now.kind == EntryKind::regular_file) {
            try {
                content = read_whole_file(list.path);
            } catch (const Error&) {
                content.reset();
            }
        }
        if (content && content->size() == list.size && content_digest(*content) == list.digest)
            carry_out({UndoStep::Kind::remove_name, list.path, "", "", now.identity});
        else if (!(content && earlier && *content == *earlier))
            problem(list.path, "", "the game list was changed after the run");
    }

    void put_back_earlier_game_list(const std::optional<std::string>& earlier)
    {
        const auto& [path, copy] = *run_.earlier_game_list;
        if (entry_exists(path) && !leaving_.contains(path))
            return;
        if (!earlier)
            problem(copy, path, "the copy of the earlier game list cannot be read");
        else
            carry_out({UndoStep::Kind::place_game_list, copy, path, *earlier});
    }

    // A run killed between placing its game list and recording it: a whole
    // game list written since the run began (file times are coarse: a
    // second's leeway) that is not the earlier list is the run's.
    void take_back_unrecorded_game_list(const std::optional<std::string>& earlier)
    {
        const std::string path = join_path(join_path(run_.folder, renamed_folder_name), game_list_name);
        // A list older than the run is not its own; FAT keeps modification
        // times to two seconds, rounded down, so a list placed just after
        // the run began may read up to two seconds older.
        const EntryState now = look_at(path);
        if (now.kind != EntryKind::regular_file
            || (now.identity.mtime_s + 2) * 1'000'000'000 + now.identity.mtime_ns < run_.started_ns)
            return;
        try {
            // An empty file made after the run began is the name reserved
            // for placing the list (on a volume without hard links).
            const std::string content = read_whole_file(path);
            const bool reservation = content.empty() && !earlier;
            if (!reservation
                && (!content.starts_with(game_list_head_text()) || !content.ends_with(game_list_end_text())
                    || (earlier && content == *earlier)))
                return;
        } catch (const Error&) {
            return;
        }
        carry_out({UndoStep::Kind::remove_name, path, "", "", now.identity});
    }

    void take_back_log(const LogRecord& log)
    {
        if (log.size_before == log_was_no_file)
            return;
        const EntryState now = look_at(log.path);
        if (!now.exists) {
            if (log.size_before != log_was_missing)
                problem(log.path, "", "the log is gone");
            return;
        }
        // Where inode numbers may not survive a remount, the log is known by
        // its tail holding exactly the run's entries (checked below).
        const bool by_entry = (log.device != 0 || log.inode != 0) && !inodes_may_change_on_remount(log.path);
        if (now.kind != EntryKind::regular_file || (by_entry && !now.same_entry(log.device, log.inode))) {
            if (!log.appended.empty() || log.last_unrecorded)
                problem(log.path, "", "another file is there now");
            return;
        }
        try {
            if (const auto step = log_step(log))
                carry_out(*step);
        } catch (const Error& error) {
            problem(log.path, "", error.description());
        }
    }

    // What takes the run's entries out of a log: the log deleted when the
    // run created it, else cut back to its size before the run.
    std::optional<UndoStep> log_step(const LogRecord& log)
    {
        const std::uint64_t keep = log.size_before < 0 ? 0 : static_cast<std::uint64_t>(log.size_before);
        const FileDescriptor file = open_file(log.path, OpenMode::read | OpenMode::no_links | OpenMode::no_waiting);
        const FileIdentity seen = identity_of(file);
        if (seen.size < keep) {
            problem(log.path, "", "the log was cut short after the run");
            return std::nullopt;
        }
        std::string tail(static_cast<std::size_t>(seen.size - keep), '\0');
        for (std::size_t done = 0; done < tail.size();) {
            const std::size_t n =
                read_at(file, keep + done, reinterpret_cast<unsigned char*>(tail.data() + done), tail.size() - done);
            if (n == 0)
                break;
            done += n;
        }
        if (tail.empty() && log.size_before != log_was_missing)
            return std::nullopt; // cut back already
        if (!only_the_runs_entries(tail, log)) {
            problem(log.path, "", "the log holds entries written after the run");
            return std::nullopt;
        }
        if (log.size_before == log_was_missing)
            return UndoStep{UndoStep::Kind::remove_name, log.path, "", "", seen};
        return UndoStep{UndoStep::Kind::cut_log, log.path, "", "", seen, keep};
    }

    // True when tail is what the run appended: exactly the recorded bytes,
    // or, for a run stopped right after announcing an append, the recorded
    // bytes followed by at most the beginning of one entry.
    static bool only_the_runs_entries(const std::string& tail, const LogRecord& log)
    {
        if (tail == log.appended)
            return true;
        return log.last_unrecorded && tail.starts_with(log.appended)
            && is_start_of_unknown_log_entry(std::string_view(tail).substr(log.appended.size()));
    }

    // An output folder of the run goes when the undo leaves it empty.
    void remove_created_folder(const std::string& folder)
    {
        if (look_at(folder).kind != EntryKind::folder)
            return;
        if (!left_empty(folder)) {
            report_.kept_folders.push_back(folder);
            return;
        }
        const SystemResult removed = dry_run_ ? SystemResult{} : remove_empty_folder(folder, no_throw);
        if (removed.done())
            report_.removed.push_back(folder);
        else if (!removed.is(SystemOutcome::missing) && !removed.is(SystemOutcome::not_a_folder))
            report_.kept_folders.push_back(folder);
    }

    // True when every entry of folder is one the undo takes away.
    bool left_empty(const std::string& folder) const
    {
        try {
            Directory listing(folder);
            while (auto entry = listing.next()) {
                const std::string path = join_path(folder, entry->name);
                if (entry->name != "." && entry->name != ".." && (!leaving_.contains(path) || arriving_.contains(path)))
                    return false;
            }
        } catch (const Error&) {
            return false;
        }
        return true;
    }

    // A run killed between making an output folder and recording it: an
    // output folder that was not there when the run began and is empty now
    // is the run's.
    void remove_unrecorded_folders()
    {
        for (const char* output : {renamed_folder_name, unknown_folder_name, duplicates_folder_name}) {
            const std::string folder = join_path(run_.folder, output);
            if (std::ranges::find(run_.earlier_folders, folder) == run_.earlier_folders.end()
                && std::ranges::find(run_.created, folder) == run_.created.end())
                remove_created_folder(folder);
        }
    }

    // An output folder a run taken back already had made, kept then because
    // this run's files were in it (runs over one folder at once), goes when
    // this undo leaves it empty.
    void remove_folders_left_by_undone_runs()
    {
        for (const char* output : {renamed_folder_name, unknown_folder_name, duplicates_folder_name}) {
            const std::string folder = join_path(run_.folder, output);
            if (earlier_runs_.left_by_undone.contains(folder)
                && std::ranges::find(run_.created, folder) == run_.created.end()
                && std::ranges::find(run_.earlier_folders, folder) == run_.earlier_folders.end()
                && look_at(folder).kind == EntryKind::folder && left_empty(folder))
                remove_created_folder(folder);
        }
    }

    void make_earlier_folder(const std::string& folder)
    {
        if (!entry_exists(folder))
            carry_out({UndoStep::Kind::make_folder, folder});
    }

    // A name about to be reserved for a rename back is added to the run's
    // journal first: an undo stopped before the rename leaves an empty file
    // at the old place, which the next undo removes before it moves back.
    void note_reservation(const std::string& path) const
    {
        FileDescriptor file = open_file(run_.path, OpenMode::write | OpenMode::append | OpenMode::no_links);
        write_all(file, record_line(RecordKind::reserved, {path}) + "\n");
        sync_file(file);
        file.close();
    }

    void mark_undone()
    {
        try {
            FileDescriptor file = open_file(run_.path, OpenMode::write | OpenMode::append | OpenMode::no_links);
            write_all(file,
                record_line(
                    RecordKind::undone, {std::to_string(wall_clock_ns()), report_.complete() ? "complete" : "partly"})
                    + "\n");
            sync_file(file);
            file.close();
        } catch (const Error& error) {
            problem(run_.path, "", "the journal cannot be marked as undone: " + error.description());
        }
    }

    JournalContents run_;
    bool dry_run_;
    EarlierRuns earlier_runs_;
    UndoReport report_;
    std::set<std::string> leaving_, arriving_; // paths the undo takes away or puts back
};

// What the undo of chosen must know of the runs already undone.
Undo::EarlierRuns other_runs_of(const std::vector<JournalContents>& runs, const JournalContents& chosen)
{
    Undo::EarlierRuns earlier;
    std::set<std::string> claimed; // output folders that runs still to undo found or made
    for (const JournalContents& run : runs) {
        if (run.state != RunState::undone) {
            if (&run != &chosen) {
                claimed.insert(run.created.begin(), run.created.end());
                claimed.insert(run.earlier_folders.begin(), run.earlier_folders.end());
            }
            continue;
        }
        // One the run found there first, then made again after a run beside
        // it had removed it, was there before both: the run did not make it.
        const auto made = [&run](const std::string& folder) {
            return std::ranges::find(run.earlier_folders, folder) == run.earlier_folders.end();
        };
        const bool began_before = run.started_ns < chosen.started_ns;
        for (const std::string& folder : run.created) {
            if (!made(folder))
                continue;
            earlier.left_by_undone.insert(folder);
            if (began_before)
                earlier.made_before.insert(folder);
        }
        if (began_before)
            earlier.found_before.insert(run.earlier_folders.begin(), run.earlier_folders.end());
    }
    std::erase_if(earlier.left_by_undone, [&claimed](const std::string& folder) { return claimed.contains(folder); });
    return earlier;
}

} // namespace

UndoReport undo_run(const std::string& name, bool dry_run)
{
    const std::vector<JournalContents> runs = read_journals();
    const auto chosen = std::ranges::find_if(runs, [&](const JournalContents& run) {
        return name.empty() ? run.state != RunState::undone && run.has_changes() : run.name == name;
    });
    if (chosen == runs.end())
        throw JournalUnavailable(
            name.empty() ? "there is no run to undo" : "there is no run called " + name, ErrorNumber::file_not_found);
    // Undoing it again could take back what later runs did with the same names.
    if (chosen->state == RunState::undone)
        throw JournalUnavailable("run " + name + " is undone already");
    return Undo(*chosen, dry_run, other_runs_of(runs, *chosen)).undo();
}

} // namespace cartonym
