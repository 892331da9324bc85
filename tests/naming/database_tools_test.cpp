// The database tools: names learned from file names and catalogues, the
// database check, the catalogue reader, the sums, the safe append, and the
// db commands of cartonym-cli end to end with the batch run.
#include <gtest/gtest.h>

#include "analysis/rom_analysis.h"
#include "common/windows1252.h"
#include "common/database_file.h"
#include "fixtures/rom_builder.h"
#include "naming/content_digest.h"
#include "naming/database_check.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "naming/learned_name.h"
#include "naming/rom_catalogue.h"
#include "tests/cli_run.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

using namespace cartonym;
using namespace std::string_literals;
using fixtures::CopierHeader;
using fixtures::MemoryMap;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using test::Cli;
using test::CliRun;

// The records of a database text, in order.
std::vector<std::pair<std::string, std::string>> records_of(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> records;
    RecordReader reader(text);
    while (!reader.at_end()) {
        std::string key = reader.next_item();
        records.emplace_back(std::move(key), reader.next_item());
    }
    return records;
}

// A generated collection: one image of every copier format and map, twice,
// with several countries and names holding brackets and underscores.
struct NamedImage {
    fixtures::RomPlan plan;
    std::string full_name; // Windows-1252
    bool no_spaces = false;

    std::string key() const { return fixtures::Interner_name(plan.name); }
    std::string suffix() const { return country_suffix(plan.country); }
    std::string extension() const
    {
        switch (plan.header) {
        case CopierHeader::SWC: return ".swc";
        case CopierHeader::FIG: return ".fig";
        default: return ".smc";
        }
    }
    // The name the program gives it, as a file-system name.
    std::string new_name() const
    {
        std::string name = normal_name(full_name, suffix(), extension());
        if (no_spaces)
            Baue_dateiname(name);
        return file_system_name(name);
    }
};

std::vector<NamedImage> Collection()
{
    const std::pair<CopierHeader, MemoryMap> formats[] = {{CopierHeader::None, MemoryMap::LoRom},
        {CopierHeader::None, MemoryMap::HiRom}, {CopierHeader::SWC, MemoryMap::LoRom},
        {CopierHeader::SWC, MemoryMap::HiRom}, {CopierHeader::FIG, MemoryMap::LoRom},
        {CopierHeader::FIG, MemoryMap::HiRom}, {CopierHeader::GDR, MemoryMap::LoRom},
        {CopierHeader::GDR, MemoryMap::HiRom}, {CopierHeader::COS, MemoryMap::LoRom}};
    const std::string names[] = {"Mole Patrol", "Comet Curling (Rev 1)", "Star_Fox Arena", "Dr. Mario [Hack]",
        "Caf\xE9 Racer", "Quest (Disc 2) [T+Eng]", "Super V.G.", "Big_Bang  Theory"};
    const std::uint8_t countries[] = {0, 1, 2, 9, 13, 0x0E};
    std::vector<NamedImage> images;
    for (int i = 0; i < 18; ++i) {
        const auto [header, map] = formats[i % 9];
        NamedImage image;
        image.plan = {
            .header = header, .map = map, .name = "GAME NUMBER " + std::to_string(10 + i), .country = countries[i % 6]};
        image.no_spaces = i >= 9;
        image.full_name = names[i % 8];
        if (image.no_spaces) // "_" of a no-spaces name reads back as a space
            std::replace(image.full_name.begin(), image.full_name.end(), '_', ' ');
        images.push_back(image);
    }
    return images;
}

std::set<std::pair<std::string, std::string>> expected_records(const std::vector<NamedImage>& images)
{
    std::set<std::pair<std::string, std::string>> records;
    for (const NamedImage& image : images)
        records.emplace(image.key(), image.full_name);
    return records;
}

// Copies of the images under meaningless names in normal/ and nospace/,
// sorted by the batch run with the database; returns the names it gave.
std::set<std::string> batch_names(
    const test::TempFolder& t, const std::vector<NamedImage>& images, const std::string& db)
{
    std::set<std::string> names;
    for (const bool no_spaces : {false, true}) {
        const std::string folder = t / (no_spaces ? "scrambled-nospace" : "scrambled-normal");
        fs::create_directories(folder);
        for (std::size_t i = 0; i < images.size(); ++i) {
            if (images[i].no_spaces == no_spaces)
                fixtures::write_rom(folder + "/rom" + std::to_string(100 + i) + ".bin", images[i].plan);
        }
        const CliRun run =
            no_spaces ? Cli({"batch", "--db", db, "--no-spaces", folder}) : Cli({"batch", "--db", db, folder});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        for (const auto& entry : fs::directory_iterator(folder + "/Renamed_SNES_ROMs"))
            names.insert(entry.path().filename().string());
    }
    return names;
}

