// The name database parsed once and kept while the file stays unchanged.
#pragma once

#include "common/system_calls.h"
#include "naming/name_database.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cartonym {

// The records of one database text, with the first record of every key.
// A record cut short by the end of the text ends the list; the search
// reports it (62) only when it gets that far, as a front-to-back read would.
class Datenbankindex {
public:
    explicit Datenbankindex(std::string_view datenbanktext);

    // The database search with the results of a front-to-back read.
    Namensergebnis suche(const std::string& Interner_name, const Analyse& analyse) const;

    std::size_t anzahl() const { return datensaetze_.size(); }

private:
    struct Datensatz {
        std::string interner_name;
        std::string voller_name;
    };
    std::vector<Datensatz> datensaetze_;
    std::unordered_map<std::string, std::size_t> erster_treffer_;
    bool abgeschnitten_ = false; // the text ends inside a record
};

// Keeps the index of the last database file read. Every lookup examines
// the file, compares device, inode, size and modification and change times
// to the nanosecond, and parses it again when anything changed, so an edit is seen
// by the next lookup and every error of reading it stays the same. A file
// modified within the last two seconds may change again without its time
// stamp moving (file systems keep times at clock-tick granularity), so
// while it is that fresh its bytes are read and compared on every lookup.
class Datenbankcache {
public:
    const Datenbankindex& index_fuer(const std::string& Datenbankpfad);

private:
    std::string pfad_;
    Dateikennung kennung_;
    std::optional<Datenbankindex> index_;
    std::string text_;
    bool frisch_ = false;
};

} // namespace cartonym
