// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/run_journal.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/user_folders.h"
#include "naming/file_names.h"
#include "operations/journal_format.h"
#include "reports/game_list.h"

#include <algorithm>

namespace cartonym {
namespace {

constexpr std::int64_t sync_interval_ns = 1'000'000'000;

std::string text_of(std::int64_t value) { return std::to_string(value); }
std::string text_of(std::uint64_t value) { return std::to_string(value); }

const char* const output_folders_in_order[] = {duplicates_folder_name, unknown_folder_name, renamed_folder_name};

// The journal lies outside the folder being sorted: checked before any
// folder is made for it. A folder that cannot be resolved is left for the
// run to report.
void check_outside(const std::string& runs, const std::string& folder)
{
    bool inside = false;
    try {
        const std::string resolved_runs = resolved_as_far_as_it_exists(runs), resolved_folder = resolved_path(folder);
        inside = resolved_runs == resolved_folder || is_inside_folder(resolved_runs, resolved_folder);
    } catch (const Error&) {
        return;
    }
    if (inside)
        throw JournalUnavailable(runs + " lies inside the folder being sorted");
}

// What a move records of the entry at from: its kind and identity, and for
// a link its target text, the same target named absolutely (a relative one
// is made anew at the new place) and what stands at the new place already
// (a link to a moved image is made there before the old one goes).
std::vector<std::string> move_fields(
    const std::string& from, const std::string& to, const std::optional<EntryStatus>& status)
{
    const FileIdentity entry = status ? status->identity : FileIdentity{};
    const EntryKind kind = status ? status->kind : EntryKind::missing;
    const MoveKind move_kind = !status    ? MoveKind::missing
        : kind == EntryKind::link         ? MoveKind::link
        : kind == EntryKind::regular_file ? MoveKind::file
                                          : MoveKind::other;
    std::string target, repointed;
    FileIdentity made;
    if (move_kind == MoveKind::link) {
        target = link_target(from).value_or("");
        if (!target.empty() && !is_absolute_path(target)) {
            try {
                repointed = join_path(resolved_path(parent_folder(from)), target);
            } catch (const Error&) {
                repointed.clear();
            }
        }
        if (const auto at_to = entry_status(to))
            made = at_to->identity;
    }
    return {from, to, text_of(entry.device), text_of(entry.inode), text_of(entry.size), text_of(entry.mtime_s),
        text_of(entry.mtime_ns), move_kind_name(move_kind), target, repointed, text_of(made.device),
        text_of(made.inode)};
}

// A run stopped between reserving a name and moving its file there left
// an empty file that its journal names: the next run of the same folder
// removes it when undo has not (only the newest few journals are read;
// the run stopped is most often the last).
void remove_reservations_of_stopped_runs(const std::string& runs, const std::string& folder)
{
    std::vector<std::string> names;
    try {
        Directory listing(runs);
        while (const auto entry = listing.next())
            if (entry->name.ends_with(journal_extension) && !entry->name.starts_with('.'))
                names.push_back(entry->name);
    } catch (const Error&) {
        return;
    }
    std::ranges::sort(names, std::greater<>());
    names.resize(std::min<std::size_t>(names.size(), 5));
    for (const std::string& name : names) {
        const auto run = read_journal(name, join_path(runs, name));
        if (!run || run->finished || run->state != RunState::not_undone || run->folder != folder)
            continue;
        for (const std::string& path : run->reservations) {
            const auto status = entry_status(path);
            if (is_inside_folder(path, folder) && status && status->kind == EntryKind::regular_file
                && status->identity.size == 0)
                remove_name(path);
        }
    }
}

} // namespace

std::string runs_folder()
{
    const auto state = user_folder(UserFolderKind::state);
    if (!state)
        throw JournalUnavailable("neither XDG_STATE_HOME nor HOME is set", ErrorNumber::path_not_found);
    return join_path(*state, "runs");
}

RunJournal::RunJournal(const std::string& folder) { start(folder, false); }

RunJournal::RunJournal(const std::string& folder, Export) { start(folder, true); }

void RunJournal::start(const std::string& folder, bool exporting)
{
    try {
        working_folder_ = resolved_path(".");
    } catch (const Error& error) {
        throw JournalUnavailable("the current folder cannot be found: " + error.description(), error.number());
    }
    folder_ = absolute(folder);
    const std::string runs = runs_folder();
    check_outside(runs, folder_);
    try {
        create_missing_folders(runs);
    } catch (const Error& error) {
        throw JournalUnavailable(runs + ": " + error.description(), error.number());
    }
    if (!exporting)
        remove_reservations_of_stopped_runs(runs, folder_);
    const std::int64_t now = wall_clock_ns();
    open_new_journal(runs, now);
    try {
        // An export finds no output folders of its own: its heading says what it is.
        write_all(file_,
            exporting ? std::string(journal_heading) + "\n" + record_line(RecordKind::folder, {folder_}) + "\n"
                    + record_line(RecordKind::started, {text_of(now)}) + "\n" + record_line(RecordKind::exported, {})
                    + "\n"
                      : heading(runs, now));
    } catch (const Error& error) {
        discard_if_unused();
        throw JournalUnavailable(path_ + ": " + error.description(), error.number());
    }
}

void RunJournal::open_new_journal(const std::string& runs, std::int64_t now)
{
    const std::string stamp = time_stamp(now, false);
    for (int attempt = 1;; ++attempt) {
        name_ = attempt == 1 ? stamp : stamp + "-" + std::to_string(attempt);
        path_ = join_path(runs, name_ + journal_extension);
        try {
            file_ = open_file(path_, OpenMode::write | OpenMode::create_new | OpenMode::append | OpenMode::no_links,
                AccessRights::owner_only);
            break;
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::file_already_exists || attempt >= 1000)
                throw JournalUnavailable(path_ + ": " + error.description(), error.number());
        }
    }
    last_sync_ns_ = now;
}

