// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/testsupport.h"

#include "common/paths.h"
#include "common/windows1252.h"
#include "fixtures/rom_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>
#include <tuple>

#ifdef _WIN32
#include <map>
#include <windows.h>
#define environ _environ
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace cartonym::test {
TempFolder::TempFolder()
{
#ifdef _WIN32
    static std::mt19937 random{std::random_device{}()};
    do
        path_ = std::filesystem::temp_directory_path() / ("cartonym-test-" + std::to_string(random()));
    while (!std::filesystem::create_directory(path_));
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "cartonym-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#endif
}

TempFolder::~TempFolder()
{
    std::error_code error;
    // Make read-only folders left by a test removable again.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            std::filesystem::permissions(
                it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path_, error);
}

Tree tree_of(const std::filesystem::path& folder)
{
    Tree state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && !entry.is_symlink())
            state[std::filesystem::relative(entry.path(), folder).generic_string()] =
                fixtures::read_file(entry.path().string());
    }
    return state;
}

Tree entries_of(const std::filesystem::path& folder)
{
    Tree state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) // never followed: a link that loops is an entry like any other
            state[path] = "<link> " + std::filesystem::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            state[path] = "<folder>";
        else if (entry.is_regular_file())
            state[path] = fixtures::read_file(entry.path().string());
        else
            state[path] = "<other>";
    }
    return state;
}

std::string tree_difference(const Tree& expected, const Tree& actual)
{
    std::string text;
    for (const auto& [path, content] : expected)
        if (!actual.contains(path) || actual.at(path) != content)
            text += (actual.contains(path) ? "changed: " : "missing: ") + path + "\n";
    for (const auto& [path, content] : actual)
        if (!expected.contains(path))
            text += "added: " + path + "\n";
    return text;
}

Tree JournalledRunFolder::journals() const
{
    const std::filesystem::path runs = state.path() / "cartonym" / "runs";
    return std::filesystem::exists(runs) ? entries_of(runs) : Tree{};
}

BatchResult JournalledRunFolder::run(bool game_list, bool without_spaces) const
{
    RunJournal journal(F);
    BatchOptions options{F, db, without_spaces, game_list};
    options.recorder = &journal;
    BatchResult result = Batchrun(options);
    EXPECT_FALSE(journal.failure()) << journal.failure()->what();
    return result;
}

namespace {
void set_variable(const std::string& name, const std::optional<std::string>& value)
{
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value ? value->c_str() : ""); // the C library's and the system's alike
#else
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
#endif
}
} // namespace

ScopedVariable::ScopedVariable(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name))
{
    if (const char* old = std::getenv(name_.c_str()))
        old_ = old;
    set_variable(name_, value);
}

ScopedVariable::~ScopedVariable() { set_variable(name_, old_); }

FaultHook fail_on(SystemOperation wanted, int errnum)
{
    return [wanted, errnum](SystemOperation operation, const std::string&) { return operation == wanted ? errnum : 0; };
}

TempEnvironment::TempEnvironment(const std::vector<std::pair<std::string, std::string>>& to_set)
    : set_(to_set)
{
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (ascii_lower(name) == "temp" || name == "TMPDIR" || (windows_paths && ascii_lower(name) == "tmp"))
            old_.emplace_back(name, text.substr(name.size() + 1));
    }
    for (const auto& [name, value] : to_set) // set ones of other names come back as well
        if (const char* old = std::getenv(name.c_str());
            old && std::ranges::none_of(old_, [&](const auto& e) { return e.first == name; }))
            old_.emplace_back(name, old);
    for (const auto& [name, value] : old_)
        set_variable(name, std::nullopt);
    for (const auto& [name, value] : to_set)
        set_variable(name, value);
}

TempEnvironment::~TempEnvironment()
{
    for (const auto& [name, value] : set_)
        set_variable(name, std::nullopt);
    for (const auto& [name, value] : old_)
        set_variable(name, value);
}

ProgramRun run_program(const std::string& program, const std::vector<std::string>& arguments, const TempFolder& filing,
    const std::string& working_folder)
{
    const int pid = start_program(program, arguments, filing / "cli.out", filing / "cli.err", working_folder);
    const int status = pid > 0 ? wait_for(pid) : 0;
    ProgramRun run{pid > 0 ? exit_status(status) : -1, fixtures::read_file(filing / "cli.out"),
        fixtures::read_file(filing / "cli.err")};
    std::filesystem::remove(filing / "cli.out");
    std::filesystem::remove(filing / "cli.err");
    return run;
}

