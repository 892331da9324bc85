// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile folders. Each case checks what stays behind: nothing hangs, nothing is lost, nothing leaves
// its folder, every failure is named. A test that hangs is ended by alarm().
#include "common/file_operations.h"
#include "operations/file_mode.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ranges>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace cartonym {
namespace {

using namespace fixtures;
using namespace test;
namespace fs = std::filesystem;
using namespace std::string_literals;
using Counts = std::vector<int>; // total, renamed, already correct, unknown, duplicates

using namespace test::games;
const RomPlan Long{.name = "LONG NAME GAME"};
const std::string R = "Renamed_SNES_ROMs", U = "Unknown_ROMs", D = "Duplicates";
const std::string alpha_new = "Alpha Quest (USA).smc", gamma_new = "Gamma (USA).smc";
const std::string base_database = test::games::database;
const GameListRow row_alpha{"Alpha Quest", alpha_new, "1 = USA (NTSC)", "SNES LoRom, no Header"};
const std::string page_alpha = game_list_head_text() + game_list_row_text(row_alpha) + game_list_end_text();
const std::string log_zeta = unknown_log_entry(
    "zeta.smc", "SNES HiRom, no Header", fixtures::Interner_name("NOBODY KNOWS ME"), "1 = USA (NTSC)", "EF BE");

// The tree a run left behind when it stopped after renaming alpha.smc: the output folders and rest.
Tree after_stop(Tree remainder)
{
    remainder.insert({{D, "<folder>"}, {U, "<folder>"}, {R, "<folder>"}, {R + "/" + alpha_new, build_rom(Alpha)}});
    return remainder;
}

// A hang fails the test: the process ends (SIGALRM) two minutes after each test starts.
struct HangGuard : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ::alarm(120); }
    void OnTestEnd(const ::testing::TestInfo&) override { ::alarm(0); }
};
const bool guarded = (::testing::UnitTest::GetInstance()->listeners().Append(new HangGuard), true);

const auto counts = run_counts;

// A test's world; anything leaving F shows in the test folder around it.
struct TestEnvironment : RunFolder {
    using RunFolder::RunFolder;
    void link(const std::string& target, const std::string& name) const { fs::create_symlink(target, in_folder(name)); }
    Tree tree() const { return entries_of(F); }
    Tree outside() const // the test folder outside F, a list waiting in the temporary folder left out
    {
        Tree tree = entries_of(t.path());
        std::erase_if(tree, [](const auto& e) { return e.first.starts_with("roms") || e.first == "temp/games.htm"; });
        return tree;
    }

    BatchResult run(bool game_list = false) const { return Batchrun({F, db, false, game_list}); }
};

// The run completed (error 0) or stopped with that failure at path.
void expect_end(const BatchResult& e, int error, const std::string& path)
{
    EXPECT_EQ(e.error ? e.error->value() : 0, error) << e.message.text;
    EXPECT_TRUE(!error || e.message.text == error_text(error, path)) << e.message.text;
}

TEST(HostileEntries, FifosSocketsFoldersDeadAndLoopingLinksAreLeftAloneBySelectionAndBatchAndNothingHangs)
{
    // name, what it is ("link ..." with its target), the failure selecting it gives
    const std::vector<std::tuple<std::string, std::string, int>> entries = {{"fifo.smc", "fifo", 75},
        {"held open.smc", "fifo", 75}, {"sock.smc", "socket", 75}, {"sub.smc", "folder", 75},
        {"dead.smc", "link missing.smc", 53}, {"loop.smc", "link loop.smc", 76}, {"a_ring.smc", "link b_ring.smc", 76},
        {"b_ring.smc", "link a_ring.smc", 76}, {"folder link.smc", "link sub.smc", 75},
        {"fifo link.smc", "link fifo.smc", 75}, {"device.smc", "link /dev/null", 75}};
    TestEnvironment u(base_database, {{"alpha.smc", Alpha}, {"zeta.smc", Riddle}});
    for (const auto& [name, kind, error] : entries)
        kind == "fifo"         ? make_fifo(u.in_folder(name))
            : kind == "socket" ? make_socket(u.in_folder(name))
            : kind == "folder" ? (void)fs::create_directory(u.in_folder(name))
                               : u.link(kind.substr(5), name);
    const int holder =
        ::open(u.in_folder("held open.smc").c_str(), O_RDWR | O_NONBLOCK); // a reader finds it ready but empty
    for (const auto& [name, kind, error] : entries) {
        EXPECT_EQ(error_number_of([&] { select_file(u.in_folder(name), u.db, false); }), error) << name;
    }
    Tree expected = u.tree();
    const BatchResult e = u.run(true);
    ::close(holder);
    EXPECT_EQ(counts(e), (Counts{2, 1, 0, 1, 0})) << e.message.text;
    expected.erase("alpha.smc"), expected.erase("zeta.smc");
    expected.insert({{R, "<folder>"}, {R + "/" + alpha_new, build_rom(Alpha)}, {R + "/games.htm", page_alpha},
        {U, "<folder>"}, {U + "/zeta.smc", build_rom(Riddle)}, {U + "/unknown.log", log_zeta}});
    EXPECT_EQ(tree_difference(expected, u.tree()), "");
}

