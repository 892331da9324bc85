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
class RecordReader {
public:
    explicit RecordReader(std::string_view text)
        : text_(text)
    { }

    // The next item; throws Error 62 when the text ends before it.
    std::string next_item();

    // True when nothing but blanks and line ends is left.
    bool at_end();

    // The offset in the text just after the last item read and its separator.
    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool after_comma_ = false;
};

struct LookupResult {
    std::string Voller_name;      // full game name (valid only when Neuer_name is not "")
    std::string Neuer_name;       // normal-style new file name, "" for an unknown image
    std::string Db_interner_name; // first item of the last record read
};

// The whole database file; throws Error (53 when it is missing).
std::string read_database(const std::string& database_path);

// Looks the analysed image up: first the fixed corrections, then the
// database from the top, first matching record wins. Errors reading the
// database throw Error.
LookupResult Finde_romname(const RomAnalysis& analysis, const std::string& database_path);

// True when a fixed correction answers the lookup of this image, so the
// database is not searched for it.
bool correction_decides(const RomAnalysis& analysis);

// The database search alone, over database text already in memory, read
// front to back as the file would be (no corrections).
LookupResult search_database_text(const RomAnalysis& analysis, std::string_view database_text);

// Result of the start-up check of the database.
enum class StartupState {
    Ready,           // the database can be opened
    DatabaseMissing, // missing: show the message, then end the program
    DatabaseFaulty   // any other failure: show the message, then go on
};

struct StartupCheckResult {
    StartupState state = StartupState::Ready;
    std::string message; // Windows-1252; empty when ready
};

// Opens the database and closes it again at once; nothing is read.
StartupCheckResult check_database_at_startup(const std::string& database_path);

// The database's place: snes.dat in the folder that holds the program.
std::string default_database_path();

} // namespace cartonym
