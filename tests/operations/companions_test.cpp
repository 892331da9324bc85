// SPDX-License-Identifier: GPL-3.0-or-later
// Companion files: which files go with an image, and how cartonym-cli batch
// moves them with it, previews, reports and undoes that.
#include "operations/companions.h"
#include "tests/testsupport.h"

#include <nlohmann/json.hpp>

#include <set>

namespace cartonym {
namespace {

using namespace fixtures;
using namespace test::games;
using test::Tree;
using json = nlohmann::json;
using Names = std::vector<std::string>;

const std::string R = "Renamed_SNES_ROMs/";                                    // in trees
const std::string shown_R = std::string("Renamed_SNES_ROMs") + path_separator; // as the program writes it

CompanionFinder finder(const Names& names, bool folds_case, const std::set<std::string>& images = {})
{
    return CompanionFinder(names, folds_case, [&](const std::string& name) { return images.contains(name); });
}

TEST(CompanionNames, EverySuffixOfTheTableAndNoOther)
{
    for (const char* name : {"a.srm", "a.SAV", "a.sram", "a.rtc", "a.state", "a.state1", "a.state9", "a.state.auto",
             "a.ss0", "a.ss9", "a.000", "a.009", "a.zst", "a.zs1", "a.zs9", "a.bst", "a.msu", "a.msu1", "a-1.pcm",
             "a-999.pcm", "a.bml", "a.xml", "a.ips", "a.bps", "a.ups", "a.cht", "a.txt", "a.nfo"})
        EXPECT_NE(companion_suffix(name), "") << name;
    for (const char* name : {"a.smc", "a.state0", "a.state10", "a.010", "a.zs0", "a-0.pcm", "a-01.pcm", "a-1000.pcm",
             "a.pcm", "a1.pcm", ".srm", "a.srm.bak"})
        EXPECT_EQ(companion_suffix(name), "") << name;
    EXPECT_EQ(companion_suffix("Game-12.PCM"), "-12.PCM");
    EXPECT_EQ(companion_suffix("Game.state.auto"), ".state.auto");
    EXPECT_EQ(companion_name_for("Alpha Quest (USA).smc", "-3.pcm"), "Alpha Quest (USA)-3.pcm");
}

TEST(CompanionFinder, BelongsToTheOneFileOfItsBaseNameInTheFileSystemsLetterCase)
{
    const Names names = {"Game-1.pcm", "game.sav", "Game.smc", "Game.srm", "Game.xml", "Lone.srm", "Other.msu",
        "Other.smc", "Other.xml"};
    const CompanionFinder exact = finder(names, false);
    EXPECT_EQ(exact.of("Game.smc"), (Names{"Game-1.pcm", "Game.srm"})); // no manifest without .msu
    EXPECT_EQ(exact.of("Other.smc"), (Names{"Other.msu", "Other.xml"}));
    EXPECT_FALSE(exact.is_companion("Lone.srm"));
    EXPECT_FALSE(exact.is_companion("game.sav"));
    EXPECT_EQ(exact.suffix_of("Game-1.pcm"), "-1.pcm");
    EXPECT_EQ(finder(names, true).of("Game.smc"), (Names{"Game-1.pcm", "game.sav", "Game.srm"}));
}

TEST(CompanionFinder, ABaseNameOfSeveralImagesOrAnImageOfItsOwnIsNoCompanion)
{
    const CompanionFinder found =
        finder({"Game.sfc", "Game.smc", "Game.srm", "Solo.000", "Solo.doc", "Solo.smc", "Solo.srm"}, false,
            {"Game.sfc", "Game.smc", "Solo.000", "Solo.smc"});
    EXPECT_TRUE(found.of("Game.smc").empty());
    EXPECT_FALSE(found.is_companion("Game.srm"));
    EXPECT_EQ(found.shared().at("Game.srm"), (Names{"Game.sfc", "Game.smc"}));
    EXPECT_EQ(found.of("Solo.smc"), Names{"Solo.srm"}); // Solo.doc is no image, Solo.000 is one
    EXPECT_FALSE(found.is_companion("Solo.000"));
}

struct CompanionFolder : test::JournalledRunFolder {
    json batch_json(std::vector<std::string> options = {}) const
    {
        options.push_back("--json");
        return json::parse(batch(options).out, nullptr, false);
    }
    Tree files() const { return test::tree_of(F); }
};

// Every kind of companion goes with the image, previewed first, and goes
// back with undo: names exact, contents unchanged.
TEST(CliBatch, SavesStatesSoundtrackAndPatchMoveWithTheImageAndGoBack)
{
    const CompanionFolder u;
    u.image("alpha.smc", Alpha);
    Tree companions = {{"alpha.srm", "save"}, {"alpha.state1", "s1"}, {"alpha.state.auto", "sa"},
        {"alpha.msu", "msu data"}, {"alpha.bps", "patch"}};
    for (int n = 1; n <= 12; ++n)
        companions["alpha-" + std::to_string(n) + ".pcm"] = "track " + std::to_string(n);
    for (const auto& [name, content] : companions)
        u.file(name, content);
    const Tree before = u.entries();
    Tree expected = {{R + "Alpha Quest (USA).smc", build_rom(Alpha)}};
    json moves = json::array();
    for (const auto& [name, content] : companions) {
        expected[R + "Alpha Quest (USA)" + name.substr(5)] = content;
        moves.push_back({{"from", name}, {"to", shown_R + "Alpha Quest (USA)" + name.substr(5)}, {"outcome", "moved"}});
    }

    const json preview = u.batch_json({"--dry-run"});
    EXPECT_EQ(u.entries(), before);
    EXPECT_EQ(preview["plan"].size(), 1U);
    EXPECT_EQ(preview["plan"][0]["companions"], moves);
    const json run = u.batch_json();
    EXPECT_EQ(run["total"], 1);
    EXPECT_EQ(run["companions_moved"], 17);
    EXPECT_EQ(run["companions"][0]["companions"], moves);
    EXPECT_TRUE(run["message"].get<std::string>().ends_with("Batchrun finished !\n\ncompanions moved: 17"));
    EXPECT_EQ(test::tree_difference(expected, u.files()), "");
    EXPECT_EQ(u.cli({"undo"}).status, 0);
    EXPECT_EQ(test::tree_difference(before, u.entries()), "");
}

TEST(CliBatch, ACompanionWhoseNameIsTakenStaysAndIsNamed)
{
    const CompanionFolder u;
    u.image("alpha.smc", Alpha);
    u.file("alpha.srm", "new save");
    u.file(R + "Alpha Quest (USA).srm", "earlier save");
    const test::ProgramRun run = u.batch();
    EXPECT_NE(
        run.out.find("alpha.srm stays where it is: " + shown_R + "Alpha Quest (USA).srm is taken\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("companions moved: 0"), std::string::npos);
    EXPECT_EQ(test::tree_difference({{R + "Alpha Quest (USA).smc", build_rom(Alpha)}, {"alpha.srm", "new save"},
                                        {R + "Alpha Quest (USA).srm", "earlier save"}},
                  u.files()),
        "");
}

// Two images of one base name share no companion (the preview says why);
// a file named like a companion that is an image is filed as one; without
// companions a save is a file like any other.
TEST(CliBatch, SharedBaseNamesImagesNamedLikeCompanionsAndNoCompanions)
{
    const CompanionFolder u;
    u.image("game.sfc", Alpha);
    u.image("game.smc", Gamma);
    u.file("game.srm", "whose save?");
    u.image("beta.swc", Beta);
    u.image("beta.sav", Riddle);
    const test::ProgramRun preview = u.batch({"--dry-run"});
    EXPECT_NE(
        preview.out.find("game.srm -> not_image\n  game.srm: belongs to more than one image (game.sfc, game.smc): "
                         "not moved\n"),
        std::string::npos)
        << preview.out;
    EXPECT_NE(preview.out.find("beta.sav -> unknown Unknown_ROMs" + std::string(1, path_separator) + "beta.sav\n"),
        std::string::npos)
        << preview.out;

    const CompanionFolder plain;
    plain.image("alpha.smc", Alpha);
    plain.file("alpha.srm", "save");
    const json without = plain.batch_json({"--no-companions"});
    EXPECT_EQ(without["total"], 2);
    EXPECT_FALSE(without.contains("companions_moved"));
    EXPECT_EQ(without["message"], "Batchrun finished !");
    EXPECT_EQ(plain.files().count("alpha.srm"), 1U);
}

} // namespace
} // namespace cartonym
