// SPDX-License-Identifier: GPL-3.0-or-later
// The database index answers exactly as a front-to-back read, in any windows and with shared hashes;
// file lookups follow edits, and within a validity scope the file is not looked at again.
#include "naming/database_index.h"
#include "naming/name_database.h"
#include "tests/front_to_back_search.h"
#include "tests/testsupport.h"

#include <chrono>
#include <random>

using namespace cartonym;
using test::answer, test::found;

namespace {

struct RandomDatabase {
    std::mt19937 random;

    // Keys from a tiny alphabet, so that repeated keys and near misses occur;
    // no key starts like one of the fixed corrections.
    std::string key()
    {
        std::string name(21, ' ');
        for (int i = 0, length = value(1, 4); i < length; ++i)
            name[static_cast<std::size_t>(i)] = "QRST"[value(0, 3)];
        return name;
    }

    // Records in the forms the reader knows, with one kind of line end.
    std::string text()
    {
        const std::string end = std::vector<std::string>{"\r\n", "\n", "\r"}[value(0, 2)];
        std::string content;
        for (int i = 0, records = value(0, 12); i < records; ++i) {
            if (value(0, 9) == 0)
                content += end; // a blank line
            const std::string name = key();
            switch (value(0, 5)) {
            case 0: content += name.substr(0, 5) + "  ,"; break; // unquoted, trailing blanks dropped
            case 1: content += " \"" + name + "\" x,"; break;    // blanks before, text after the quote
            default: content += "\"" + name + "\","; break;
            }
            switch (value(0, 4)) {
            case 0: content += "\"Game, " + std::to_string(i) + "\""; break; // a comma inside quotes
            case 1: content += " Game " + std::to_string(i) + " "; break;
            case 2: content += "\"Game\r\n" + std::to_string(i) + "\""; break; // a line end inside quotes
            default: content += "\"Game " + std::to_string(i) + "\""; break;
            }
            content += value(0, 7) == 0 ? "," : end; // a trailing comma makes the next key follow it
        }
        switch (value(0, 6)) {
        case 0: content += "\"" + key() + "\""; break;        // record cut short
        case 1: content += "\"" + key() + "\"," + end; break; // empty second item
        case 2: content += end + end; break;                  // trailing blank lines
        case 3: content += "\"" + key() + "\",\"Open"; break; // quote never closed
        case 4: content += "\"" + key(); break;               // key's quote never closed
        default: break;
        }
        return content;
    }

    int value(int from, int until) { return std::uniform_int_distribution<int>(from, until)(random); }
};

// A distinct modification time for every version (a same-size edit within one clock tick is not seen).
void stamp(const std::string& path)
{
    static int version = 0;
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1) + std::chrono::seconds(++version));
}

} // namespace

TEST(DatabaseIndex, AnswersLikeAFrontToBackReadInAnyWindowsAndWithSharedHashes)
{
    const struct {
        const char* what;
        DatabaseLimits limits;
    } configurations[] = {
        {"usual limits", {}},
        {"one-byte windows", {.window = 1}},
        {"five-byte windows, four hashes", {.window = 5, .hash_mask = 3}},
        {"64-byte windows, two hashes", {.window = 64, .hash_mask = 1}},
        {"two-byte windows, one hash", {.window = 2, .hash_mask = 0}},
    };
    RandomDatabase random{std::mt19937(20261206)};
    for (int round = 0; round < 400; ++round) {
        const std::string text = random.text();
        std::vector<std::string> names;
        for (int i = 0; i < 6; ++i)
            names.push_back(random.key());
        for (const auto& configuration : configurations) {
            SCOPED_TRACE(std::string(configuration.what) + ", round " + std::to_string(round));
            const TextBytes bytes(text);
            std::optional<DatabaseIndex> index;
            ASSERT_NO_THROW(index.emplace(bytes, configuration.limits)) << "text that fits the limits always builds";
            for (const std::string& name : names) {
                const RomAnalysis analysis = test::analysis_for(name);
                EXPECT_EQ(answer([&] { return index->lookup(bytes, name, analysis); }),
                    answer([&] { return test::search_database_text(analysis, text); }));
            }
        }
    }
}

TEST(DatabaseIndex, FileLookupsFollowEditsTruncationAndRemoval)
{
    test::TempFolder folder;
    const std::string path = folder / "snes.dat";
    RandomDatabase random{std::mt19937(20261207)};

    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        switch (random.value(0, 9)) {
        case 0: std::filesystem::remove(path); break;
        case 1:
            if (std::filesystem::exists(path)) { // cut the file somewhere
                std::filesystem::resize_file(path,
                    static_cast<std::uintmax_t>(random.value(0, static_cast<int>(std::filesystem::file_size(path)))));
                stamp(path);
            }
            break;
        default:
            fixtures::write_file(path, random.text()); // often the same size as before
            stamp(path);
            break;
        }
        for (int lookup = 0; lookup < 6; ++lookup) {
            const RomAnalysis analysis = test::analysis_for(random.key());
            // The reference: the whole file read and searched front to back.
            EXPECT_EQ(answer([&] { return Finde_romname(analysis, path); }),
                answer([&] { return test::search_database_text(analysis, read_database(path)); }));
        }
    }
}

