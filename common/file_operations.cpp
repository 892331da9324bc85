// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/file_operations.h"

#include "common/error.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/windows1252.h"

#include <cstdlib>
#include <set>
#include <vector>

namespace cartonym {
namespace {

// The start of the hidden names of a move's private files (a copy on its
// way across file systems, a link being repointed): the kind and the id of
// the process that made them, so that a later run can tell the leftovers
// of a process that no longer runs.
std::string private_name_prefix(const char* kind)
{
    return std::string(".cartonym-") + kind + "-" + std::to_string(process_id()) + "-";
}

std::string swapped_letter_case(std::string name)
{
    for (char& character : name) {
        if (character >= 'a' && character <= 'z')
            character = static_cast<char>(character - 'a' + 'A');
        else if (character >= 'A' && character <= 'Z')
            character = static_cast<char>(character - 'A' + 'a');
    }
    return name;
}

// The volume does not offer the route (the no-replace flag, hard links).
bool is_refusal(const SystemResult& result) { return result.is(SystemOutcome::unsupported); }

bool names_same_entry(const std::optional<EntryStatus>& first, const std::optional<EntryStatus>& second)
{
    return first && second && first->identity.device == second->identity.device
        && first->identity.inode == second->identity.inode;
}

// True when folder lists an entry of exactly this name.
bool is_listed(const std::string& folder, const std::string& name)
{
    try {
        Directory directory(folder);
        while (const auto entry = directory.next())
            if (entry->name == name)
                return true;
    } catch (const Error&) {
        // Unreadable: nothing is known to be listed.
    }
    return false;
}

// True when target is source's own name with other letter case on a volume
// that folds case: target leads to an entry although the folder lists none
// of exactly that name, and on such a volume the one entry whose name folds
// to it is the source. (Inode numbers cannot tell: FUSE drivers may give
// each spelling a number of its own.)
bool is_same_file_by_other_case(const std::string& source, const std::string& target)
{
    const std::string folder = parent_folder(target);
    return source != target && parent_folder(source) == folder && ascii_lower(source) == ascii_lower(target)
        && entry_exists(source) && entry_exists(target) && !is_listed(folder, base_name(target));
}

// The second route, where the no-replace flag is refused but hard links
// exist: a hard link, which fails on a taken name, gives the new name; the
// old one is removed only while it still names the same entry, so a file
// another process put there meanwhile stays. Nothing ever has a private
// name. Returns the result of the link (not_permitted where there are no
// hard links).
SystemResult link_then_unlink(const std::string& source, const std::string& target)
{
    if (const SystemResult linked = create_hard_link(source, target); !linked.done())
        return linked;
    const auto at_source = entry_status(source);
    if (!names_same_entry(at_source, entry_status(target)))
        return {}; // the old name now names something else, which stays
    const SystemResult removed = remove_name(source, no_throw);
    if (!removed.done() && names_same_entry(at_source, entry_status(target)))
        remove_name(target, no_throw); // never two names for one image
    return removed;
}

// True while the entry at path is still the empty regular file made.
bool is_own_reservation(const std::string& path, const FileIdentity& made)
{
    const auto status = entry_status(path);
    return status && status->kind == EntryKind::regular_file && status->identity.device == made.device
        && status->identity.inode == made.inode && status->identity.size == 0;
}

// The third route, for a volume with neither the flag nor hard links: the
// target name is reserved by creating it exclusively (which, on a volume
// that folds case, also refuses a name differing only in letter case), and
// only while the reservation is still the empty file made is the source
// renamed over it. A stop in between leaves only the empty reservation,
// which reserving named first.
SystemResult move_over_reservation(const std::string& source, const std::string& target, SystemOperation operation,
    const std::string& hook_path, const ReservationNotice& reserving)
{
    if (!entry_exists(source))
        return result_of(SystemOutcome::missing);
    if (entry_exists(target))
        return result_of(SystemOutcome::exists); // taken (also by a case twin): nothing is reserved
    if (reserving)
        reserving(target);
    const CreatedFile made = create_empty_file(target);
    if (!made.result.done())
        return made.result;
    if (!is_own_reservation(target, made.identity))
        return result_of(SystemOutcome::exists); // something else stands there now: it stays
    const SystemResult renamed = rename_over(source, target, operation, hook_path);
    if (!renamed.done() && is_own_reservation(target, made.identity))
        remove_name(target, no_throw);
    return renamed;
}

// A link whose target is relative leads elsewhere once it lies in another
// folder. After the link itself has been renamed into place (atomically, so
// whatever stood at the source is what moved), a fresh link naming the same
// target absolutely is made under a private name and exchanged with it; the
// old link, now under the private name, is removed only after checking that
// it is still a link. Where the volume cannot exchange names, the fresh link
// is renamed over the moved one only while that is still the very link the
// move placed (same entry, same target). Nothing but a link the move has
// just verified is ever removed, and a regular file swapped in by another
// process stays.
void repoint_moved_link(const std::string& old_folder, const std::string& target)
{
    const auto link = link_target(target);
    const auto moved = entry_status(target);
    if (!link || link->empty() || is_absolute_path(*link) || !moved)
        return;
    const std::string absolute = join_path(resolved_path(old_folder), *link);
    std::string fresh = join_path(parent_folder(target), private_name_prefix("link") + "XXXXXX");
    create_unique_file(fresh).discard();
    remove_name(fresh, no_throw);
    create_link(absolute, fresh).raise_if_failed();
    SystemResult exchanged = exchange_names(fresh, target);
    if (is_refusal(exchanged)) {
        const auto now = entry_status(target);
        const bool still_moved =
            now && now->kind == EntryKind::link && names_same_entry(now, moved) && link_target(target) == link;
        exchanged = still_moved ? rename_over(fresh, target, SystemOperation::move, target) : SystemResult{};
    }
    if (!exchanged.done()) {
        remove_name(fresh, no_throw);
        exchanged.raise();
    }
    if (entry_kind(fresh) == EntryKind::link)
        remove_name(fresh, no_throw);
}

// What a copy across file systems read and wrote: the source as it was
// opened and the copy as it was placed.
struct CopiedFile {
    FileIdentity source;
    FileIdentity copy;
};

// Copies source into a fresh private file in target's folder and links it
// into place; the source stays. On failure nothing new is left behind.
CopiedFile copy_to_target(const std::string& source, const std::string& target)
{
    if (const int error = injected_error(SystemOperation::copy, target))
        result_of_platform_number(error).raise();
    // The access rights come from the file opened, not from whatever
    // bears its name a moment later.
    const ReadableFile in(source);

    const std::string folder = parent_folder(target);
    std::string copy_path = join_path(folder, private_name_prefix("copy") + "XXXXXX");
    FileDescriptor out = create_unique_file(copy_path);
    FileIdentity copy;
    try {
        set_access_rights(out, in.access_rights(), true);
        std::string buffer(1 << 16, '\0');
        for (std::uint64_t offset = 0; offset < in.length();) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), in.length() - offset));
            in.read_at(offset, reinterpret_cast<unsigned char*>(buffer.data()), n);
            write_all(out, std::string_view(buffer.data(), n));
            offset += n;
        }
        sync_file(out);
        copy = identity_of(out);
        out.close();
        rename_without_replacing(copy_path, target, SystemOperation::copy, target).raise_if_failed();
    } catch (...) {
        out.discard();
        remove_name(copy_path, no_throw);
        throw;
    }
    sync_folder(folder);
    return {in.identity(), copy};
}

