// File mode: one selected file analysed, looked up and shown; the rename.
#pragma once

#include "analysis/rom_analysis.h"
#include "naming/name_database.h"

#include <string>

namespace cartonym {

enum class Auswahlzustand {
    Kein_bild,  // "This is no SNES ROM Image or a bad dump !"
    Unbekannt,  // image, but the database does not know it
    Bekannt,    // image with a new name; the rename button is shown
};

struct Dateiauswahl {
    Auswahlzustand zustand = Auswahlzustand::Kein_bild;
    Analyse analyse;
    Namensergebnis namen; // namen.Neuer_name: exactly what "Suggested new filename:" shows
};

inline constexpr const char* Text_kein_bild = "This is no SNES ROM Image or a bad dump !";
inline constexpr const char* Text_unbekannt = "ROM unknown !";

// Analyses Dateipfad, looks it up and applies the chosen style (the unknown
// text too); for an unknown image namen.Voller_name is "". Throws Fehler
// when the image or the database cannot be read.
Dateiauswahl Waehle_datei(const std::string& Dateipfad, const std::string& Datenbankpfad, bool ohne_leerzeichen);

// True when name names an entry inside a folder: not empty, not "." or
// "..", and without "/", "\" or NUL. Other names are refused with Fehler 52.
bool Ist_einfacher_dateiname(const std::string& name);

// Renames Dateipfad to ordner, Trenner and Neuer_name (a Windows-1252 name)
// without ever replacing a file: fails with Fehler 58 when the target exists,
// and with 52 when the name would leave the folder ("/", "\", "." or "..").
void Benenne_datei_um(const std::string& Dateipfad, const std::string& ordner, const std::string& Neuer_name);

} // namespace cartonym
