// Windows-1252 conversion, number texts and error numbers.
#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "common/error.h"
#include "common/number_text.h"

#include <cerrno>
#include <string>

using namespace cartonym;

TEST(Cp1252, EveryByteSurvivesTheRoundTripAndTheHoleBytesStayControls)
{
    std::string alle;
    for (int b = 0; b < 256; ++b)
        alle += static_cast<char>(b);
    EXPECT_EQ(Cp1252_aus_utf8(Utf8_aus_cp1252(alle)), alle);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(Cp1252_aus_zeichen(Zeichen_aus_cp1252(static_cast<unsigned char>(b))), b) << b;

    const std::pair<unsigned char, char32_t> faelle[] = {{0x41, 0x41},     {0x7F, 0x7F},     {0x80, 0x20AC},
                                                         {0x81, 0x81},     {0x8D, 0x8D},     {0x9D, 0x9D},
                                                         {0x99, 0x2122},   {0x9F, 0x0178},   {0xFF, 0xFF}};
    for (const auto& [byte, zeichen] : faelle)
        EXPECT_EQ(Zeichen_aus_cp1252(byte), zeichen) << int(byte);
    EXPECT_EQ(Utf8_aus_cp1252(std::string("\x80 A\0", 4)), std::string("\xE2\x82\xAC A\0", 6));
}

TEST(Cp1252, RejectsInvalidUtf8AndUnwritableCharacters)
{
    for (const char* text : {
             "\xC0\x80",         // overlong NUL
             "\xE0\x80\xAF",     // overlong '/'
             "\xED\xA0\x80",     // surrogate
             "\xC3",             // truncated
             "\xE2\x82" "A",     // truncated in the middle
             "\x80",             // lone continuation byte
             "\xF4\x90\x80\x80", // beyond U+10FFFF
             "\xC4\x80",         // U+0100: no Windows-1252 byte
             "\xC2\x80",         // U+0080: 0x80 is the euro sign, not this control
         })
        EXPECT_FALSE(Cp1252_aus_utf8(text).has_value()) << ::testing::PrintToString(text);
    EXPECT_EQ(Cp1252_aus_utf8("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
}

TEST(Zahltext, HexDecimalAndTenths)
{
    EXPECT_EQ(Hextext(0x04), "4");
    EXPECT_EQ(Hextext(0x1F), "1F");
    EXPECT_EQ(Hextext(0xFF), "FF");
    EXPECT_EQ(Dezimaltext(53), " 53");
    EXPECT_EQ(Dezimaltext(0), " 0");
    EXPECT_EQ(Dezimaltext(-2147483648LL), "-2147483648");
    const std::pair<std::int64_t, const char*> zehntel[] = {
        {84, " 8.4"}, {40, " 4"}, {4, " 0.4"}, {0, " 0"}, {-15, "-1.5"}, {-10, "-1"}};
    for (const auto& [zahl, text] : zehntel)
        EXPECT_EQ(Dezimaltext_zehntel(zahl), text) << zahl;
}

TEST(Fehler, ErrnoMapsToNumberAndDescription)
{
    const struct {
        int errnum, nummer;
        const char* beschreibung;
    } faelle[] = {
        {ENOENT, 53, "File not found"},    {EEXIST, 58, "File already exists"}, {EACCES, 70, "Permission denied"},
        {EROFS, 70, "Permission denied"},  {ENOSPC, 61, "Disk full"},           {EIO, 57, "Device I/O error"},
        {ENAMETOOLONG, 52, "Bad file name or number"},                          {ENOTDIR, 76, "Path not found"},
        {EXDEV, 75, "Path/File access error"}, {EAGAIN, 75, "Path/File access error"},
    };
    for (const auto& fall : faelle) {
        SCOPED_TRACE(fall.errnum);
        try {
            Wirf_errno(fall.errnum);
            ADD_FAILURE() << "Wirf_errno returned";
        } catch (const Fehler& fehler) {
            EXPECT_EQ(fehler.zahl(), fall.nummer);
            EXPECT_EQ(fehler.beschreibung(), fall.beschreibung);
        }
    }
    EXPECT_STREQ(Fehlerbeschreibung(Fehlernummer::Dateiende), "Input past end of file");
    EXPECT_EQ(Fehlertext_kurz(Fehler(Fehlernummer::Datei_fehlt)), "Error Nr.  53 happened:\nFile not found");
    EXPECT_EQ(Fehlertext_datei(Fehler(Fehlernummer::Datei_existiert), "/roms/Game (USA).smc"),
              "Error Nr.  58 happened:\nFile already exists\nThis error happend while processing the following "
              "file: \n\n/roms/Game (USA).smc\n\nProgress aborted !");
}
