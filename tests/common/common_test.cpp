// SPDX-License-Identifier: GPL-3.0-or-later
// Windows-1252 conversion, number texts, paths and error numbers.

#include "common/number_text.h"
#include "common/paths.h"
#include "common/system_error.h"
#include "common/user_folders.h"
#include "common/windows1252.h"
#include "tests/testsupport.h"

#include <cerrno>
#include <iconv.h>
#include <tuple>

using namespace cartonym;

TEST(Cp1252, EveryByteSurvivesTheUtf8RoundTrip)
{
    std::string all_names;
    for (int b = 0; b < 256; ++b)
        all_names += static_cast<char>(b);
    EXPECT_EQ(cp1252_from_utf8(utf8_from_cp1252(all_names)), all_names);
    EXPECT_EQ(utf8_from_cp1252(std::string("\x80 A\0", 4)), std::string("\xE2\x82\xAC A\0", 6));
}

TEST(Cp1252, RejectsInvalidUtf8AndUnwritableCharacters)
{
    // Overlong NUL and '/', a surrogate, cut short at the end and in the middle, a lone continuation byte,
    // beyond U+10FFFF, U+0100 (no Windows-1252 byte), U+0080 (0x80 is the euro sign, not this control).
    for (const char* text : {"\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xC3", "\xE2\x82\x41", "\x80",
             "\xF4\x90\x80\x80", "\xC4\x80", "\xC2\x80"})
        EXPECT_FALSE(cp1252_from_utf8(text).has_value()) << ::testing::PrintToString(text);
    EXPECT_EQ(cp1252_from_utf8("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
}

TEST(NumberText, HexDigitsDecimalAndTenths)
{
    EXPECT_EQ(
        (std::vector{hex_text(0x04), hex_text(0x1F), hex_text(0xFF)}), (std::vector<std::string>{"4", "1F", "FF"}));
    EXPECT_EQ((std::vector{decimal_text(53), decimal_text(0), decimal_text(-2147483648LL)}),
        (std::vector<std::string>{" 53", " 0", "-2147483648"}));
    const std::pair<std::int64_t, const char*> tenths[] = {
        {84, " 8.4"}, {40, " 4"}, {4, " 0.4"}, {0, " 0"}, {-15, "-1.5"}, {-10, "-1"}};
    for (const auto& [value, text] : tenths)
        EXPECT_EQ(decimal_text_of_tenths(value), text) << value;
    for (unsigned value = 0; value < 16; ++value) { // every hex digit in both cases
        const char upper = "0123456789ABCDEF"[value];
        EXPECT_EQ(hex_digit(value), upper) << value;
        EXPECT_EQ(hex_digit(value, true), ascii_lower(std::string(1, upper))[0]) << value;
        EXPECT_EQ(hex_digit(value + 16), upper) << "only the low four bits count";
    }
}

struct ErrnoCase {
    const char* what;
    int errnum, number;
    const char* description;
};
class ErrnoMapping : public ::testing::TestWithParam<ErrnoCase> { };

TEST_P(ErrnoMapping, GivesTheNumberAndDescription)
{
    try {
        result_of_platform_number(GetParam().errnum).raise();
        ADD_FAILURE() << "raise() returned";
    } catch (const Error& thrown) {
        EXPECT_EQ(std::tuple(thrown.value(), std::string(thrown.description())),
            std::tuple(GetParam().number, std::string(GetParam().description)));
    }
}

INSTANTIATE_TEST_SUITE_P(Each, ErrnoMapping,
    ::testing::Values(ErrnoCase{"ENOENT", ENOENT, 53, "File not found"},
        ErrnoCase{"EEXIST", EEXIST, 58, "File already exists"}, ErrnoCase{"EACCES", EACCES, 70, "Permission denied"},
        ErrnoCase{"EROFS", EROFS, 70, "Permission denied"}, ErrnoCase{"ENOSPC", ENOSPC, 61, "Disk full"},
        ErrnoCase{"EIO", EIO, 57, "Device I/O error"},
        ErrnoCase{"ENAMETOOLONG", ENAMETOOLONG, 52, "Bad file name or number"},
        ErrnoCase{"ENOTDIR", ENOTDIR, 76, "Path not found"}, ErrnoCase{"EXDEV", EXDEV, 75, "Path/File access error"},
        ErrnoCase{"EAGAIN", EAGAIN, 75, "Path/File access error"}),
    test::CaseName());

TEST(Error, MessageTexts)
{
    EXPECT_STREQ(error_description(ErrorNumber::input_past_end_of_file), "Input past end of file");
    EXPECT_EQ(short_error_text(Error(ErrorNumber::file_not_found)), "Error Nr.  53 happened:\nFile not found");
    EXPECT_EQ(file_error_text(Error(ErrorNumber::file_already_exists), "/roms/Game (USA).smc"),
        "Error Nr.  58 happened:\nFile already exists\nThis error happend while processing the following "
        "file: \n\n/roms/Game (USA).smc\n\nProgress aborted !");
}

struct PathCase {
    const char *what, *path, *parent, *base;
};
class PathParts : public ::testing::TestWithParam<PathCase> { };

TEST_P(PathParts, ParentFolderBaseNameAndJoiningBack)
{
    const PathCase& c = GetParam();
    EXPECT_EQ(std::tuple(parent_folder(c.path), base_name(c.path)), std::tuple(c.parent, c.base));
    if (*c.base != '\0' && std::string(c.parent) != ".") {
        EXPECT_EQ(join_path(parent_folder(c.path), base_name(c.path)), c.path);
    }
}

INSTANTIATE_TEST_SUITE_P(Each, PathParts,
    ::testing::Values(PathCase{"bare name", "a.smc", ".", "a.smc"}, PathCase{"in the root", "/a.smc", "/", "a.smc"},
        PathCase{"absolute", "/roms/a.smc", "/roms", "a.smc"},
        PathCase{"relative with a blank", "roms/sub/a b.smc", "roms/sub", "a b.smc"},
        PathCase{"folder with a slash", "/roms/", "/roms", ""}),
    test::CaseName());

TEST(Paths, InsideAFolderPlainNamesAndAbsolutePaths)
{
    EXPECT_TRUE(is_inside_folder("/roms/sub/a.smc", "/roms"));
    EXPECT_TRUE(is_inside_folder("/a.smc", "/"));
    EXPECT_FALSE(is_inside_folder("/roms2/a.smc", "/roms"));
    EXPECT_FALSE(is_inside_folder("/roms", "/roms"));
    EXPECT_FALSE(is_plain_name(".."));
    EXPECT_FALSE(is_plain_name("sub/a.smc"));
    EXPECT_EQ(absolute_path("a.smc", "/"), "/a.smc");
    EXPECT_EQ(absolute_path("/roms/a.smc", "/work"), "/roms/a.smc");
}

TEST(Paths, UserFolderFollowsTheXdgRule)
{
    const auto with = [](UserFolderKind kind, const char* variable, const char* value, const char* home) {
        const char* saved = getenv(variable);
        const std::optional<std::string> saved_value = saved ? std::optional<std::string>(saved) : std::nullopt;
        const std::string saved_home = getenv("HOME") ? getenv("HOME") : "";
        value ? setenv(variable, value, 1) : unsetenv(variable);
        home ? setenv("HOME", home, 1) : unsetenv("HOME");
        const std::string folder = user_folder(kind).value_or("none");
        saved_value ? setenv(variable, saved_value->c_str(), 1) : unsetenv(variable);
        setenv("HOME", saved_home.c_str(), 1);
        return folder;
    };
    EXPECT_EQ(with(UserFolderKind::data, "XDG_DATA_HOME", "/data", "/home/u"), "/data/cartonym");
    EXPECT_EQ(with(UserFolderKind::data, "XDG_DATA_HOME", "relative", "/home/u"), "/home/u/.local/share/cartonym");
    EXPECT_EQ(with(UserFolderKind::state, "XDG_STATE_HOME", nullptr, "/home/u"), "/home/u/.local/state/cartonym");
    EXPECT_EQ(with(UserFolderKind::cache, "XDG_CACHE_HOME", "", "/home/u"), "/home/u/.cache/cartonym");
    EXPECT_EQ(with(UserFolderKind::config, "XDG_CONFIG_HOME", "/c", nullptr), "/c/cartonym");
    EXPECT_EQ(with(UserFolderKind::config, "XDG_CONFIG_HOME", "", nullptr), "none");
}

// The code page's whole table against the system's own converter: all 256
// bytes to code points, and every code point up to U+FFFF back. The five
// bytes the code page leaves undefined stand for the C1 controls.
TEST(Cp1252, EveryByteAndEveryCodePointAgainstTheSystemsTable)
{
    iconv_t to_utf32 = iconv_open("UTF-32LE", "CP1252");
    ASSERT_NE(to_utf32, reinterpret_cast<iconv_t>(-1));
    std::map<char32_t, unsigned char> byte_of;
    for (int b = 0; b < 256; ++b) {
        char in[1] = {static_cast<char>(b)};
        char32_t out = 0;
        char *in_ptr = in, *out_ptr = reinterpret_cast<char*>(&out);
        std::size_t in_left = 1, out_left = sizeof out;
        const bool defined = iconv(to_utf32, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1);
        const char32_t expected = defined ? out : static_cast<char32_t>(b);
        EXPECT_EQ(code_point_from_cp1252(static_cast<unsigned char>(b)), expected) << b;
        byte_of[expected] = static_cast<unsigned char>(b);
    }
    iconv_close(to_utf32);
    ASSERT_EQ(byte_of.size(), 256u);
    for (char32_t character = 0; character <= 0xFFFF; ++character) {
        const auto found = byte_of.find(character);
        const std::optional<unsigned char> expected =
            found == byte_of.end() ? std::nullopt : std::optional<unsigned char>(found->second);
        ASSERT_EQ(cp1252_from_code_point(character), expected) << static_cast<unsigned>(character);
    }
}