struct ChangedFile {
    const char* what;
    SystemOperation when; // opening beta.smc or moving it to its new name
    void (*swap)(const std::string&);
    int error;         // 0: the run goes on
    const char* after; // what stands at beta.smc afterwards
};
class FileChangedAfterTheListing : public ::testing::TestWithParam<ChangedFile> { };

TEST_P(FileChangedAfterTheListing, EndsAsDecidedAndLosesNothing)
{
    const ChangedFile& c = GetParam();
    TestEnvironment u(base_database, {{"alpha.smc", Alpha}, {"beta.smc", Gamma}, {"zeta.smc", Riddle2}});
    const std::string beta = u.in_folder("beta.smc");
    bool switched = false;
    const ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
        if (operation == c.when && (path == beta || path.ends_with(gamma_new)) && !std::exchange(switched, true))
            c.swap(beta);
        return 0;
    });
    expect_end(u.run(), c.error, beta);
    EXPECT_TRUE(switched) << "the file was never changed";
    Tree expected = after_stop({{c.error ? "zeta.smc" : U + "/zeta.smc", build_rom(Riddle2)}});
    if (*c.after)
        expected[c.after == "copy"s ? D + "/beta.smc" : "beta.smc"] =
            c.after == "copy"s ? build_rom(alpha_long) : c.after;
    if (!c.error) // the run went on: zeta is unknown and logged, an unused folder went
        expected[U + "/unknown.log"] = unknown_log_entry(
            "zeta.smc", "SNES LoRom, no Header", Interner_name("ANOTHER ONE"), "1 = USA (NTSC)", "34 12");
    if (!c.error && c.after != "copy"s)
        expected.erase(D);
    EXPECT_EQ(tree_difference(expected, u.tree()), "");
}

INSTANTIATE_TEST_SUITE_P(Each, FileChangedAfterTheListing,
    ::testing::Values(ChangedFile{"removed before opening", SystemOperation::open,
                          [](const std::string& p) { fs::remove(p); }, 53, ""},
        ChangedFile{
            "removed before moving", SystemOperation::move, [](const std::string& p) { fs::remove(p); }, 53, ""},
        ChangedFile{
            "another image", SystemOperation::open, [](const std::string& p) { write_rom(p, alpha_long); }, 0, "copy"},
        ChangedFile{
            "a FIFO", SystemOperation::open, [](const std::string& p) { fs::remove(p), make_fifo(p); }, 0, "<other>"},
        ChangedFile{"a socket", SystemOperation::open, [](const std::string& p) { fs::remove(p), make_socket(p); }, 0,
            "<other>"},
        ChangedFile{"a link to itself", SystemOperation::open,
            [](const std::string& p) { fs::remove(p), fs::create_symlink("beta.smc", p); }, 76, "<link> beta.smc"}),
    test::CaseName());

TEST(HostileEntries, AnUnreadableFileStopsTheRunNamingItAndLosesNothing)
{
    // errnum 0: the file's mode bits deny reading, which root does not heed
    for (const auto& [operation, errnum, error] : std::vector<std::tuple<SystemOperation, int, int>>{
             {SystemOperation::open, EACCES, 70}, {SystemOperation::read, EIO, 57}, {SystemOperation::open, 0, 70}}) {
        if (errnum == 0 && ::geteuid() == 0)
            continue;
        SCOPED_TRACE(errnum);
        TestEnvironment u(base_database, {{"alpha.smc", Alpha}, {"beta.smc", Gamma}, {"zeta.smc", Riddle}});
        const std::string beta = u.in_folder("beta.smc");
        ::chmod(beta.c_str(), errnum ? 0644 : 0);
        const ScopedFaultHook hook(
            [&](SystemOperation op, const std::string& path) { return op == operation && path == beta ? errnum : 0; });
        const BatchResult e = u.run(true);
        ::chmod(beta.c_str(), 0644);
        expect_end(e, error, beta);
        EXPECT_EQ(counts(e), (Counts{2, 1, 0, 0, 0}));
        EXPECT_EQ(
            tree_difference(after_stop({{"beta.smc", build_rom(Gamma)}, {"zeta.smc", build_rom(Riddle)}}), u.tree()),
            "");
        // The begun list was closed and not placed.
        EXPECT_TRUE(entries_of(u.temp_folder).empty());
    }
}

