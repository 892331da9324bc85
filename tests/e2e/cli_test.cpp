// SPDX-License-Identifier: GPL-3.0-or-later
// cartonym-cli info: in process through run_cli, and once through the
// real executable.

#include "common/program_info.h"
#include "naming/database_location.h"
#include "tests/cli_run.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <csignal>
#include <sstream>
#include <tuple>

using namespace cartonym;
using fixtures::database_line;
using nlohmann::json;

namespace {

using test::Cli;
using test::CliRun;
using test::json_lines;

const std::string missing_text = std::string("The file SNES.DAT is missing ! Download the complete version of the "
                                             "Cartonym from ")
    + program_info::homepage_address + " !\n\nProgram will close now.\n";

// A temporary folder with a database and images in it.
struct TestEnvironment {
    test::TempFolder folder;
    std::string db = folder / "snes.dat";

    explicit TestEnvironment(const std::string& database = "") { fixtures::write_file(db, database); }
    std::string Image(const std::string& file, const fixtures::RomPlan& plan)
    {
        fixtures::write_rom(folder / file, plan);
        return folder / file;
    }
};

} // namespace

TEST(CliInfo, EveryFieldOfAKnownImage)
{
    TestEnvironment u(database_line("OTHER", "Other") + database_line("WILD CARD HI", "Wild Card"));
    const std::string file = u.Image("w.bin",
        {.header = fixtures::CopierHeader::SWC,
            .map = fixtures::MemoryMap::HiRom,
            .name = "WILD CARD HI",
            .rom_type = 19,
            .rom_size = 0,
            .country = 14,
            .licensee = 0,
            .checksum = 0x0A38});
    const CliRun run = Cli({"info", "--db", u.db, file});
    EXPECT_EQ(run.status + run.err.size(), 0u);
    EXPECT_EQ(run.lines,
        (std::vector{json{{"file", file}, {"rom_ok", true}, {"format_code", "SWC HI"},
            {"file_type", "SNES HiRom, Super Wildcard Header (SWC)"}, {"extension", ".swc"},
            {"internal_name", "WILD CARD HI         "}, {"rom_type", "19 - ROM and Super FX chip"},
            {"rom_size", " 1.1 MegaBits"}, // 131,584 bytes
            {"country", "Hex E   = ?"}, {"country_suffix", ""}, {"licensee", " 0 - ?"}, {"checksum_key", "38A"},
            {"checksum", "38 A"}, {"full_name", "Wild Card"}, {"new_name", "Wild Card.swc"}}}));
}

TEST(CliInfo, LinesInOrderForNoImageCorrectedUnknownAndFailedFiles)
{
    TestEnvironment u(database_line("X-MEN", "Not This One") + database_line("GAME", "Game"));
    std::string none_ = fixtures::build_rom({});
    fixtures::set_bytes(none_, 0x7FDC, std::string(4, '\0')); // no site passes
    fixtures::write_file(u.folder / "none.bin", none_);
    const std::vector<std::string> files = {u.folder / "none.bin",
        u.Image("xmen738.bin", {.name = "X-MEN", .checksum = 0x0873}),
        u.Image("xmen.bin", {.name = "X-MEN", .checksum = 0x0808}), u.Image("unknown.bin", {.name = "NOBODY"}),
        u.folder / "missing.bin", u.folder.path().string(), u.Image("good.bin", {.name = "GAME"})};
    std::vector<std::string> args = {"info", "--db", u.db};
    args.insert(args.end(), files.begin(), files.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 7u);
    EXPECT_EQ(run.lines[0], (json{{"file", files[0]}, {"rom_ok", false}}));
    EXPECT_EQ(run.lines[1]["checksum_key"], "738");
    EXPECT_EQ(run.lines[1]["new_name"], "X-Men Mutant Apocalypse (USA).smc");
    // A checksum key without a correction is unknown although the database has the name.
    for (const std::size_t i : {2u, 3u})
        EXPECT_EQ(json::array({run.lines[i]["rom_ok"], run.lines[i]["full_name"], run.lines[i]["new_name"]}),
            json::array({true, "", ""}));
    EXPECT_EQ(run.lines[4], (json{{"file", files[4]}, {"error", {{"number", 53}, {"description", "File not found"}}}}));
    EXPECT_EQ(run.lines[5]["error"]["number"], 75);
    EXPECT_EQ(run.lines[6]["new_name"], "Game (USA).smc");
}

TEST(CliInfo, InternalNameKeepsNulAndTextsBecomeUtf8InBothStyles)
{
    const std::string name("Caf\xE9\0\x80", 6);
    TestEnvironment u(database_line(name,
        "Caf\xE9 Stra\xDF"
        "e  Zwei"));
    const std::string file = u.Image("a.bin", {.name = name});
    for (const bool without : {false, true}) {
        const CliRun run =
            without ? Cli({"info", "--no-spaces", "--db", u.db, file}) : Cli({"info", "--db", u.db, file});
        ASSERT_EQ(run.lines.size(), 1u);
        EXPECT_NE(run.out.find("\\u0000"), std::string::npos);
        EXPECT_EQ(run.lines[0]["internal_name"], std::string("Caf\xC3\xA9\0\xE2\x82\xAC", 9) + std::string(15, ' '));
        EXPECT_EQ(run.lines[0]["new_name"],
            without ? "Caf\xC3\xA9_Stra\xC3\x9F"
                      "e__Zwei_(USA).smc"
                    : "Caf\xC3\xA9 Stra\xC3\x9F"
                      "e  Zwei (USA).smc");
    }
}

