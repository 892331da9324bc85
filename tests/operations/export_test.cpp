// SPDX-License-Identifier: GPL-3.0-or-later
// Exported sets: one image per game by region, revision and kind; the
// catalogues' parents; headerless copies checked against the catalogue;
// every layout's paths and side files; reruns, clashes, a copy that reads
// back wrong, and undo of exactly the copies placed.
#include "database_tools/catalogue_tier.h"
#include "database_tools/content_digest.h"
#include "operations/export_layouts.h"
#include "operations/export_run.h"
#include "operations/game_selection.h"
#include "operations/journal_format.h"
#include "tests/archive_builder.h"
#include "tests/cli_run.h"
#include "tests/testsupport.h"

#include <expat.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

namespace cartonym {
namespace {

namespace fs = std::filesystem;
using fixtures::CopierHeader;
using json = nlohmann::json;
using Names = std::vector<std::string>;

ContentDigest digest(std::string_view data)
{
    ContentHasher hasher;
    hasher.update(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    return hasher.finish();
}

// The chosen names of candidates (their group: the name without tags).
Names chosen(const Names& names, const SelectionRules& rules)
{
    std::vector<SelectionCandidate> candidates;
    for (const std::string& name : names)
        candidates.push_back({name, group_key(name, std::nullopt)});
    const auto outcomes = select_one_per_game(candidates, rules);
    Names picked;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (outcomes[i] == SelectionOutcome::chosen)
            picked.push_back(names[i]);
    return picked;
}

TEST(GameSelection, TagsRegionsRevisionsAndKindsOfNames)
{
    EXPECT_EQ(name_tags("Quest (USA, Europe) (Rev 1) [b]"), (Names{"USA, Europe", "Rev 1"}));
    EXPECT_EQ(name_regions("Quest (En,Fr) (USA, Europe) (Rev 1)"), (Names{"USA", "Europe"}));
    EXPECT_EQ(name_revision("Quest (USA) (Rev 2)"), 2);
    EXPECT_EQ(name_revision("Quest (USA) (Rev A)"), 1);
    EXPECT_EQ(name_revision("Quest (USA)"), 0);
    EXPECT_EQ(name_kind("Quest (USA) (Beta 2)"), "Beta");
    EXPECT_EQ(name_kind("Quest (USA) (Unl)"), "Unl");
    EXPECT_EQ(name_kind("Betamax (USA)"), "");
    EXPECT_EQ(name_without_tags("Quest  (USA) [b] (Rev 1)"), "Quest");
    EXPECT_EQ(comma_separated(" Japan ,USA,, World"), (Names{"Japan", "USA", "World"}));
}

const Names quest_family = {
    "Quest (Japan)", "Quest (Europe)", "Quest (USA)", "Quest (USA) (Rev 1)", "Quest (USA) (Beta)", "Other (Beta)"};

TEST(GameSelection, RegionOrderThenHighestRevisionThenNoLeftOutKind)
{
    EXPECT_EQ(chosen(quest_family, {}), (Names{"Quest (USA) (Rev 1)"}));
    EXPECT_EQ(chosen(quest_family, {{"Europe", "USA"}, {}}), (Names{"Quest (Europe)"}));
    EXPECT_EQ(chosen(quest_family, {{"Japan"}, {}}), (Names{"Quest (Japan)"}));
    // A region the order does not name comes after every one it names.
    EXPECT_EQ(chosen(quest_family, {{"Korea"}, {}}), (Names{"Quest (USA) (Rev 1)"}));
    EXPECT_EQ(chosen(quest_family, {{"USA"}, {"Beta"}}), (Names{"Quest (USA) (Rev 1)", "Other (Beta)"}));
    EXPECT_EQ(chosen({"Quest (USA) (Beta)", "Quest (Japan)"}, {{"USA"}, {"Beta"}}), (Names{"Quest (USA) (Beta)"}));
}

// A Parent-Clone catalogue of one game in five dumps and a lone game.
struct Dump {
    std::string game, parent;
    fixtures::RomPlan plan;
};

std::vector<Dump> quest_dumps()
{
    std::vector<Dump> dumps;
    const Names games = {"Quest (Japan)", "Quest (Europe)", "Quest (USA)", "Quest (USA) (Rev 1)", "Quest (USA) (Beta)"};
    for (std::size_t i = 0; i < games.size(); ++i)
        dumps.push_back({games[i], i == 2 ? "" : "Quest (USA)",
            {.header = i % 2 == 0 ? CopierHeader::SWC : CopierHeader::None,
                .name = "QUEST",
                .checksum = static_cast<std::uint16_t>(0x1000 + i)}});
    dumps.push_back({"Lone Star (World)", "", {.name = "LONE STAR"}});
    return dumps;
}

// The catalogue lists each dump by its cartridge data: without its header.
std::string logiqx(const std::vector<Dump>& dumps)
{
    std::string text = "<?xml version=\"1.0\"?>\n<datafile><header><name>Set</name></header>\n";
    for (const Dump& dump : dumps) {
        std::string data = fixtures::build_rom(dump.plan);
        if (dump.plan.header != CopierHeader::None)
            data.erase(0, 512);
        const ContentDigest d = digest(data);
        text += "<game name=\"" + dump.game + "\"" + (dump.parent.empty() ? "" : " cloneof=\"" + dump.parent + "\"")
            + "><rom name=\"" + dump.game + ".sfc\" size=\"" + std::to_string(d.size) + "\" crc=\"" + hex_text(d.crc32)
            + "\" sha1=\"" + hex_text(d.sha1) + "\"/></game>\n";
    }
    return text + "</datafile>\n";
}

TEST(CatalogueClones, BothFormatsGiveEachRomItsGamesParent)
{
    const RomCatalogue xml = RomCatalogue::parse(logiqx(quest_dumps()), "set.dat");
    ASSERT_TRUE(xml.has_clones());
    ASSERT_EQ(xml.entries().size(), 6u);
    EXPECT_EQ(xml.entries()[0].parent, "Quest (USA)");
    EXPECT_EQ(xml.entries()[2].parent, "");
    const RomCatalogue text =
        RomCatalogue::parse("clrmamepro ( name x )\ngame ( name \"B (Japan)\" cloneof \"B (USA)\" "
                            "rom ( name b.sfc size 1 crc 00000001 ) )\n"
                            "game ( name \"B (USA)\" rom ( name c.sfc size 1 crc 00000002 ) )\n",
            "set.dat");
    EXPECT_TRUE(text.has_clones());
    EXPECT_EQ(text.entries()[0].parent, "B (USA)");
    EXPECT_EQ(text.entries()[1].parent, "");
    EXPECT_FALSE(RomCatalogue::parse("<datafile><game name=\"a\"><rom name=\"a.sfc\" size=\"1\" crc=\"1\"/></game>"
                                     "</datafile>",
        "plain.dat")
                     .has_clones());
}

// A source folder of the Quest dumps (one in a zip), a companion, a file
// that is no image and an unknown image; its catalogue, database and the
// journals' folder.
struct ExportWorld {
    test::TempFolder t;
    std::string from = t / "from", to = t / "to", db = t / "snes.dat";
    test::ScopedVariable state{"XDG_STATE_HOME", t / "state"}, cache{"XDG_CACHE_HOME", t / "cache"},
        data{"XDG_DATA_HOME", t / "data"};
    std::vector<Dump> dumps = quest_dumps();
    CatalogueTier tier{{{"set.dat", RomCatalogue::parse(logiqx(dumps), "set.dat")}}};

    ExportWorld()
    {
        fs::create_directories(t.path() / "from" / "more");
        fixtures::write_file(db, fixtures::database_line("NAMED ONE", "Named One"));
        for (std::size_t i = 0; i < dumps.size(); ++i) {
            const std::string file = (i == 3 ? "more/dump " : "dump ") + std::to_string(i) + ".smc";
            if (i == 4)
                fixtures::write_file(from + "/dump 4.zip",
                    test::make_archive(
                        test::ArchiveFormat::zip_deflated, {{"q.sfc", fixtures::build_rom(dumps[i].plan)}}));
            else
                fixtures::write_rom(from + "/" + file, dumps[i].plan);
        }
        fixtures::write_file(from + "/dump 2.srm", "the save");
        fixtures::write_file(from + "/notes.txt", "no image");
        fixtures::write_rom(from + "/named.smc", {.name = "NAMED ONE"});
        fixtures::write_rom(from + "/mystery.smc", {.name = "NOBODY KNOWS"});
    }

    ExportOptions options(const std::string& layout = "plain") const
    {
        ExportOptions o;
        o.from = from;
        o.to = to;
        o.database_path = db;
        o.catalogues = &tier;
        o.layout = layout;
        return o;
    }
    ExportResult run(const ExportOptions& o) const { return export_set({o, {}}); }
    std::string image(std::size_t i, bool headerless = false) const
    {
        std::string bytes = fixtures::build_rom(dumps[i].plan);
        return headerless && dumps[i].plan.header != CopierHeader::None ? bytes.substr(512) : bytes;
    }
};

// The action of each item by its source.
std::map<std::string, std::string> actions(const ExportResult& result)
{
    std::map<std::string, std::string> by_source;
    for (const ExportItem& item : result.items)
        by_source[item.source] = export_action_name(item.action) + (item.target.empty() ? "" : " " + item.target);
    return by_source;
}

const std::string sep(1, path_separator);

TEST(ExportSet, OnePerGameByParentExactlyAsTheRegionOrderSays)
{
    const ExportWorld w;
    ExportOptions o = w.options();
    o.one_per_game = true;
    o.dry_run = true;
    const struct {
        Names prefer;
        std::string source;
    } cases[] = {{{}, "more" + sep + "dump 3.smc"}, {{"Europe", "USA"}, "dump 1.smc"}, {{"Japan"}, "dump 0.smc"}};
    for (const auto& c : cases) {
        o.rules.region_order = c.prefer.empty() ? default_region_order : c.prefer;
        const ExportResult result = w.run(o);
        ASSERT_EQ(result.outcome, ExportOutcome::completed) << result.message;
        EXPECT_TRUE(result.grouped_by_clones);
        std::set<std::string> copied;
        for (const ExportItem& item : result.items)
            if (item.action == ExportAction::copied)
                copied.insert(item.source);
        EXPECT_EQ(copied, (std::set<std::string>{"dump 5.smc", c.source, "named.smc"})) << c.prefer.size();
        EXPECT_EQ(actions(result)["dump 4.zip"], "kind_left_out");
        EXPECT_FALSE(fs::exists(w.to));
    }
}

TEST(ExportSet, HeaderlessCopiesAreCheckedAgainstTheCatalogueAndArchivesGiveTheirImage)
{
    const ExportWorld w;
    ExportOptions o = w.options();
    o.headerless = true;
    const ExportResult result = w.run(o);
    ASSERT_EQ(result.outcome, ExportOutcome::completed) << result.message;
    const auto by_source = actions(result);
    EXPECT_EQ(by_source.at("dump 0.smc"), "copied Quest (Japan).sfc");
    EXPECT_EQ(by_source.at("dump 4.zip"), "copied Quest (USA) (Beta).sfc");
    EXPECT_EQ(by_source.at("named.smc"), "copied Named One (USA).sfc");
    EXPECT_EQ(by_source.at("mystery.smc"), "unknown");
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(fixtures::read_file(w.to + "/" + w.dumps[i].game + ".sfc"), w.image(i, true)) << i;
    EXPECT_EQ(fixtures::read_file(w.to + "/Quest (USA).srm"), "the save");
    EXPECT_EQ(fixtures::read_file(w.from + "/dump 0.smc"), w.image(0)); // the source stays as it was
    EXPECT_EQ(std::tuple(result.copied, result.unknown, result.other_files), std::tuple(7u, 1u, 1u));
}

TEST(ExportSet, ARerunCopiesNothingAndAnotherFileAtATargetIsLeftAlone)
{
    const ExportWorld w;
    ASSERT_EQ(w.run(w.options()).copied, 7u);
    const test::Tree before = test::entries_of(w.to);
    const ExportResult again = w.run(w.options());
    EXPECT_EQ(std::tuple(again.copied, again.kept, again.clashes), std::tuple(0u, 7u, 0u));
    EXPECT_EQ(test::entries_of(w.to), before);
    fixtures::write_file(w.to + "/Quest (Japan).swc", "someone else's");
    ExportOptions o = w.options();
    o.include_unknown = true;
    const ExportResult third = w.run(o);
    EXPECT_EQ(actions(third).at("dump 0.smc"), "clash Quest (Japan).swc");
    EXPECT_EQ(actions(third).at("mystery.smc"), "copied mystery.smc");
    EXPECT_EQ(fixtures::read_file(w.to + "/Quest (Japan).swc"), "someone else's");
}

// The hook turns every private copy's bytes wrong as it is flushed, as a
// failing card would: each copy is refused, nothing placed, nothing left.
TEST(ExportSet, ACopyThatReadsBackWrongIsRefusedAndLeavesNothing)
{
#ifdef _WIN32
    GTEST_SKIP() << "the hook rewrites the private copy while the program holds it open, which Windows refuses";
#endif
    const ExportWorld w;
    const test::ScopedFaultHook corrupt([](SystemOperation operation, const std::string& path) {
        if (operation == SystemOperation::sync && path.find(".cartonym-copy-") != std::string::npos) {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(600);
            file.put('\x5A');
        }
        return 0;
    });
    const ExportResult result = w.run(w.options());
    EXPECT_EQ(result.outcome, ExportOutcome::failed);
    EXPECT_EQ(result.copied, 0u);
    EXPECT_EQ(actions(result).at("dump 0.smc"), "read_back_wrong Quest (Japan).swc");
    EXPECT_EQ(test::entries_of(w.to), test::Tree{});
}

// One copy of a batch that its volume fails to flush fails alone: the
// others of its batch are checked and placed, and no private file stays.
TEST(ExportSet, ACopyThatCannotBeFlushedFailsAloneAndLeavesNothing)
{
#ifdef _WIN32
    GTEST_SKIP()
        << "the hook reads the private copy while the program holds it open for writing, which Windows refuses";
#endif
    const ExportWorld w;
    const std::string failing = w.image(1);
    const test::ScopedFaultHook hook([&](SystemOperation operation, const std::string& path) {
        const bool copy = operation == SystemOperation::sync && path.find(".cartonym-copy-") != std::string::npos;
        return copy && fixtures::read_file(path) == failing ? EIO : 0;
    });
    const ExportResult result = w.run(w.options());
    EXPECT_EQ(result.outcome, ExportOutcome::failed);
    EXPECT_EQ(result.failed, 1u);
    EXPECT_TRUE(actions(result).at("dump 1.smc").starts_with("failed ")) << actions(result).at("dump 1.smc");
    EXPECT_EQ(actions(result).at("dump 0.smc"), "copied Quest (Japan).swc");
    for (const auto& [path, content] : test::entries_of(w.to))
        EXPECT_EQ(path.find(".cartonym-copy-"), std::string::npos) << path;
}

TEST(ExportSet, UndoRemovesExactlyTheUnchangedCopies)
{
    const ExportWorld w;
    ExportOptions o = w.options("es-de");
    const ExportResult result = w.run(o);
    ASSERT_FALSE(result.run_name.empty()) << result.journal_issue;
    fixtures::write_file(w.to + "/roms/snes/Quest (Europe).sfc", "changed since");
    fixtures::write_file(w.to + "/roms/snes/mine.txt", "the user's");
    const UndoReport report = undo_run(result.run_name, false);
    EXPECT_EQ(report.removed.size(), 8u); // 6 of the 7 images, the save and the game list
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].path, w.to + sep + "roms" + sep + "snes" + sep + "Quest (Europe).sfc");
    EXPECT_EQ(test::entries_of(w.to),
        (test::Tree{{"roms", "<folder>"}, {"roms/snes", "<folder>"}, {"roms/snes/Quest (Europe).sfc", "changed since"},
            {"roms/snes/mine.txt", "the user's"}}));
    fs::remove_all(w.to);
    ASSERT_FALSE(w.run(o).run_name.empty());
    undo_run("", false);
    EXPECT_FALSE(fs::exists(w.to)); // the folders it made go too, the set's own among them
}

// A copy rewritten in place to its size, its time put back, is told by its
// digest alone: undo leaves it, in journals of this version (XXH3-128) and
// in those of earlier ones (SHA-1) alike, and removes the others.
TEST(ExportSet, UndoTellsACopyChangedInPlaceByItsDigestInEitherJournalForm)
{
    for (const bool earlier_form : {false, true}) {
        SCOPED_TRACE(earlier_form ? "SHA-1 records" : "XXH3-128 records");
        const ExportWorld w;
        const ExportResult result = w.run(w.options());
        ASSERT_FALSE(result.run_name.empty()) << result.journal_issue;
        const std::vector<JournalContents> journals = read_journals();
        ASSERT_EQ(journals.size(), 1u);
        if (earlier_form) {
            std::string text, line;
            for (std::istringstream lines(fixtures::read_file(journals[0].path)); std::getline(lines, line);) {
                if (const auto record = parsed_record(line); record && record->kind == RecordKind::copying) {
                    EXPECT_TRUE(record->values[2].starts_with("xxh128:")) << line;
                    line = record_line(RecordKind::copying,
                        {record->values[0], record->values[1],
                            hex_text(digest(fixtures::read_file(record->values[0])).sha1)});
                }
                text += line + '\n';
            }
            fixtures::write_file(journals[0].path, text);
        }
        const fs::path changed = fs::path(w.to) / "Quest (Europe).sfc";
        const auto time = fs::last_write_time(changed);
        std::string bytes = fixtures::read_file(changed.string());
        bytes[100] = static_cast<char>(bytes[100] ^ 0x5A);
        fixtures::write_file(changed.string(), bytes);
        fs::last_write_time(changed, time);
        const UndoReport report = undo_run(result.run_name, false);
        ASSERT_EQ(report.problems.size(), 1u);
        EXPECT_EQ(report.problems[0].path, changed.string());
        EXPECT_EQ(test::entries_of(w.to), (test::Tree{{"Quest (Europe).sfc", bytes}}));
    }
}

// gamelist.xml read by expat: the path and name of each game.
std::vector<std::pair<std::string, std::string>> game_list_entries(const std::string& text)
{
    struct State {
        std::vector<std::pair<std::string, std::string>> games;
        std::string* field = nullptr;
        std::string path, name;
    } state;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* element, const XML_Char**) {
            auto* s = static_cast<State*>(data);
            const std::string e = element;
            s->field = e == "path" ? &s->path : e == "name" ? &s->name : nullptr;
        },
        [](void* data, const XML_Char* element) {
            auto* s = static_cast<State*>(data);
            s->field = nullptr;
            if (std::string(element) == "game")
                s->games.emplace_back(std::exchange(s->path, ""), std::exchange(s->name, ""));
        });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* characters, int length) {
        auto* s = static_cast<State*>(data);
        if (s->field)
            s->field->append(characters, static_cast<std::size_t>(length));
    });
    const bool parsed = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    EXPECT_TRUE(parsed);
    return state.games;
}

