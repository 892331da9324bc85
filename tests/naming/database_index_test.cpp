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
template <typename Suche>
std::string Antwort(Suche suche)
{
    try {
        const Namensergebnis e = suche();
        return e.Neuer_name + "|" + e.Voller_name + "|" + e.Db_interner_name;
    } catch (const Fehler& fehler) {
        return "failure " + std::to_string(fehler.zahl());
    }
}

class Zufallsdatenbank {
public:
    explicit Zufallsdatenbank(unsigned saat) : zufall_(saat) {}

    // Keys from a tiny alphabet, so that repeated keys and near misses occur;
    // no key starts like one of the fixed corrections.
    std::string schluessel()
    {
        std::string name(21, ' ');
        const int laenge = zahl(1, 4);
        for (int i = 0; i < laenge; ++i)
            name[static_cast<std::size_t>(i)] = "QRST"[zahl(0, 3)];
        return name;
    }

    std::string text()
    {
        static const char* const zeilenenden[] = {"\r\n", "\n", "\r"};
        const std::string ende = zeilenenden[zahl(0, 2)];
        std::string inhalt;
        const int saetze = zahl(0, 12);
        for (int i = 0; i < saetze; ++i) {
            if (zahl(0, 9) == 0)
                inhalt += ende; // a blank line
            inhalt += "\"" + schluessel() + "\"," + (zahl(0, 3) == 0 ? " " : "") + "\"Game " + std::to_string(i) + "\"" + ende;
        }
        switch (zahl(0, 5)) {
        case 0: inhalt += "\"" + schluessel() + "\""; break;       // record cut short
        case 1: inhalt += "\"" + schluessel() + "\"," + ende; break; // empty second item
        case 2: inhalt += ende + ende; break;                        // trailing blank lines
        default: break;
        }
        return inhalt;
    }

    int zahl(int von, int bis) { return std::uniform_int_distribution<int>(von, bis)(zufall_); }

private:
    std::mt19937 zufall_;
};

} // namespace

TEST(Datenbankindex, AnswersLikeAFrontToBackReadThroughEditsTruncationAndRemoval)
{
    test::Tempordner ordner;
    const std::string pfad = ordner / "snes.dat";
    Zufallsdatenbank zufall(20261206);

    for (int runde = 0; runde < 300; ++runde) {
        const std::string wo = "round " + std::to_string(runde);
        switch (zufall.zahl(0, 9)) {
        case 0:
            std::filesystem::remove(pfad);
            break;
        case 1:
            if (std::filesystem::exists(pfad)) // cut the file somewhere
                std::filesystem::resize_file(pfad, static_cast<std::uintmax_t>(zufall.zahl(0, static_cast<int>(std::filesystem::file_size(pfad)))));
            break;
        default:
            fixtures::Schreibe_datei(pfad, zufall.text()); // often the same size as before
            break;
        }
        for (int suche = 0; suche < 6; ++suche) {
            const Analyse analyse = test::Analyse_fuer(zufall.schluessel());
            // The reference: the whole file read and searched front to back.
            EXPECT_EQ(Antwort([&] { return Finde_romname(analyse, pfad); }),
                      Antwort([&] { return Finde_romname_in(analyse, Lies_datenbank(pfad)); })) << wo;
        }
    }
}

TEST(Datenbankindex, SeesAnEditOfTheSameSizeRightAfterALookupAndKeepsTwoDatabasesApart)
{
    test::Tempordner ordner;
    const std::string a = ordner / "a.dat", b = ordner / "b.dat";
    const Analyse analyse = test::Analyse_fuer("QQ");
    const auto voll = [&](const std::string& pfad) { return Finde_romname(analyse, pfad).Voller_name; };
    fixtures::Schreibe_datei(a, fixtures::Datenbankzeile("QQ", "Game A"));
    fixtures::Schreibe_datei(b, fixtures::Datenbankzeile("QQ", "From B"));
    EXPECT_EQ(voll(a), "Game A");
    EXPECT_EQ(voll(b), "From B");
    fixtures::Schreibe_datei(a, fixtures::Datenbankzeile("QQ", "Game C"));
    EXPECT_EQ(voll(a), "Game C");
    fixtures::Schreibe_datei(a, fixtures::Datenbankzeile("QR", "Game C"));
    EXPECT_EQ(Finde_romname(analyse, a).Neuer_name, "");
    EXPECT_EQ(voll(b), "From B");
}
