// SPDX-License-Identifier: GPL-3.0-or-later
// Verified names from catalogues: the three formats, the new-name rules,
// precedence, registered catalogues, the report, the digest cache, and
// outputs unchanged without a catalogue.

#include "common/number_text.h"
#include "database_tools/catalogue_tier.h"
#include "database_tools/content_digest.h"
#include "database_tools/digest_cache.h"
#include "database_tools/rom_catalogue.h"
#include "tests/archive_builder.h"
#include "tests/cli_run.h"
#include "tests/testsupport.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace cartonym;
using fixtures::CopierHeader;
using nlohmann::json;
using test::Cli;
using test::CliRun;
namespace fs = std::filesystem;

namespace {

ContentDigest digest(std::string_view data)
{
    ContentHasher hasher;
    hasher.update(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    return hasher.finish();
}

// One rom of a catalogue: its game, its name and the data it lists.
struct Rom {
    std::string game, name, data;
    bool crc_only = false;
};

std::string logiqx(const std::vector<Rom>& roms)
{
    std::string text =
        "<?xml version=\"1.0\"?>\n<datafile><header><name>X &amp; Y</name><version>7</version></header>\n";
    for (const Rom& rom : roms) {
        const ContentDigest d = digest(rom.data);
        text += "<game name=\"" + rom.game + "\"><rom name=\"" + rom.name + "\" size=\"" + std::to_string(d.size)
            + "\" crc=\"" + hex_text(d.crc32) + (rom.crc_only ? "" : "\" sha1=\"" + hex_text(d.sha1)) + "\"/></game>\n";
    }
    return text + "</datafile>\n";
}

std::string clrmamepro(const std::vector<Rom>& roms)
{
    std::string text = "clrmamepro ( name \"X & Y\" version 7 )\n";
    for (const Rom& rom : roms) {
        const ContentDigest d = digest(rom.data);
        text += "game ( name \"" + rom.game + "\" rom ( name \"" + rom.name + "\" size " + std::to_string(d.size)
            + " crc " + hex_text(d.crc32) + (rom.crc_only ? "" : " sha1 " + hex_text(d.sha1)) + " ) )\n";
    }
    return text;
}

// SMDB: the game is the path's file name; five columns leave the size out.
std::string smdb(const std::vector<Rom>& roms, bool five_columns)
{
    std::string text;
    for (const Rom& rom : roms) {
        const ContentDigest d = digest(rom.data);
        text += std::string(64, 'a') + "\tSNES/" + rom.name + '\t' + hex_text(d.sha1) + '\t' + std::string(32, 'b')
            + '\t' + hex_text(d.crc32) + (five_columns ? "" : '\t' + std::to_string(d.size)) + '\n';
    }
    return text;
}

// The test's own data, cache and state folders.
struct World : test::TempFolder {
    World()
    {
        setenv("XDG_DATA_HOME", (*this / "data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (*this / "cache").c_str(), 1);
        fs::create_directories(*this / "img");
        fixtures::write_file(db, fixtures::database_line("NAMED GAME", "Named Game"));
    }
    std::string db = *this / "snes.dat";
    CliRun info(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"info", "--db", db});
        return Cli(args);
    }
};

const std::string headered = fixtures::build_rom({.header = CopierHeader::SWC, .name = "NAMED GAME"});
const std::string plain = fixtures::build_rom({.name = "OTHER GAME"});
const std::string homebrew = std::string(512, 'h') + std::string(2048, 'z'); // the analysis rejects it

} // namespace

const std::vector<Rom> listed_roms = {{"Game A", "Game A.sfc", plain}, {"Game B", "Game B.sfc", "crc only", true},
    {"Bad", "../up.sfc", "x"}, {"Bad", "a/b.sfc", "y"}, {"Bad", std::string(256, 'n'), "z"}, {"Bad", "..", "w"},
    {"Dots", "If... (Japan).sfc", "d"}};
struct FormatCase {
    const char* what;
    std::string text;
    std::string catalogue_name, version;
    std::size_t entries, faults; // SMDB names a rom by its path's file name
    bool by_crc;                 // an SMDB line is found by its SHA-1 only; a CRC-only entry by CRC32 and size
};
class CatalogueFormats : public ::testing::TestWithParam<FormatCase> { };

TEST_P(CatalogueFormats, EachFormatFindsByItsSums)
{
    const FormatCase& c = GetParam();
    const RomCatalogue catalogue = RomCatalogue::parse(c.text, "dir/list.smdb");
    // The same after a byte order mark, handed out a byte at a time.
    const std::string marked = "\xEF\xBB\xBF" + c.text;
    const auto byte_by_byte = [&marked]() -> CatalogueBytes {
        return [&marked, at = std::size_t{0}]() mutable {
            return std::string_view(marked).substr(std::min(at++, marked.size()), 1);
        };
    };
    for (const RomCatalogue& read : {catalogue, RomCatalogue::parse(byte_by_byte, "dir/list.smdb")})
        EXPECT_EQ(std::tuple(read.name(), read.version(), read.entries().size(), read.faults().size()),
            std::tuple(c.catalogue_name, c.version, c.entries, c.faults));
    ASSERT_NE(catalogue.find(digest(plain)), nullptr);
    EXPECT_EQ(catalogue.find(digest(plain))->rom_name, "Game A.sfc");
    ContentDigest crc_only = digest("crc only");
    crc_only.sha1.fill(0);
    EXPECT_EQ(catalogue.find(crc_only) != nullptr, c.by_crc);
}

INSTANTIATE_TEST_SUITE_P(Each, CatalogueFormats,
    ::testing::Values(FormatCase{"logiqx", logiqx(listed_roms), "X & Y", "7", 3, 4, true},
        FormatCase{"clrmamepro", clrmamepro(listed_roms), "X & Y", "7", 3, 4, true},
        FormatCase{"smdb", smdb(listed_roms, false), "list.smdb", "", 5, 2, false},
        FormatCase{"smdb five columns", smdb(listed_roms, true), "list.smdb", "", 5, 2, false}),
    test::CaseName());

// The new name of each kind of verified file, in both styles; a rejected file keeps rom_ok false and no analysis fields.
struct VerifiedCase {
    const char* what;
    std::string file, data, rom_name, new_name;
    bool rom_ok = true, no_spaces = false, listed_whole = false; // else without the (copier) header
};
class VerifiedName : public ::testing::TestWithParam<VerifiedCase> { };

TEST_P(VerifiedName, EachRowOfTheNewNameTable)
{
    const World t;
    const VerifiedCase& row = GetParam();
    fixtures::write_file(t / ("img/" + row.file), row.data);
    const std::string listed = row.listed_whole ? row.data : row.data.substr(512);
    fixtures::write_file(t / "c.dat", clrmamepro({{"G", row.rom_name, listed}}));
    std::vector<std::string> args = {"--dat", t / "c.dat", t / ("img/" + row.file)};
    if (row.no_spaces)
        args.insert(args.begin(), "--no-spaces");
    const CliRun run = t.info(args);
    ASSERT_EQ(run.lines.size(), 1u) << run.err;
    const json& line = run.lines[0];
    EXPECT_EQ(std::tuple(line["rom_ok"], line["identified_by"], line["catalogue"], line["full_name"], line["new_name"],
                  line["sha1"], line.contains("format_code")),
        std::tuple(json(row.rom_ok), json("catalogue"), json("X & Y"), json("G"), json(row.new_name),
            json(hex_text(digest(listed).sha1)), row.rom_ok));
}

INSTANTIATE_TEST_SUITE_P(Each, VerifiedName,
    ::testing::Values(VerifiedCase{"headered", "h.swc", headered, "Named Game (World).sfc", "Named Game (World).swc"},
        VerifiedCase{"plain", "p.smc", plain, "Other Game (World).sfc", "Other Game (World).sfc", true, false, true},
        VerifiedCase{"plain without spaces", "p2.smc", plain, "Other Game (World).sfc", "Other_Game_(World).sfc", true,
            true, true},
        VerifiedCase{"rejected without its header", "hb.bin", homebrew, "Homebrew Demo (PD).sfc",
            "Homebrew Demo (PD).smc", false},
        VerifiedCase{"rejected whole", "whole.bin", homebrew, "Homebrew Whole (PD).sfc", "Homebrew Whole (PD).sfc",
            false, false, true}),
    test::CaseName());
// The fixdat of an SMDB list parses whatever its names hold: markup, quotes, a control character, bytes that are no
// UTF-8 (each a stand-in there).
TEST(CatalogueReport, EveryFixdatParses)
{
    const World t;
    const std::string names[] = {"A & B <C> \"D\" 'E'.sfc", "Bell\x01.sfc", "Caf\xE9 \xFF.sfc"};
    std::vector<Rom> roms;
    for (const std::string& name : names)
        roms.push_back({"", name, "data of " + name});
    fixtures::write_file(t / "list.smdb", smdb(roms, false));
    ASSERT_EQ(Cli({"report", "--db", t.db, "--dat", t / "list.smdb", "--fixdat", t / "fix.dat", t / "img"}).status, 0);
    const RomCatalogue fixdat = RomCatalogue::read(t / "fix.dat"); // expat: throws unless well-formed
    std::vector<std::string> read;
    for (const CatalogueEntry& entry : fixdat.entries())
        read.push_back(entry.game_name + "|" + entry.rom_name);
    EXPECT_EQ(read,
        (std::vector<std::string>{
            "A & B <C> \"D\" 'E'|" + names[0], "Bell?|Bell?.sfc", "Caf\uFFFD \uFFFD|Caf\uFFFD \uFFFD.sfc"}));
}

// A rom name that would give a new name over 255 bytes (an image in a .gz gets ".smc.gz") is skipped and reported
// when the catalogue is read; the run goes on and the other entries name their files.
TEST(VerifiedNames, ARomNameTooLongForANewNameIsSkippedAndTheRunGoesOn)
{
    const World t;
    fixtures::write_file(t / "img/p.smc.gz", test::make_archive(test::ArchiveFormat::gzip, {{"p.smc", plain}}));
    fixtures::write_file(t / "img/h.swc", headered);
    fixtures::write_file(t / "c.dat",
        clrmamepro(
            {{"Long", std::string(250, 'n') + ".sfc", plain}, {"N", "Named (World).sfc", headered.substr(512)}}));
    ASSERT_EQ(Cli({"catalogue", "add", t / "c.dat"}).status, 0);
    const CliRun run = Cli({"batch", "--db", t.db, t / "img"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("(248 before its extension); the entry is skipped"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(t / "img/Renamed_SNES_ROMs/Named (World).swc"));
    EXPECT_TRUE(fs::exists(t / "img/Unknown_ROMs/p.smc.gz"));
}

// Catalogues are tried in the order given, else registered; within one the first entry wins.
TEST(VerifiedNames, PrecedenceAndRegisteredCatalogues)
{
    const World t;
    fixtures::write_file(t / "img/p.smc", plain);
    fixtures::write_file(t / "a.dat", clrmamepro({{"From A", "a.sfc", plain}, {"Later A", "l.sfc", plain}}));
    fixtures::write_file(t / "b.dat", smdb({{"", "From B.sfc", plain}}, false));
    const auto name_by = [&](std::vector<std::string> args) {
        args.push_back(t / "img/p.smc");
        const CliRun run = t.info(args);
        return run.lines.empty() ? json() : run.lines[0]["full_name"];
    };
    EXPECT_EQ(name_by({"--dat", t / "a.dat", "--dat", t / "b.dat"}), "From A");
    EXPECT_EQ(name_by({"--dat", t / "b.dat", "--dat", t / "a.dat"}), "From B");
    EXPECT_EQ(Cli({"catalogue", "add", t / "b.dat", t / "a.dat"}).status, 0);
    EXPECT_EQ(Cli({"catalogue", "add", t / "img/p.smc"}).status, 2); // no catalogue: nothing registered
    const CliRun list = Cli({"catalogue", "list", "--json"});
    EXPECT_EQ(list.lines,
        (std::vector<json>{{{"file", "0001 b.dat"}, {"name", "0001 b.dat"}, {"version", ""}, {"roms", 1}},
            {{"file", "0002 a.dat"}, {"name", "X & Y"}, {"version", "7"}, {"roms", 2}}}));
    EXPECT_EQ(name_by({}), "From B");
    EXPECT_EQ(name_by({"--no-dat"}), ""); // the database does not know it
    EXPECT_EQ(Cli({"catalogue", "remove", "0001 b.dat"}).status, 0);
    EXPECT_EQ(Cli({"catalogue", "remove", "0001 b.dat"}).status, 1);
    EXPECT_EQ(name_by({}), "From A");
}

// Without a catalogue in use every output is byte-identical to --no-dat's, which has none of the new keys.
TEST(VerifiedNames, NoCatalogueChangesNoByte)
{
    const World t;
    fixtures::write_file(t / "img/h.swc", headered);
    fixtures::write_file(t / "img/hb.bin", homebrew);
    fixtures::write_file(t / "c.dat", logiqx({{"G", "g.sfc", headered.substr(512)}}));
    const std::vector<std::vector<std::string>> commands = {{"info", "--db", t.db, t / "img/h.swc", t / "img/hb.bin"},
        {"batch", "--db", t.db, "--dry-run", t / "img"}, {"batch", "--db", t.db, "--dry-run", "--json", t / "img"}};
    for (std::vector<std::string> command : commands) {
        const CliRun without = Cli(command);
        command.insert(command.begin() + 1, "--no-dat");
        const CliRun no_dat = Cli(command);
        EXPECT_EQ(std::tie(without.status, without.out, without.err), std::tie(no_dat.status, no_dat.out, no_dat.err));
        EXPECT_EQ(without.out.find("identified_by"), std::string::npos);
        EXPECT_EQ(without.out.find("erified"), std::string::npos);
        command[1] = "--dat";
        command.insert(command.begin() + 2, t / "c.dat");
        EXPECT_NE(Cli(command).out.find("identified_by") + Cli(command).out.find("Verified by catalogues: 1"),
            2 * std::string::npos);
    }
}

// A verified rejected file is an image filed in Renamed_SNES_ROMs, with an escaped name and empty analysis cells in
// games.htm, archived alone too (then under the archive's extension); a rom named like the game list goes to
// Duplicates.
TEST(VerifiedNames, BatchFilesVerifiedFiles)
{
    const World t;
    fixtures::write_file(t / "img/hb.bin", homebrew);
    fixtures::write_file(
        t / "img/hb.zip", test::make_archive(test::ArchiveFormat::zip_deflated, {{"hb.bin", homebrew}}));
    fixtures::write_file(t / "img/hb.gz", test::make_archive(test::ArchiveFormat::gzip, {{"hb.bin", homebrew}}));
    fixtures::write_file(t / "img/p.smc", plain);
    fixtures::write_file(t / "c.dat",
        logiqx({{"Snow \xE2\x98\x83 Day", "Snow.sfc", homebrew.substr(512)}, {"List", "Games.HTM", plain}}));
    EXPECT_EQ(t.info({"--dat", t / "c.dat", t / "img/hb.zip"}).lines.at(0)["new_name"], "Snow.smc");
    const CliRun report = Cli({"report", "--db", t.db, "--dat", t / "c.dat", t / "img"});
    for (const char* name : {"hb.bin", "hb.gz", "hb.zip"})
        EXPECT_NE(report.out.find("have Snow \xE2\x98\x83 Day\t" + t / ("img/" + std::string(name)) + '\n'),
            std::string::npos)
            << report.out;
    EXPECT_EQ(Cli({"report", "--db", t.db, "--no-archives", "--dat", t / "c.dat", t / "img"})
                  .out.find("Day\t" + t / "img/hb.zip"),
        std::string::npos);
    const CliRun run = Cli({"batch", "--db", t.db, "--gamelist", "--json", "--dat", t / "c.dat", t / "img"});
    ASSERT_EQ(run.lines.size(), 1u) << run.err;
    EXPECT_EQ(
        std::tuple(run.lines[0]["roms"], run.lines[0]["renamed"], run.lines[0]["verified"], run.lines[0]["duplicates"]),
        std::tuple(json(4), json(3), json(3), json(1)));
    for (const char* name : {"Renamed_SNES_ROMs/Snow.smc", "Renamed_SNES_ROMs/Snow.zip",
             "Renamed_SNES_ROMs/Snow.smc.gz", "Duplicates/p.smc"})
        EXPECT_TRUE(fs::exists(t / (std::string("img/") + name))) << name;
    EXPECT_NE(fixtures::read_file(t / "img/Renamed_SNES_ROMs/games.htm")
                  .find("Snow &#9731; Day</font></tt></td><td><tt><font "
                        "color=\"#808080\">Snow.smc</font></tt></td><td><tt><font "
                        "color=\"#000099\"></font>"),
        std::string::npos);
}

// An archive of one image is verified from the image's bytes (by CRC32 and size for an entry without SHA-1; without
// its copier header): info names the image, the batch files the archive unchanged under the rom name's stem with the
// archive's extension, the report names the archive.
TEST(VerifiedNames, ArchivesAsTheirImage)
{
    const World t;
    const struct {
        std::string file, bytes, rom_name, info_name, new_name, sha1;
    } rows[] = {
        {"p.zip", test::make_archive(test::ArchiveFormat::zip_deflated, {{"p.smc", plain}}), "Other (W).sfc",
            "Other (W).sfc", "Other (W).zip", hex_text(digest(plain).sha1)},
        {"h.zip", test::make_archive(test::ArchiveFormat::zip_stored, {{"h.swc", headered}}), "Named (W).sfc",
            "Named (W).swc", "Named (W).zip", hex_text(digest(headered.substr(512)).sha1)},
    };
    for (const auto& row : rows)
        fixtures::write_file(t / ("img/" + row.file), row.bytes);
    fixtures::write_file(
        t / "c.dat", logiqx({{"P", rows[0].rom_name, plain, true}, {"H", rows[1].rom_name, headered.substr(512)}}));
    const CliRun info = t.info({"--dat", t / "c.dat", t / "img/p.zip", t / "img/h.zip"});
    ASSERT_EQ(info.lines.size(), 2u) << info.err;
    const CliRun report = Cli({"report", "--db", t.db, "--dat", t / "c.dat", t / "img"});
    EXPECT_NE(report.out.find("have H\t" + (t / "img/h.zip")), std::string::npos) << report.out;
    // The pass that analyses an archive works out its entry's digests: the archive is not read again.
    const CatalogueTier tier({{t / "c.dat", RomCatalogue::read(t / "c.dat")}});
    const LookedAtFile look = tier.look_at(t / "img/p.zip", true);
    fixtures::write_file(t / "img/p.zip", rows[0].bytes.substr(0, 100));
    EXPECT_EQ(tier.verify_file(t / "img/p.zip", look, false).new_name, rows[0].new_name);
    fixtures::write_file(t / "img/p.zip", rows[0].bytes);
    // An entry over the digest limit is not read again for nothing.
    fixtures::write_file(t / "big.zip",
        test::make_archive(test::ArchiveFormat::zip_deflated,
            {{"big.smc", fixtures::build_rom({.data_length = (std::uint64_t{16} << 20) + 1024})}}));
    const LookedAtFile big = tier.look_at(t / "big.zip", true);
    fs::remove(t / "big.zip");
    EXPECT_EQ(std::tuple(big.file.images, tier.verify_file(t / "big.zip", big, false).entry),
        std::tuple(std::size_t{1}, nullptr));
    const CliRun batch = Cli({"batch", "--db", t.db, "--json", "--dat", t / "c.dat", t / "img"});
    ASSERT_EQ(batch.lines.size(), 1u) << batch.err;
    EXPECT_EQ(batch.lines[0]["verified"], 2);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(rows[i].file);
        const json& line = info.lines[i];
        EXPECT_EQ(std::tuple(line["identified_by"], line["new_name"], line["sha1"]),
            std::tuple(json("catalogue"), json(rows[i].info_name), json(rows[i].sha1)));
        EXPECT_TRUE(fixtures::read_file(t / ("img/Renamed_SNES_ROMs/" + rows[i].new_name)) == rows[i].bytes);
    }
    // Streamed without its length ahead, a rejected image is hashed without its first 512 bytes only when its length
    // is 512 more than a multiple of 1,024.
    for (const std::string& data : {homebrew, homebrew + "x"}) {
        CartridgeHasher hasher(RomAnalysis{}, std::nullopt);
        hasher.update(reinterpret_cast<const unsigned char*>(data.data()), 100);
        hasher.update(reinterpret_cast<const unsigned char*>(data.data()) + 100, data.size() - 100);
        const CartridgeDigests streamed = hasher.finish();
        EXPECT_EQ(
            streamed.without_first_512, data == homebrew ? digest(data.substr(512)) : std::optional<ContentDigest>());
        EXPECT_EQ(streamed.data, digest(data));
    }
}

// have, missing (each rom of a game), unknown (a file over the digest limit without digests), the fixdat, and no catalogue.
TEST(CatalogueReport, HaveMissingUnknownAndFixdat)
{
    const World t;
    fixtures::write_file(t / "img/p\n\\.smc", plain); // on its line, read back exactly
    fixtures::write_rom(t / "img/big.smc", {.data_length = (std::uint64_t{16} << 20) + 1024}, true);
    fixtures::write_file(t / "c.dat",
        "<datafile><game name=\"Have\"><rom name=\"h.sfc\" size=\"" + std::to_string(plain.size()) + "\" sha1=\""
            + hex_text(digest(plain).sha1)
            + "\"/></game><game name=\"Two &lt;Parts&gt;\"><rom name=\"1.sfc\" size=\"1\" crc=\"00000001\"/>"
              "<rom name=\"2.sfc\" size=\"2\" crc=\"00000002\"/></game></datafile>");
    const CliRun run = Cli({"report", "--db", t.db, "--dat", t / "c.dat", "--fixdat", t / "fix.dat", t / "img"});
    EXPECT_EQ(run.out,
        "have Have\t" + t / "img/p\\u{000A}\\\\.smc" + "\nmissing Two <Parts>\nmissing Two <Parts>\nunknown "
            + t / "img/big.smc" + "\t\t\nc.dat: 1 have, 2 missing\n1 unknown\n");
    const RomCatalogue fixdat = RomCatalogue::read(t / "fix.dat");
    ASSERT_EQ(fixdat.entries().size(), 2u);
    EXPECT_EQ(std::tuple(fixdat.games(), fixdat.entries()[1].game_name, fixdat.entries()[1].rom_name),
        std::tuple(std::size_t{1}, "Two <Parts>", "2.sfc"));
    EXPECT_EQ(
        Cli({"report", "--dat", t / "c.dat", "--fixdat", t / "fix.dat", t / "img"}).status, 2); // never over a file
    const CliRun html = Cli({"report", "--db", t.db, "--dat", t / "c.dat", "--html", t / "r.html", t / "img"});
    EXPECT_NE(fixtures::read_file(t / "r.html").find("Two &lt;Parts&gt;"), std::string::npos);
    EXPECT_EQ(Cli({"report", t / "img"}).status, 2);
}

// A damaged cache is ignored and written anew; an archive's entry is kept under the archive's path and the entry's
// name; a file or archive changed in place with its times restored is never named by a stale digest.
TEST(DigestCache, DamagedCacheAndChangedFiles)
{
    const World t;
    const std::string file = t / "img/p.smc", zip = t / "img/p.zip", cache = t / "cache/cartonym/digests";
    fixtures::write_file(file, plain);
    fixtures::write_file(zip, test::make_archive(test::ArchiveFormat::zip_stored, {{"p.smc", plain}}));
    fixtures::write_file(t / "c.dat", clrmamepro({{"Verified", "v.sfc", plain}}));
    fs::create_directories(t / "cache/cartonym");
    for (const std::string damaged : {"cartonym digests 1\nzz\nend 1 00000000\n", "other program\n", ""}) {
        fixtures::write_file(cache, damaged);
        EXPECT_EQ(t.info({"--dat", t / "c.dat", file}).lines.at(0)["full_name"], "Verified");
        EXPECT_TRUE(fixtures::read_file(cache).starts_with("cartonym digests 1\n"));
    }
    EXPECT_EQ(t.info({"--dat", t / "c.dat", zip}).lines.at(0)["full_name"], "Verified");
    std::string entry_key;
    for (const char c : zip + '\0' + "p.smc") {
        entry_key += hex_digit(static_cast<unsigned char>(c) >> 4, true);
        entry_key += hex_digit(static_cast<unsigned char>(c) & 0xFu, true);
    }
    EXPECT_NE(fixtures::read_file(cache).find('\n' + entry_key + ' '), std::string::npos) << fixtures::read_file(cache);
    std::string changed = plain;
    changed[0x8000] ^= 1; // cartridge data, not a byte the analysis reads
    for (const auto& [path, bytes] : {std::pair(file, changed),
             std::pair(zip, test::make_archive(test::ArchiveFormat::zip_stored, {{"p.smc", changed}}))}) {
        struct stat before { };
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        fixtures::write_file(path, bytes);
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        const CliRun again = t.info({"--dat", t / "c.dat", path});
        EXPECT_EQ(std::tuple(again.lines.at(0)["identified_by"], again.lines.at(0)["sha1"]),
            std::tuple(json(nullptr), json(hex_text(digest(changed).sha1))));
    }
}

// Two writers at once, round after round: the test holds the cache folder's
// lock until both are seen asleep on it with their entries in hand, so their
// saves meet. The cache stays whole and trusted, keeps all it held and every
// entry of both writers; no working file stays.
TEST(DigestCache, TwoWritersLeaveAWholeCache)
{
    const World t;
    const std::string folder = t / "cache/cartonym";
    fixtures::write_file(t / "c.dat", clrmamepro({{"Verified", "v.sfc", plain}}));
    const auto cached_paths = [&folder] {
        std::set<std::string> paths;
        std::istringstream lines(fixtures::read_file(folder + "/digests"));
        std::string line;
        for (std::getline(lines, line); std::getline(lines, line) && !line.starts_with("end ");) {
            std::string path;
            for (std::size_t i = 0; i + 1 < line.find(' '); i += 2)
                path += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
            paths.insert(path);
        }
        return paths;
    };
    std::set<std::string> expected;
    fs::create_directories(folder);
    fixtures::write_file(folder + "/.digests.new-KILLED", "a killed writer's working file");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::array<std::vector<std::string>, 2> args;
        for (int writer = 0; writer < 2; ++writer) {
            args[writer] = {"info", "--db", t.db, "--dat", t / "c.dat"};
            for (int i = 0; i < 20; ++i) {
                args[writer].push_back(t / ("img/" + std::to_string(round * 100 + writer * 50 + i) + ".smc"));
                fixtures::write_file(args[writer].back(), plain);
                expected.insert(args[writer].back());
            }
        }
        const int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); // not held by the writers
        ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        const std::array<int, 2> writers = {
            test::start_program(CARTONYM_CLI_PATH, args[0]), test::start_program(CARTONYM_CLI_PATH, args[1])};
        bool met = true;
        for (const int pid : writers)
            met = test::blocked_on_lock("/proc/" + std::to_string(pid)) && met;
        ::close(lock);
        for (const int pid : writers)
            EXPECT_EQ(test::wait_for(pid), 0);
        EXPECT_TRUE(met) << "the writers were never both seen waiting for the lock";
        ASSERT_TRUE(DigestCache(folder + "/digests").was_trusted());
        EXPECT_EQ(cached_paths(), expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    }
}
