// SPDX-License-Identifier: GPL-3.0-or-later
// The database tools: learned names, the check, catalogues, sums, the safe append and the db commands end to end.

#include "analysis/header_decoding.h"
#include "common/database_file.h"
#include "common/windows1252.h"
#include "database_tools/content_digest.h"
#include "database_tools/database_check.h"
#include "database_tools/database_writes.h"
#include "database_tools/learned_name.h"
#include "database_tools/rom_catalogue.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "tests/cli_run.h"
#include "tests/testsupport.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace cartonym;
using namespace fixtures;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using test::Cli;
using test::CliRun;
using namespace std::string_literals;

using Records = std::multiset<std::pair<std::string, std::string>>;

// The records of a database text.
Records records_of(const std::string& text)
{
    Records records;
    for (RecordReader reader(text); !reader.at_end();) {
        std::string key = reader.next_item();
        records.emplace(std::move(key), reader.next_item());
    }
    return records;
}

// An image of a generated collection with the full name its record should
// hold and the name the program gives it (as a file-system name).
struct NamedImage {
    fixtures::RomPlan plan;
    std::string full_name; // Windows-1252
    std::string file_name;
    bool no_spaces = false;

    std::string suffix() const { return country_suffix(plan.country); }
};

// Every copier format and map twice (then without spaces), several countries, names with brackets and underscores.
std::vector<NamedImage> Collection()
{
    const std::string names[] = {"Mole Patrol", "Comet Curling (Rev 1)", "Star_Fox Arena", "Dr. Mario [Hack]",
        "Caf\xE9 Racer", "Quest (Disc 2) [T+Eng]", "Super V.G.", "Big_Bang  Theory"};
    const std::string file_names[] = {"Mole Patrol (JAP).smc", "Comet Curling (Rev 1) (USA).smc",
        "Star_Fox Arena (Euro).swc", "Dr. Mario [Hack] (Euro - Germany).swc", "Caf\xC3\xA9 Racer (Korea).smc",
        "Quest (Disc 2) [T+Eng].smc", "Super V.G. (JAP).fig", "Big_Bang  Theory (USA).fig", "Mole Patrol (Euro).smc",
        "Comet_Curling_(Rev_1)_(Euro_-_Germany).smc", "Star_Fox_Arena_(Korea).smc", "Dr._Mario_[Hack].swc",
        "Caf\xC3\xA9_Racer_(JAP).swc", "Quest_(Disc_2)_[T+Eng]_(USA).smc", "Super_V.G._(Euro).smc",
        "Big_Bang__Theory_(Euro_-_Germany).fig", "Mole_Patrol_(Korea).fig", "Comet_Curling_(Rev_1).smc"};
    const std::uint8_t countries[] = {0, 1, 2, 9, 13, 0x0E};
    std::vector<NamedImage> images;
    for (int i = 0; i < 18; ++i) {
        NamedImage image; // headers None, SWC, GDR, FIG, COS; each but COS LoRom and HiRom
        image.plan = {.header = static_cast<CopierHeader>(i % 9 / 2),
            .map = i % 9 % 2 == 0 ? MemoryMap::LoRom : MemoryMap::HiRom,
            .name = "GAME NUMBER " + std::to_string(10 + i),
            .country = countries[i % 6]};
        image.no_spaces = i >= 9;
        image.full_name = names[i % 8];
        if (image.no_spaces) // "_" of a no-spaces name reads back as a space
            std::replace(image.full_name.begin(), image.full_name.end(), '_', ' ');
        image.file_name = file_names[i];
        images.push_back(image);
    }
    return images;
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
        for (std::size_t i = 0; i < images.size(); ++i)
            if (images[i].no_spaces == no_spaces)
                fixtures::write_rom(folder + "/rom" + std::to_string(100 + i) + ".bin", images[i].plan);
        const CliRun run =
            no_spaces ? Cli({"batch", "--db", db, "--no-spaces", folder}) : Cli({"batch", "--db", db, folder});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        for (const auto& entry : fs::directory_iterator(folder + "/Renamed_SNES_ROMs"))
            names.insert(entry.path().filename().string());
    }
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
        if (logiqx)
            text += "  <game name=\"" + game + "\">\n    <description>" + game + "</description>\n    <rom name=\""
                + game + ".sfc\" size=\"" + size + "\" crc=\"" + crc + "\""
                + (sha1.empty() ? "" : " sha1=\"" + sha1 + "\"") + "/>\n  </game>\n";
        else
            text += "game (\n\tname \"" + game + "\"\n\tdescription \"" + game + "\"\n\trom ( name \"" + game
                + ".sfc\" size " + size + " crc " + crc + (sha1.empty() ? "" : " sha1 " + sha1) + " )\n)\n\n";
    }
    return text + (logiqx ? "</datafile>\n" : "");
}

