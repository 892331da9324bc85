// The one error type of the core: a number and a description, as shown in
// the program's "Error Nr." messages.
#pragma once

#include <stdexcept>
#include <string>

namespace cartonym {

// Error numbers and their descriptions. Every failure the core reports
// carries one of these; every errno maps onto one of them.
enum class Fehlernummer : int {
    Dateiname_falsch = 52,   // "Bad file name or number"
    Datei_fehlt = 53,        // "File not found"
    Geraetefehler = 57,      // "Device I/O error"
    Datei_existiert = 58,    // "File already exists"
    Datentraeger_voll = 61,  // "Disk full"
    Dateiende = 62,          // "Input past end of file"
    Keine_berechtigung = 70, // "Permission denied"
    Zugriffsfehler = 75,     // "Path/File access error"
    Pfad_fehlt = 76,         // "Path not found"
};

// The fixed description of an error number ("File not found" for 53).
const char* Fehlerbeschreibung(Fehlernummer nummer);

// Maps a POSIX errno onto an error number.
Fehlernummer Nummer_aus_errno(int errnum);

class Fehler : public std::runtime_error {
public:
    explicit Fehler(Fehlernummer nummer);
    Fehlernummer nummer() const noexcept { return nummer_; }
    int zahl() const noexcept { return static_cast<int>(nummer_); }
    std::string beschreibung() const { return what(); }

private:
    Fehlernummer nummer_;
};

// Throws the error that errnum maps to.
[[noreturn]] void Wirf_errno(int errnum);

// "Error Nr. " <number> " happened:" LF <description>: the start-up text.
std::string Fehlertext_kurz(const Fehler& fehler);

// The failure message of file and batch mode: the short text, then the file
// being processed and "Progress aborted !".
std::string Fehlertext_datei(const Fehler& fehler, const std::string& Dateipfad);

} // namespace cartonym
