// Fuzz target: image analysis and header decoding on arbitrary file contents
// and lengths. The analysis reads only the first 512 bytes and four 32-byte
// header sites, so the input is laid out as exactly those bytes plus the
// file's length; everything else of the file is a hole of zeros.
//
// Input: 4 bytes length (little endian), then up to 512 + 4 x 32 bytes that
// fill offsets 0-511 and the sites at 0x7FC0, 0xFFC0, 0x81C0 and 0x101C0.
#include "analysis/rom_analysis.h"
#include "common/windows1252.h"
#include "common/error.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t Stellen[] = {0x7FC0, 0xFFC0, 0x81C0, 0x101C0};

void Pruefe(bool bedingung)
{
    if (!bedingung)
        std::abort();
}

bool Bekannter_formatcode(const std::string& code)
{
    for (const char* bekannt : {"SWC LO", "SWC HI", "GDR LO", "GDR HI", "FIG LO", "FIG HI", "COS LO", "NO LO", "NO HI"})
        if (code == bekannt)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse)
{
    static const int fd = ::memfd_create("rom", MFD_CLOEXEC);
    static const std::string pfad = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || groesse < 4)
        return 0;

    std::uint32_t laenge = 0;
    std::memcpy(&laenge, daten, 4);
    laenge %= 0x200000; // up to 2 MiB, sites beyond the end included
    daten += 4;
    groesse -= 4;

    Pruefe(::ftruncate(fd, 0) == 0 && ::ftruncate(fd, laenge) == 0);
    const auto schreibe = [&](std::uint64_t versatz, std::size_t anzahl) {
        anzahl = std::min(anzahl, groesse);
        if (versatz < laenge && anzahl > 0)
            Pruefe(::pwrite(fd, daten, std::min<std::uint64_t>(anzahl, laenge - versatz), static_cast<off_t>(versatz)) >= 0);
        daten += anzahl;
        groesse -= anzahl;
    };
    schreibe(0, 512);
    for (const std::uint64_t stelle : Stellen)
        schreibe(stelle, 32);

    cartonym::Analyse analyse;
    try {
        analyse = cartonym::Analysiere_rom(pfad);
    } catch (const cartonym::Fehler&) {
        std::abort(); // a readable regular file must never fail
    }
    if (!analyse.Rom_ok) {
        Pruefe(analyse.Formatcode.empty() && analyse.Interner_name.empty());
        return 0;
    }
    Pruefe(Bekannter_formatcode(analyse.Formatcode));
    Pruefe(analyse.Interner_name.size() == 21);
    Pruefe(analyse.Pruefsumme.size() >= 2 && analyse.Pruefsumme.size() <= 4);
    Pruefe(analyse.Endung == ".smc" || analyse.Endung == ".swc" || analyse.Endung == ".fig");
    Pruefe(!analyse.Size_text.empty() && !analyse.Land_text.empty() && !analyse.Hersteller_text.empty());
    // Every internal name survives the trip to UTF-8 and back unchanged.
    const auto zurueck = cartonym::Cp1252_aus_utf8(cartonym::Utf8_aus_cp1252(analyse.Interner_name));
    Pruefe(zurueck && *zurueck == analyse.Interner_name);
    return 0;
}
