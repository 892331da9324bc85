// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of the name database lookup on large and hostile databases.
// Writes a database of N records (default 1,000,000, about 80 bytes each),
// times 30 lookups through Finde_romname (the first builds the index) next
// to `wc -l` on the same file, and prints the peak memory of the process;
// then the same with the database dated a year ahead, 30 lookups inside one
// validity scope, a sparse file of 4 GiB of NUL bytes and a sparse 1 TiB file.
// Usage: cartonym-database-bench WORKDIR [RECORDS]
#include "common/error.h"
#include "naming/database_index.h"
#include "naming/name_database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace cartonym;
using Clock = std::chrono::steady_clock;

namespace {

std::string key_of(long number)
{
    std::string key = "BENCH GAME " + std::to_string(number);
    key.resize(21, ' ');
    return key;
}

void write_database(const std::string& path, long records)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string chunk;
    for (long i = 0; i < records; ++i) {
        chunk += "\"" + key_of(i) + "\",\"A Generated Game Of The Benchmark, Number " + std::to_string(i) + "\"\r\n";
        if (chunk.size() > (1 << 16)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
}

// Peak resident memory of this process in MiB, and its reset.
double peak_mib()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double seconds_since(Clock::time_point begin) { return std::chrono::duration<double>(Clock::now() - begin).count(); }

double median_of_3(const std::string& command)
{
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        const auto begin = Clock::now();
        if (std::system(command.c_str()) != 0)
            std::cerr << "failed: " << command << "\n";
        times.push_back(seconds_since(begin));
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

// 30 lookups spread over the file, a third of them unknown: the time, and
// how many answers were right.
std::pair<double, int> thirty_lookups(const std::string& path, long records)
{
    int right = 0;
    const auto begin = Clock::now();
    for (int i = 0; i < 30; ++i) {
        const long number = i % 3 == 2 ? records + i : records - 1 - (records / 30) * i;
        RomAnalysis analysis;
        analysis.Rom_ok = true;
        analysis.Interner_name = key_of(number);
        analysis.Landkuerzel = " (USA)";
        analysis.Endung = ".smc";
        const LookupResult names = Finde_romname(analysis, path);
        const bool known = number < records;
        if (known == !names.Neuer_name.empty())
            ++right;
    }
    return {seconds_since(begin), right};
}

std::string outcome_of(const std::string& path)
{
    RomAnalysis analysis;
    analysis.Interner_name = key_of(1);
    try {
        Finde_romname(analysis, path);
        return "found";
    } catch (const Error& error) {
        return "error " + std::to_string(error.value());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: cartonym-database-bench WORKDIR [RECORDS]\n";
        return 2;
    }
    const std::string folder = argv[1];
    const long records = argc > 2 ? std::stol(argv[2]) : 1000000;
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/snes.dat";
    write_database(path, records);
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

    const double wc = median_of_3("wc -l '" + path + "' >/dev/null");
    reset_peak();
    const double before = peak_mib();
    const auto [cold, right] = thirty_lookups(path, records);
    const double peak = peak_mib();
    std::printf("database: %ld records, %.1f MB\n", records, megabytes);
    std::printf("wc -l: %.3f s (median of 3)\n", wc);
    std::printf(
        "30 lookups, the first builds the index: %.3f s = %.2f x wc -l; %d of 30 right\n", cold, cold / wc, right);
    std::printf("peak memory: %.1f MiB (%.1f MiB before the lookups)\n", peak, before);

    const auto [again, right_again] = thirty_lookups(path, records);
    std::printf("30 more lookups, file checked each time: %.4f s; %d of 30 right\n", again, right_again);

    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() + std::chrono::hours(24 * 365));
    const auto [future, right_future] = thirty_lookups(path, records);
    std::printf(
        "30 lookups, database dated a year ahead (one rebuild): %.3f s; %d of 30 right\n", future, right_future);
    const auto [future_again, right_future_again] = thirty_lookups(path, records);
    std::printf(
        "30 more lookups of the future-dated database: %.4f s; %d of 30 right\n", future_again, right_future_again);
    {
        const DatabaseSession run;
        const auto [scoped, right_scoped] = thirty_lookups(path, records);
        std::printf("30 lookups inside one DatabaseSession: %.4f s; %d of 30 right\n", scoped, right_scoped);
    }
    std::printf("peak memory after all of these: %.1f MiB\n", peak_mib());

    const std::string nul = folder + "/nul.dat";
    std::ofstream(nul, std::ios::trunc).close();
    std::filesystem::resize_file(nul, std::uintmax_t{4} << 30);
    auto begin = Clock::now();
    if (std::system(("wc -l '" + nul + "' >/dev/null").c_str()) != 0)
        std::cerr << "wc failed\n";
    const double wc_nul = seconds_since(begin);
    reset_peak();
    begin = Clock::now();
    std::string outcome = outcome_of(nul);
    std::printf("4 GiB of NUL bytes (sparse): %s after %.2f s (wc -l: %.2f s), peak %.1f MiB\n", outcome.c_str(),
        seconds_since(begin), wc_nul, peak_mib());
    std::filesystem::resize_file(nul, std::uintmax_t{1} << 40);
    begin = Clock::now();
    outcome = outcome_of(nul);
    std::printf("1 TiB sparse file: %s after %.4f s\n", outcome.c_str(), seconds_since(begin));
    std::filesystem::remove(nul);
    std::filesystem::remove(path);
    return 0;
}