struct LayoutCase {
    const char* what;
    std::string image; // where Quest (Japan) goes
    std::string side;  // the side file, "" for none
};

class Layouts : public ::testing::TestWithParam<LayoutCase> { };

TEST_P(Layouts, EveryImageWhereTheDeviceLooksWithItsSideFile)
{
    const LayoutCase& c = GetParam();
    const ExportWorld w;
    ExportOptions o = w.options(c.what);
    o.per_folder = 3;
    const ExportResult result = w.run(o);
    ASSERT_EQ(result.outcome, ExportOutcome::completed) << result.message;
    EXPECT_TRUE(fs::is_regular_file(w.to + "/" + c.image)) << c.image;
    const test::Tree files = test::tree_of(w.to);
    EXPECT_EQ(files.size(), 8u + (c.side.empty() ? 0 : 1)); // 7 images and a save
    if (c.side.empty())
        return;
    const std::string text = files.at(c.side);
    if (c.side.ends_with(".lpl")) {
        const json playlist = json::parse(text);
        EXPECT_EQ(playlist["version"], "1.5");
        ASSERT_EQ(playlist["items"].size(), 7u);
        const json& first = playlist["items"][0];
        EXPECT_EQ(first["label"], "Lone Star (World)");
        EXPECT_EQ(fs::path(first["path"].get<std::string>()).lexically_normal(),
            (fs::canonical(w.to) / "roms" / "snes" / "Lone Star (World).sfc").lexically_normal());
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X|crc", static_cast<unsigned>(digest(w.image(5)).crc32));
        EXPECT_EQ(first["crc32"], crc);
        EXPECT_EQ(std::tuple(first["core_path"], first["core_name"], first["db_name"]),
            std::tuple(json("DETECT"), json("DETECT"), json(retroarch_playlist_name)));
    } else {
        const auto games = game_list_entries(text);
        ASSERT_EQ(games.size(), 7u);
        using Game = std::pair<std::string, std::string>;
        EXPECT_EQ(games[1], Game("./Named One (USA).smc", "Named One"));
    }
}

