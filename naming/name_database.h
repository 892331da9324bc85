// SPDX-License-Identifier: GPL-3.0-or-later
// The name database snes.dat and the lookup of an image's full game name.
#pragma once

#include "analysis/header_detection.h"
#include "common/error.h"
#include "naming/database_items.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace cartonym {

struct LookupResult {
    std::string Voller_name;      // full game name (valid only when Neuer_name is not "")
    std::string Neuer_name;       // normal-style new file name, "" for an unknown image
    std::string Db_interner_name; // first item of the last record read
};

// read_database() holds the whole database, at most this much of it: small
// enough that no input makes its callers run out of memory. The command
// line's database tools read the file as the lookup does instead, whatever
// its size.
inline constexpr std::uint64_t largest_database_text = std::uint64_t{6} << 20;

// The whole database file; throws Error (53 when it is missing, 61 when it
// is longer than largest_database_text).
std::string read_database(const std::string& database_path);

// A failure of the database itself (it cannot be opened or read, is too
// large or ends inside a record): the Error it was, with the database's
// path, which a caller may name instead of the image in hand.
class DatabaseFailure : public Error {
public:
    DatabaseFailure(const Error& error, std::string database_path)
        : Error(error)
        , path_(std::move(database_path))
    { }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Looks the analysed image up: first the fixed corrections, then the
// database from the top, first matching record wins. Errors reading the
// database throw DatabaseFailure.
LookupResult Finde_romname(const RomAnalysis& analysis, const std::string& database_path);

// True when a fixed correction answers the lookup of this image, so the
// database is not searched for it.
bool correction_decides(const RomAnalysis& analysis);

// Result of the start-up check of the database.
enum class StartupState {
    ready,            // the database can be opened
    database_missing, // missing: show the message, then end the program
    database_faulty   // any other failure: show the message, then go on
};

struct StartupCheckResult {
    StartupState state = StartupState::ready;
    std::string message; // Windows-1252; empty when ready
};

// Opens the database and closes it again at once; nothing is read.
StartupCheckResult check_database_at_startup(const std::string& database_path);

// The database's place: snes.dat in the folder that holds the program.
std::string default_database_path();

} // namespace cartonym
