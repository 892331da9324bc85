// SPDX-License-Identifier: GPL-3.0-or-later
// The generated folders of the benchmarks: sparse images of every copier
// header kind and both maps, some unknown, some duplicates, some non-images,
// and a snes.dat that names the known ones.
#pragma once

#include "fixtures/rom_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace cartonym::bench {

namespace fs = std::filesystem;
using namespace cartonym::fixtures;

inline void check(bool ok, const std::string& what_)
{
    if (!ok) {
        std::perror(what_.c_str());
        std::exit(1);
    }
}

// Writes only the bytes the analysis reads (the first 512 bytes and the
// chosen header site); the rest of the file is a hole.
inline void write_sparse(const std::string& path, const RomPlan& plan)
{
    RomPlan lower = plan;
    lower.data_length = std::min<std::uint64_t>(plan.data_length, 0x10000);
    const std::string image = build_rom(lower);
    const std::uint64_t header = plan.header == CopierHeader::None ? 0 : 512;
    const std::uint64_t site = header + (plan.map == MemoryMap::LoRom ? 0x7FC0 : 0xFFC0);
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(image.data(), 1024);
        file.seekp(static_cast<std::streamoff>(site));
        file.write(image.data() + site, 32);
        check(file.good(), path);
    }
    std::error_code error;
    fs::resize_file(path, header + plan.data_length, error);
    check(!error, "resize_file");
}

inline std::string Key(int number)
{
    char text[32];
    std::snprintf(text, sizeof text, "BENCH GAME %06d", number);
    return text;
}

// The images of one folder; deterministic, so every run gets the same one.
inline void write_folder(const fs::path& folder, int images, int records, std::uint64_t size)
{
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::mt19937 random(4711);
    const CopierHeader headers[] = {
        CopierHeader::None, CopierHeader::SWC, CopierHeader::GDR, CopierHeader::FIG, CopierHeader::COS};
    // The known names are every 1.25th record, so they reach the file's end.
    const int known_ones = std::max(1, records * 4 / 5);
    for (int i = 0; i < images; ++i) {
        char name[64];
        const int kind = i % 20;
        if (kind == 19) { // a non-image
            std::snprintf(name, sizeof name, "notes_%06d.txt", i);
            write_file((folder / name).string(), "not an image\r\n");
            continue;
        }
        RomPlan plan;
        plan.header = headers[i % 5];
        plan.map = (plan.header == CopierHeader::COS || (i / 5) % 2 == 0) ? MemoryMap::LoRom : MemoryMap::HiRom;
        const int record = (i * 7919) % known_ones;
        plan.name = kind == 18 ? "UNKNOWN BENCH " + std::to_string(i) : Key(record * 5 / 4);
        // Copies of one image (art 17 repeats its predecessor) become duplicates;
        // otherwise the country tells images of one name apart.
        const int base = kind == 17 ? i - 1 : i;
        plan.country = static_cast<std::uint8_t>((base / known_ones) % 14);
        plan.checksum = static_cast<std::uint16_t>(base * 31 + 7);
        // 0.5 to 8 MiB, or the one size asked for.
        plan.data_length = size != 0 ? size : 0x80000 + (static_cast<std::uint64_t>(random()) % 16) * 0x80000;
        std::snprintf(name, sizeof name, "image_%06d.smc", i);
        write_sparse((folder / name).string(), plan);
    }
}

inline void write_database(const fs::path& path, int records)
{
    std::string content;
    for (int r = 0; r < records; ++r)
        content += database_line(Key(r), "Bench Game " + std::to_string(r));
    write_file(path.string(), content);
}

} // namespace cartonym::bench