INSTANTIATE_TEST_SUITE_P(Each, Layouts,
    ::testing::Values(LayoutCase{"plain", "Quest (Japan).swc", ""},
        // Q holds five images, more than a folder takes: Q1 and Q2.
        LayoutCase{"letters", "Q1/Quest (Japan).swc", ""}, LayoutCase{"mister", "games/SNES/Quest (Japan).swc", ""},
        LayoutCase{"pocket", "Assets/snes/common/Quest (Japan).sfc", ""},
        LayoutCase{"retroarch", "roms/snes/Quest (Japan).swc", "playlists/" + std::string(retroarch_playlist_name)},
        LayoutCase{"es-de", "roms/snes/Quest (Japan).swc", "roms/snes/gamelist.xml"}),
    test::CaseName());

TEST(ExportLayouts, LetterFoldersSplitOnlyALetterTooLargeForOneFolder)
{
    EXPECT_EQ(
        letter_folders({"alpha", "Axe", "Ant", "beta", "1942", "!x"}, 2), (Names{"A1", "A1", "A2", "B", "#", "#"}));
    EXPECT_EQ(letter_folders({"alpha", "Axe", "Ant"}, 0), (Names{"A", "A", "A"}));
    EXPECT_EQ(find_layout("nope"), nullptr);
}