#ifdef _WIN32
namespace {
std::map<int, HANDLE> started; // the processes start_program() started, until waited for

HANDLE inherited_file(const std::string& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileA(path == "/dev/null" ? "NUL" : path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
        &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

int start_program(const std::string& program, std::vector<std::string> arguments, const std::string& output,
    const std::string& error_output, const std::string& working_folder)
{
    std::wstring line = std::filesystem::path(program).wstring();
    for (const auto& argument : arguments) { // quoted as CommandLineToArgvW reads them back
        std::wstring quoted = L" \"";
        for (const wchar_t c : std::filesystem::path(std::u8string(argument.begin(), argument.end())).wstring())
            quoted += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
        while (quoted.ends_with(L'\\') && !quoted.ends_with(L"\\\\"))
            quoted += L'\\';
        line += quoted + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inherited_file("/dev/null", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = inherited_file(output, GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = inherited_file(error_output, GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const std::wstring folder = std::filesystem::path(working_folder).wstring();
    // A loaded wine now and then refuses to start a process; that says nothing about the program
    // under test, so the start is tried again and a lasting refusal is reported on stderr.
    bool made = false;
    for (int attempt = 0; attempt < 4 && !made; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
        made = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
            working_folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    }
    const DWORD start_error = made ? 0 : ::GetLastError();
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        ::CloseHandle(handle);
    if (!made) {
        std::ofstream(error_output) << "could not start " << program << ": Windows error " << start_error << '\n';
        return -1;
    }
    ::CloseHandle(process.hThread);
    started[static_cast<int>(process.dwProcessId)] = process.hProcess;
    return static_cast<int>(process.dwProcessId);
}

int wait_for(int pid)
{
    const HANDLE process = started.at(pid);
    started.erase(pid);
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return static_cast<int>(code);
}

int exit_status(int status) { return status; }

void make_fifo(const std::string& path) { throw std::runtime_error("no FIFOs on Windows: " + path); }
void make_socket(const std::string& path) { throw std::runtime_error("no Unix sockets here: " + path); }
#else
int start_program(const std::string& program, std::vector<std::string> arguments, const std::string& output,
    const std::string& error_output, const std::string& working_folder)
{
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (auto& arg : arguments)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, error_output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!working_folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, working_folder.c_str());
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

int wait_for(int pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

int exit_status(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

bool blocked_on_lock(const std::string& proc_folder)
{
    for (int tries = 0; tries < 6000; ++tries) {
        const std::string waiting_in = fixtures::read_file(proc_folder + "/wchan");
        if (waiting_in.find("lock") != std::string::npos)
            return true;
        if (waiting_in.empty()) // ended, or no /proc
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void make_fifo(const std::string& path)
{
    if (::mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo failed: " + path);
}

void make_socket(const std::string& path)
{
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool bound = path.size() < sizeof address.sun_path
        && ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(sock);
    if (!bound)
        throw std::runtime_error("bind failed: " + path);
}

#endif

RomAnalysis analysis_for(
    const std::string& name, const std::string& checksum, const std::string& suffix, const std::string& extension)
{
    RomAnalysis a;
    std::tie(a.Rom_ok, a.Interner_name, a.Pruefsumme, a.Landkuerzel, a.Endung) =
        std::tuple(true, fixtures::Interner_name(name), checksum, suffix, extension);
    return a;
}

std::vector<std::string> image_contents(const std::filesystem::path& folder)
{
    std::vector<std::string> contents;
    for (const auto& [path, content] : tree_of(folder))
        if (!path.ends_with("games.htm") && !path.ends_with("unknown.log"))
            contents.push_back(content);
    std::ranges::sort(contents);
    return contents;
}

std::string error_head(int number)
{
    static const std::map<int, std::string> descriptions = {{52, "Bad file name or number"}, {53, "File not found"},
        {57, "Device I/O error"}, {58, "File already exists"}, {61, "Disk full"}, {70, "Permission denied"},
        {75, "Path/File access error"}, {76, "Path not found"}};
    return "Error Nr.  " + std::to_string(number) + " happened:\n" + descriptions.at(number);
}

std::string error_text(int number, const std::string& path)
{
    return error_head(number) + "\nThis error happend while processing the following file: \n\n" + path
        + "\n\nProgress aborted !";
}

RunFolder::RunFolder(const std::string& database, const std::vector<std::pair<std::string, fixtures::RomPlan>>& images)
{
    std::filesystem::create_directory(F);
    std::filesystem::create_directory(temp_folder);
    fixtures::write_file(db, database);
    for (const auto& [name, plan] : images)
        image(name, plan);
}

void RunFolder::file(const std::string& name, const std::string& content) const
{
    std::filesystem::create_directories(std::filesystem::path(in_folder(name)).parent_path());
    fixtures::write_file(in_folder(name), content);
}

ProgramRun RunFolder::batch(std::vector<std::string> options) const
{
    options.insert(options.begin(), {"batch", "--db", db});
    options.push_back(F);
    return cli(options);
}

} // namespace cartonym::test
