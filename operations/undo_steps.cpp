#include "operations/undo_steps.h"

#include "common/error.h"
#include "common/file_operations.h"
#include "common/file_tree.h"

#include <fcntl.h>

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
    if (const int error = remove_name(path); error != 0 && error != ENOENT)
        throw_errno(error);
}

// Gives the link at path the target text: a fresh link under a private
// name (one that remove_leftovers_of_ended_moves() knows) is exchanged
// with it atomically, and the old link, now under the private name, goes.
void retarget_link(const std::string& path, const std::string& text)
{
    const std::string prefix = parent_folder(path) + "/.cartonym-link-" + std::to_string(process_id()) + "-";
    std::string fresh;
    for (int attempt = 0;; ++attempt) {
        fresh = prefix + std::to_string(wall_clock_ns());
        const int error = create_link(text, fresh);
        if (error == 0)
            break;
        if (error != EEXIST || attempt >= 100)
            throw_errno(error);
    }
    if (const int error = exchange_names(fresh, path)) {
        remove_name(fresh);
        throw_errno(error);
    }
    if (entry_kind(fresh) == EntryKind::Link)
        remove_or_gone(fresh);
}

void rename_back(const std::string& path, const std::string& place, const ReservationNotice& reserving)
{
    if (const int error = rename_without_replacing(path, place, SystemOperation::Move, place, reserving))
        throw_errno(error);
}

void cut_log(const UndoStep& step)
{
    FileDescriptor file = open_file(step.path, O_RDWR | O_NOFOLLOW | O_NONBLOCK);
    const FileIdentity now = identity_of(file);
    if (now.device != step.seen.device || now.inode != step.seen.inode || now.size != step.seen.size)
        throw Error(ErrorNumber::PathFileAccessError);
    truncate_file(file, step.keep);
    sync_file(file);
    file.close();
}

} // namespace

void take(const UndoStep& step, const ReservationNotice& reserving)
{
    using Kind = UndoStep::Kind;
    switch (step.kind) {
    case Kind::RenameBack: rename_back(step.path, step.place, reserving); return;
    case Kind::RelinkBack:
        rename_back(step.path, step.place, reserving);
        retarget_link(step.place, step.text);
        return;
    case Kind::Retarget: retarget_link(step.place, step.text); return;
    case Kind::RemoveName: remove_or_gone(step.path); return;
    case Kind::DeleteLog: delete_file(step.path); return;
    case Kind::CutLog: cut_log(step); return;
    case Kind::PlaceGameList: place_new_file(step.place, step.text); return;
    case Kind::MakeFolder:
        if (const int error = make_folder(step.path))
            throw_errno(error);
        return;
    case Kind::ClearLeftovers: remove_leftovers_of_ended_moves(step.path); return;
    }
}

} // namespace cartonym