const std::string old_database = fixtures::database_line("OLD GAME", "Old Game");
const std::string new_record = fixtures::database_line("NEW GAME", "New Game");

// db/snes.dat (db) holding one old record, and img/ holding one image of NEW GAME.
struct LearnWorld : test::TempFolder {
    std::string db = *this / "db/snes.dat";
    explicit LearnWorld(const std::string& image_name = "New Game (USA).smc")
    {
        fs::create_directories(*this / "db");
        fs::create_directories(*this / "img");
        fixtures::write_file(db, old_database);
        fixtures::write_rom(*this / ("img/" + image_name), {.name = "NEW GAME"});
    }
};

} // namespace

TEST(LearnedName, Rules)
{
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"Comet Curling (USA) (Rev 1) [!].smc", " (USA)", "Comet Curling"},
        {"Comet Curling (USA).smc", " (USA)", "Comet Curling"}, {"Comet_Curling_(USA).smc", " (USA)", "Comet Curling"},
        {"Comet_Curling (USA).smc", " (USA)", "Comet_Curling"},
        {"Comet Curling (Japan)  [b1].fig", " (Euro)", "Comet Curling"}, {"Super V.G..fig", "", "Super V.G."},
        {"Foo (Hack).smc", "", "Foo (Hack)"}, {"No Extension", " (JAP)", "No Extension"}};
    for (const auto& [file_name, suffix, full_name] : cases)
        EXPECT_EQ(full_name_from_file_name(file_name, suffix), full_name) << file_name;
}

TEST(LearnedName, ProgramGivenNamesGiveBackTheirFullName)
{
    const std::string pieces[] = {
        "Mole", "Patrol", "(Rev 1)", "[!]", "Dr.", "A_B", "Caf\xE9", "(USA)", "", "V.G.", "[T+Eng]", "x(y)", "2"};
    for (const std::string& a : pieces)
        for (const std::string& b : pieces)
            for (const std::string& full : {a + " " + b, a + "  " + b, a + b})
                for (int country = 0; country <= 14 && !full.empty(); ++country)
                    for (const std::string extension : {".smc", ".swc", ".fig"}) {
                        const std::string suffix = country_suffix(static_cast<std::uint8_t>(country));
                        std::string normal = normal_name(full, suffix, extension);
                        // An underscore reads back as itself only beside a space.
                        const bool underscore = full.find('_') != std::string::npos;
                        if (!underscore || (full + suffix).find(' ') != std::string::npos) {
                            EXPECT_EQ(full_name_from_file_name(normal, suffix), full) << normal;
                        }
                        if (!underscore) {
                            EXPECT_EQ(full_name_from_file_name(Baue_dateiname(normal), suffix), full) << normal;
                        }
                    }
}

