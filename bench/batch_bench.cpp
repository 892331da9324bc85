// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of cartonym-cli against the machine's floor.
//
// For each image count N it writes a folder of sparse images (0.5 to 8 MiB,
// every copier header kind and both maps, some unknown, some duplicates,
// some non-images) and a snes.dat of M records holding the images' names
// spread through it, some near the end. It then times, on a fresh copy of
// the folder each run:
//   info  - cartonym-cli info over every file (in argument chunks),
//   batch - one cartonym-cli batch run with the game list,
//   floor - the unavoidable system work done in-process: list the folder,
//           open each file, read the fixed header sites, close, one move.
// It prints the median times, the ratios to the floor and the peak memory.
#include "bench/bench_folder.h"
#include "fixtures/rom_builder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <linux/fs.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace cartonym::fixtures;
using namespace cartonym::bench;
using Clock = std::chrono::steady_clock;

struct Measurement {
    double seconds = 0;
    long peak_kib = 0;
};

// Runs a program, output to /dev/null; returns wall time and peak memory.
Measurement start(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto begin_pos = Clock::now();
    pid_t pid = 0;
    check(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0, "posix_spawn");
    int status = 0;
    rusage usage{};
    check(::wait4(pid, &status, 0, &usage) == pid, "wait4");
    posix_spawn_file_actions_destroy(&actions);
    return {std::chrono::duration<double>(Clock::now() - begin_pos).count(), usage.ru_maxrss};
}

std::vector<std::string> files_of(const fs::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

Measurement measure_info(const std::string& cli, const fs::path& database, const fs::path& folder)
{
    const auto files = files_of(folder);
    Measurement total;
    constexpr std::size_t piece = 2000;
    for (std::size_t from = 0; from < files.size(); from += piece) {
        std::vector<std::string> arguments = {cli, "info", "--db", database.string()};
        for (std::size_t i = from; i < std::min(files.size(), from + piece); ++i)
            arguments.push_back(files[i]);
        const Measurement part = start(arguments);
        total.seconds += part.seconds;
        total.peak_kib = std::max(total.peak_kib, part.peak_kib);
    }
    return total;
}

// The floor: what any tool must do for the same files.
Measurement measure_floor(const fs::path& folder)
{
    const auto begin_pos = Clock::now();
    DIR* directory = ::opendir(folder.c_str());
    check(directory != nullptr, "opendir");
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(directory))
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    ::closedir(directory);
    const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(::mkdirat(folder_fd, "moved", 0755) == 0, "mkdir");
    unsigned char buffer[512];
    unsigned long sum = 0;
    for (const auto& name : names) {
        const int fd = ::openat(folder_fd, name.c_str(), O_RDONLY | O_CLOEXEC);
        check(fd >= 0, name);
        check(::pread(fd, buffer, 512, 0) >= 0, "pread");
        for (const off_t site : {0x7FC0, 0xFFC0, 0x81C0, 0x101C0})
            check(::pread(fd, buffer, 32, site) >= 0, "pread");
        sum += buffer[0];
        ::close(fd);
        const std::string target = "moved/" + name;
        check(::syscall(SYS_renameat2, folder_fd, name.c_str(), folder_fd, target.c_str(), RENAME_NOREPLACE) == 0,
            "renameat2");
    }
    ::close(folder_fd);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    (void)sum;
    return {std::chrono::duration<double>(Clock::now() - begin_pos).count(), usage.ru_maxrss};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::cerr << "usage: cartonym-bench CARTONYM-CLI WORKDIR N [N...] [--records M] [--runs R] [--sizes] "
                     "[--generate-only]\n";
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const fs::path work = fs::absolute(argv[2]);
    std::vector<int> counts;
    int records = 10000;
    int runs = 3;
    bool with_sizes = false;
    bool create_only = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc)
            records = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--sizes") == 0)
            with_sizes = true;
        else if (std::strcmp(argv[i], "--generate-only") == 0)
            create_only = true;
        else
            counts.push_back(std::atoi(argv[i]));
    }
    fs::create_directories(work);
    const fs::path database = work / "snes.dat";
    write_database(database, records);
    if (create_only) { // leave one folder for profiling by hand
        write_folder(work / "images", counts.empty() ? 1000 : counts.front(), records, 0);
        return 0;
    }

    std::printf("| images N | records M | image sizes | info (s) | batch (s) | floor (s) | info / floor | batch / "
                "floor | peak memory info / batch (MiB) |\n");
    std::printf("|---:|---:|---|---:|---:|---:|---:|---:|---:|\n");
    struct Case {
        int n;
        std::uint64_t size;
        const char* text;
    };
    std::vector<Case> cases;
    for (const int n : counts)
        cases.push_back({n, 0, "0.5-8 MiB"});
    if (with_sizes && !counts.empty()) {
        cases.push_back({counts.front(), 0x80000, "all 0.5 MiB"});
        cases.push_back({counts.front(), 0x4000000, "all 64 MiB"});
    }
    for (const Case& case_ : cases) {
        std::vector<double> info, batch, floor_time;
        long peak_info = 0, peak_batch = 0;
        const fs::path folder = work / "images";
        for (int run = 0; run < runs; ++run) {
            write_folder(folder, case_.n, records, case_.size);
            const Measurement i = measure_info(cli, database, folder);
            const Measurement b = start({cli, "batch", "--db", database.string(), "--gamelist", folder.string()});
            write_folder(folder, case_.n, records, case_.size);
            const Measurement f = measure_floor(folder);
            info.push_back(i.seconds);
            batch.push_back(b.seconds);
            floor_time.push_back(f.seconds);
            peak_info = std::max(peak_info, i.peak_kib);
            peak_batch = std::max(peak_batch, b.peak_kib);
        }
        const double mi = median(info), mb = median(batch), mf = median(floor_time);
        std::printf("| %d | %d | %s | %.3f | %.3f | %.3f | %.2f | %.2f | %.1f / %.1f |\n", case_.n, records, case_.text,
            mi, mb, mf, mi / mf, mb / mf, static_cast<double>(peak_info) / 1024.0,
            static_cast<double>(peak_batch) / 1024.0);
        std::fflush(stdout);
    }
    fs::remove_all(work / "images");
    return 0;
}
