// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows implementation of common/processes.h. Ctrl+C, Ctrl+Break and
// the closing of the console reach the program through its console control
// handler; they are told apart as SIGINT (Ctrl+C) and SIGTERM (the others).
#include "common/processes.h"

#include "common/files.h"
#include "common/paths.h"
#include "common/system_call_windows.h"

#include <atomic>
#include <csignal>
#include <io.h>
#include <shellapi.h>

namespace cartonym {

using namespace windows;

namespace {
std::atomic<int> interrupt_signal = 0;

BOOL WINAPI remember_interrupt(DWORD event)
{
    int expected = 0;
    interrupt_signal.compare_exchange_strong(expected, event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    return TRUE; // handled: the process goes on to its next safe point
}

// A variable of the environment as the system keeps it (UTF-16).
std::optional<std::wstring> wide_variable(const std::wstring& name)
{
    std::wstring value(64, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length = ::GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return std::nullopt;
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}
} // namespace

struct InterruptSignalCatch::Replaced { };

InterruptSignalCatch::InterruptSignalCatch()
    : replaced_(std::make_unique<Replaced>())
{
    interrupt_signal = 0;
    ::SetConsoleCtrlHandler(remember_interrupt, TRUE);
}

InterruptSignalCatch::~InterruptSignalCatch()
{
    ::SetConsoleCtrlHandler(remember_interrupt, FALSE);
    interrupt_signal = 0;
}

std::int64_t wall_clock_ns()
{
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    const std::int64_t ticks = static_cast<std::int64_t>((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime)
        - 116444736000000000; // 100 ns since 1601 to since 1970
    return ticks * 100;
}

bool is_terminal(StandardStream stream)
{
    // In the order of StandardStream: input, output, error.
    constexpr DWORD handles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    const DWORD which = handles[static_cast<int>(stream)];
    DWORD mode = 0;
    return system_call(
        SystemOperation::examine, "", [&] { return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0; });
}

int caught_interrupt_signal() { return interrupt_signal; }

long process_id() { return static_cast<long>(::GetCurrentProcessId()); }

bool process_is_running(long pid)
{
    if (pid <= 0)
        return false;
    DWORD code = 0;
    return system_call(SystemOperation::examine, "/proc/" + std::to_string(pid), [&] {
        const ScopedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
        if (!process.is_open())
            return ::GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
        return ::GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
    });
}

std::vector<std::string> program_arguments(int, char**)
{
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i)
        result.push_back(narrow(arguments[i]));
    ::LocalFree(arguments);
    return result;
}

void pass_standard_streams_unchanged()
{
    constexpr int binary = 0x8000; // _O_BINARY of the C runtime
    ::_setmode(::_fileno(stdout), binary);
    ::_setmode(::_fileno(stderr), binary);
}

std::string system_temporary_folder()
{
    // "temp" first (Windows matches the name in any letter case, so TEMP
    // too), then TMP, then what the system names.
    for (const char* name : {"temp", "TMP"})
        if (auto value = environment_variable(name); value && !value->empty())
            return *value;
    std::wstring folder(MAX_PATH + 2, L'\0');
    folder.resize(::GetTempPathW(MAX_PATH + 2, folder.data()));
    std::string text = narrow(folder);
    if (text.size() > 3 && is_path_separator(text.back()))
        text.pop_back();
    return text;
}

std::string program_folder()
{
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), 32768));
    return path.empty() ? "." : parent_folder(program_path(path));
}

std::optional<std::string> environment_variable(const std::string& name)
{
    const auto value = wide_variable(wide(name));
    return value ? std::optional<std::string>(narrow(*value)) : std::nullopt;
}

std::optional<std::string> environment_variable_any_case(std::string_view name)
{
    // Windows' own names of variables have no letter case.
    return environment_variable(std::string(name));
}

} // namespace cartonym
