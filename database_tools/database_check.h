// SPDX-License-Identifier: GPL-3.0-or-later
// Checks a name database text for records the lookup could never use or
// that would give unusable file names, reading it with the lookup's own
// record reader.
#pragma once

#include "naming/database_index.h"
#include "naming/database_items.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

enum class FindingSeverity { error, warning };

// What is wrong with a record; its name is the enumerator's.
enum class FindingKind {
    cut_short,
    key_length,
    duplicate_key,
    empty_name,
    unusable_name,
    windows_name,
    encoding,
    shadowed,
    markup,
    unclosed_quote,
};

// The kind's name as reports print it ("cut_short", ...).
const char* kind_name(FindingKind kind);

// One fault of one record. Texts are Windows-1252.
struct DatabaseFinding {
    std::size_t line = 0; // 1-based line on which the record starts; 0 for a proposed record
    FindingSeverity severity = FindingSeverity::error;
    FindingKind kind = FindingKind::cut_short;
    std::string message;
    std::string key; // the record's first item
};

struct DatabaseCheck {
    std::vector<DatabaseFinding> findings; // in file order (from the check of a text)
    std::size_t records = 0;               // records begun, a cut-short one included
    std::size_t errors = 0, warnings = 0;  // the findings of each severity
    bool ends_in_cut_record = false;       // the text ends inside a record (not merely empty)

    std::size_t count(FindingSeverity severity) const { return severity == FindingSeverity::error ? errors : warnings; }
};

using FindingSink = std::function<void(const DatabaseFinding& finding)>;

// Every finding of the database, record by record in file order and,
// within a record, in the order of the kinds above, each handed to sink as
// it is found; the result holds the counts. An empty database is one
// cut_short error on line 1: every search that reaches it fails. It reads
// what the lookup reads, holding about 16 bytes per different first item
// besides the record in hand; throws Error: of reading, and 61 where the
// lookup would (its what() saying which limit).
DatabaseCheck check_database(const DatabaseBytes& bytes, const FindingSink& sink);

// The same over a text, the findings collected in the result.
DatabaseCheck check_database(std::string_view text);

// The findings a record proposed for the database would get on its own,
// plus an unusable_name error when it cannot be written so that the reader
// gives back the same two items (a double quote inside an item).
std::vector<DatabaseFinding> check_proposed_record(const std::string& key, const std::string& full_name);

// One record in the database's syntax: both items quoted, CR LF.
std::string database_record(const std::string& key, const std::string& full_name);

// The first items of a database's complete records, asked one at a time
// of an index of the database (as the lookup holds it). bytes must outlive
// it; throws Error as the check does.
class DatabaseKeys {
public:
    explicit DatabaseKeys(const DatabaseBytes& bytes);
    bool contains(std::string_view key) const;
    // True when the database ends inside a record (not merely empty):
    // records appended to it would be misread.
    bool ends_inside_record() const { return holds_record_ && index_.cut_short(); }

private:
    const DatabaseBytes& bytes_;
    DatabaseIndex index_;
    bool holds_record_;
};

} // namespace cartonym
