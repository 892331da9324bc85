// Writes the fuzzers' seed inputs, made with the fixture builder: an image of
// every format code (and rejected ones) for the analysis, and small
// databases for the reader.
#include "fixtures/rom_builder.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

using namespace cartonym::fixtures;

// The analysis fuzzer's layout: length, offsets 0-511, the four sites.
std::string Kompakt(const std::string& bild)
{
    const auto laenge = static_cast<std::uint32_t>(bild.size());
    std::string eingabe(4, '\0');
    std::memcpy(eingabe.data(), &laenge, 4);
    const auto haenge_an = [&](std::size_t versatz, std::size_t anzahl) {
        std::string stueck(anzahl, '\0');
        if (versatz < bild.size())
            stueck.replace(0, std::min(anzahl, bild.size() - versatz), bild.substr(versatz, anzahl));
        eingabe += stueck;
    };
    haenge_an(0, 512);
    for (const std::size_t stelle : {0x7FC0, 0xFFC0, 0x81C0, 0x101C0})
        haenge_an(stelle, 32);
    return eingabe;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: cartonym-fuzz-seeds ANALYSIS-DIR DATABASE-DIR\n";
        return 2;
    }
    const std::filesystem::path analyse = argv[1], datenbank = argv[2];
    std::filesystem::create_directories(analyse);
    std::filesystem::create_directories(datenbank);

    int nummer = 0;
    for (const Kopierkopf kopf : {Kopierkopf::Keiner, Kopierkopf::SWC, Kopierkopf::GDR, Kopierkopf::FIG, Kopierkopf::COS}) {
        for (const Karte karte : {Karte::LoRom, Karte::HiRom}) {
            Rombauplan plan;
            plan.kopf = kopf;
            plan.karte = karte;
            plan.romgroesse = static_cast<std::uint8_t>(7 + nummer % 7);
            plan.land = static_cast<std::uint8_t>(nummer);
            plan.lizenz = static_cast<std::uint8_t>(nummer * 25);
            plan.datenlaenge = 0x10000;
            Schreibe_datei((analyse / ("image-" + std::to_string(nummer++))).string(), Kompakt(Baue_rom(plan)));
            plan.name = std::string(1, '\xFF') + "REJECTED"; // a rejected name forces the other map
            Schreibe_datei((analyse / ("image-" + std::to_string(nummer++))).string(), Kompakt(Baue_rom(plan)));
        }
    }

    const std::string name = Interner_name("SEED GAME");
    Schreibe_datei((datenbank / "found").string(), name + Datenbankzeile("OTHER", "Other") + Datenbankzeile("SEED GAME", "Seed Game"));
    Schreibe_datei((datenbank / "missing").string(), name + Datenbankzeile("OTHER", "Other"));
    Schreibe_datei((datenbank / "cut-short").string(), name + Datenbankzeile("OTHER", "Other") + "\"SEED GAME            \"");
    Schreibe_datei((datenbank / "unquoted").string(), name + "  SEED GAME , \"Seed, Game\"\nX,Y\r");
    return 0;
}
