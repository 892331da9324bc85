// SPDX-License-Identifier: GPL-3.0-or-later
// The one seam between the program and the operating system. Every system
// call of the program is made in this folder, by the platform's
// implementation files (*_posix.cpp here; a *_windows.cpp twin sits beside
// them and the build takes one set): nothing of one platform shows in
// these headers. Each call first asks the installed fault hook, which may
// answer with a failure that the call then reports, and a call interrupted
// by a signal is made again where repeating is right. Tests use the hook
// to fail the n-th operation of any kind. Open files and folder streams
// have one owner each.
//
//   system_error.h  outcomes, SystemResult, SystemError and the fault hook
//   files.h         open files, their status and identity
//   folders.h       folders, their entries and renames
//   processes.h     clock, signals, processes, terminal, environment
#pragma once

#include "common/files.h"
#include "common/folders.h"
#include "common/processes.h"
#include "common/system_error.h"