// The real program: options, the JSON shape and exit statuses.
TEST(CliExport, DryRunJsonThenExportThenUndo)
{
    const ExportWorld w;
    fixtures::write_file(w.t / "set.dat", logiqx(w.dumps));
    const std::vector<std::string> common = {"export", "--db", w.db, "--dat", w.t / "set.dat", "--one-per-game",
        "--prefer", "Japan", "--layout", "mister", "--json"};
    auto args = common;
    args.insert(args.end(), {"--dry-run", w.from, w.to});
    test::ProgramRun dry = test::run_program(CARTONYM_CLI_PATH, args, w.t);
    ASSERT_EQ(dry.status, 0) << dry.err;
    const json plan = json::parse(dry.out);
    EXPECT_EQ(std::tuple(plan["dry_run"], plan["grouped_by"], plan["copied"]),
        std::tuple(json(true), json("parent"), json(3)));
    EXPECT_EQ(plan["items"][0]["action"], "copy");
    EXPECT_FALSE(fs::exists(w.to));
    args = common;
    args.insert(args.end(), {w.from, w.to});
    const test::ProgramRun real = test::run_program(CARTONYM_CLI_PATH, args, w.t);
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_TRUE(fs::exists(w.to + "/games/SNES/Quest (Japan).swc"));
    EXPECT_EQ(test::run_program(CARTONYM_CLI_PATH, {"undo"}, w.t).status, 0);
    EXPECT_FALSE(fs::exists(w.to + "/games"));
    EXPECT_EQ(
        test::run_program(CARTONYM_CLI_PATH, {"export", "--db", w.db, "--layout", "nope", w.from, w.to}, w.t).status,
        2);
}

} // namespace
} // namespace cartonym