// True when status shows the version of a regular file that expected
// describes: the same entry with the same size and modification time. (The
// change time is no guide: a rename sets it.) Where inode numbers may
// follow the name (FUSE volumes), size and modification time alone tell.
bool is_version(const std::optional<EntryStatus>& status, const FileIdentity& expected, const std::string& path)
{
    if (!status || status->kind != EntryKind::regular_file || status->identity.size != expected.size
        || status->identity.mtime_s != expected.mtime_s || status->identity.mtime_ns != expected.mtime_ns)
        return false;
    return (status->identity.device == expected.device && status->identity.inode == expected.inode)
        || inodes_may_change_on_remount(path);
}

// What stood at a name that was to be removed only as a known version.
enum class Found { removed, other_version, other_file };

// Removes the regular file at path only while it is the version expected:
// it is renamed aside to <name>.cartonym-aside-<pid> first, where no other
// process takes it unnoticed, checked there and removed. Anything else goes
// back under its name; should that fail, the leftover sweep gives it its
// name back. Another version of the same file is told apart only where
// inode numbers stay with the file. Throws Error when path cannot be
// renamed aside (a taken private name is Error 75) or the removal fails.
Found remove_version(const std::string& path, const FileIdentity& expected)
{
    const std::string aside = path + ".cartonym-aside-" + std::to_string(process_id());
    if (const SystemResult set_aside = rename_without_replacing(path, aside, SystemOperation::remove, path);
        !set_aside.done()) {
        if (set_aside.is(SystemOutcome::exists))
            throw SystemError(ErrorNumber::path_file_access_error, set_aside);
        set_aside.raise();
    }
    SystemResult removed;
    Found found = Found::other_file;
    try {
        const auto status = entry_status(aside);
        if (is_version(status, expected, aside)) {
            removed = remove_name(aside, no_throw);
            if (removed.done())
                return Found::removed;
        } else if (status && status->identity.device == expected.device && status->identity.inode == expected.inode
            && !inodes_may_change_on_remount(aside)) {
            found = Found::other_version;
        }
    } catch (const Error&) {
        rename_without_replacing(aside, path, SystemOperation::move, path);
        throw;
    }
    rename_without_replacing(aside, path, SystemOperation::move, path);
    removed.raise_if_failed();
    return found;
}

