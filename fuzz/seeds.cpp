// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzzers' seed inputs, made with the fixture builder: an image of
// every format code (and rejected ones) for the analysis, small databases
// for the reader, small archives of every kind holding an image, and a small
// catalogue of every format.
#include "fixtures/rom_builder.h"
#include "tests/archive_builder.h"

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

void write_archives(const std::filesystem::path& folder)
{
    using cartonym::test::ArchiveFormat;
    using cartonym::test::make_archive;
    RomPlan plan;
    plan.data_length = 0x10000;
    const std::string image = build_rom(plan);
    write_file((folder / "zip").string(), make_archive(ArchiveFormat::zip_deflated, {{"game.smc", image}}));
    write_file((folder / "zip-two").string(),
        make_archive(ArchiveFormat::zip_deflated, {{"read.me", "text"}, {"game.smc", image}}));
    write_file((folder / "zip-stored").string(), make_archive(ArchiveFormat::zip_stored, {{"t.txt", "text"}}));
    write_file((folder / "zip-encrypted").string(),
        make_archive(ArchiveFormat::zip_encrypted, {{"game.smc", image.substr(0, 0x1000)}}));
    write_file((folder / "7z").string(), make_archive(ArchiveFormat::seven_zip, {{"game.smc", image}}));
    write_file((folder / "gz").string(), make_archive(ArchiveFormat::gzip, {{"game.smc", image}}));
    write_file((folder / "tar.gz").string(),
        make_archive(ArchiveFormat::tar_gzip, {{"game.smc", image}, {"other.smc", image.substr(0, 0x100)}}));
}

// The catalogue fuzzer's layout: a piece length, then the text.
void write_catalogues(const std::filesystem::path& folder)
{
    const std::string sha1(40, 'a'), crc = "1234abcd";
    const std::string logiqx_header =
        "<?xml version=\"1.0\"?>\n<datafile><header><name>X &amp; Y</name><version>7</version></header>\n";
    const std::string logiqx = logiqx_header + "<game name=\"G\"><rom name=\"g.sfc\" size=\"65536\" crc=\"" + crc
        + "\" sha1=\"" + sha1 + "\"/></game>\n<game name=\"H\"><rom name=\"h.sfc\" size=\"4\" crc=\"" + crc
        + "\"/></game>\n</datafile>\n";
    const std::string clrmamepro = "clrmamepro ( name \"X & Y\" version 7 )\n"
                                   "game ( name \"G\" rom ( name \"g.sfc\" size 65536 crc "
        + crc + " sha1 " + sha1 + " ) )\ngame ( name \"H\" rom ( name \"h.sfc\" size 4 crc " + crc + " ) )\n";
    const std::string smdb_line =
        std::string(64, 'b') + "\tSNES/g.sfc\t" + sha1 + '\t' + std::string(32, 'c') + '\t' + crc;
    write_file((folder / "logiqx").string(), "\x07" + logiqx);
    write_file((folder / "clrmamepro").string(), "\x03" + clrmamepro);
    write_file((folder / "smdb").string(), "\x05" + smdb_line + "\t65536\n" + smdb_line + "\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: cartonym-fuzz-seeds CORPUS-DIR\n";
        return 2;
    }
    // One folder of seeds for each target, named after it.
    const std::filesystem::path corpus = argv[1];
    const std::filesystem::path analysis = corpus / "analysis", database = corpus / "database";
    for (const char* target : {"analysis", "database", "archive", "catalogue"})
        std::filesystem::create_directories(corpus / target);
    write_archives(corpus / "archive");
    write_catalogues(corpus / "catalogue");

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