// Outside a scope two files of one size side by side are kept apart, the key only in one of them.
TEST(DatabaseIndex, WithinAScopeTheDatabaseIsReadOnce)
{
    test::TempFolder folder;
    const std::string path = folder / "snes.dat", other = folder / "other.dat", replacement = folder / "new.dat";
    const auto full = [&](const std::string& file = "") {
        return answer([&] { return Finde_romname(test::analysis_for("QQ"), file.empty() ? path : file); });
    };
    fixtures::write_file(path, fixtures::database_line("QQ", "Old"));
    fixtures::write_file(other, fixtures::database_line("QR", "Old"));
    const std::string not_in_other = "|Old|" + fixtures::Interner_name("QR"); // its last record
    EXPECT_EQ(full(other) + full() + full(other), not_in_other + found("QQ", "Old") + not_in_other);
    {
        const DatabaseSession run;
        EXPECT_EQ(full(), found("QQ", "Old"));
        fixtures::write_file(replacement, fixtures::database_line("QQ", "New"));
        std::filesystem::rename(replacement, path);
        EXPECT_EQ(full(), found("QQ", "Old")) << "a replaced database waits for the next scope";
        {
            const DatabaseSession nested;
            std::filesystem::remove(path);
            EXPECT_EQ(full(), found("QQ", "Old")) << "so does a removed one";
        }
        EXPECT_EQ(full(), found("QQ", "Old")) << "the outer scope still lasts";
    }
    EXPECT_EQ(full(), "failure 53");
    fixtures::write_file(path, fixtures::database_line("QQ", "New"));
    {
        const DatabaseSession selection;
        EXPECT_EQ(full(), found("QQ", "New"));
    }
}

TEST(DatabaseIndex, ADatabaseBeyondTheLimitsFailsWith61)
{
    test::TempFolder folder; // a sparse file one byte over 4 GiB is refused before anything is read
    const std::string huge = folder / "huge.dat";
    fixtures::write_file(huge, fixtures::database_line("QQ", "Game"));
    std::filesystem::resize_file(huge, (std::uintmax_t{4} << 30) + 1);
    EXPECT_EQ(answer([&] { return Finde_romname(test::analysis_for("QQ"), huge); }), "failure 61");
}

// What, text, key, answer, with an index that holds items of 30 bytes and three keys.
struct LimitCase {
    const char* what;
    std::string text, key, expected;
};
class IndexLimits : public ::testing::TestWithParam<LimitCase> { };

TEST_P(IndexLimits, ARecordBeyondThemFailsWith61WhereTheSearchMeetsIt)
{
    const TextBytes bytes(GetParam().text);
    std::optional<DatabaseIndex> index;
    const int build_error =
        test::error_number_of([&] { index.emplace(bytes, DatabaseLimits{.largest_item = 30, .most_keys = 3}); });
    const RomAnalysis analysis = test::analysis_for(GetParam().key);
    EXPECT_EQ(build_error != 0 ? "build failure " + std::to_string(build_error)
                               : answer([&] { return index->lookup(bytes, analysis.Interner_name, analysis); }),
        GetParam().expected);
}

const auto line = fixtures::database_line;
const std::string long_name(40, 'L'), long_key = "\"" + long_name + "\",\"B\"\r\n";
INSTANTIATE_TEST_SUITE_P(Each, IndexLimits,
    ::testing::Values(
        LimitCase{"four distinct keys", line("QA", "A") + line("QB", "B") + line("QC", "C") + line("QD", "D"), "QA",
            "build failure 61"},
        LimitCase{"three keys repeated", line("QA", "A") + line("QB", "B") + line("QA", "A2") + line("QC", "C"), "QA",
            found("QA", "A")},
        LimitCase{"a long full name that matches", line("QA", long_name), "QA", "failure 61"},
        LimitCase{"a long full name before the match", line("QA", long_name) + line("QB", "B"), "QB", found("QB", "B")},
        LimitCase{"a long full name in the last record", line("QA", "A") + line("QB", long_name), "QC", "failure 61"},
        LimitCase{"a long key in the last record", line("QA", "A") + long_key, "QA", found("QA", "A")},
        LimitCase{"a long key in the last record no match", line("QA", "A") + long_key, "QC", "failure 61"},
        LimitCase{"a long key then a cut record", line("QA", "A") + long_key + "\"QD\"", "QC", "failure 62"}),
    test::CaseName());