// Every private name the program's moves make in a folder:
//   .cartonym-copy-<pid>-XXXXXX  a copy on its way across file systems
//   .cartonym-link-<pid>-XXXXXX  a fresh link about to replace a moved one
//   <name>.cartonym-move-XXXXXX  an image parked by earlier versions, whose
//                                move fell back on a private name
//   <name>.cartonym-aside-<pid>  a file set aside to be checked before its
//                                removal
// A partial copy (its source still exists) or a spare link of a process
// that no longer runs is removed; a parked image goes back to its name
// when that is free, and an empty placeholder of that kind is removed; a
// file set aside by a process that no longer runs goes back to its name
// when that is free, whatever it is, since it may be another entry than the
// file that was to go.
void tidy_leftover(const std::string& folder, const std::string& name)
{
    const std::string path = join_path(folder, name);
    const auto status = entry_status(path);
    if (!status)
        return;
    const auto aside = name.rfind(".cartonym-aside-");
    if (aside != std::string::npos && aside > 0) {
        const long pid = std::atol(name.c_str() + aside + std::string_view(".cartonym-aside-").size());
        if (pid > 0 && !process_is_running(pid))
            rename_without_replacing(path, join_path(folder, name.substr(0, aside)), SystemOperation::move, path);
        return;
    }
    for (const char* kind : {"copy", "link"}) {
        const std::string prefix = std::string(".cartonym-") + kind + "-";
        if (!name.starts_with(prefix))
            continue;
        const long pid = std::atol(name.c_str() + prefix.size());
        const bool leftover =
            status->kind == EntryKind::regular_file ? std::string(kind) == "copy" : status->kind == EntryKind::link;
        if (pid > 0 && !process_is_running(pid) && leftover)
            remove_name(path, no_throw);
        return;
    }
    const auto parked = name.rfind(".cartonym-move-");
    if (parked == std::string::npos || parked == 0 || status->kind != EntryKind::regular_file)
        return;
    if (status->identity.size == 0)
        remove_name(path, no_throw);
    else
        rename_without_replacing(path, join_path(folder, name.substr(0, parked)), SystemOperation::move, path);
}

// Gives a file its own name in other letter case, on a volume that folds
// case, in two renames through a name of the same folder reserved
// exclusively: a rename straight onto the own name does nothing on some
// drivers and on others (fusefat) frees the clusters of the "replaced"
// target, which are the file's own. A stop between the two renames leaves
// the image as <new name>.cartonym-move-XXXXXX, which the leftover sweep
// of the next run gives its new name.
SystemResult rename_to_other_case(
    const std::string& source, const std::string& target, SystemOperation operation, const std::string& hook_path)
{
    std::string parked = target + ".cartonym-move-XXXXXX";
    const FileIdentity made = identity_of(create_unique_file(parked));
    if (const SystemResult renamed = rename_over(source, parked, operation, hook_path); !renamed.done()) {
        if (is_own_reservation(parked, made))
            remove_name(parked, no_throw);
        return renamed;
    }
    const SystemResult renamed = rename_without_replacing(parked, target, operation, hook_path);
    if (!renamed.done())
        rename_without_replacing(parked, source, operation, hook_path);
    return renamed;
}

} // namespace

SystemResult rename_without_replacing(const std::string& source, const std::string& target, SystemOperation operation,
    const std::string& hook_path, const ReservationNotice& reserving)
{
    SystemResult result = rename_no_replace(source, target, operation, hook_path);
    if (is_refusal(result)) {
        result = link_then_unlink(source, target);
        if (result.is(SystemOutcome::not_permitted) || is_refusal(result))
            result = move_over_reservation(source, target, operation, hook_path, reserving);
    }
    // On a volume that folds case a new name differing only in letter case
    // is the file's own name.
    if (result.is(SystemOutcome::exists) && is_same_file_by_other_case(source, target))
        result = rename_to_other_case(source, target, operation, hook_path);
    return result;
}

