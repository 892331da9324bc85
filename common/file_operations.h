// File-system operations of the rename and batch steps. None of them ever
// replaces an existing file. Each asks the fault-injection hook
// (common/dateisystem.h) first and reports every failure as Fehler.
#pragma once

#include <string>

namespace cartonym {

// Moves the file quelle to ziel on the same file system, atomically and
// without replacing: Fehler 58 when ziel exists (whatever it is). A link
// with a relative target that goes into another folder is made anew there,
// naming the same target absolutely, so that it still leads to its file.
// Hook: Systemoperation::Verschieben with ziel.
void Verschiebe_datei(const std::string& quelle, const std::string& ziel);

// Moves quelle to ziel, also across file systems. When a plain move is not
// possible (EXDEV, real or injected), the file is copied under a temporary
// name into ziel's folder, synchronised, linked into place without replacing
// and the folder synchronised before quelle is removed; a failure on the way
// removes the copy again, so no partial ziel is ever left. Fehler 58 when
// ziel exists. Hooks: Verschieben (ziel), then Kopieren (ziel), Schreiben and
// Synchronisieren (the temporary copy), Loeschen (quelle).
void Verschiebe_ueber_laufwerke(const std::string& quelle, const std::string& ziel);

// Creates a folder; an existing one (or any file of that name) is Fehler 75.
// Hook: Ordner_anlegen.
void Lege_ordner_an(const std::string& pfad);

// Removes an empty folder; one that still holds entries, or an entry of
// that name that is no folder (a file, a FIFO, a link), is Fehler 75.
// Hook: Ordner_entfernen.
void Entferne_ordner(const std::string& pfad);

// Deletes a file (never a folder). Hook: Loeschen.
void Loesche_datei(const std::string& pfad);

// True when something of that name exists (a dangling link counts).
bool Eintrag_existiert(const std::string& pfad);

} // namespace cartonym