// Mode bits do not hold root: scripts/test runs this once more as an unprivileged user.
TEST(HostileEntries, AReadOnlyFolderStopsTheRunWithSeventyBeforeAnythingMoves)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root is not held by mode bits";
    TestEnvironment u(base_database, {{"alpha.smc", Alpha}, {"zeta.smc", Riddle}});
    const Tree before = u.tree();
    ::chmod(u.F.c_str(), 0555);
    const BatchResult e = u.run(true);
    ::chmod(u.F.c_str(), 0755);
    EXPECT_EQ(e.error ? e.error->value() : 0, 70) << e.message.text;
    EXPECT_TRUE(e.setup_failed);
    EXPECT_NE(e.message.text.find(u.F), std::string::npos) << e.message.text;
    EXPECT_EQ(u.tree(), before);
}

TEST(HostileNames, LineFeedsDashesBrokenUtf8AndLongNamesAreFiledUnchanged)
{
    using Case = std::tuple<std::string, RomPlan, std::string, std::string>; // name, image, where it ends up, as logged
    const std::string long_unknown = std::string(251, 'u') + ".smc", long_copy = std::string(251, 'k') + ".smc";
    const std::vector<Case> cases = {{"line\nbreak.smc", Riddle, U + "/line\nbreak.smc", "line\\u{000A}break.smc"},
        {"carriage\rreturn.smc", Gamma, R + "/" + gamma_new, ""}, {"-rf.smc", Alpha, R + "/" + alpha_new, ""},
        {"--help.smc", Riddle, U + "/--help.smc", "--help.smc"},
        {"\xFF\xFE.smc", Riddle, U + "/\xFF\xFE.smc", "\\xFF\\xFE.smc"},
        {"a\\b.smc", Riddle, U + "/a\\b.smc", "a\\\\b.smc"},
        {"\xE6\x97\xA5 caf\xC3\xA9.smc", Riddle2, U + "/\xE6\x97\xA5 caf\xC3\xA9.smc", "\\u{65E5} caf\xE9.smc"},
        {long_unknown, Riddle, U + "/" + long_unknown, long_unknown},
        {long_copy, Alpha, D + "/" + long_copy, ""}}; // listed after -rf.smc: the copy
    TestEnvironment u(base_database);
    Tree expected = {{R, "<folder>"}, {U, "<folder>"}, {D, "<folder>"}};
    for (const auto& [name, plan, target, in_log] : cases) {
        u.image(name, plan);
        expected[target] = build_rom(plan);
    }
    const BatchResult e = u.run();
    EXPECT_EQ(counts(e), (Counts{9, 2, 0, 6, 1}));
    EXPECT_NE(std::ranges::find(e.unknown_names, "\xE6\x97\xA5 caf\xC3\xA9.smc"), e.unknown_names.end())
        << "listed as on disk";
    const std::string log = read_file(u.in_folder(U + "/unknown.log"));
    expected[U + "/unknown.log"] = (log);
    EXPECT_EQ(tree_difference(expected, u.tree()), "");
    // Every unknown name stands in the log, escaped where Windows-1252 or a line of its own would not hold it.
    for (const auto& [name, plan, target, in_log] : cases)
        EXPECT_TRUE(in_log.empty() || log.find("Filename = \"" + in_log + "\"") != std::string::npos) << in_log;
    for (std::size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "a bare line feed in the log at " << i;
    // A failure message escapes the name of the file just the same.
    TestEnvironment v(base_database, {{"line\n\xFF.smc", Alpha}});
    const ScopedFaultHook hook(fail_on(SystemOperation::move, EIO));
    expect_end(v.run(), 57, v.in_folder("line\\u{000A}\\xFF.smc"));
    EXPECT_EQ(read_file(v.in_folder("line\n\xFF.smc")), build_rom(Alpha));
}

// The hook fails this operation on a path ending so the n-th time with errnum; error 0: the run completes without the list.
struct WriteError {
    const char* what;
    SystemOperation operation;
    std::string path;
    int number, errnum, error;
};
class WriteErrors : public ::testing::TestWithParam<WriteError> { };

TEST_P(WriteErrors, StopWithTheMessageOrCompleteWithoutTheList)
{
    const WriteError& c = GetParam();
    TestEnvironment u(base_database, {{"alpha.smc", Alpha}, {"beta.smc", Gamma}, {"zeta.smc", Riddle}});
    fs::create_directory(u.in_folder(U));
    write_file(u.in_folder(U + "/unknown.log"), "earlier\r\n");
    const Tree before = u.tree(), outside_before = u.outside();
    int counted = 0;
    const ScopedFaultHook hook([&](SystemOperation op, const std::string& p) {
        return op == c.operation && p.ends_with(c.path) && ++counted == c.number ? c.errnum : 0;
    });
    const BatchResult e = u.run(true);
    EXPECT_EQ(e.error ? e.error->value() : 0, c.error) << e.message.text;
    EXPECT_TRUE(e.message.text.starts_with(c.error ? error_head(c.error) : "")) << e.message.text;
    const Tree after = u.tree();
    EXPECT_FALSE(after.contains(R + "/games.htm")) << "an incomplete list is never placed";
    EXPECT_TRUE(c.operation != SystemOperation::create_folder || after == before) << "a file was touched";
    const std::string log = read_file(u.in_folder(U + "/unknown.log"));
    EXPECT_TRUE(log == "earlier\r\n" || log == "earlier\r\n" + log_zeta) << "not complete entries only: " << log;
    for (const RomPlan* plan : {&Alpha, &Gamma, &Riddle})
        EXPECT_EQ(std::ranges::count(after | std::views::values, build_rom(*plan)), 1)
            << "not exactly once: " << plan->name;
    EXPECT_EQ(u.outside(), outside_before);
}

INSTANTIATE_TEST_SUITE_P(Each, WriteErrors,
    ::testing::Values(WriteError{"read-only volume making a folder", SystemOperation::create_folder, "", 1, EROFS, 70},
        WriteError{"moving denied", SystemOperation::move, "", 1, EACCES, 70},
        WriteError{"read-only volume opening the log", SystemOperation::open, "unknown.log", 1, EROFS, 70},
        WriteError{"read-only volume removing a folder", SystemOperation::remove_folder, "", 1, EROFS, 70},
        WriteError{"full disk opening the list", SystemOperation::open, "games.htm", 1, ENOSPC, 61},
        WriteError{"full disk writing the list head", SystemOperation::write, "games.htm", 1, ENOSPC, 61},
        WriteError{"full disk writing the list end", SystemOperation::write, "games.htm", 4, ENOSPC, 0},
        WriteError{"full disk writing the log", SystemOperation::write, "unknown.log", 1, ENOSPC, 61},
        WriteError{"quota exceeded writing the log", SystemOperation::write, "unknown.log", 1, EDQUOT, 61},
        WriteError{"log too large", SystemOperation::write, "unknown.log", 1, EFBIG, 61},
        WriteError{"full disk flushing the log", SystemOperation::sync, "unknown.log", 1, ENOSPC, 61}),
    test::CaseName());

// Line ends, blanks and NULs of the records are the reader's own tests; here the sizes. Names too long or
// leading out of the folder are refused where the file is renamed (52, the file-operation tests).
TEST(HostileDatabase, HugeRecordsAndManyRecordsAreSearchedAMatchOverOneMebibyteStopsTheRun)
{
    std::string many;
    for (int i = 0; i < 199998; ++i) // the match two records before the end
        many += database_line("FILLER " + std::to_string(i), "Filler Game " + std::to_string(i));
    for (const std::string& database :
        {database_line("HUGE", std::string(10 << 20, 'h')) + base_database, many + base_database}) {
        TestEnvironment u(database, {{"alpha.smc", Alpha}, {"zeta.smc", Riddle}});
        const BatchResult e = u.run();
        const Tree expected = {{R, "<folder>"}, {R + "/" + alpha_new, build_rom(Alpha)}, {U, "<folder>"},
            {U + "/zeta.smc", build_rom(Riddle)}, {U + "/unknown.log", log_zeta}};
        EXPECT_EQ(tree_difference(expected, u.tree()), "") << e.message.text;
    }
    // A matching full name over 1 MiB is more than the database reader holds.
    TestEnvironment u(base_database + database_line("LONG NAME GAME", std::string(10 << 20, 'h')),
        {{"alpha.smc", Alpha}, {"long.smc", Long}});
    expect_end(u.run(), 61, u.in_folder("long.smc"));
    EXPECT_EQ(tree_difference(after_stop({{"long.smc", build_rom(Long)}}), u.tree()), "");
}

struct TakenFolder {
    const char* what;
    void (*create)(const TestEnvironment&); // besides the image
    const RomPlan& plan;                    // alpha.smc, or zeta.smc when unknown
    int error;                              // 0: the run completes
    Tree after;
    const char* named = nullptr; // the path the failure names, when not the log (75) or the image
};
class TakenOutputFolders : public ::testing::TestWithParam<TakenFolder> { };

TEST_P(TakenOutputFolders, StrangeEntriesStayAndTheRunEndsAsDecided)
{
    const TakenFolder& c = GetParam();
    TestEnvironment u(base_database);
    fs::create_directory(u.t / "elsewhere");
    write_file(u.t / "foreign", "someone else's file\n");
    c.create(u);
    const std::string image = &c.plan == &Alpha ? "alpha.smc" : "zeta.smc";
    u.image(image, c.plan);
    const Tree outside_before = u.outside();
    const std::string named = u.in_folder(c.named != nullptr ? std::string(c.named)
            : c.error == 75                                  ? U + "/unknown.log" // a log that is no file
                                                             : image);
    expect_end(u.run(c.after.contains(R + "/games.htm")), c.error, named);
    EXPECT_EQ(tree_difference(c.after, u.tree()), "");
    EXPECT_EQ(u.outside(), outside_before) << "something outside F changed";
}

// The tree after a run that renamed alpha.smc, or stopped before logging zeta.smc, with extra entries.
Tree alpha_renamed(const Tree& extra)
{
    Tree tree = {{R, "<folder>"}, {R + "/" + alpha_new, build_rom(Alpha)}};
    return tree.insert(extra.begin(), extra.end()), tree;
}
Tree zeta_unlogged(const Tree& extra)
{
    Tree tree = {{U, "<folder>"}, {"zeta.smc", build_rom(Riddle)}, {D, "<folder>"}, {R, "<folder>"}};
    return tree.insert(extra.begin(), extra.end()), tree;
}

INSTANTIATE_TEST_SUITE_P(Each, TakenOutputFolders,
    ::testing::Values(
        TakenFolder{"a file as Duplicates", [](const TestEnvironment& u) { write_file(u.in_folder(D), "mine"); }, Alpha,
            0, alpha_renamed({{D, "mine"}})},
        TakenFolder{"an image as Duplicates", [](const TestEnvironment& u) { u.image(D, Gamma); }, Alpha, 0,
            alpha_renamed({{R + "/" + gamma_new, build_rom(Gamma)}})},
        TakenFolder{"a FIFO and a link as folders",
            [](const TestEnvironment& u) { make_fifo(u.in_folder(U)), u.link("../elsewhere", D); }, Alpha, 75,
            {{U, "<other>"}, {D, "<link> ../elsewhere"}, {"alpha.smc", build_rom(Alpha)}}, D.c_str()},
        TakenFolder{"a FIFO as an unused Unknown_ROMs", [](const TestEnvironment& u) { make_fifo(u.in_folder(U)); },
            Alpha, 0, alpha_renamed({{U, "<other>"}})},
        TakenFolder{"a FIFO as Unknown_ROMs", [](const TestEnvironment& u) { make_fifo(u.in_folder(U)); }, Riddle, 76,
            {{U, "<other>"}, {"zeta.smc", build_rom(Riddle)}, {D, "<folder>"}, {R, "<folder>"}}},
        TakenFolder{"a dangling link as Renamed_SNES_ROMs", [](const TestEnvironment& u) { u.link("nowhere", R); },
            Alpha, 75, {{R, "<link> nowhere"}, {"alpha.smc", build_rom(Alpha)}}, R.c_str()},
        TakenFolder{"a FIFO as the log",
            [](const TestEnvironment& u) {
                fs::create_directory(u.in_folder(U)), make_fifo(u.in_folder(U + "/unknown.log"));
            },
            Riddle, 75, zeta_unlogged({{U + "/unknown.log", "<other>"}})},
        TakenFolder{"a link to a file outside as the log",
            [](const TestEnvironment& u) {
                fs::create_directory(u.in_folder(U)), u.link("../../foreign", U + "/unknown.log");
            },
            Riddle, 75, zeta_unlogged({{U + "/unknown.log", "<link> ../../foreign"}})},
        TakenFolder{"a link to a folder outside as the log",
            [](const TestEnvironment& u) {
                fs::create_directory(u.in_folder(U)), u.link("../../elsewhere", U + "/unknown.log");
            },
            Riddle, 75, zeta_unlogged({{U + "/unknown.log", "<link> ../../elsewhere"}})},
        TakenFolder{"a folder as the game list",
            [](const TestEnvironment& u) { fs::create_directories(u.in_folder(R + "/games.htm")); }, Alpha, 0,
            alpha_renamed({{R + "/games.htm", "<folder>"}})}),
    test::CaseName());

// An output folder that is a link to a folder elsewhere: the run is refused naming it, before anything moves.
TEST(HostileCli, AnOutputFolderThatIsALinkStopsTheRunBeforeAnythingMoves)
{
    for (const std::string& output : {R, U, D}) {
        TestEnvironment u(base_database, {{"alpha.smc", Alpha}, {"zeta.smc", Riddle}});
        fs::create_directory(u.t / "elsewhere");
        u.link("../elsewhere", output);
        const Tree before = u.tree();
        const auto run = run_program(CARTONYM_CLI_PATH, {"batch", "--db", u.db, u.F}, u.t);
        EXPECT_EQ(std::tie(run.status, run.err), std::tuple(2, error_text(75, u.in_folder(output)) + "\n")) << output;
        EXPECT_EQ(tree_difference(before, u.tree()), "");
        EXPECT_TRUE(fs::is_empty(u.t / "elsewhere")) << output;
    }
}

// A database that cannot be read (a FIFO, a folder, no right to read it) is the file the error names, not the image.
TEST(HostileCli, InfoNamesTheDatabaseThatFailed)
{
    TestEnvironment u(base_database, {{"alpha.smc", Alpha}});
    make_fifo(u.t / "fifo.dat");
    fs::create_directory(u.t / "folder.dat");
    fs::copy_file(u.db, u.t / "locked.dat");
    fs::permissions(u.t / "locked.dat", fs::perms::none);
    for (const std::string database : {"fifo.dat", "folder.dat", "locked.dat"}) {
        if (database == "locked.dat" && ::geteuid() == 0)
            continue; // mode bits do not hold root
        const auto run =
            run_program(CARTONYM_CLI_PATH, {"info", "--db", u.t / database, u.in_folder("alpha.smc")}, u.t);
        const nlohmann::json line = nlohmann::json::parse(run.out);
        EXPECT_EQ(std::tie(run.status, line["file"], line["error"]["file"]),
            std::tuple(1, nlohmann::json(u.in_folder("alpha.smc")), nlohmann::json(u.t / database)))
            << run.out;
    }
}

TEST(HostileCli, LeadingDashesAndFifosOnTheCommandLine)
{
    TestEnvironment u(base_database + database_line("LONG NAME GAME", std::string(300, 'L')), {{"-rf.smc", Alpha}});
    make_fifo(u.in_folder("fifo.smc"));
    fs::create_directory(u.t / "-rf");
    write_rom(u.t / "-rf/long.smc", Long);
    // After "--" a leading dash is a file name; without it, a usage error. A FIFO answers at once with an error.
    auto run = run_program(CARTONYM_CLI_PATH, {"info", "--db", u.db, "--", "-rf.smc"}, u.t, u.F);
    EXPECT_EQ(nlohmann::json::parse(run.out)["new_name"], alpha_new) << run.err;
    EXPECT_EQ(run_program(CARTONYM_CLI_PATH, {"info", "--db", u.db, "-rf.smc"}, u.t, u.F).status, 2);
    run = run_program(CARTONYM_CLI_PATH, {"info", "--db", u.db, u.in_folder("fifo.smc")}, u.t, u.F);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(nlohmann::json::parse(run.out)["error"]["number"], 75);
    // A batch over a folder named with a dash whose image's new name is too long: exit 1 and the message.
    run = run_program(CARTONYM_CLI_PATH, {"batch", "--db", u.db, "--", "-rf"}, u.t, u.t.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, error_text(52, "-rf/long.smc") + "\n");
    EXPECT_EQ(read_file(u.t / "-rf/long.smc"), build_rom(Long));
}

} // namespace
} // namespace cartonym
