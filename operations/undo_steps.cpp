// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/undo_steps.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/file_operations.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "database_tools/content_digest.h"

#include <cstdlib>

namespace cartonym {

EntryState look_at(const std::string& path)
{
    const auto status = entry_status(path);
    return status ? EntryState{true, status->kind, status->identity} : EntryState{};
}

namespace {

// Removes a name; one gone already is fine. Throws Error.
void remove_or_gone(const std::string& path)
{
    if (const SystemResult removed = remove_name(path, no_throw); !removed.is(SystemOutcome::missing))
        removed.raise_if_failed();
}

// Gives the link at path the target text: a fresh link under a private
// name (one that remove_leftovers_of_ended_moves() knows) is exchanged
// with it atomically, and the old link, now under the private name, goes.
void retarget_link(const std::string& path, const std::string& text)
{
    const std::string prefix = join_path(parent_folder(path), ".cartonym-link-" + std::to_string(process_id()) + "-");
    std::string fresh;
    for (int attempt = 0;; ++attempt) {
        fresh = prefix + std::to_string(wall_clock_ns());
        const SystemResult made = create_link(text, fresh);
        if (made.done())
            break;
        if (!made.is(SystemOutcome::exists) || attempt >= 100)
            made.raise();
    }
    if (const SystemResult exchanged = exchange_names(fresh, path); !exchanged.done()) {
        remove_name(fresh, no_throw);
        exchanged.raise();
    }
    if (entry_kind(fresh) == EntryKind::link)
        remove_or_gone(fresh);
}

// Removes the entry at path only while it is the one seen: it is first
// renamed to a private name (of the kind remove_leftovers_of_ended_moves()
// knows), where no other process takes it unnoticed, and checked there;
// another entry that took the name since it was seen goes back. False then.
bool remove_checked(const std::string& path, const FileIdentity& seen)
{
    const auto status = entry_status(path);
    if (!status)
        return true; // gone already
    const char* kind = status->kind == EntryKind::link ? "link" : "copy";
    const std::string aside = join_path(parent_folder(path),
        std::string(".cartonym-") + kind + "-" + std::to_string(process_id()) + "-" + std::to_string(wall_clock_ns()));
    if (const SystemResult set_aside = rename_without_replacing(path, aside, SystemOperation::move, aside);
        !set_aside.done()) {
        if (set_aside.is(SystemOutcome::missing))
            return true;
        set_aside.raise();
    }
    // Where inode numbers follow the name (FAT and other FUSE volumes), the
    // entry renamed aside is known by its size and modification time, which
    // such volumes keep to two seconds.
    const auto moved = entry_status(aside);
    const bool same = moved && moved->identity.size == seen.size
        && (inodes_may_change_on_remount(aside)
                ? std::abs(moved->identity.mtime_s - seen.mtime_s) <= 2
                : moved->identity.device == seen.device && moved->identity.inode == seen.inode
                    && moved->identity.mtime_s == seen.mtime_s && moved->identity.mtime_ns == seen.mtime_ns);
    if (same) {
        remove_or_gone(aside);
        return true;
    }
    rename_without_replacing(aside, path, SystemOperation::move, path).raise_if_failed();
    return false;
}

// Writes a new file at path (never replacing) through a private working
// name that a later undo removes after a kill; access rights 0600, as the
// copy beside the journal has them.
void place_privately(const std::string& path, std::string_view content)
{
    WorkingFile file(private_copy_template(parent_folder(path)));
    file.set_access_rights(AccessRights::owner_only);
    file.write(content);
    file.finish();
    file.place(path);
}

void rename_back(const std::string& path, const std::string& place, const ReservationNotice& reserving)
{
    rename_without_replacing(path, place, SystemOperation::move, place, reserving).raise_if_failed();
}

void cut_log(const UndoStep& step)
{
    FileDescriptor file = open_file(step.path, OpenMode::read_write | OpenMode::no_links | OpenMode::no_waiting);
    const FileIdentity now = identity_of(file);
    if (now.device != step.seen.device || now.inode != step.seen.inode || now.size != step.seen.size)
        throw Error(ErrorNumber::path_file_access_error);
    truncate_file(file, step.keep);
    sync_file(file);
    file.close();
}

} // namespace

CopyFound find_copy(const CopyRecord& copy)
{
    const EntryState now = look_at(copy.path);
    if (!now.exists)
        return {};
    if (now.kind != EntryKind::regular_file || now.identity.size != copy.size)
        return {CopyState::changed, now.identity};
    // The copy as placed (where inode numbers stay with the file), and its
    // bytes those recorded: a copy killed before its placement was recorded
    // is known by its bytes alone.
    const auto& placed = copy.placed;
    if (placed && !inodes_may_change_on_remount(copy.path)
        && !(now.same_entry(placed->device, placed->inode) && now.identity.mtime_s == placed->mtime_s
            && now.identity.mtime_ns == placed->mtime_ns))
        return {CopyState::changed, now.identity};
    try {
        if (copy_digest_of_file(copy.path, copy.digest) != copy.digest)
            return {CopyState::changed, now.identity};
    } catch (const Error&) {
        return {CopyState::changed, now.identity};
    }
    return {CopyState::unchanged, now.identity};
}

bool take(const UndoStep& step, const ReservationNotice& reserving)
{
    using Kind = UndoStep::Kind;
    switch (step.kind) {
    case Kind::rename_back: rename_back(step.path, step.place, reserving); break;
    case Kind::relink_back:
        rename_back(step.path, step.place, reserving);
        retarget_link(step.place, step.text);
        break;
    case Kind::retarget: retarget_link(step.place, step.text); break;
    case Kind::remove_name: return remove_checked(step.path, step.seen);
    case Kind::cut_log: cut_log(step); break;
    case Kind::place_game_list: place_privately(step.place, step.text); break;
    case Kind::make_folder: make_folder(step.path, no_throw).raise_if_failed(); break;
    case Kind::clear_leftovers: remove_leftovers_of_ended_moves(step.path); break;
    }
    return true;
}

std::string undo_problem_text(const UndoProblem& problem)
{
    if (!problem.reason.ends_with(" is no longer there"))
        return problem.path + " stays where it is: " + problem.reason;
    return problem.path + " cannot go back" + (problem.place.empty() ? "" : " to " + problem.place) + ": "
        + problem.reason;
}

} // namespace cartonym