TEST(CliInfo, DatabaseRules)
{
    TestEnvironment u;
    const std::string good = u.Image("good.bin", {.name = "GAME"});
    const std::string aladdin = u.Image("aladdin.bin", {.name = "ALADDIN"});

    const CliRun missing = Cli({"info", "--db", u.folder / "missing.dat", good});
    EXPECT_EQ(std::tie(missing.status, missing.out, missing.err),
        std::tuple(2, "", missing_text + "The program looked for it at: " + (u.folder / "missing.dat") + "\n"));

    // Any other failure is reported and the command goes on; corrections need
    // no database, searches fail.
    const CliRun folder = Cli({"info", "--db", u.folder.path().string(), good, aladdin});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "Error Nr.  75 happened:\nPath/File access error\n");
    ASSERT_EQ(folder.lines.size(), 2u);
    EXPECT_EQ(folder.lines[0]["error"],
        (json{{"number", 75}, {"description", "Path/File access error"}, {"file", u.folder.path().string()}}));
    EXPECT_EQ(folder.lines[1]["new_name"], "Aladdin (USA).smc");

    const CliRun empty = Cli({"info", "--db", u.db, good});
    EXPECT_EQ(std::tie(empty.status, empty.err), std::tuple(1, ""));
    EXPECT_EQ(empty.lines,
        (std::vector{json{
            {"file", good}, {"error", {{"number", 62}, {"description", "Input past end of file"}, {"file", u.db}}}}}));
}

TEST(CliInfo, UsageErrorsHelpAndVersion)
{
    for (const std::vector<std::string>& args :
        std::vector<std::vector<std::string>>{{}, {"info"}, {"info", "--db"}, {"frobnicate", "x"},
            {"info", "--bogus", "x"}, {"--no-spaces"}, {"batch"}, {"batch", "--unknown-option", "x"}})
        EXPECT_EQ(Cli(args).status, 2) << ::testing::PrintToString(args);
    const std::string version = Cli({"--version"}).out;
    EXPECT_NE(version.find(program_info::version_text), std::string::npos);
    EXPECT_NE(version.find("name database: " + chosen_database_path()), std::string::npos);
    EXPECT_EQ(Cli({"--help"}).status, 0);
    EXPECT_EQ(Cli({"info", "--help"}).status, 0);
}

#ifndef _WIN32 // (POSIX signal handlers)
// A batch catches Ctrl-C only while it runs: a signal after it reaches the
// handler that was there before, and the next batch in the process completes.
TEST(CliInfo, SignalsAfterABatchReachTheEarlierHandlerAndTheNextBatchCompletes)
{
    static volatile std::sig_atomic_t seen = 0;
    struct sigaction mine {
    }, earlier{};
    mine.sa_handler = [](int signal_number) { seen = signal_number; };
    sigaction(SIGINT, &mine, &earlier);
    const test::RunFolder w(test::games::database, {{"a.smc", test::games::Alpha}});
    const auto batch = [&] { return Cli({"batch", "--db", w.db, w.F}).status; };
    EXPECT_EQ(batch(), 0);
    std::raise(SIGINT);
    EXPECT_EQ(seen, SIGINT);
    w.image("b.smc", test::games::Gamma);
    EXPECT_EQ(batch(), 0);
    sigaction(SIGINT, &earlier, nullptr);
}
#endif

// On a terminal the progress line counts the files done, says the time left
// and names the file in hand, cut to 79 columns and each erasing the last.
TEST(CliBatch, ProgressLineOnATerminalCountsTheFilesAndNamesTheFileInHand)
{
    const std::string long_name = std::string(60, 'b') + "\xC3\xA9" + std::string(60, 'c') + ".smc";
    const test::JournalledRunFolder w(
        test::games::database, {{"a.smc", test::games::Alpha}, {long_name, test::games::Gamma}});
    std::ostringstream out, err;
    ASSERT_EQ(run_cli({"cartonym-cli", "batch", "--db", w.db, w.F}, out, err, true), 0);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = err.str().find("\x1b[K", at)) != std::string::npos; at = end + 3)
        lines.push_back(err.str().substr(at + 1, end - at - 1)); // after the line's \r
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Batchmode: 50 % (0 of 2 files done) a.smc");
    EXPECT_TRUE(lines[2].starts_with("Batchmode: 100 % (1 of 2 files done, about ")) << lines[2];
    EXPECT_TRUE(lines[2].find(" s left) bbbb") != std::string::npos && lines[2].find("b...c") != std::string::npos
        && lines[2].ends_with("cccc.smc"))
        << lines[2];
    EXPECT_EQ(
        std::ranges::count_if(lines[2], [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }), 79);
    EXPECT_TRUE(err.str().ends_with("\n"));
}

// The database beside the executable is the bundled one; its first record is STARLIGHT RACER.
TEST(CliProgram, InfoWithTheDatabaseBesideTheProgramStreamsAndExitStatuses)
{
    const std::string program = CARTONYM_CLI_PATH;
    TestEnvironment u;
    const std::string file =
        u.Image("a.bin", {.header = fixtures::CopierHeader::FIG, .name = "STARLIGHT RACER", .country = 2});
    const test::ProgramRun run =
        test::run_program(program, {"info", "--no-spaces", file, u.folder / "f.bin"}, u.folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.back(), '\n');
    const std::vector<json> lines = json_lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["new_name"], "Starlight_Racer_(Euro).fig");
    EXPECT_EQ(lines[1]["error"]["number"], 53);

    // The texts of a missing database, usage errors and --version are the in-process tests'; here the status.
    EXPECT_EQ(test::run_program(program, {"info", "--db", u.folder / "f.dat", file}, u.folder).status, 2);
}
