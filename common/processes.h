// SPDX-License-Identifier: GPL-3.0-or-later
// The process and its surroundings through the seam: the clock, the
// interrupting signals, process ids, the terminal, the program's folder and
// the environment. Made for POSIX in processes_posix.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// The wall-clock time in nanoseconds since 1970.
std::int64_t wall_clock_ns();

// While it lives, an interrupt (SIGINT, Ctrl+C) or a request to end
// (SIGTERM) no longer ends the process: the first one is remembered, for
// the program to stop at the next safe point. When it goes, the handlers
// it replaced are back and nothing is remembered, so that a later run in
// the same process starts undisturbed.
class InterruptSignalCatch {
public:
    InterruptSignalCatch();
    ~InterruptSignalCatch();
    InterruptSignalCatch(const InterruptSignalCatch&) = delete;
    InterruptSignalCatch& operator=(const InterruptSignalCatch&) = delete;

private:
    struct Replaced;
    std::unique_ptr<Replaced> replaced_;
};

// The number of the interrupting signal caught (SIGINT 2, SIGTERM 15), or 0.
int caught_interrupt_signal();

// This process's id.
long process_id();

// The standard streams of the process.
enum class StandardStream { input, output, error };
inline constexpr StandardStream standard_error = StandardStream::error;

// True when the stream is a terminal.
bool is_terminal(StandardStream stream);

// True when a process with this id is running. Hook: Examine ("/proc/<pid>").
bool process_is_running(long pid);

// The program's arguments as UTF-8, its name first: argv on POSIX; on
// Windows the command line's own UTF-16 text (argv holds it in the ANSI
// code page, which loses what that page lacks).
std::vector<std::string> program_arguments(int argc, char** argv);

// Makes the standard output and error streams pass the program's bytes as
// they are (Windows' C library would write CR before every LF).
void pass_standard_streams_unchanged();

// The system's folder for temporary files when no variable named "temp"
// names one: $TMPDIR, else /tmp on POSIX; %TMP%, else the folder
// GetTempPathW gives on Windows.
std::string system_temporary_folder();

// The folder that holds the running executable.
std::string program_folder();

// A variable of the environment, or nullopt.
std::optional<std::string> environment_variable(const std::string& name);

// The value of the first environment variable whose name equals name
// without regard to ASCII letter case.
std::optional<std::string> environment_variable_any_case(std::string_view name);

} // namespace cartonym
