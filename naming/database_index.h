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
class DatabaseIndex {
public:
    explicit DatabaseIndex(std::string_view database_text);

    // The database search with the results of a front-to-back read.
    LookupResult lookup(const std::string& Interner_name, const RomAnalysis& analysis) const;

    std::size_t count() const { return records_.size(); }

private:
    struct Record {
        std::string internal_name;
        std::string full_name;
    };
    std::vector<Record> records_;
    std::unordered_map<std::string, std::size_t> first_match_;
    bool cut_short_ = false; // the text ends inside a record
};

// Keeps the index of the last database file read. Every lookup examines
// the file, compares device, inode, size and modification and change times
// to the nanosecond, and parses it again when anything changed, so an edit is seen
// by the next lookup and every error of reading it stays the same. A file
// modified within the last two seconds may change again without its time
// stamp moving (file systems keep times at clock-tick granularity), so
// while it is that fresh its bytes are read and compared on every lookup.
class DatabaseCache {
public:
    const DatabaseIndex& index_for(const std::string& database_path);

private:
    std::string path_;
    FileIdentity identity_;
    std::optional<DatabaseIndex> index_;
    std::string text_;
    bool fresh_ = false;
};

} // namespace cartonym
