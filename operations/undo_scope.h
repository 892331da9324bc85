// SPDX-License-Identifier: GPL-3.0-or-later
// What undo may touch: only paths the run itself can have changed (entries
// of its folder, its output folders and their entries) and its own
// sidecar files. Records of a journal that name anything else (a journal
// edited by hand, or planted) are refused one by one and reported.
#pragma once

#include "operations/journal_format.h"
#include "operations/run_undo.h"

namespace cartonym {

// The records of run that lie in its scope; every other record is
// reported in report as a problem, and left out.
JournalContents records_in_scope(const JournalContents& run, UndoReport& report);

} // namespace cartonym