// Each planted fault is found at its line; clean records, and the bundled database, give no findings.
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
        {record("NUL", std::string("Nul\0Game", 8)), {{"unusable_name", "error"}}},
        {record("BELL", "Bell\x07Game"), {{"windows_name", "warning"}}},
        {record("LONG", std::string(231, 'L')), {{"unusable_name", "error"}}},
        {record("LONGEST", std::string(230, 'L')), {}}, // 255 bytes with the longest suffix
        {record("COLON", "Game: Round 2"), {{"windows_name", "warning"}}},
        {record("STAR", "Star*Game"), {{"windows_name", "warning"}}},
        {record("UTF8", "Pok\xC3\xA9mon"), {{"encoding", "warning"}}},
        {record("X-MEN", "X-Men"), {{"shadowed", "warning"}}},
        {record("ALADDIN JR", "Aladdin Jr."), {{"shadowed", "warning"}}},
        {record("MARKUP", "Big <b>Game"), {{"windows_name", "warning"}, {"markup", "warning"}}},
        {record("ONE", "One (Rev 1) [!]") + record("TWO", "Caf\xE9 Two"), {}},
        {"\"CUT                  \"\r\n", {{"cut_short", "error"}}},
    };
    std::string text;
    std::vector<std::tuple<std::size_t, std::string, std::string>> expected, found;
    std::size_t line = 1;
    for (const auto& row : rows) {
        for (const auto& [child, severity] : row.findings)
            expected.emplace_back(line, child, severity);
        text += row.text;
        line += static_cast<std::size_t>(std::count(row.text.begin(), row.text.end(), '\n'));
    }
    const DatabaseCheck check = check_database(text);
    for (const DatabaseFinding& finding : check.findings)
        found.emplace_back(
            finding.line, kind_name(finding.kind), finding.severity == FindingSeverity::error ? "error" : "warning");
    EXPECT_EQ(found, expected);
    EXPECT_NE(check.findings[1].message.find("line 1 "), std::string::npos) << check.findings[1].message;
    EXPECT_TRUE(check.ends_in_cut_record);

    // Through the command: the plain lines, the summary and the status.
    test::TempFolder t;
    fixtures::write_file(t / "faulty.dat", text);
    const CliRun run = Cli({"db", "check", "--db", t / "faulty.dat"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\n5: error: duplicate_key: the record on line 1 "), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.ends_with("\n18 records, 7 errors, 8 warnings\n")) << run.out;
    const std::vector<json> lines = Cli({"db", "check", "--json", "--db", t / "faulty.dat"}).lines;
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[0],
        (json{{"line", 2}, {"severity", "error"}, {"kind", "key_length"},
            {"message", "the first item has 5 characters, not 21: it can never match"}, {"key", "SHORT"}}));
    const CliRun bundled = Cli({"db", "check", "--db", CARTONYM_BUNDLED_DATABASE});
    EXPECT_TRUE(bundled.status == 0 && bundled.out.find(": error: ") == std::string::npos
        && bundled.out.find(": warning: ") == std::string::npos)
        << bundled.status << bundled.out;
    EXPECT_EQ(Cli({"db", "check", "--db", t / "missing.dat"}).status, 2);
}

TEST(ContentDigest, KnownAnswersInPieces)
{
    const auto* text = reinterpret_cast<const unsigned char*>("123456789");
    ContentHasher hasher({true, true, true});
    hasher.update(text, 4);
    hasher.update(text + 4, 5);
    const ContentDigest digest = hasher.finish();
    // The XXH3-128 as xxhsum -H2 prints it.
    EXPECT_EQ(std::tuple(digest.size, digest.crc32, hex_text(digest.sha1), hex_text(digest.xxh128)),
        std::tuple(9u, 0xCBF43926u, "f7c3bc1d808e04732adf679965ccc34ca7ae3441", "33119477ede5dcd5e9716427681d5860"));
}
struct CatalogueKind {
    const char* what;
    std::string text; // the SHA-1 aa...aa is every byte 0xAA
};
class RomCatalogueKind : public ::testing::TestWithParam<CatalogueKind> { };

