// SPDX-License-Identifier: GPL-3.0-or-later
// File-system operations of the rename and batch steps. None of them ever
// replaces an existing file. Each asks the fault-injection hook
// (common/system_calls.h) first and reports every failure as Error.
#pragma once

#include "common/system_calls.h"

#include <string>

namespace cartonym {

// Moves the file source to target on the same file system, atomically and
// without replacing: Error 58 when target exists (whatever it is). A link
// with a relative target that goes into another folder is made anew there,
// naming the same target absolutely, so that it still leads to its file.
// Hook: SystemOperation::move with target.
// may_be_link false (the caller knows source to be no link) spares the look
// at what was moved.
void move_file(const std::string& source, const std::string& target, bool may_be_link = true,
    const ReservationNotice& reserving = {});

// Moves source to target, also across file systems. When a plain move is not
// possible (the outcome other_volume, real or injected), the file is copied
// under a temporary name into target's folder, synchronised, linked into
// place without replacing and the folder synchronised before source is
// removed; a failure on the way removes the copy again, so no partial
// target is ever left. Error 58 when target exists. Only the very file
// copied is removed: it is renamed aside and checked first. Error 75 when
// another file has taken source's name (it stays, and so does the copy) or
// source has been rewritten since it was opened (it stays, and the copy of
// its older state goes again).
// Hooks: Move (target), then Copy (target), Write and Sync (the temporary
// copy), Delete (source: the rename aside, then the removal).
void move_across_file_systems(const std::string& source, const std::string& target);

// Removes the private files that moves of processes that no longer run
// left in folder (a partial copy, a spare link) and gives a file set aside
// for a check its name back, so that nothing of an interrupted move stays
// behind. Failures are ignored.
void remove_leftovers_of_ended_moves(const std::string& folder);

// True when the volume of folder folds letter case, so that names differing
// only in letter case name one entry: learnt by looking up the name of one
// of its entries with its letter case changed. Nothing is written. False
// when no name tells (a folder without entries whose names hold letters).
bool folds_letter_case(const std::string& folder);

// Creates a folder; an existing one (or any file of that name) is Error 75.
// Hook: create_folder.
void create_folder(const std::string& path);

// Removes an empty folder; one that still holds entries, or an entry of
// that name that is no folder (a file, a FIFO, a link), is Error 75.
// Hook: remove_folder.
void remove_folder(const std::string& path);

// Removes the link at path, and only that link: it is renamed to a private
// name of its folder first and removed there only while it is still the
// very link looked at; anything that took its name in between is renamed
// back. False when nothing was removed. Hooks: Delete (the rename aside,
// with path), Delete (the removal).
bool remove_link(const std::string& path);

// Deletes a file (never a folder). Hook: remove.
void delete_file(const std::string& path);

} // namespace cartonym
