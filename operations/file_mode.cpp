#include "operations/file_mode.h"

#include "common/error.h"
#include "naming/file_names.h"
#include "common/file_operations.h"

namespace cartonym {

Dateiauswahl Waehle_datei(const std::string& Dateipfad, const std::string& Datenbankpfad, bool ohne_leerzeichen)
{
    Dateiauswahl auswahl;
    auswahl.analyse = Analysiere_rom(Dateipfad);
    if (!auswahl.analyse.Rom_ok)
        return auswahl;
    auswahl.namen = Finde_romname(auswahl.analyse, Datenbankpfad);
    if (auswahl.namen.Neuer_name.empty()) {
        auswahl.zustand = Auswahlzustand::Unbekannt;
        auswahl.namen.Neuer_name = Text_unbekannt;
        // The lookup leaves the last record's name here; an unknown image has none.
        auswahl.namen.Voller_name.clear();
    } else {
        auswahl.zustand = Auswahlzustand::Bekannt;
    }
    if (ohne_leerzeichen)
        Baue_dateiname(auswahl.namen.Neuer_name);
    return auswahl;
}

bool Ist_einfacher_dateiname(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void Benenne_datei_um(const std::string& Dateipfad, const std::string& ordner, const std::string& Neuer_name)
{
    if (!Ist_einfacher_dateiname(Neuer_name))
        throw Fehler(Fehlernummer::Dateiname_falsch);
    Verschiebe_datei(Dateipfad, Verbinde_pfad(ordner, Dateisystemname(Neuer_name)));
}

} // namespace cartonym
