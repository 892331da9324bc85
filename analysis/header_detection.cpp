#include "analysis/rom_analysis.h"

#include "common/system_calls.h"
#include "common/number_text.h"

#include <array>
#include <cstring>
#include <span>
#include <string_view>

namespace cartonym {
namespace {

// The four places an internal header can sit, in the file's offsets.
enum Stelle { Lo_ohne_kopf, Hi_ohne_kopf, Lo_mit_kopf, Hi_mit_kopf, Stellenanzahl };

constexpr std::array<std::uint64_t, Stellenanzahl> Stellenbeginn = {0x7FC0, 0xFFC0, 0x81C0, 0x101C0};

constexpr std::size_t Kopierkopflaenge = 512;
constexpr std::size_t Namenslaenge = 21;
constexpr std::size_t Stellenlaenge = 0x20;

// Offsets inside a site.
constexpr std::size_t Versatz_romtyp = 0x16;
constexpr std::size_t Versatz_romgroesse = 0x17;
constexpr std::size_t Versatz_land = 0x19;
constexpr std::size_t Versatz_lizenz = 0x1A;
constexpr std::size_t Versatz_komplement = 0x1C; // low, high; checksum low, high follow

struct Kandidat {
    std::string_view code;
    Stelle stelle;
};

struct Formatangabe {
    std::string_view code;
    std::string_view endung;
    std::string_view dateityp;
    std::string_view gegenstueck; // the same header kind with the other map, "" for none
};

constexpr std::array<Formatangabe, 9> Formate = {{
    {"SWC LO", ".swc", "SNES LoRom, Super Wildcard Header (SWC)", "SWC HI"},
    {"SWC HI", ".swc", "SNES HiRom, Super Wildcard Header (SWC)", "SWC LO"},
    {"FIG LO", ".fig", "SNES LoRom, Pro Fighter Header (FIG)", "FIG HI"},
    {"FIG HI", ".fig", "SNES HiRom, Pro Fighter Header (FIG)", "FIG LO"},
    {"GDR LO", ".smc", "SNES LoRom, Game Dr. 3 Header", "GDR HI"},
    {"GDR HI", ".smc", "SNES HiRom, Game Dr. 3 Header", "GDR LO"},
    {"COS LO", ".smc", "SNES LoRom, Custom unknown Header (mostly PD's and demos)", ""},
    {"NO LO", ".smc", "SNES LoRom, no Header", "NO HI"},
    {"NO HI", ".smc", "SNES HiRom, no Header", "NO LO"},
}};

const Formatangabe& Format_zu(std::string_view code)
{
    for (const auto& format : Formate) {
        if (format.code == code)
            return format;
    }
    return Formate.back();
}

// The internal name that marks an unusable site besides a leading 0xFF.
constexpr std::array<unsigned char, Namenslaenge> Verworfener_name = {
    0xD7, 0x6F, 0x75, 0xF7, 0xDF, 0xFD, 0xD7, 0x5F, 0xD7, 0x75, 0xFD,
    0xDF, 0xFF, 0xFF, 0xF7, 0xFD, 0xFF, 0xFD, 0xFF, 0xDF, 0xFF};

std::string Kopierkopf_erkennen(const std::array<unsigned char, Kopierkopflaenge>& kopf, std::int32_t Headersumme)
{
    const std::string kette_8 = Hextext(kopf[8]) + Hextext(kopf[9]) + Hextext(kopf[10]);
    const std::string kette_7 = Hextext(kopf[7]) + Hextext(kopf[8]) + Hextext(kopf[9]);
    if (kette_8 == "AABB4" || kette_8 == "AABB6" || kette_7 == "AABB4")
        return "SWC";
    if (std::memcmp(kopf.data() + 3, "E DOCTOR SF 3", 13) == 0)
        return "GDR";
    static constexpr std::array<unsigned char, 6> cos_kennung = {0x01, 0x00, 0x10, 0x40, 0x00, 0x31};
    if (std::memcmp(kopf.data(), cos_kennung.data(), cos_kennung.size()) == 0 && Headersumme == 0)
        return "COS";
    if (Headersumme == 0)
        return "FIG";
    return "";
}

// The candidates of a header kind, tried in order.
std::span<const Kandidat> Kandidaten_fuer(const std::string& Headertyp)
{
    static constexpr Kandidat swc[] = {{"SWC LO", Lo_mit_kopf}, {"SWC HI", Hi_mit_kopf}};
    static constexpr Kandidat gdr[] = {{"GDR LO", Lo_mit_kopf}, {"GDR HI", Hi_mit_kopf}};
    static constexpr Kandidat fig[] = {{"FIG LO", Lo_mit_kopf}, {"FIG HI", Hi_mit_kopf}};
    static constexpr Kandidat cos[] = {{"COS LO", Lo_mit_kopf}};
    static constexpr Kandidat ohne[] = {{"NO LO", Lo_ohne_kopf}, {"NO HI", Hi_ohne_kopf}};
    if (Headertyp == "SWC")
        return swc;
    if (Headertyp == "GDR")
        return gdr;
    if (Headertyp == "FIG")
        return fig;
    if (Headertyp == "COS")
        return cos;
    return ohne;
}

// Checksum and complement: each pair of low and high bytes ORs to 0xFF.
bool Paartest(const std::array<unsigned char, 4>& pruefbytes)
{
    const auto oder_lo = static_cast<std::uint8_t>(pruefbytes[0] | pruefbytes[2]);
    const auto oder_hi = static_cast<std::uint8_t>(pruefbytes[1] | pruefbytes[3]);
    return Hextext(oder_lo) + Hextext(oder_hi) == "FFFF";
}

bool Name_verworfen(const std::array<unsigned char, Stellenlaenge>& stelle)
{
    return stelle[0] == 0xFF || std::memcmp(stelle.data(), Verworfener_name.data(), Namenslaenge) == 0;
}

} // namespace

Analyse Analysiere_rom(const std::string& Dateipfad)
{
    Analyse analyse;
    const Lesedatei datei(Dateipfad);

    std::array<unsigned char, Kopierkopflaenge> kopf{};
    datei.lies(0, kopf.data(), kopf.size());
    std::int32_t Headersumme = 0;
    for (std::size_t i = 57; i < Kopierkopflaenge; ++i)
        Headersumme += kopf[i];
    const std::string Headertyp = Kopierkopf_erkennen(kopf, Headersumme);

    // Each site is read whole: name, ROM type, size, country, licensee and the
    // four check bytes lie within its first 32 bytes.
    std::array<std::array<unsigned char, Stellenlaenge>, Stellenanzahl> stellen{};
    std::array<std::array<unsigned char, 4>, Stellenanzahl> pruefbytes{};
    for (std::size_t s = 0; s < Stellenanzahl; ++s) {
        datei.lies(Stellenbeginn[s], stellen[s].data(), Stellenlaenge);
        std::memcpy(pruefbytes[s].data(), stellen[s].data() + Versatz_komplement, 4);
    }

    const std::span<const Kandidat> kandidaten = Kandidaten_fuer(Headertyp);
    std::string Zwangsformat;
    int Versuche = 0;
    for (;;) {
        const Kandidat* angenommen = nullptr;
        for (const Kandidat& kandidat : kandidaten) {
            if (kandidat.code == "COS LO" || Zwangsformat == kandidat.code || Paartest(pruefbytes[kandidat.stelle])) {
                angenommen = &kandidat;
                break;
            }
        }
        if (!angenommen)
            return Analyse{}; // no candidate of this header kind passes

        Zwangsformat.clear();
        const auto& stelle = stellen[angenommen->stelle];
        const Formatangabe& format = Format_zu(angenommen->code);
        analyse.Formatcode = format.code;
        analyse.Endung = format.endung;
        analyse.Dateityp_text = format.dateityp;
        analyse.Interner_name.assign(reinterpret_cast<const char*>(stelle.data()), Namenslaenge);

        if (Name_verworfen(stelle)) {
            // No site may pass the pair test any more in this call.
            for (auto& bytes : pruefbytes)
                bytes.fill(0);
            if (++Versuche == 2)
                return Analyse{};
            if (!format.gegenstueck.empty()) {
                Zwangsformat = format.gegenstueck;
                continue; // accept exactly the other map of the same header kind
            }
            // "COS LO" keeps its reading with the rejected name.
        }

        analyse.Rom_ok = true;
        const Kopfbytes bytes{stelle[Versatz_romtyp], stelle[Versatz_romgroesse], stelle[Versatz_land],
                              stelle[Versatz_lizenz], stelle[Versatz_komplement + 2], stelle[Versatz_komplement + 3]};
        Dekodiere_kopf(bytes, datei.laenge(), analyse);
        return analyse;
    }
}

} // namespace cartonym
