// Windows-1252 conversion, number texts and error numbers.
#include <gtest/gtest.h>

#include "common/cp1252.h"
#include "common/fehler.h"
#include "common/zahltext.h"

#include <cerrno>
#include <string>
#include <vector>

using namespace cartonym;

namespace {

std::string Utf8(char32_t zeichen)
{
    std::string text;
    Haenge_utf8_an(text, zeichen);
    return text;
}

} // namespace

// --- Windows-1252 <-> UTF-8 ------------------------------------------------

TEST(Cp1252, EveryByteSurvivesTheRoundTrip)
{
    std::string alle;
    for (int b = 0; b < 256; ++b)
        alle += static_cast<char>(b);
    const std::string utf8 = Utf8_aus_cp1252(alle);
    const auto zurueck = Cp1252_aus_utf8(utf8);
    ASSERT_TRUE(zurueck.has_value());
    EXPECT_EQ(*zurueck, alle);

    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const char32_t zeichen = Zeichen_aus_cp1252(byte);
        EXPECT_EQ(Cp1252_aus_zeichen(zeichen), byte) << "byte " << b;
        EXPECT_EQ(Utf8_aus_cp1252(std::string(1, static_cast<char>(b))), Utf8(zeichen)) << "byte " << b;
    }
}

TEST(Cp1252, ExactMappings)
{
    const struct {
        unsigned char byte;
        char32_t zeichen;
    } faelle[] = {
        {0x00, 0x0000}, {0x41, 0x0041}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081},
        {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x99, 0x2122},
        {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xD7, 0x00D7}, {0xFF, 0x00FF},
    };
    for (const auto& fall : faelle)
        EXPECT_EQ(Zeichen_aus_cp1252(fall.byte), fall.zeichen) << "byte " << int(fall.byte);
    EXPECT_EQ(Utf8_aus_cp1252("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf8_aus_cp1252("\x9F"), "\xC5\xB8");
    EXPECT_EQ(Utf8_aus_cp1252(std::string("A\0B", 3)), std::string("A\0B", 3));
}

TEST(Cp1252, RejectsInvalidUtf8AndUnwritableCharacters)
{
    const std::vector<std::string> falsch = {
        "\xC0\x80",         // overlong NUL
        "\xC1\xBF",         // overlong 0x7F
        "\xE0\x80\xAF",     // overlong '/'
        "\xF0\x82\x82\xAC", // overlong euro sign
        "\xED\xA0\x80",     // high surrogate
        "\xED\xBF\xBF",     // low surrogate
        "\xC3",             // truncated two-byte sequence
        "A\xE2\x82",        // truncated three-byte sequence at the end
        "\xE2\x82" "A",     // truncated in the middle
        "\x80",             // lone continuation byte
        "\xFF",             // never valid
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\xE2\x82\xAD",     // U+20AD: no Windows-1252 byte
        "\xC4\x80",         // U+0100
        "\xF0\x9F\x98\x80", // U+1F600
        "\xC2\x80",         // U+0080: 0x80 is the euro sign, not this control
    };
    for (const auto& text : falsch)
        EXPECT_FALSE(Cp1252_aus_utf8(text).has_value()) << ::testing::PrintToString(text);
    EXPECT_EQ(Cp1252_aus_utf8("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(Cp1252_aus_utf8(""), "");
}

// --- Number texts ------------------------------------------------------------

TEST(Zahltext, Hextext)
{
    const std::pair<std::uint8_t, const char*> faelle[] = {
        {0x00, "0"}, {0x04, "4"}, {0x0A, "A"}, {0x0F, "F"}, {0x10, "10"}, {0x1F, "1F"}, {0xAA, "AA"}, {0xFF, "FF"}};
    for (const auto& [byte, text] : faelle)
        EXPECT_EQ(Hextext(byte), text) << int(byte);
}

TEST(Zahltext, Dezimaltext)
{
    const std::pair<std::int64_t, const char*> faelle[] = {
        {53, " 53"}, {-5, "-5"}, {0, " 0"}, {255, " 255"}, {-2147483648LL, "-2147483648"}};
    for (const auto& [zahl, text] : faelle)
        EXPECT_EQ(Dezimaltext(zahl), text) << zahl;
}

TEST(Zahltext, DezimaltextInTenths)
{
    const std::pair<std::int64_t, const char*> faelle[] = {
        {84, " 8.4"}, {40, " 4"}, {4, " 0.4"}, {0, " 0"}, {21475, " 2147.5"}, {-15, "-1.5"}, {-10, "-1"}};
    for (const auto& [zehntel, text] : faelle)
        EXPECT_EQ(Dezimaltext_zehntel(zehntel), text) << zehntel;
}

// --- Error numbers -------------------------------------------------------------

TEST(Fehler, ErrnoMapsToNumberAndDescription)
{
    const struct {
        int errnum;
        int nummer;
        const char* beschreibung;
    } faelle[] = {
        {ENOENT, 53, "File not found"},          {EEXIST, 58, "File already exists"},
        {EACCES, 70, "Permission denied"},       {EPERM, 70, "Permission denied"},
        {EROFS, 70, "Permission denied"},        {ENOSPC, 61, "Disk full"},
        {EDQUOT, 61, "Disk full"},               {EIO, 57, "Device I/O error"},
        {ENAMETOOLONG, 52, "Bad file name or number"},
        {ENOTDIR, 76, "Path not found"},         {EXDEV, 75, "Path/File access error"},
        {EISDIR, 75, "Path/File access error"},  {ENOTEMPTY, 75, "Path/File access error"},
        {EBUSY, 75, "Path/File access error"},   {EAGAIN, 75, "Path/File access error"},
    };
    for (const auto& fall : faelle) {
        SCOPED_TRACE(fall.errnum);
        EXPECT_EQ(static_cast<int>(Nummer_aus_errno(fall.errnum)), fall.nummer);
        try {
            Wirf_errno(fall.errnum);
            ADD_FAILURE() << "Wirf_errno returned";
        } catch (const Fehler& fehler) {
            EXPECT_EQ(fehler.zahl(), fall.nummer);
            EXPECT_EQ(fehler.beschreibung(), fall.beschreibung);
        }
    }
    EXPECT_STREQ(Fehlerbeschreibung(Fehlernummer::Dateiende), "Input past end of file");
}

TEST(Fehler, MessageTexts)
{
    const Fehler fehlt(Fehlernummer::Datei_fehlt);
    EXPECT_EQ(Fehlertext_kurz(fehlt), "Error Nr.  53 happened:\nFile not found");
    EXPECT_EQ(Fehlertext_datei(Fehler(Fehlernummer::Datei_existiert), "/roms/Game (USA).smc"),
              "Error Nr.  58 happened:\nFile already exists"
              "\nThis error happend while processing the following file: \n\n"
              "/roms/Game (USA).smc\n\nProgress aborted !");
}
