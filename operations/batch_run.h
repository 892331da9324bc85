// The batch run: every file of a folder analysed, looked up and moved into
// Renamed_SNES_ROMs, Unknown_ROMs or Duplicates, with the game list and the
// unknown-image log. The window and cartonym-cli both drive it.
#pragma once

#include "common/error.h"
#include "common/message.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cartonym {

inline constexpr const char* Text_keine_dateien = "There are no files in this directory !";
inline constexpr const char* Text_batch_erfolgreich = "Batchmode finished successfull !";
inline constexpr const char* Text_batch_fertig = "Batchrun finished !";

struct Batchoptionen {
    std::string Ordner;           // the folder F, a file-system path
    std::string Datenbankpfad;
    bool ohne_leerzeichen = false; // "Long filenames without spaces"
    bool spielliste = false;       // "Create gamelist (games.htm)" ticked
};

enum class Batchausgang {
    Abgeschlossen,  // completed
    Keine_dateien,  // the folder has no files: nothing was created
    Fehlgeschlagen, // stopped by a failure
};

struct Batchzaehler {
    std::int32_t insgesamt = 0;     // files taken up, the current one included ("Total files in directory:")
    std::int32_t umbenannt = 0;     // "Successfully renamed:"
    std::int32_t schon_richtig = 0; // "ROMs that had alredy the correct filename:"
    std::int32_t unbekannt = 0;     // unknown images (duplicates among them not counted)
    std::int32_t duplikate = 0;     // "Duplicates (see subdir Duplicates):"
    std::int32_t roms() const { return umbenannt + schon_richtig + unbekannt + duplikate; }
};

// What the run reports to its caller while it goes on.
struct Batchbeobachter {
    std::function<void(const std::string& text)> status;        // the status line (Windows-1252)
    std::function<void(float wert)> fortschritt;                // 0 to 100
    std::function<void(const std::string& datei)> unbekannt;    // a name for the unknown list (file-system name)
    std::function<void()> unbekannte_geleert;                   // the unknown list is emptied
    std::function<void(const Meldung& meldung)> meldung;        // a modal message, shown at once
};

struct Batchergebnis {
    Batchausgang ausgang = Batchausgang::Abgeschlossen;
    Batchzaehler zaehler;
    std::vector<std::string> unbekannte; // file-system names of the unknown images, in order
    Meldung meldung;                     // the final message, or the error message
    std::optional<Fehler> fehler;        // the failure that stopped the run
    std::string Dateipfad;               // the file in hand at the end
};

// One whole run. The observer's meldung is called at the moment the window
// shows its box; the caller sets the panel values after the return. Failures
// never leave it: they end in Batchausgang::Fehlgeschlagen with the "Error !"
// message (its file path escaped as in unknown.log where Windows-1252 lacks
// a character).
Batchergebnis Batchrun(const Batchoptionen& optionen, const Batchbeobachter& beobachter = {});

} // namespace cartonym
