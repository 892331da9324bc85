// The cached database index must answer exactly as reading the file front to
// back on every lookup: same names, same last record, same errors, also
// right after the file is edited, truncated or removed.
#include "common/error.h"
#include "fixtures/rom_builder.h"
#include "naming/name_database.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace cartonym;

namespace {

// A lookup's answer in one text: the names and last record read, or the failure's number.
template <typename search>
std::string Answer(search lookup)
{
    try {
        const LookupResult e = lookup();
        return e.Neuer_name + "|" + e.Voller_name + "|" + e.Db_interner_name;
    } catch (const Error& error) {
        return "failure " + std::to_string(error.value());
    }
}

class random_database {
public:
    explicit random_database(unsigned seed) : random_(seed) {}

    // Keys from a tiny alphabet, so that repeated keys and near misses occur;
    // no key starts like one of the fixed corrections.
    std::string key()
    {
        std::string name(21, ' ');
        const int length = value(1, 4);
        for (int i = 0; i < length; ++i)
            name[static_cast<std::size_t>(i)] = "QRST"[value(0, 3)];
        return name;
    }

    std::string text()
    {
        static const char* const line_ends[] = {"\r\n", "\n", "\r"};
        const std::string end_pos = line_ends[value(0, 2)];
        std::string content;
        const int records = value(0, 12);
        for (int i = 0; i < records; ++i) {
            if (value(0, 9) == 0)
                content += end_pos; // a blank line
            content += "\"" + key() + "\"," + (value(0, 3) == 0 ? " " : "") + "\"Game " + std::to_string(i) + "\"" + end_pos;
        }
        switch (value(0, 5)) {
        case 0: content += "\"" + key() + "\""; break;       // record cut short
        case 1: content += "\"" + key() + "\"," + end_pos; break; // empty second item
        case 2: content += end_pos + end_pos; break;                        // trailing blank lines
        default: break;
        }
        return content;
    }

    int value(int from, int until) { return std::uniform_int_distribution<int>(from, until)(random_); }

private:
    std::mt19937 random_;
};

} // namespace

TEST(DatabaseIndex, AnswersLikeAFrontToBackReadThroughEditsTruncationAndRemoval)
{
    test::TempFolder folder;
    const std::string path = folder / "snes.dat";
    random_database random(20261206);

    for (int round_ = 0; round_ < 300; ++round_) {
        const std::string where = "round " + std::to_string(round_);
        switch (random.value(0, 9)) {
        case 0:
            std::filesystem::remove(path);
            break;
        case 1:
            if (std::filesystem::exists(path)) // cut the file somewhere
                std::filesystem::resize_file(path, static_cast<std::uintmax_t>(random.value(0, static_cast<int>(std::filesystem::file_size(path)))));
            break;
        default:
            fixtures::write_file(path, random.text()); // often the same size as before
            break;
        }
        for (int lookup = 0; lookup < 6; ++lookup) {
            const RomAnalysis analysis = test::analysis_for(random.key());
            // The reference: the whole file read and searched front to back.
            EXPECT_EQ(Answer([&] { return Finde_romname(analysis, path); }),
                      Answer([&] { return search_database_text(analysis, read_database(path)); })) << where;
        }
    }
}

TEST(DatabaseIndex, SeesAnEditOfTheSameSizeRightAfterALookupAndKeepsTwoDatabasesApart)
{
    test::TempFolder folder;
    const std::string a = folder / "a.dat", b = folder / "b.dat";
    const RomAnalysis analysis = test::analysis_for("QQ");
    const auto full = [&](const std::string& path) { return Finde_romname(analysis, path).Voller_name; };
    fixtures::write_file(a, fixtures::database_line("QQ", "Game A"));
    fixtures::write_file(b, fixtures::database_line("QQ", "From B"));
    EXPECT_EQ(full(a), "Game A");
    EXPECT_EQ(full(b), "From B");
    fixtures::write_file(a, fixtures::database_line("QQ", "Game C"));
    EXPECT_EQ(full(a), "Game C");
    fixtures::write_file(a, fixtures::database_line("QR", "Game C"));
    EXPECT_EQ(Finde_romname(analysis, a).Neuer_name, "");
    EXPECT_EQ(full(b), "From B");
}
