// Writes the fuzzers' seed inputs, made with the fixture builder: an image of
// every format code (and rejected ones) for the analysis, and small
// databases for the reader.
#include "fixtures/rom_builder.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

using namespace cartonym::fixtures;

// The analysis fuzzer's layout: length, offsets 0-511, the four sites.
std::string Compact(const std::string& image)
{
    const auto length = static_cast<std::uint32_t>(image.size());
    std::string input(4, '\0');
    std::memcpy(input.data(), &length, 4);
    const auto append = [&](std::size_t offset, std::size_t count) {
        std::string piece(count, '\0');
        if (offset < image.size())
            piece.replace(0, std::min(count, image.size() - offset), image.substr(offset, count));
        input += piece;
    };
    append(0, 512);
    for (const std::size_t site : {0x7FC0, 0xFFC0, 0x81C0, 0x101C0})
        append(site, 32);
    return input;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: cartonym-fuzz-seeds ANALYSIS-DIR DATABASE-DIR\n";
        return 2;
    }
    const std::filesystem::path analysis = argv[1], database = argv[2];
    std::filesystem::create_directories(analysis);
    std::filesystem::create_directories(database);

    int number = 0;
    for (const CopierHeader header :
        {CopierHeader::None, CopierHeader::SWC, CopierHeader::GDR, CopierHeader::FIG, CopierHeader::COS}) {
        for (const MemoryMap map : {MemoryMap::LoRom, MemoryMap::HiRom}) {
            RomPlan plan;
            plan.header = header;
            plan.map = map;
            plan.rom_size = static_cast<std::uint8_t>(7 + number % 7);
            plan.country = static_cast<std::uint8_t>(number);
            plan.licensee = static_cast<std::uint8_t>(number * 25);
            plan.data_length = 0x10000;
            write_file((analysis / ("image-" + std::to_string(number++))).string(), Compact(build_rom(plan)));
            plan.name = std::string(1, '\xFF') + "REJECTED"; // a rejected name forces the other map
            write_file((analysis / ("image-" + std::to_string(number++))).string(), Compact(build_rom(plan)));
        }
    }

    const std::string name = Interner_name("SEED GAME");
    write_file((database / "found").string(),
        name + database_line("OTHER", "Other") + database_line("SEED GAME", "Seed Game"));
    write_file((database / "missing").string(), name + database_line("OTHER", "Other"));
    write_file((database / "cut-short").string(), name + database_line("OTHER", "Other") + "\"SEED GAME            \"");
    write_file((database / "unquoted").string(), name + "  SEED GAME , \"Seed, Game\"\nX,Y\r");
    return 0;
}