void remove_leftovers_of_ended_moves(const std::string& folder)
{
    std::vector<std::string> names;
    try {
        Directory directory(folder);
        while (const auto entry = directory.next())
            if (entry->name.find(".cartonym-") != std::string::npos)
                names.push_back(entry->name);
    } catch (const Error&) {
        return; // a folder that cannot be read has nothing to tidy for us
    }
    for (const std::string& name : names)
        tidy_leftover(folder, name);
}

bool folds_letter_case(const std::string& folder)
{
    // A name the folder lists, with its letter case changed, that still
    // leads to an entry though the folder lists no such name.
    std::set<std::string> names;
    try {
        Directory directory(folder);
        while (const auto entry = directory.next())
            names.insert(entry->name);
    } catch (const Error&) {
        return false;
    }
    for (const std::string& name : names) {
        const std::string other = swapped_letter_case(name);
        if (other != name && !names.contains(other))
            return entry_exists(join_path(folder, other));
    }
    return false;
}

void move_file(
    const std::string& source, const std::string& target, bool may_be_link, const ReservationNotice& reserving)
{
    rename_without_replacing(source, target, SystemOperation::move, target, reserving).raise_if_failed();
    const std::string old_folder = parent_folder(source);
    if (may_be_link && old_folder != parent_folder(target) && entry_kind(target) == EntryKind::link)
        repoint_moved_link(old_folder, target);
}

void move_across_file_systems(const std::string& source, const std::string& target)
{
    const SystemResult moved = rename_without_replacing(source, target, SystemOperation::move, target);
    if (moved.done())
        return;
    if (!moved.is(SystemOutcome::other_volume))
        moved.raise();
    // Another file system: an existing target is refused before any copying.
    if (entry_exists(target))
        throw Error(ErrorNumber::file_already_exists);
    const CopiedFile copied = copy_to_target(source, target);
    // Only the very file copied goes. Another file that took the source's
    // name stays beside the copy. A source rewritten since it was opened
    // stays too, and the copy, which holds an older (or torn) state of it,
    // goes again while it is still the copy made. Either way the move has
    // failed.
    const Found found = remove_version(source, copied.source);
    if (found == Found::removed)
        return;
    if (found == Found::other_version) {
        try {
            remove_version(target, copied.copy);
        } catch (const Error&) {
            // The copy stays beside the source: nothing is lost.
        }
    }
    throw Error(ErrorNumber::path_file_access_error);
}

void create_folder(const std::string& path)
{
    const SystemResult made = make_folder(path, no_throw);
    if (made.is(SystemOutcome::exists))
        throw SystemError(ErrorNumber::path_file_access_error, made);
    made.raise_if_failed();
}

void remove_folder(const std::string& path)
{
    const SystemResult removed = remove_empty_folder(path, no_throw);
    if (removed.done())
        return;
    if (removed.is(SystemOutcome::not_empty) || removed.is(SystemOutcome::exists))
        throw SystemError(ErrorNumber::path_file_access_error, removed);
    // An entry of that name that is no folder (a file, a FIFO, a link)
    // stays just as a folder with entries does; a path that does not lead
    // there at all is another matter.
    if (removed.is(SystemOutcome::not_a_folder)) {
        const EntryKind kind = entry_kind(path);
        if (kind != EntryKind::missing && kind != EntryKind::folder)
            throw SystemError(ErrorNumber::path_file_access_error, removed);
    }
    removed.raise();
}

bool remove_link(const std::string& path)
{
    try {
        const auto checked = entry_status(path);
        if (!checked || checked->kind != EntryKind::link)
            return false;
        // A private name for which no file is made, so that a stop leaves no
        // empty file behind; a link left under it the leftover sweep removes.
        const std::string aside =
            join_path(parent_folder(path), private_name_prefix("link") + std::to_string(checked->identity.inode));
        if (!rename_without_replacing(path, aside, SystemOperation::remove, path).done())
            return false;
        const auto moved = entry_status(aside);
        if (moved && moved->kind == EntryKind::link && names_same_entry(moved, checked))
            return remove_name(aside, no_throw).done();
        // Another entry took the name after the look: it goes back.
        rename_without_replacing(aside, path, SystemOperation::move, path);
    } catch (const Error&) {
        // Nothing was removed.
    }
    return false;
}

void delete_file(const std::string& path) { remove_name(path, no_throw).raise_if_failed(); }

} // namespace cartonym
