// The name database snes.dat and the lookup of an image's full game name.
#pragma once

#include "analysis/rom_analysis.h"

#include <string>
#include <string_view>

namespace cartonym {

// Reads the comma/quote items of the database text one after the other.
// Items are separated by a comma or a line end (CR LF, CR or LF); blanks
// before an item are skipped; a quoted item runs to the next quote and may
// hold commas, and the rest of it up to the separator is ignored; an unquoted
// item runs to the separator, its trailing blanks dropped. Blank lines
// between records are skipped.
class Eintragsleser {
public:
    explicit Eintragsleser(std::string_view text) : text_(text) {}

    // The next item; throws Fehler 62 when the text ends before it.
    std::string naechstes_element();

    // True when nothing but blanks and line ends is left.
    bool am_ende();

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool nach_komma_ = false;
};

struct Namensergebnis {
    std::string Voller_name;      // full game name (valid only when Neuer_name is not "")
    std::string Neuer_name;       // normal-style new file name, "" for an unknown image
    std::string Db_interner_name; // first item of the last record read
};

// The whole database file; throws Fehler (53 when it is missing).
std::string Lies_datenbank(const std::string& Datenbankpfad);

// Looks the analysed image up: first the fixed corrections, then the
// database from the top, first matching record wins. Errors reading the
// database throw Fehler.
Namensergebnis Finde_romname(const Analyse& analyse, const std::string& Datenbankpfad);

// The database search alone, over database text already in memory, read
// front to back as the file would be (no corrections).
Namensergebnis Finde_romname_in(const Analyse& analyse, std::string_view datenbanktext);

// Result of the start-up check of the database.
enum class Startzustand {
    Bereit,              // the database can be opened
    Datenbank_fehlt,     // missing: show the message, then end the program
    Datenbank_fehlerhaft // any other failure: show the message, then go on
};

struct Startpruefung {
    Startzustand zustand = Startzustand::Bereit;
    std::string meldung; // Windows-1252; empty when ready
};

// Opens the database and closes it again at once; nothing is read.
Startpruefung Pruefe_datenbank(const std::string& Datenbankpfad);

// The database's place: snes.dat in the folder that holds the program.
std::string Standard_datenbankpfad();

} // namespace cartonym