// The journal's first records. An output folder already there is removed
// by the run when it stays empty: undo makes it again. A game list already
// there is replaced when the run places its own: a copy beside the journal
// lets undo put it back.
std::string RunJournal::heading(const std::string& runs, std::int64_t now)
{
    std::string heading = std::string(journal_heading) + "\n" + record_line(RecordKind::folder, {folder_}) + "\n"
        + record_line(RecordKind::started, {text_of(now)}) + "\n";
    for (const char* output : output_folders_in_order) {
        const std::string output_folder = join_path(folder_, output);
        if (entry_kind(output_folder) == EntryKind::folder) {
            heading += record_line(RecordKind::earlier_folder, {output_folder}) + "\n";
            earlier_folders_.push_back(output_folder);
        }
    }
    const std::string list = join_path(join_path(folder_, renamed_folder_name), game_list_name);
    if (entry_kind(list) == EntryKind::regular_file) {
        saved_game_list_ = join_path(runs, name_ + saved_list_extension);
        FileDescriptor copy = open_file(
            saved_game_list_, OpenMode::write | OpenMode::create_new | OpenMode::no_links, AccessRights::owner_only);
        write_all(copy, read_whole_file(list));
        copy.close();
        heading += record_line(RecordKind::earlier_game_list, {list, saved_game_list_}) + "\n";
    }
    return heading;
}

RunJournal::~RunJournal()
{
    // A run that ended before making any change (no files, a failed set-up)
    // leaves no journal.
    if (!changes_recorded_ && created_folders_.empty())
        discard_if_unused();
}

std::string RunJournal::absolute(const std::string& path) const { return absolute_path(path, working_folder_); }

void RunJournal::discard_if_unused() noexcept
{
    file_.discard();
    if (!path_.empty())
        remove_name(path_, no_throw);
    if (!saved_game_list_.empty())
        remove_name(saved_game_list_, no_throw);
    path_.clear();
    saved_game_list_.clear();
}

void RunJournal::write_record(RecordKind kind, const std::vector<std::string>& values)
{
    if (!file_.is_open())
        throw RecordingFailure(ErrorNumber::path_file_access_error, path_);
    try {
        write_all(file_, record_line(kind, values) + "\n");
        const std::int64_t now = wall_clock_ns();
        if (now - last_sync_ns_ >= sync_interval_ns) {
            sync_file(file_);
            last_sync_ns_ = now;
        }
    } catch (const RecordingFailure&) {
        throw;
    } catch (const Error& error) {
        throw RecordingFailure(error.number(), path_);
    }
}

// A change about to be made: the bytes of an append announced before are
// recorded first.
void RunJournal::write_change(RecordKind kind, const std::vector<std::string>& values)
{
    record_pending_log();
    changes_recorded_ = true;
    write_record(kind, values);
}

