// SPDX-License-Identifier: GPL-3.0-or-later
// Shared helpers of the tests: temporary folders, file trees, injected
// failures, the temporary-folder variables and runs of the real cartonym-cli.
#pragma once

#include "analysis/header_detection.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "fixtures/rom_builder.h"
#include "operations/batch_run.h"
#include "operations/run_undo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cartonym::test {

// A fresh folder below the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

using Tree = std::map<std::string, std::string>;

// Every regular file below folder, by path relative to it ("/" between names), with its content.
Tree tree_of(const std::filesystem::path& folder);

// Every entry below folder, by path relative to it ("/" between names): a regular file with its
// content, a folder as "<folder>", a link as "<link> " and its target, anything
// else as "<other>". Two equal results mean the same paths and the same bytes.
Tree entries_of(const std::filesystem::path& folder);

// The paths at which two trees differ, "" when they are equal (a readable
// failure message instead of two whole trees of image bytes).
std::string tree_difference(const Tree& expected, const Tree& actual);

// Sets (or with nullopt removes) one environment variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(std::string name, const std::optional<std::string>& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Installs a failure hook for one scope.
class ScopedFaultHook {
public:
    explicit ScopedFaultHook(FaultHook hook)
        : old_(set_fault_hook(std::move(hook)))
    { }
    ~ScopedFaultHook() { set_fault_hook(std::move(old_)); }

private:
    FaultHook old_;
};

// A hook that fails every operation of one kind with errnum.
FaultHook fail_on(SystemOperation wanted, int errnum);

// The number of the Error that f throws, 0 when it throws none.
template <typename F> int error_number_of(F&& f)
{
    try {
        f();
    } catch (const Error& error) {
        return error.value();
    }
    return 0;
}

// Removes every variable naming a temporary folder ("temp" in any letter
// case, TMPDIR), sets the given ones, and restores all of them afterwards.
class TempEnvironment {
public:
    explicit TempEnvironment(const std::vector<std::pair<std::string, std::string>>& to_set);
    ~TempEnvironment();
    TempEnvironment(const TempEnvironment&) = delete;
    TempEnvironment& operator=(const TempEnvironment&) = delete;

private:
    std::vector<std::pair<std::string, std::string>> old_, set_;
};

// A run of the real cartonym-cli (its path given), stdin from /dev/null, in
// working_folder when one is given; stdout and stderr pass through files in filing.
struct ProgramRun {
    int status = -1;
    std::string out, err;
};
ProgramRun run_program(const std::string& program, const std::vector<std::string>& arguments, const TempFolder& filing,
    const std::string& working_folder = "");

// Starts the program with these arguments, stdin from /dev/null, stdout into
// output, stderr into error_output, in working_folder when one is given,
// without waiting; its process id, -1 when it could not start.
int start_program(const std::string& program, std::vector<std::string> arguments,
    const std::string& output = "/dev/null", const std::string& error_output = "/dev/null",
    const std::string& working_folder = "");
// Waits for the process pid to end; its wait status.
int wait_for(int pid);
// The exit status of a wait status, -1 for a process that did not exit.
int exit_status(int status);
// Waits, up to a minute, until the process or thread of this /proc folder
// ("/proc/PID", "/proc/self/task/TID") sleeps on a file lock; false when it
// does not (it ended, or never waited). A test of two writers fails then:
// their writes did not meet.
bool blocked_on_lock(const std::string& proc_folder);
// A FIFO or a bound Unix socket at path.
void make_fifo(const std::string& path);
void make_socket(const std::string& path);

// An image as the lookup sees it: the internal name (padded), checksum key, suffix, extension.
RomAnalysis analysis_for(const std::string& name, const std::string& checksum = "3412",
    const std::string& suffix = " (JAP)", const std::string& extension = ".fig");

// The contents of every file below folder but games.htm and unknown.log, sorted.
std::vector<std::string> image_contents(const std::filesystem::path& folder);

// The program's texts of failure number, written out here: its first two
// lines, and the whole message of the failure while processing path.
std::string error_head(int number);
std::string error_text(int number, const std::string& path);

// Names each case of a parametrised suite after its `what`, every character
// a test name cannot hold as '_': a failure names its case.
struct CaseName {
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        std::string name = info.param.what;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    }
};

// The made-up games of the batch-run tests.
namespace games {
inline const fixtures::RomPlan Alpha{.name = "ALPHA QUEST"};
inline const fixtures::RomPlan alpha_long{.name = "ALPHA QUEST", .data_length = 0x40000}; // the same game, other bytes
inline const fixtures::RomPlan Beta{
    .header = fixtures::CopierHeader::SWC, .map = fixtures::MemoryMap::HiRom, .name = "BETA & GAMMA", .country = 0};
inline const fixtures::RomPlan Gamma{.name = "GAMMA RAY"};
inline const fixtures::RomPlan Riddle{.map = fixtures::MemoryMap::HiRom, .name = "NOBODY KNOWS ME", .checksum = 0xBEEF};
inline const fixtures::RomPlan Riddle2{.name = "ANOTHER ONE"};
// A database that knows Alpha, Beta and Gamma.
inline const std::string database = fixtures::database_line("ALPHA QUEST", "Alpha Quest")
    + fixtures::database_line("BETA & GAMMA", "Beta & Gamma") + fixtures::database_line("GAMMA RAY", "Gamma");
} // namespace games

// A batch run's world: the folder F, the database and the temporary folder
// (the variable temp names it) side by side in one test folder.
struct RunFolder {
    TempFolder t;
    std::string F = t / "roms", db = t / "snes.dat", temp_folder = t / "temp";
    TempEnvironment temp{{{"temp", temp_folder}}};

    explicit RunFolder(const std::string& database = games::database,
        const std::vector<std::pair<std::string, fixtures::RomPlan>>& images = {});
    // A path below F; name's "/" become the platform's separator.
    std::string in_folder(std::string name) const
    {
        std::ranges::replace(name, '/', path_separator);
        return join_path(F, name);
    }
    void image(const std::string& name, const fixtures::RomPlan& plan) const { file(name, fixtures::build_rom(plan)); }
    void file(const std::string& name, const std::string& content) const;
    // The real cartonym-cli with these arguments, and `batch --db DB options... F`.
    ProgramRun cli(const std::vector<std::string>& arguments) const
    {
        return run_program(CARTONYM_CLI_PATH, arguments, t);
    }
    ProgramRun batch(std::vector<std::string> options = {}) const;
};

// A run folder whose run journals go to a state folder (XDG_STATE_HOME) of its own.
struct JournalledRunFolder : RunFolder {
    TempFolder state;
    ScopedVariable state_home{"XDG_STATE_HOME", state.path().string()};

    using RunFolder::RunFolder;
    Tree entries() const { return entries_of(F); }
    // A batch run of F with its journal.
    BatchResult run(bool game_list = true, bool without_spaces = false) const;
    // Every entry of the journal folder, empty when there is none.
    Tree journals() const;
};

// A run's counts: total, renamed, already correct, unknown, duplicates.
inline std::vector<int> run_counts(const BatchResult& result)
{
    return {result.counts.total, result.counts.renamed, result.counts.already_correct, result.counts.unknown,
        result.counts.duplicates};
}

} // namespace cartonym::test
