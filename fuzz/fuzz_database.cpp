// Fuzz target: the snes.dat reader and the lookup. The database text is
// searched front to back and through the parsed index; both must give the
// same names and the same errors, and neither may crash.
//
// Input: 21 bytes internal name, then the database text.
#include "common/error.h"
#include "naming/name_database.h"
#include "naming/database_index.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Ausgang {
    int fehler = 0;
    cartonym::Namensergebnis ergebnis;
};

template <typename Suche>
Ausgang Fuehre_aus(Suche suche)
{
    Ausgang ausgang;
    try {
        ausgang.ergebnis = suche();
    } catch (const cartonym::Fehler& fehler) {
        ausgang.fehler = fehler.zahl();
    }
    return ausgang;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* daten, std::size_t groesse)
{
    if (groesse < 21)
        return 0;
    cartonym::Analyse analyse;
    analyse.Rom_ok = true;
    analyse.Interner_name.assign(reinterpret_cast<const char*>(daten), 21);
    analyse.Landkuerzel = " (USA)";
    analyse.Endung = ".smc";
    const std::string_view text(reinterpret_cast<const char*>(daten) + 21, groesse - 21);

    const Ausgang vorne_nach_hinten = Fuehre_aus([&] { return cartonym::Finde_romname_in(analyse, text); });
    const Ausgang ueber_index = Fuehre_aus([&] {
        const cartonym::Datenbankindex index(text);
        return index.suche(analyse.Interner_name, analyse);
    });
    if (vorne_nach_hinten.fehler != ueber_index.fehler)
        std::abort();
    if (vorne_nach_hinten.fehler == 0
        && (vorne_nach_hinten.ergebnis.Neuer_name != ueber_index.ergebnis.Neuer_name
            || vorne_nach_hinten.ergebnis.Voller_name != ueber_index.ergebnis.Voller_name
            || vorne_nach_hinten.ergebnis.Db_interner_name != ueber_index.ergebnis.Db_interner_name))
        std::abort();
    if (vorne_nach_hinten.fehler != 0 && vorne_nach_hinten.fehler != 62)
        std::abort(); // text in memory can only end too early
    return 0;
}
