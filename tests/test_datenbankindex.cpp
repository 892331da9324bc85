// The cached database index must answer exactly as reading the file front to
// back on every lookup: same names, same last record, same errors, also
// right after the file is edited, truncated or removed.
#include "common/fehler.h"
#include "fixtures/rombau.h"
#include "naming/datenbank.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace cartonym;

namespace {

struct Ausgang {
    bool fehler = false;
    int nummer = 0;
    Namensergebnis ergebnis;
};

template <typename Suche>
Ausgang Fuehre_aus(Suche suche)
{
    Ausgang ausgang;
    try {
        ausgang.ergebnis = suche();
    } catch (const Fehler& fehler) {
        ausgang.fehler = true;
        ausgang.nummer = fehler.zahl();
    }
    return ausgang;
}

// The reference: the whole file read and searched front to back.
Ausgang Referenz(const Analyse& analyse, const std::string& pfad)
{
    return Fuehre_aus([&] { return Finde_romname_in(analyse, Lies_datenbank(pfad)); });
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

Analyse Bild_mit_namen(const std::string& name)
{
    Analyse analyse;
    analyse.Rom_ok = true;
    analyse.Interner_name = name;
    analyse.Pruefsumme = "3412";
    analyse.Landkuerzel = " (USA)";
    analyse.Endung = ".smc";
    return analyse;
}

void Vergleiche(const Ausgang& index, const Ausgang& referenz, const std::string& wo)
{
    ASSERT_EQ(index.fehler, referenz.fehler) << wo;
    if (index.fehler) {
        EXPECT_EQ(index.nummer, referenz.nummer) << wo;
        return;
    }
    EXPECT_EQ(index.ergebnis.Neuer_name, referenz.ergebnis.Neuer_name) << wo;
    EXPECT_EQ(index.ergebnis.Voller_name, referenz.ergebnis.Voller_name) << wo;
    EXPECT_EQ(index.ergebnis.Db_interner_name, referenz.ergebnis.Db_interner_name) << wo;
}

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
            const Analyse analyse = Bild_mit_namen(zufall.schluessel());
            Vergleiche(Fuehre_aus([&] { return Finde_romname(analyse, pfad); }), Referenz(analyse, pfad), wo);
        }
    }
}

TEST(Datenbankindex, SeesAnEditOfTheSameSizeMadeRightAfterALookup)
{
    test::Tempordner ordner;
    const std::string pfad = ordner / "snes.dat";
    const Analyse analyse = Bild_mit_namen(fixtures::Interner_name("QQ"));
    fixtures::Schreibe_datei(pfad, fixtures::Datenbankzeile("QQ", "Game A"));
    EXPECT_EQ(Finde_romname(analyse, pfad).Voller_name, "Game A");
    fixtures::Schreibe_datei(pfad, fixtures::Datenbankzeile("QQ", "Game B"));
    EXPECT_EQ(Finde_romname(analyse, pfad).Voller_name, "Game B");
    fixtures::Schreibe_datei(pfad, fixtures::Datenbankzeile("QR", "Game B"));
    EXPECT_EQ(Finde_romname(analyse, pfad).Neuer_name, "");
}

TEST(Datenbankindex, KeepsTwoDatabasesApart)
{
    test::Tempordner ordner;
    fixtures::Schreibe_datei(ordner / "a.dat", fixtures::Datenbankzeile("QQ", "From A"));
    fixtures::Schreibe_datei(ordner / "b.dat", fixtures::Datenbankzeile("QQ", "From B"));
    const Analyse analyse = Bild_mit_namen(fixtures::Interner_name("QQ"));
    EXPECT_EQ(Finde_romname(analyse, ordner / "a.dat").Voller_name, "From A");
    EXPECT_EQ(Finde_romname(analyse, ordner / "b.dat").Voller_name, "From B");
    EXPECT_EQ(Finde_romname(analyse, ordner / "a.dat").Voller_name, "From A");
}