std::set<std::string> new_names(const std::vector<NamedImage>& images)
{
    std::set<std::string> names;
    for (const NamedImage& image : images)
        names.insert(image.new_name());
    return names;
}

// A catalogue of the images' cartridge data (copier header left out); every
// second entry has no SHA-1, so it is found by CRC32 and size. The game name
// is the full name with the image's own suffix, or with other bracket groups
// when the full name does not end in brackets itself.
std::string catalogue_for(const std::vector<NamedImage>& images, bool logiqx)
{
    std::string text = logiqx ? "<?xml version=\"1.0\"?>\n<datafile>\n  <header><name>Generated</name></header>\n"
                              : "clrmamepro (\n\tname \"Generated\"\n)\n\n";
    for (std::size_t i = 0; i < images.size(); ++i) {
        const NamedImage& image = images[i];
        const std::string bytes = fixtures::build_rom(image.plan);
        const std::size_t header = image.plan.header == CopierHeader::None ? 0 : 512;
        ContentHasher hasher;
        hasher.update(reinterpret_cast<const unsigned char*>(bytes.data()) + header, bytes.size() - header);
        const ContentDigest digest = hasher.finish();
        const bool ends_in_brackets = image.full_name.ends_with(')') || image.full_name.ends_with(']');
        const std::string game = utf8_from_cp1252(
            image.full_name + (i % 3 == 0 && !ends_in_brackets ? " (Japan) (Rev 1) [!]" : image.suffix()));
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", digest.crc32);
        const std::string sha1 = i % 2 == 0 ? hex_text(digest.sha1) : "";
        const std::string size = std::to_string(digest.size);
        if (logiqx) {
            text += "  <game name=\"" + game + "\">\n    <description>" + game + "</description>\n    <rom name=\""
                + game + ".sfc\" size=\"" + size + "\" crc=\"" + crc + "\""
                + (sha1.empty() ? "" : " sha1=\"" + sha1 + "\"") + "/>\n  </game>\n";
        } else {
            text += "game (\n\tname \"" + game + "\"\n\tdescription \"" + game + "\"\n\trom ( name \"" + game
                + ".sfc\" size " + size + " crc " + crc + (sha1.empty() ? "" : " sha1 " + sha1) + " )\n)\n\n";
        }
    }
    return text + (logiqx ? "</datafile>\n" : "");
}

} // namespace

// --- Names from file names ----------------------------------------------------