// The bytes of the last announced append, now that it is done: recorded at
// the next entry, so that undo can tell the run's entries from others.
void RunJournal::record_pending_log()
{
    if (!pending_log_)
        return;
    const auto [log, size_before] = *pending_log_;
    pending_log_.reset();
    std::string bytes;
    std::uint64_t device = 0, inode = 0;
    try {
        const ReadableFile file(log);
        device = file.identity().device;
        inode = file.identity().inode;
        const std::uint64_t start = size_before < 0 ? 0 : static_cast<std::uint64_t>(size_before);
        if (file.length() > start) {
            bytes.resize(static_cast<std::size_t>(file.length() - start));
            file.read_at(start, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
        }
    } catch (const Error&) {
        // The append did not happen (the log could not be opened): nothing added.
    }
    write_record(RecordKind::appended, {log, text_of(device), text_of(inode), bytes});
}

void RunJournal::folder_created(const std::string& path)
{
    record_pending_log();
    created_folders_.push_back(absolute(path));
    try {
        write_record(RecordKind::created, {created_folders_.back()});
    } catch (const Error&) {
        // Not in the journal: the folder, still empty, goes again.
        remove_empty_folder(created_folders_.back(), no_throw);
        created_folders_.pop_back();
        throw;
    }
}

void RunJournal::moving(const std::string& from, const std::string& to)
{
    record_pending_log();
    changes_recorded_ = true;
    const auto source = entry_status(absolute(from));
    last_moved_link_ = source && source->kind == EntryKind::link ? std::optional(source->identity) : std::nullopt;
    write_record(RecordKind::move, move_fields(absolute(from), absolute(to), source));
    // Undo knows the file by its bytes where inode numbers may not survive
    // a remount (a card unplugged between the run and its undo), and
    // anywhere once the user has put it back by hand.
    if (source && source->kind == EntryKind::regular_file)
        if (const auto check = content_check_of(absolute(from)))
            write_record(RecordKind::content, {absolute(to), text_of(check->size), check->digest});
}

// Written before the reservation is made: a run stopped before its move
// leaves an empty file that undo, or the next run, finds named here.
void RunJournal::reserving(const std::string& path) { write_record(RecordKind::reserved, {absolute(path)}); }

// The moved entry's time of change, which the rename itself changed, so
// that undo can tell it from a file that took its inode number later.
void RunJournal::moved(const std::string& from, const std::string& to)
{
    static_cast<void>(from);
    const std::string target = absolute(to);
    if (const auto arrived = entry_status(target)) {
        const FileIdentity& identity = arrived->identity;
        write_record(RecordKind::arrived,
            {target, text_of(identity.device), text_of(identity.inode), text_of(identity.ctime_s),
                text_of(identity.ctime_ns)});
    }
}

// A move fails before its rename (the source gone, 53, or the target
// taken, 58, among them: another run may have moved the same file), or,
// for a link, after it: then the link stands at its target. A failure to
// record it stops the run, as every journal failure does.
void RunJournal::move_failed(const std::string& from, const std::string& to, ErrorNumber error)
{
    if (error != ErrorNumber::file_not_found && error != ErrorNumber::file_already_exists && last_moved_link_) {
        const auto at_to = entry_status(absolute(to));
        if (at_to && at_to->identity.device == last_moved_link_->device
            && at_to->identity.inode == last_moved_link_->inode)
            return;
    }
    write_record(RecordKind::failed, {absolute(from), absolute(to)});
}

void RunJournal::link_making(const std::string& path, const std::string& target)
{
    last_moved_link_.reset();
    write_change(RecordKind::fresh_link, {absolute(path), target});
}

void RunJournal::log_appending(const std::string& log_path)
{
    record_pending_log();
    const std::string log = absolute(log_path);
    const auto status = entry_status(log);
    const std::int64_t size = !status             ? log_was_missing
        : status->kind != EntryKind::regular_file ? log_was_no_file
                                                  : static_cast<std::int64_t>(status->identity.size);
    const FileIdentity identity = status ? status->identity : FileIdentity{};
    write_change(RecordKind::log, {log, text_of(size), text_of(identity.device), text_of(identity.inode)});
    pending_log_ = {log, size};
}

void RunJournal::game_list_placed(const std::string& path)
{
    record_pending_log();
    const std::string list = absolute(path);
    std::pair<std::uint64_t, std::string> size_and_digest{0, content_digest("")};
    try {
        size_and_digest = size_and_digest_of_file(list);
    } catch (const Error&) {
        // Gone already: undo finds nothing to take away.
    }
    write_change(RecordKind::game_list, {list, text_of(size_and_digest.first), size_and_digest.second});
}

void RunJournal::game_list_removing(const std::string& path)
{
    write_change(RecordKind::game_list_removed, {absolute(path)});
}

void RunJournal::copying(const std::string& path, std::uint64_t size, const std::string& digest)
{
    write_change(RecordKind::copying, {absolute(path), text_of(size), digest});
}

void RunJournal::copied(const std::string& path)
{
    const std::string target = absolute(path);
    if (const auto placed = entry_status(target)) {
        const FileIdentity& identity = placed->identity;
        write_record(RecordKind::copied,
            {target, text_of(identity.device), text_of(identity.inode), text_of(identity.size),
                text_of(identity.mtime_s), text_of(identity.mtime_ns)});
    }
}

void RunJournal::finished()
{
    if (ended_)
        return;
    ended_ = true;
    try {
        record_pending_log();
        // Output folders the run created and removed again are no change.
        const bool folder_left =
            std::ranges::any_of(created_folders_, [](const std::string& folder) { return entry_exists(folder); });
        const bool folder_gone =
            std::ranges::any_of(earlier_folders_, [](const std::string& folder) { return !entry_exists(folder); });
        if (!changes_recorded_ && !folder_left && !folder_gone) {
            discard_if_unused();
            return;
        }
        if (interrupted_)
            write_record(RecordKind::interrupted, {});
        write_record(RecordKind::end, {text_of(wall_clock_ns())});
        sync_file(file_);
        file_.close();
        sync_folder(parent_folder(path_));
    } catch (const Error& error) {
        failure_ = Error(error.number(), path_ + ": " + error.description());
    }
}

} // namespace cartonym
