// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX implementation of common/processes.h.
#include "common/processes.h"

#include "common/files.h"
#include "common/paths.h"
#include "common/system_call_posix.h"
#include "common/windows1252.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

extern char** environ;

namespace cartonym {

using namespace posix;

namespace {
volatile std::sig_atomic_t interrupt_signal = 0;

extern "C" void remember_interrupt(int signal_number)
{
    if (interrupt_signal == 0)
        interrupt_signal = signal_number;
}
} // namespace

struct InterruptSignalCatch::Replaced {
    struct sigaction interrupt { };
    struct sigaction terminate { };
};

InterruptSignalCatch::InterruptSignalCatch()
    : replaced_(std::make_unique<Replaced>())
{
    struct sigaction action { };
    action.sa_handler = remember_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    interrupt_signal = 0;
    ::sigaction(SIGINT, &action, &replaced_->interrupt);
    ::sigaction(SIGTERM, &action, &replaced_->terminate);
}

InterruptSignalCatch::~InterruptSignalCatch()
{
    ::sigaction(SIGINT, &replaced_->interrupt, nullptr);
    ::sigaction(SIGTERM, &replaced_->terminate, nullptr);
    interrupt_signal = 0;
}

int caught_interrupt_signal() { return interrupt_signal; }

std::int64_t wall_clock_ns()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool is_terminal(StandardStream stream)
{
    const int fd = stream == StandardStream::input ? STDIN_FILENO
        : stream == StandardStream::output         ? STDOUT_FILENO
                                                   : STDERR_FILENO;
    return system_call(SystemOperation::examine, "", [&] { return ::isatty(fd) == 1 ? 0 : -1; }) == 0;
}

long process_id() { return static_cast<long>(::getpid()); }

bool process_is_running(long pid)
{
    return pid > 0 && (system_call(SystemOperation::examine, "/proc/" + std::to_string(pid), [&] {
        return ::kill(static_cast<pid_t>(pid), 0);
    }) == 0 || errno == EPERM);
}

std::vector<std::string> program_arguments(int argc, char** argv) { return {argv, argv + argc}; }

void pass_standard_streams_unchanged() { }

std::string system_temporary_folder()
{
    if (auto tmpdir = environment_variable("TMPDIR"); tmpdir && !tmpdir->empty())
        return *tmpdir;
    return "/tmp";
}

std::string program_folder() { return parent_folder(link_target("/proc/self/exe").value_or(".")); }

std::optional<std::string> environment_variable(const std::string& name)
{
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

std::optional<std::string> environment_variable_any_case(std::string_view name)
{
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string_view::npos && ascii_lower(text.substr(0, equals)) == ascii_lower(name))
            return std::string(text.substr(equals + 1));
    }
    return std::nullopt;
}

} // namespace cartonym