TEST(LearnedName, Rules)
{
    const struct {
        std::string file_name, suffix, full_name;
    } cases[] = {
        {"Comet Curling (USA) (Rev 1) [!].smc", " (USA)", "Comet Curling"},
        {"Comet Curling (USA).smc", " (USA)", "Comet Curling"},
        {"Comet_Curling_(USA).smc", " (USA)", "Comet Curling"},
        {"Comet_Curling (USA).smc", " (USA)", "Comet_Curling"},
        {"Comet Curling (Japan)  [b1].fig", " (Euro)", "Comet Curling"},
        {"Super V.G..fig", "", "Super V.G."},
        {"Foo (Hack).smc", "", "Foo (Hack)"},
        {"No Extension", " (JAP)", "No Extension"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(full_name_from_file_name(c.file_name, c.suffix), c.full_name) << c.file_name;
}

TEST(LearnedName, ProgramGivenNamesGiveBackTheirFullName)
{
    const std::string pieces[] = {
        "Mole", "Patrol", "(Rev 1)", "[!]", "Dr.", "A_B", "Caf\xE9", "(USA)", "", "V.G.", "[T+Eng]", "x(y)", "2"};
    for (const std::string& a : pieces) {
        for (const std::string& b : pieces) {
            for (const std::string& separator : {" "s, "  "s, ""s}) {
                const std::string full = a + separator + b;
                if (full.empty())
                    continue;
                for (int country = 0; country <= 14; ++country) {
                    const std::string suffix = country_suffix(static_cast<std::uint8_t>(country));
                    for (const std::string extension : {".smc", ".swc", ".fig"}) {
                        std::string normal = normal_name(full, suffix, extension);
                        // An underscore reads back as itself only beside a space.
                        if (full.find('_') == std::string::npos || (full + suffix).find(' ') != std::string::npos) {
                            EXPECT_EQ(full_name_from_file_name(normal, suffix), full) << normal;
                        }
                        if (full.find('_') == std::string::npos) {
                            EXPECT_EQ(full_name_from_file_name(Baue_dateiname(normal), suffix), full) << normal;
                        }
                    }
                }
            }
        }
    }
}

// --- The database check -----------------------------------------------------------

TEST(DatabaseCheck, FindsEachPlantedFaultAtItsLine)
{
    const auto record = fixtures::database_line;
    const struct {
        std::string text;                                          // one record, or blank lines
        std::vector<std::pair<std::string, std::string>> findings; // kind, severity
    } rows[] = {
        {record("CLEAN GAME", "Clean Game"), {}},
        {"\"SHORT\",\"Short\"\n", {{"key_length", "error"}}},
        {"\r\n\r\n", {}},
        {record("CLEAN GAME", "Again"), {{"duplicate_key", "error"}}},
        {record("EMPTY", ""), {{"empty_name", "error"}}},
        {record("SLASH", "AC/DC"), {{"unusable_name", "error"}}},
        {record("LONG", std::string(231, 'L')), {{"unusable_name", "error"}}},
        {record("COLON", "Game: Round 2"), {{"windows_name", "warning"}}},
        {record("UTF8", "Pok\xC3\xA9mon"), {{"encoding", "warning"}}},
        {record("X-MEN", "X-Men"), {{"shadowed", "warning"}}},
        {record("ALADDIN JR", "Aladdin Jr."), {{"shadowed", "warning"}}},
        {record("MARKUP", "Big <b>Game"), {{"windows_name", "warning"}, {"markup", "warning"}}},
        {"\"CUT                  \"\r\n", {{"cut_short", "error"}}},
    };
    std::string text;
    std::vector<std::tuple<std::size_t, std::string, std::string>> expected;
    std::size_t line = 1;
    for (const auto& row : rows) {
        for (const auto& [child, severity] : row.findings)
            expected.emplace_back(line, child, severity);
        text += row.text;
        line += static_cast<std::size_t>(std::count(row.text.begin(), row.text.end(), '\n'));
    }
    const DatabaseCheck check = check_database(text);
    std::vector<std::tuple<std::size_t, std::string, std::string>> found;
    for (const DatabaseFinding& finding : check.findings)
        found.emplace_back(
            finding.line, finding.child, finding.severity == FindingSeverity::error ? "error" : "warning");
    EXPECT_EQ(found, expected);
    EXPECT_NE(check.findings[1].message.find("line 1 "), std::string::npos) << check.findings[1].message;
    EXPECT_TRUE(check.ends_in_cut_record);

    // Through the command: the plain lines, the summary and the status.
    test::TempFolder t;
    fixtures::write_file(t / "faulty.dat", text);
    const CliRun run = Cli({"db", "check", "--db", t / "faulty.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\n5: error: duplicate_key: the record on line 1 "), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.ends_with("\n12 records, 6 errors, 6 warnings\n")) << run.out;
    const std::vector<json> lines = Cli({"db", "check", "--json", "--db", t / "faulty.dat"}).lines;
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[0],
        (json{{"line", 2}, {"severity", "error"}, {"kind", "key_length"},
            {"message", "the first item has 5 characters, not 21: it can never match"}, {"key", "SHORT"}}));
}

TEST(DatabaseCheck, CleanDatabasesHaveNoFindings)
{
    test::TempFolder t;
    const std::string clean =
        fixtures::database_line("ONE", "One (Rev 1) [!]") + fixtures::database_line("TWO", "Caf\xE9 Two");
    fixtures::write_file(t / "clean.dat", clean);
    for (const std::string& path : {t / "clean.dat", std::string(CARTONYM_BUNDLED_DATABASE)}) {
        const CliRun run = Cli({"db", "check", "--db", path});
        EXPECT_EQ(run.status, 0) << path;
        EXPECT_EQ(run.out.find(": error: "), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find(": warning: "), std::string::npos) << run.out;
    }
    EXPECT_EQ(Cli({"db", "check", "--db", t / "missing.dat"}).status, 2);
}

// --- Catalogues and sums -------------------------------------------------------

TEST(ContentDigest, KnownAnswersInPieces)
{
    ContentHasher hasher;
    const std::string text = "123456789";
    hasher.update(reinterpret_cast<const unsigned char*>(text.data()), 4);
    hasher.update(reinterpret_cast<const unsigned char*>(text.data()) + 4, 5);
    const ContentDigest digest = hasher.finish();
    EXPECT_EQ(digest.size, 9u);
    EXPECT_EQ(digest.crc32, 0xCBF43926u);
    EXPECT_EQ(hex_text(digest.sha1), "f7c3bc1d808e04732adf679965ccc34ca7ae3441");
}

TEST(RomCatalogue, BothKindsAndTheOrderOfLookup)
{
    const std::string sha1_a(40, 'a'); // every byte 0xAA
    const struct {
        const char* child;
        std::string text;
    } cases[] = {
        {"logiqx",
            "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile>\n<datafile><header/>"
            "<game name=\"By SHA-1 &amp; more\"><rom name=\"a\" size=\"10\" crc=\"0000000a\" sha1=\""
                + sha1_a
                + "\"/></game>"
                  "<game name=\"Missing\"><rom name=\"m\" size=\"10\" status=\"nodump\"/></game>"
                  "<machine name=\"By CRC\"><rom name=\"b\" size=\"20\" crc=\"BEEF\"/></machine></datafile>"},
        {"clrmamepro",
            "clrmamepro ( name \"x\" version 1 )\n"
            "game ( name \"By SHA-1 & more\" rom ( name a size 10 crc 0000000a sha1 "
                + sha1_a
                + " ) )\n"
                  "game ( name Missing rom ( name \"m\" size 10 flags nodump ) )\n"
                  "resource ( name bios )\n"
                  "machine ( name \"By CRC\" rom ( name \"b\" size 20 crc beef ) )\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.child);
        const RomCatalogue catalogue = RomCatalogue::Parse(c.text, "t.dat");
        ASSERT_EQ(catalogue.entries().size(), 2u);
        ContentDigest digest;
        digest.sha1.fill(0xAA);
        digest.size = 20;
        digest.crc32 = 0xBEEF;
        EXPECT_EQ(catalogue.Find(digest)->game_name, "By SHA-1 & more");
        digest.sha1.fill(0xBB);
        EXPECT_EQ(catalogue.Find(digest)->game_name, "By CRC");
        digest.crc32 = 0x0A; // an entry with a SHA-1 is never found by CRC32
        digest.size = 10;
        EXPECT_EQ(catalogue.Find(digest), nullptr);
    }
}

// --- End to end ----------------------------------------------------------------

// Records learned from the program's own names, or imported from a catalogue
// of either kind, name meaningless copies of the images as the program would.
TEST(DatabaseTools, LearnedAndCatalogueRecordsNameScrambledCopiesAsBefore)
{
    const std::vector<NamedImage> images = Collection();
    for (const std::string source : {"learn", "Logiqx", "clrmamepro"}) {
        SCOPED_TRACE(source);
        test::TempFolder t;
        fixtures::write_file(t / "snes.dat", "");
        if (source == "learn") {
            for (const NamedImage& image : images) {
                const std::string folder = t / (image.no_spaces ? "named/nospace" : "named/normal");
                fs::create_directories(folder);
                fixtures::write_rom(folder + "/" + image.new_name(), image.plan);
            }
            const CliRun learn = Cli({"db", "learn", "--db", t / "snes.dat", "--write", "-r", t / "named"});
            ASSERT_EQ(learn.status, 0) << learn.err;
            EXPECT_EQ(learn.out, fixtures::read_file(t / "snes.dat")); // the proposals, exactly as written
            EXPECT_EQ(fixtures::read_file(t / "snes.dat.bak"), "");
            EXPECT_EQ(check_database(fixtures::read_file(t / "snes.dat")).findings.size(), 0u);
            // Learned again: everything is known, nothing is proposed or written.
            const CliRun again = Cli({"db", "learn", "--db", t / "snes.dat", "--json", "--write", "-r", t / "named"});
            EXPECT_EQ(again.status, 0);
            for (const json& line : again.lines)
                EXPECT_EQ(line["status"], "known") << line;
        } else {
            fixtures::write_file(t / "catalogue.dat", catalogue_for(images, source == "Logiqx"));
            fs::create_directories(t / "images");
            for (std::size_t i = 0; i < images.size(); ++i)
                fixtures::write_rom(t / ("images/x" + std::to_string(i) + ".bin"), images[i].plan);
            fixtures::write_rom(t / "images/unlisted.bin", {.name = "UNLISTED"});
            fixtures::write_file(t / "images/notes.txt", "no image");
            const CliRun import = Cli(
                {"db", "import-dat", "--db", t / "snes.dat", "--write", "--json", t / "catalogue.dat", t / "images"});
            ASSERT_EQ(import.status, 0) << import.err;
            std::map<std::string, int> statuses;
            for (const json& line : import.lines)
                ++statuses[line["status"]];
            EXPECT_EQ(statuses, (std::map<std::string, int>{{"new", 18}, {"no_match", 1}, {"not_image", 1}}));
        }
        const auto records = records_of(fixtures::read_file(t / "snes.dat"));
        EXPECT_EQ(records.size(), images.size());
        EXPECT_EQ(std::set(records.begin(), records.end()), expected_records(images));
        EXPECT_EQ(batch_names(t, images, t / "snes.dat"), new_names(images));
    }
}

TEST(DatabaseTools, BadInputChangesNothingAndSaysWhy)
{
    const std::string old_database = fixtures::database_line("OLD GAME", "Old Game");
    const struct {
        const char* case_name;
        std::vector<std::string> args; // after "db"; DB, CAT and IMG stand for the test's paths
        std::string catalogue;
        std::string image_name;
        int status;
        std::string message; // in stderr
        FaultHook hook = {};
    } cases[] = {
        {"catalogue not XML", {"import-dat", "--write", "--db", "DB", "CAT", "IMG"}, "just some words\n", "a.smc", 2,
            "CAT: line 1: neither a Logiqx XML catalogue nor a clrmamepro catalogue"},
        {"catalogue empty", {"import-dat", "--write", "--db", "DB", "CAT", "IMG"}, "", "a.smc", 2,
            "CAT: line 1: the file is empty"},
        {"XML truncated", {"import-dat", "--write", "--db", "DB", "CAT", "IMG"},
            "<datafile>\n<game name=\"G\">\n<rom name=\"g\" size=\"1\" crc=\"00000001\"/>\n", "a.smc", 2,
            "CAT: line 3 (byte 66): the file ends inside the XML (it is truncated)"},
        {"clrmamepro truncated", {"import-dat", "--write", "--db", "DB", "CAT", "IMG"},
            "clrmamepro ( name x )\ngame (\n name \"G\"\n rom ( name g size 1 crc 1 )\n", "a.smc", 2,
            "CAT: line 5: the file ends inside the block opened on line 2"},
        {"bad sha1", {"import-dat", "--write", "--db", "DB", "CAT", "IMG"},
            "game ( name G\n rom ( name g size 1 sha1 xyz ) )\n", "a.smc", 2,
            "CAT: line 2: the sha1 \"xyz\" is not 40"},
        {"a character Windows-1252 lacks", {"learn", "--write", "--db", "DB", "IMG"}, "",
            "Snow \xE2\x98\x83 Day (USA).smc", 1,
            "unusable_name: the file name has characters that Windows-1252 lacks"},
        {"a name the check rejects", {"learn", "--write", "--db", "DB", "IMG"}, "", std::string(240, 'N') + ".smc", 1,
            "unusable_name: unusable_name: the new name with the country suffix"},
        {"database cannot be written", {"learn", "--write", "--db", "DB", "IMG"}, "", "Fine (USA).smc", 1,
            "DB was not changed: Error Nr.  70 happened:\nPermission denied",
            [](SystemOperation operation, const std::string& path) {
                return operation == SystemOperation::Open && path.find(".new-") != std::string::npos ? EROFS : 0;
            }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.case_name);
        test::TempFolder t;
        fs::create_directories(t / "db");
        fs::create_directories(t / "img");
        fixtures::write_file(t / "db/snes.dat", old_database);
        fixtures::write_rom(t / ("img/" + c.image_name), {.name = "NEW GAME"});
        if (!c.catalogue.empty() || c.args[0] == "import-dat"s)
            fixtures::write_file(t / "cat.dat", c.catalogue);
        std::vector<std::string> args = {"db"};
        for (const std::string& arg : c.args)
            args.push_back(arg == "DB" ? t / "db/snes.dat"
                    : arg == "CAT"     ? t / "cat.dat"
                    : arg == "IMG"     ? t / "img"
                                       : arg);
        const test::Tree before = test::tree_of(t / "db");

        const test::ScopedFaultHook hook(c.hook);
        const CliRun run = Cli(args);
        std::string message = c.message;
        for (const auto& [name, path] : {std::pair("CAT", t / "cat.dat"), std::pair("DB", t / "db/snes.dat")}) {
            if (message.starts_with(name))
                message = path + message.substr(std::string(name).size());
        }
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(test::tree_of(t / "db"), before);
    }
}

TEST(DatabaseTools, AFailureAtAnyStepOfWritingKeepsTheOldDatabase)
{
    const std::string old_database = fixtures::database_line("OLD GAME", "Old Game");
    const std::string new_database = old_database + fixtures::database_line("NEW GAME", "New Game");
    for (const int errnum : {ENOSPC, EIO}) {
        bool reached_the_end = false;
        for (int n = 0; !reached_the_end; ++n) {
            SCOPED_TRACE("failing step " + std::to_string(n) + ", errno " + std::to_string(errnum));
            test::TempFolder t;
            const std::string folder = t / "db";
            fs::create_directories(folder);
            fs::create_directories(t / "img");
            fixtures::write_file(folder + "/snes.dat", old_database);
            fixtures::write_file(folder + "/snes.dat.bak", "an older backup");
            fixtures::write_rom(t / "img/New Game (USA).smc", {.name = "NEW GAME"});

            int step = 0;
            std::optional<std::pair<SystemOperation, std::string>> failed;
            const test::ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
                if (!path.starts_with(folder) || step++ != n)
                    return 0;
                failed.emplace(operation, path);
                return errnum;
            });
            const CliRun run = Cli({"db", "learn", "--write", "--db", folder + "/snes.dat", t / "img"});
            reached_the_end = !failed;

            const test::Tree after = test::tree_of(folder);
            EXPECT_EQ(after.size(), 2u) << "a temporary file was left";
            if (!failed) {
                EXPECT_EQ(run.status, 0);
                EXPECT_EQ(after.at("snes.dat"), new_database);
                EXPECT_EQ(after.at("snes.dat.bak"), old_database);
            } else if (failed->second == folder) {
                // Only the flush of the folder comes after the rename.
                EXPECT_EQ(run.status, 1);
                EXPECT_EQ(after.at("snes.dat"), new_database);
            } else {
                EXPECT_NE(run.status, 0);
                EXPECT_EQ(after.at("snes.dat"), old_database);
            }
        }
    }
}

TEST(DatabaseTools, WriteWithoutDbGrowsTheUserDatabase)
{
    test::TempFolder t;
    const test::TempEnvironment data_home({{"XDG_DATA_HOME", t / "data"}});
    const std::string program = CARTONYM_CLI_PATH;
    const std::string bundled = fixtures::read_file(program.substr(0, program.rfind('/')) + "/snes.dat");
    fs::create_directories(t / "img");
    fixtures::write_rom(t / "img/Brand New (USA).smc", {.name = "BRAND NEW"});

    const test::ProgramRun learn = test::run_program(program, {"db", "learn", "--write", t / "img"}, t);
    EXPECT_EQ(learn.status, 0) << learn.err;
    EXPECT_EQ(
        fixtures::read_file(t / "data/cartonym/snes.dat"), bundled + fixtures::database_line("BRAND NEW", "Brand New"));

    // info and batch now choose the user's database too.
    const test::ProgramRun info = test::run_program(program, {"info", t / "img/Brand New (USA).smc"}, t);
    EXPECT_EQ(json::parse(info.out)["full_name"], "Brand New");
}