TEST_P(RomCatalogueKind, FindsBySha1ThenByCrcAndSize)
{
    const RomCatalogue catalogue = RomCatalogue::parse(GetParam().text, "t.dat");
    ASSERT_EQ(catalogue.entries().size(), 2u);
    ContentDigest digest{.size = 20, .crc32 = 0xBEEF};
    digest.sha1.fill(0xAA);
    EXPECT_EQ(catalogue.find(digest)->game_name, "By SHA-1 & more");
    digest.sha1.fill(0xBB);
    EXPECT_EQ(catalogue.find(digest)->game_name, "By CRC");
    digest.crc32 = 0x0A; // an entry with a SHA-1 is never found by CRC32
    digest.size = 10;
    EXPECT_EQ(catalogue.find(digest), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Each, RomCatalogueKind,
    ::testing::Values(
        CatalogueKind{"logiqx",
            "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile>\n<datafile><header/><game name=\"By SHA-1 &amp; "
            "more\"><rom name=\"a\" size=\"10\" crc=\"0000000a\" "
            "sha1=\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\"/></game>"
            "<game name=\"Missing\"><rom name=\"m\" size=\"10\" status=\"nodump\"/></game>"
            "<machine name=\"By CRC\"><rom name=\"b\" size=\"20\" crc=\"BEEF\"/></machine></datafile>"},
        CatalogueKind{"clrmamepro",
            "clrmamepro ( name \"x\" version 1 )\n"
            "game ( name \"By SHA-1 & more\" rom ( name a size 10 crc 0000000a sha1 "
            "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa ) )\n"
            "game ( name Missing rom ( name \"m\" size 10 flags nodump ) )\nresource ( name bios )\n"
            "machine ( name \"By CRC\" rom ( name \"b\" size 20 crc beef ) )\n"}),
    test::CaseName());

// Records learned from the program's own names, or imported from either kind of catalogue, name scrambled copies alike.
TEST(DatabaseTools, LearnedAndCatalogueRecordsNameScrambledCopiesAsBefore)
{
    const std::vector<NamedImage> images = Collection();
    Records expected;
    std::set<std::string> expected_names;
    for (const NamedImage& image : images) {
        expected.emplace(fixtures::Interner_name(image.plan.name), image.full_name);
        expected_names.insert(image.file_name);
    }
    for (const std::string source : {"learn", "Logiqx", "clrmamepro"}) {
        SCOPED_TRACE(source);
        test::TempFolder t;
        const std::string db = t / "snes.dat";
        fixtures::write_file(db, "");
        for (const NamedImage& image : images) {
            const std::string folder = t / (image.no_spaces ? "named/nospace" : "named/normal");
            fs::create_directories(folder);
            fixtures::write_rom(folder + "/" + image.file_name, image.plan);
        }
        if (source == "learn") {
            const CliRun learn = Cli({"db", "learn", "--db", db, "--write", "-r", t / "named"});
            ASSERT_EQ(learn.status, 0) << learn.err;
            EXPECT_EQ(learn.out, fixtures::read_file(db)); // the proposals, exactly as written
            EXPECT_EQ(check_database(fixtures::read_file(db)).findings.size(), 0u);
            // Learned again: everything is known, nothing is proposed or written.
            const CliRun again = Cli({"db", "learn", "--db", db, "--json", "--write", "-r", t / "named"});
            EXPECT_EQ(again.status, 0);
            for (const json& line : again.lines)
                EXPECT_EQ(line["status"], "known") << line;
        } else {
            fixtures::write_file(t / "catalogue.dat", catalogue_for(images, source == "Logiqx"));
            fixtures::write_rom(t / "named/unlisted.bin", {.name = "UNLISTED"});
            fixtures::write_file(t / "named/notes.txt", "no image");
            const CliRun import =
                Cli({"db", "import-dat", "--db", db, "--write", "--json", "-r", t / "catalogue.dat", t / "named"});
            ASSERT_EQ(import.status, 0) << import.err;
            std::map<std::string, int> statuses;
            for (const json& line : import.lines)
                ++statuses[line["status"]];
            EXPECT_EQ(statuses, (std::map<std::string, int>{{"new", 18}, {"no_match", 1}, {"not_image", 1}}));
        }
        EXPECT_EQ(records_of(fixtures::read_file(db)), expected);
        EXPECT_EQ(batch_names(t, images, db), expected_names);
    }
}

// A database beyond 6 MiB that the lookup reads is checked, imported and learned into as a small one is.
TEST(DatabaseTools, ALargeDatabaseIsCheckedAndGrownLikeASmallOne)
{
    const LearnWorld t;
    std::string text = old_database;
    for (int i = 0; i < 100000; ++i)
        text += fixtures::database_line(
            "KEY " + std::to_string(i), "Game number " + std::to_string(i) + " of a long generated collection");
    text += fixtures::database_line("OLD GAME", "Again");
    fixtures::write_file(t.db, text);
    ASSERT_GT(text.size(), std::size_t{6} << 20);
    const CliRun check = Cli({"db", "check", "--db", t.db});
    EXPECT_EQ(std::tie(check.status, check.out),
        std::tuple(1,
            "100002: error: duplicate_key: the record on line 1 has the same first item: this record is never "
            "used\n100002 records, 1 errors, 0 warnings\n"s));
    const std::string image = fixtures::build_rom({.name = "NEW GAME"});
    ContentHasher hasher;
    hasher.update(reinterpret_cast<const unsigned char*>(image.data()), image.size());
    fixtures::write_file(t / "c.dat",
        "clrmamepro ( name \"C\" )\ngame ( name \"New Game (USA)\" rom ( name \"n.sfc\" size "
            + std::to_string(image.size()) + " sha1 " + hex_text(hasher.finish().sha1) + " ) )\n");
    const CliRun import = Cli({"db", "import-dat", "--db", t.db, "--json", t / "c.dat", t / "img"});
    ASSERT_EQ(import.lines.size(), 1u) << import.err;
    EXPECT_EQ(std::tie(import.status, import.lines[0]["status"]), std::tuple(0, json("new")));
    const CliRun learn = Cli({"db", "learn", "--db", t.db, "--write", t / "img"});
    EXPECT_EQ(learn.status, 0) << learn.err;
    EXPECT_TRUE(fixtures::read_file(t.db) == text + new_record);
}

struct BadInput {
    const char* what;
    std::optional<std::string> catalogue; // import-dat with this catalogue, else learn
    std::string message;                  // in stderr; CAT and DB stand for the test's paths
    std::string image_name = "a.smc";
    FaultHook hook = {};
};
class DatabaseToolsBadInput : public ::testing::TestWithParam<BadInput> { };

TEST_P(DatabaseToolsBadInput, ChangesNothingAndSaysWhy)
{
    const BadInput& c = GetParam();
    const LearnWorld t(c.image_name);
    const std::string &db = t.db, catalogue = t / "cat.dat";
    if (c.catalogue)
        fixtures::write_file(catalogue, *c.catalogue);
    const test::Tree before = test::tree_of(t / "db");

    const test::ScopedFaultHook hook(c.hook);
    const CliRun run = c.catalogue ? Cli({"db", "import-dat", "--write", "--db", db, catalogue, t / "img"})
                                   : Cli({"db", "learn", "--write", "--db", db, t / "img"});
    std::string message = c.message;
    for (const auto& [name, path] : {std::pair("CAT", catalogue), std::pair("DB", db)})
        message = message.starts_with(name) ? path + message.substr(std::strlen(name)) : message;
    EXPECT_EQ(run.status, c.catalogue ? 2 : 1);
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    test::Tree after = test::tree_of(t / "db");
    after.erase("snes.dat.lock"); // the writers' lock file stays
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(Each, DatabaseToolsBadInput,
    ::testing::Values(BadInput{"catalogue not XML", "just some words\n",
                          "CAT: line 1: neither a Logiqx XML catalogue nor a clrmamepro catalogue"},
        BadInput{"catalogue empty", "", "CAT: line 1: the file is empty"},
        BadInput{"XML truncated", "<datafile>\n<game name=\"G\">\n<rom name=\"g\" size=\"1\" crc=\"00000001\"/>\n",
            "CAT: line 3 (byte 66): the file ends inside the XML (it is truncated)"},
        BadInput{"clrmamepro truncated", "clrmamepro ( name x )\ngame (\n name \"G\"\n rom ( name g size 1 crc 1 )\n",
            "CAT: line 5: the file ends inside the block opened on line 2"},
        BadInput{"a character Windows-1252 lacks", {},
            "unusable_name: the file name has characters that Windows-1252 lacks", "Snow \xE2\x98\x83 Day (USA).smc"},
        BadInput{"a name the check rejects", {}, "unusable_name: unusable_name: the new name with the country suffix",
            std::string(240, 'N') + ".smc"},
        BadInput{"database cannot be written", {}, "DB was not changed: Error Nr.  70 happened:\nPermission denied",
            "Fine (USA).smc",
            [](SystemOperation operation, const std::string& path) {
                return operation == SystemOperation::open && path.find(".new-") != std::string::npos ? EROFS : 0;
            }}),
    test::CaseName());

TEST(DatabaseTools, AFailureAtAnyStepOfWritingKeepsTheOldDatabase)
{
    const std::string new_database = old_database + new_record;
    for (const int errnum : {ENOSPC, EIO}) {
        for (int n = 0;; ++n) { // until no step is left to fail
            SCOPED_TRACE("failing step " + std::to_string(n) + ", errno " + std::to_string(errnum));
            const LearnWorld t;
            const std::string folder = t / "db";
            fixtures::write_file(folder + "/snes.dat.bak", "an older backup");

            int step = 0;
            std::optional<std::string> failed; // the path of the failed step
            bool harmless = false;             // a step whose failure the write may pass over
            const test::ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
                if (!path.starts_with(folder) || step++ != n)
                    return 0;
                failed = path;
                // Closing what was only read, flushed or locked, and tidying
                // the leftovers of killed writes, harm nothing when they fail.
                harmless = (operation == SystemOperation::close
                               && (path == folder + "/snes.dat" || path == folder || path == folder + "/snes.dat.lock"))
                    || (operation == SystemOperation::list && path == folder);
                return errnum;
            });
            const CliRun run = Cli({"db", "learn", "--write", "--db", folder + "/snes.dat", t / "img"});

            test::Tree after = test::tree_of(folder);
            after.erase("snes.dat.lock"); // the writers' lock file stays
            EXPECT_EQ(after.size(), 2u) << "a temporary file was left";
            if (!failed) {
                EXPECT_EQ(run.status, 0);
                EXPECT_EQ(after.at("snes.dat"), new_database);
                EXPECT_EQ(after.at("snes.dat.bak"), old_database);
                break;
            }
            if (harmless) {
                EXPECT_EQ(run.status, 0);
                EXPECT_EQ(after.at("snes.dat"), new_database);
            } else if (*failed == folder) {
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

// A file that ends inside a quoted item: db check warns, and a write closes
// the item first, so the old record keeps the name the reader gives it and
// the new record reads back whole.
TEST(DatabaseTools, AnAppendIsNeverSwallowedByAnUnclosedQuote)
{
    const LearnWorld t;
    const std::string& db = t.db;
    const std::string open_end = old_database + "\"LAST GAME            \",\"Last Game\r\n";
    fixtures::write_file(db, open_end);

    const CliRun check = Cli({"db", "check", "--db", db});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("2: warning: unclosed_quote: "), std::string::npos) << check.out;

    const CliRun run = Cli({"db", "learn", "--write", "--db", db, t / "img"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string written = test::tree_of(t / "db").at("snes.dat");
    EXPECT_EQ(written, open_end + "\"\r\n" + new_record);
    const Records records = records_of(written);
    EXPECT_TRUE(records.contains({"LAST GAME            ", "Last Game\r\n"})) << "the value the reader gave before";
    EXPECT_TRUE(records.contains({"NEW GAME             ", "New Game"}));
    EXPECT_EQ(Cli({"db", "check", "--db", db}).out.find("unclosed_quote"), std::string::npos);
}

// A writer that read the database before another one finished writes under
// the lock; the second waits for it (seen asleep on the lock), reads the
// database again and appends its own record to both.
TEST(DatabaseTools, OneWriterAtATimeAndNoRecordLost)
{
    const LearnWorld t;
    const std::string& db = t.db;
    std::optional<DatabaseWriteLock> first(std::in_place, db);
    const std::string text_read_first = read_database(db);

    CliRun second;
    std::atomic<long> second_thread{0};
    std::thread writer([&] {
        second_thread = ::syscall(SYS_gettid);
        second = Cli({"db", "learn", "--write", "--db", db, t / "img"});
    });
    while (second_thread == 0)
        std::this_thread::yield();
    const bool waited = test::blocked_on_lock("/proc/self/task/" + std::to_string(second_thread));
    replace_file_keeping_backup(db, text_read_first + fixtures::database_line("HAND GAME", "Hand Game"));
    first.reset();
    writer.join();
    EXPECT_TRUE(waited) << "the second writer was never seen waiting for the lock";
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(test::tree_of(t / "db").at("snes.dat"),
        old_database + fixtures::database_line("HAND GAME", "Hand Game") + new_record);
    EXPECT_FALSE(DatabaseWriteLock::try_take(db) == std::nullopt) << "the lock is free again";
}

// Through a link the file it leads to is replaced, its backup lies beside
// it, and the message names both; working files of killed writes go.
TEST(DatabaseTools, AWriteThroughALinkReplacesItsTargetAndTidiesLeftovers)
{
    const LearnWorld t;
    fs::create_directories(t / "real");
    fs::rename(t / "db/snes.dat", t / "real/snes.dat");
    fs::create_symlink(t / "real/snes.dat", t / "db/snes.dat");
    fixtures::write_file(t / "real/.snes.dat.new-AbC123", "killed write");
    fixtures::write_file(t / "real/.other.new-AbC123", "not ours");

    const CliRun run = Cli({"db", "learn", "--write", "--db", t / "db/snes.dat", t / "img"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string real = fs::canonical(t / "real").string();
    EXPECT_NE(run.err.find("appended to " + real + "/snes.dat (the previous file is " + real + "/snes.dat.bak)"),
        std::string::npos)
        << run.err;
    EXPECT_TRUE(fs::is_symlink(t / "db/snes.dat"));
    EXPECT_EQ(test::tree_of(t / "real"),
        (test::Tree{{".other.new-AbC123", "not ours"}, {"snes.dat.lock", ""}, {"snes.dat", old_database + new_record},
            {"snes.dat.bak", old_database}}));
}

// Files no tool can hold or read are refused with a message that names
// them, in little memory: a folder or FIFO as the database, a database or a
// catalogue of 256 MiB or 1 TiB (sparse), a catalogue nested 200,000 deep.
TEST(DatabaseTools, HostileFilesAreRefusedByNameWithoutExhaustingTheProgram)
{
    const LearnWorld t;
    const std::string fifo = t / "fifo.dat", nested = t / "nested.dat";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string deep = "game (\nname \"Deep\"\n";
    for (int i = 0; i < 200000; ++i)
        deep += "x (";
    fixtures::write_file(nested, deep);
    for (const auto& [name, size] :
        {std::pair("big.dat", std::uintmax_t{256} << 20), {"huge.dat", std::uintmax_t{1} << 40}}) {
        fixtures::write_file(t / name, "");
        fs::resize_file(t / name, size);
    }
    const std::pair<std::string, std::string> databases[] = {
        {t / "db", "Error Nr.  75 happened:\n"s + error_description(ErrorNumber::path_file_access_error)},
        {fifo, "Error Nr.  75 happened:\n"s + error_description(ErrorNumber::path_file_access_error)},
        {t / "huge.dat", "the database is larger than 4 GiB, more than the program holds"}};
    for (const auto& [db, why] : databases) {
        for (const CliRun& run : {Cli({"db", "check", "--db", db}), Cli({"db", "learn", "--db", db, t / "img"})}) {
            EXPECT_EQ(run.status, 2) << db;
            EXPECT_EQ(run.err, "cartonym-cli: " + db + ": cannot be read: " + why + "\n");
        }
    }
    // 256 MiB of NULs, which the lookup reads as one item cut short, is checked as such.
    const CliRun big = Cli({"db", "check", "--db", t / "big.dat"});
    EXPECT_EQ(std::tie(big.status, big.err), std::tuple(1, ""));
    EXPECT_EQ(big.out,
        "1: error: cut_short: the record ends before its second item: a search that reaches it fails with "
        "error 62\n1 records, 1 errors, 0 warnings\n");
    for (const auto& [catalogue, why] : {std::pair(t / "huge.dat", "cannot be read: Error Nr.  61"),
             {nested, "line 3: blocks nested more than 16 deep"}}) {
        const CliRun run = Cli({"db", "import-dat", "--db", t.db, catalogue, t / "img"});
        EXPECT_EQ(run.status, 2) << catalogue;
        EXPECT_NE(run.err.find(catalogue + ": " + why), std::string::npos) << run.err;
    }
}

// A malformed game is reported with its line and skipped; the others count.
TEST(RomCatalogue, MalformedGamesAreReportedWithTheirLineAndSkipped)
{
    const std::string rom = " rom ( name g size 1 crc 00000001 )\n";
    const std::string clrmamepro = "game ( name \"Say \"Hi\" Now\"\n" + rom + ")\n" // a quote inside a quoted text
        + "game ( name \"Unclosed\n" + rom + ")\n"                                  // no closing quote
        + "game ( description \"No name\"\n" + rom + ")\n"                          // no name
        + "game ( name \"Bad\"\n rom ( name g size 1 sha1 xyz )\n" + rom + ")\n"    // a bad sum
        + "game ( name \"Good\"\n" + rom + ")\n";
    const RomCatalogue catalogue = RomCatalogue::parse(clrmamepro, "c.dat");
    ASSERT_EQ(catalogue.entries().size(), 1u);
    EXPECT_EQ(catalogue.entries()[0].game_name, "Good");
    EXPECT_EQ(catalogue.faults(),
        (std::vector<std::string>{"c.dat: line 1: a quote inside a quoted text; the game is skipped",
            "c.dat: line 4: a quoted text without its closing quote; the game is skipped",
            "c.dat: line 7: a game block without a name; the game is skipped",
            "c.dat: line 11: the sha1 \"xyz\" is not 40 hexadecimal digits; the game is skipped"}));

    const RomCatalogue xml =
        RomCatalogue::parse("<datafile>\n<game>\n<rom name=\"g\" size=\"1\" crc=\"1\"/>\n</game>\n"
                            "<game name=\"Good\"><rom name=\"g\" size=\"1\" crc=\"1\"/></game>\n</datafile>\n",
            "c.xml");
    ASSERT_EQ(xml.entries().size(), 1u);
    EXPECT_EQ(xml.faults(),
        std::vector<std::string>{"c.xml: line 2 (byte 12): a <game> without a name; the game is skipped"});

    const LearnWorld t("a.smc");
    fixtures::write_file(t / "c.dat", clrmamepro);
    const CliRun run = Cli({"db", "import-dat", "--db", t.db, t / "c.dat", t / "img"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("cartonym-cli: " + t / "c.dat" + ": line 4: a quoted text without its closing quote"),
        std::string::npos)
        << run.err;
}
