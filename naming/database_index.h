// SPDX-License-Identifier: GPL-3.0-or-later
// The name database searched without holding it in memory. One pass over
// the file, in windows of a fixed size, leaves a table of one entry per
// distinct key hash: the hash and where the first record with that hash
// starts. A lookup re-reads the few records it needs and compares them
// exactly, so its answer is the answer of a front-to-back read of the same
// bytes through RecordReader, errors included.
#pragma once

#include "common/system_calls.h"
#include "naming/name_database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// What the program will hold. A database beyond them fails with error 61,
// the number the system's "file too large" (EFBIG) maps to: the file is
// refused as a whole, and no run goes on without its database (75, which a
// batch run passes over, would skip every image instead). The Error's
// what() says which limit it met.
struct DatabaseLimits {
    std::uint64_t largest_file = std::uint64_t{4} << 30; // 4 GiB; a file of that length is still read
    std::size_t largest_item = std::size_t{1} << 20;     // 1 MiB: an answer holding a longer item fails
    std::size_t most_keys = std::size_t{4}
        << 20; // distinct keys: a table of at most 64 MiB (twice that while it is built)
    std::size_t window = std::size_t{1} << 20;   // bytes read at a time
    std::uint64_t hash_mask = ~std::uint64_t{0}; // tests narrow it to make keys share hashes
};

class DatabaseIndex {
public:
    // Reads the database once, front to back. A record cut short by the end
    // of the bytes ends the list; lookups that get that far fail with 62 as
    // a front-to-back read would. Throws 61 beyond the limits and the errors
    // of reading.
    explicit DatabaseIndex(const DatabaseBytes& bytes, const DatabaseLimits& limits = {});

    // The database search over the same bytes: the first record whose key
    // equals Interner_name, or the last record read (and an empty
    // Neuer_name), or 62 when the search reaches a record cut short. An
    // answer that would hold an item longer than largest_item fails with 61.
    LookupResult lookup(const DatabaseBytes& bytes, std::string_view Interner_name, const RomAnalysis& analysis) const;

    // The start (as Entry has it) of the first complete record whose key
    // is key, when that record begins before the offset before; nullopt
    // when there is none (or key is longer than largest_item).
    std::optional<std::uint64_t> earlier_record(
        const DatabaseBytes& bytes, std::string_view key, std::uint64_t before = UINT64_MAX) const;

    // True when the bytes end inside a record (or hold none).
    bool cut_short() const { return cut_short_; }

    struct Entry {
        std::uint64_t hash;
        std::uint64_t start; // offset of the record times 2, plus 1 when a comma came before it
    };

    static constexpr int part_bits = 8; // the top bits of a hash choose its part of the table

private:
    std::uint64_t hash_of(std::string_view key_start, std::uint64_t key_length) const;
    static std::size_t part_of(std::uint64_t hash) { return static_cast<std::size_t>(hash >> (64 - part_bits)); }

    DatabaseLimits limits_;
    std::uint64_t seed_;
    std::vector<std::vector<Entry>> parts_; // by the top bits of the hash; each sorted by hash, one entry per hash
    std::uint64_t last_start_ = 0;
    bool cut_short_ = false; // the bytes end inside a record
};

// The index of the last database read, and when it may be used without
// looking at the file.
//
// Outside a validity scope every lookup opens the database and compares its
// identity (device, inode, size, modification and change times to the
// nanosecond) with the one the index was built from, and builds the index
// again when anything differs. An edit that keeps the size and lands within
// the same clock tick as the previous write keeps the identity; it is seen
// once the file's time stamps move.
//
// Inside a scope (begin_scope() to end_scope(); scopes nest) the first
// lookup does the same and then holds the file open; later lookups of the
// same database use the index and that open file without examining the
// path again, so a database replaced or removed meanwhile is seen by the
// next scope. One batch run or one file-mode selection is one scope.
class DatabaseCache {
public:
    explicit DatabaseCache(const DatabaseLimits& limits = {})
        : limits_(limits)
    { }

    LookupResult lookup(const std::string& database_path, const RomAnalysis& analysis);

    void begin_scope() { ++scopes_; }
    void end_scope();

private:
    DatabaseLimits limits_;
    std::string path_;
    FileIdentity identity_;
    std::optional<DatabaseIndex> index_;
    std::optional<ReadableFile> held_; // the indexed file, open while a scope lasts
    int scopes_ = 0;
};

// The database search of Finde_romname, through the program's one cache
// (guarded by a lock).
LookupResult lookup_in_shared_cache(const std::string& database_path, const RomAnalysis& analysis);

// A validity scope of the program's cache for as long as the object lives:
// the batch run and a file-mode selection each hold one, so their lookups
// read the database once.
class DatabaseSession {
public:
    DatabaseSession();
    ~DatabaseSession();
    DatabaseSession(const DatabaseSession&) = delete;
    DatabaseSession& operator=(const DatabaseSession&) = delete;
};

} // namespace cartonym
