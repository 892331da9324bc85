// SPDX-License-Identifier: GPL-3.0-or-later
#include "naming/database_index.h"

#include "common/error.h"
#include "naming/database_items.h"
#include "naming/file_names.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <mutex>

namespace cartonym {

namespace {

// Window for re-reading single records: they are short, the file is not.
constexpr std::size_t record_window = 16 * 1024;

[[noreturn]] void too_large(const char* what)
{
    throw Error(ErrorNumber::disk_full, std::string("the database ") + what + ", more than the program holds");
}
[[noreturn]] void too_large() { too_large("holds an item longer than 1 MiB where it is read"); }

// How a scan of the records ended.
enum class ScanStop {
    after_last_record, // every record was read
    asked,             // on_record asked to stop
    cut_short,         // the bytes end inside a record
};

struct ScanEnd {
    ScanStop stop = ScanStop::after_last_record;
    std::uint64_t last_start = 0; // the last complete record
};

// A key as the scan passes it on: its first bytes (all of it when whole)
// and its length.
struct Key {
    std::string_view text;
    std::uint64_t length;
    bool whole() const { return length == text.size(); }
};

// Reads the records front to back as RecordReader does.
// on_record(start, key) sees every complete record in file order; when it
// returns true the scan stops there. Keys longer than key_cap are passed on
// cut to that length.
template <typename OnRecord>
ScanEnd scan_records(const DatabaseBytes& bytes, std::size_t window, std::size_t key_cap, OnRecord&& on_record)
{
    ItemPlace place{Cursor(bytes, window)};
    Cursor& in = place.in;
    Item key(key_cap);
    Item skipped(0);
    ScanEnd end;
    do {
        const std::uint64_t start = (in.position() << 1) | (place.after_comma ? 1 : 0);
        if (const std::optional<UsualRecord> usual = place.after_comma ? std::nullopt : usual_record(in.rest());
            usual && usual->key.size() <= key_cap) {
            in.advance(usual->length);
            end.last_start = start;
            if (on_record(start, Key{usual->key, usual->key.size()}))
                return {ScanStop::asked, start};
            continue;
        }
        if (key.read(place) == ItemRead::no_item || skipped.read(place) == ItemRead::no_item) {
            end.stop = ScanStop::cut_short;
            return end;
        }
        end.last_start = start;
        if (on_record(start, Key{key.text, key.length}))
            return {ScanStop::asked, start};
    } while (!only_blanks_left(place));
    return end;
}

// The two items of a record: its key and its full name.
struct RecordItems {
    Item key;
    Item full;
};

// Reads the two items of the complete record at start, the key up to
// key_cap bytes, the name up to full_cap.
RecordItems read_record(
    const DatabaseBytes& bytes, std::uint64_t start, std::size_t key_cap, std::size_t full_cap, std::size_t window)
{
    ItemPlace place{Cursor(bytes, std::min(window, record_window)), (start & 1) != 0};
    place.in.seek(start >> 1);
    RecordItems record{Item(key_cap), Item(full_cap)};
    // The record was complete when the index was built; only a file changed
    // in place since then can end early here.
    if (record.key.read(place) == ItemRead::no_item || record.full.read(place) == ItemRead::no_item)
        throw Error(ErrorNumber::input_past_end_of_file);
    return record;
}

std::uint64_t mixed(std::uint64_t h)
{
    h ^= h >> 30;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBu;
    h ^= h >> 31;
    return h;
}

// A value of this process that the hashes start from, so that keys which
// share a hash cannot be prepared in advance; sharing one costs only time.
std::uint64_t process_seed()
{
    static const std::uint64_t seed =
        mixed(static_cast<std::uint64_t>(wall_clock_ns()) ^ (static_cast<std::uint64_t>(process_id()) << 40));
    return seed;
}

} // namespace

std::uint64_t DatabaseIndex::hash_of(std::string_view key_start, std::uint64_t key_length) const
{
    // The words are multiplied independently of each other and only added
    // up in a chain, then the sum is mixed.
    std::uint64_t h = seed_ ^ (key_length * 0xD6E8FEB86659FD93u);
    std::size_t i = 0;
    for (; i + 8 <= key_start.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, key_start.data() + i, 8);
        h = std::rotl(h, 23) + (word ^ seed_) * 0x9E3779B97F4A7C15u;
    }
    std::uint64_t tail = 0;
    for (std::size_t j = key_start.size(); j > i; --j)
        tail = (tail << 8) | static_cast<unsigned char>(key_start[j - 1]);
    h = std::rotl(h, 23) + (tail ^ seed_) * 0xC2B2AE3D27D4EB4Fu;
    return mixed(h) & limits_.hash_mask;
}

namespace {

constexpr auto by_hash_then_start = [](const DatabaseIndex::Entry& a, const DatabaseIndex::Entry& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.start < b.start;
};

// Sorts entries by hash, then start. The hashes are spread evenly, so the
// entries are first placed into buckets by the bits below those that chose
// their part (stable, so equal hashes keep their file order), and the
// buckets, a few entries each, are then sorted on their own.
void sort_entries(std::vector<DatabaseIndex::Entry>::iterator first, std::vector<DatabaseIndex::Entry>::iterator last,
    std::vector<DatabaseIndex::Entry>& scratch)
{
    const std::size_t count = static_cast<std::size_t>(last - first);
    const int bits = std::clamp(static_cast<int>(std::bit_width(count)) - 1, 0, 16);
    const int shift = 64 - DatabaseIndex::part_bits - bits;
    const std::size_t buckets = std::size_t{1} << bits;
    const auto bucket_of = [&](const DatabaseIndex::Entry& entry) {
        return static_cast<std::size_t>(entry.hash >> shift) & (buckets - 1);
    };
    std::vector<std::uint32_t> begin(buckets + 1, 0);
    for (auto entry = first; entry != last; ++entry)
        ++begin[bucket_of(*entry) + 1];
    for (std::size_t b = 0; b < buckets; ++b)
        begin[b + 1] += begin[b];
    scratch.resize(count);
    std::vector<std::uint32_t> next(begin.begin(), begin.end() - 1);
    for (auto entry = first; entry != last; ++entry)
        scratch[next[bucket_of(*entry)]++] = *entry;
    for (std::size_t b = 0; b < buckets; ++b)
        if (begin[b + 1] - begin[b] > 1)
            std::sort(scratch.begin() + begin[b], scratch.begin() + begin[b + 1], by_hash_then_start);
    std::copy(scratch.begin(), scratch.end(), first);
}

// Entries gathered before duplicates of a hash are first merged: 16 MiB.
constexpr std::size_t first_merge = std::size_t{1} << 20;

} // namespace

DatabaseIndex::DatabaseIndex(const DatabaseBytes& bytes, const DatabaseLimits& limits)
    : limits_(limits)
    , seed_(process_seed())
    , parts_(std::size_t{1} << part_bits)
{
    if (bytes.length() > limits_.largest_file)
        too_large("is larger than 4 GiB");

    // Entries come in file order; merging keeps the first of every hash.
    // Merging sorts each part's new entries and merges them into the part;
    // it runs when the entries held have doubled since the last merge, so
    // a database of many repeated keys holds at most twice its distinct ones.
    std::vector<std::size_t> merged(parts_.size(), 0);
    std::vector<Entry> scratch;
    std::size_t held = 0;
    std::size_t held_after_merge = 0;
    const auto merge_all = [&] {
        for (std::size_t p = 0; p < parts_.size(); ++p) {
            std::vector<Entry>& part = parts_[p];
            if (part.size() == merged[p])
                continue;
            held -= part.size();
            const auto sorted_end = part.begin() + static_cast<std::ptrdiff_t>(merged[p]);
            sort_entries(sorted_end, part.end(), scratch);
            std::inplace_merge(part.begin(), sorted_end, part.end(), by_hash_then_start);
            part.erase(
                std::unique(part.begin(), part.end(), [](const Entry& a, const Entry& b) { return a.hash == b.hash; }),
                part.end());
            held += part.size();
            merged[p] = part.size();
        }
        if (held > limits_.most_keys)
            too_large("has more than 4,194,304 different first items");
        held_after_merge = held;
    };

    const ScanEnd end =
        scan_records(bytes, limits_.window, limits_.largest_item, [&](std::uint64_t start, Key record_key) {
            const std::uint64_t hash = hash_of(record_key.text, record_key.length);
            parts_[part_of(hash)].push_back({hash, start});
            if (++held >= std::max(2 * held_after_merge, first_merge))
                merge_all();
            return false;
        });
    merge_all();
    for (auto& part : parts_)
        part.shrink_to_fit();
    cut_short_ = end.stop == ScanStop::cut_short;
    last_start_ = end.last_start;
}

LookupResult DatabaseIndex::lookup(
    const DatabaseBytes& bytes, std::string_view Interner_name, const RomAnalysis& analysis) const
{
    const std::string_view name = Interner_name;
    const std::uint64_t hash = hash_of(name.substr(0, limits_.largest_item), name.size());
    const std::vector<Entry>& part = parts_[part_of(hash)];
    const auto candidate = std::lower_bound(
        part.begin(), part.end(), hash, [](const Entry& entry, std::uint64_t h) { return entry.hash < h; });

    LookupResult result;
    const auto found = [&](RecordItems& record) {
        if (!record.full.whole() || !record.key.whole())
            too_large();
        result.Db_interner_name = std::move(record.key.text);
        result.Voller_name = std::move(record.full.text);
        result.Neuer_name = normal_name(result.Voller_name, analysis.Landkuerzel, analysis.Endung);
        return result;
    };

    bool cut_short = cut_short_;
    std::uint64_t last_start = last_start_;
    if (candidate != part.end() && candidate->hash == hash) {
        if (name.size() > limits_.largest_item)
            too_large();
        RecordItems record = read_record(bytes, candidate->start, name.size(), limits_.largest_item, limits_.window);
        if (record.key.whole() && record.key.text == name)
            return found(record); // no earlier record has this key: it would have this hash
        // Another key has the same hash; the first record of this one, if
        // any, is found by reading front to back.
        std::optional<std::uint64_t> match;
        const ScanEnd end = scan_records(bytes, limits_.window, name.size(), [&](std::uint64_t start, Key record_key) {
            if (record_key.whole() && record_key.text == name)
                match = start;
            return match.has_value();
        });
        if (match) {
            record = read_record(bytes, *match, name.size(), limits_.largest_item, limits_.window);
            return found(record);
        }
        cut_short = end.stop == ScanStop::cut_short;
        last_start = end.last_start;
    }

    if (cut_short)
        throw Error(ErrorNumber::input_past_end_of_file);
    // Not found: the names of the last record read.
    RecordItems last = read_record(bytes, last_start, limits_.largest_item, limits_.largest_item, limits_.window);
    if (!last.key.whole() || !last.full.whole())
        too_large();
    result.Db_interner_name = std::move(last.key.text);
    result.Voller_name = std::move(last.full.text);
    return result;
}

std::optional<std::uint64_t> DatabaseIndex::earlier_record(
    const DatabaseBytes& bytes, std::string_view key, std::uint64_t before) const
{
    if (key.size() > limits_.largest_item)
        return std::nullopt;
    const std::uint64_t hash = hash_of(key, key.size());
    const std::vector<Entry>& part = parts_[part_of(hash)];
    const auto candidate = std::lower_bound(
        part.begin(), part.end(), hash, [](const Entry& entry, std::uint64_t h) { return entry.hash < h; });
    // The first record of this key, if any, is the first of its hash or later.
    if (candidate == part.end() || candidate->hash != hash || (candidate->start >> 1) >= before)
        return std::nullopt;
    const RecordItems first = read_record(bytes, candidate->start, key.size(), 0, limits_.window);
    if (first.key.whole() && first.key.text == key)
        return candidate->start;
    // Another key has the same hash: read front to back.
    std::optional<std::uint64_t> match;
    scan_records(bytes, limits_.window, key.size(), [&](std::uint64_t start, Key record_key) {
        if (record_key.whole() && record_key.text == key && (start >> 1) < before)
            match = start;
        return match.has_value() || (start >> 1) >= before;
    });
    return match;
}

void DatabaseCache::end_scope()
{
    if (scopes_ > 0 && --scopes_ == 0)
        held_.reset();
}

LookupResult DatabaseCache::lookup(const std::string& database_path, const RomAnalysis& analysis)
{
    if (scopes_ > 0 && held_ && index_ && database_path == path_)
        return index_->lookup(FileBytes(*held_), analysis.Interner_name, analysis);

    // Opening fails as a front-to-back read would (53 when it is missing).
    held_.reset();
    std::optional<ReadableFile> opened;
    opened.emplace(database_path);
    if (!index_ || database_path != path_ || opened->identity() != identity_) {
        index_.reset();
        // The identity is the one from before reading, so a change while
        // the index is built is seen by the next look at the file.
        index_.emplace(FileBytes(*opened), limits_);
        path_ = database_path;
        identity_ = opened->identity();
    }
    if (scopes_ > 0) {
        held_ = std::move(opened);
        return index_->lookup(FileBytes(*held_), analysis.Interner_name, analysis);
    }
    return index_->lookup(FileBytes(*opened), analysis.Interner_name, analysis);
}

namespace {

std::mutex shared_mutex;

DatabaseCache& shared_cache()
{
    static DatabaseCache cache;
    return cache;
}

} // namespace

LookupResult lookup_in_shared_cache(const std::string& database_path, const RomAnalysis& analysis)
{
    const std::lock_guard<std::mutex> locked(shared_mutex);
    return shared_cache().lookup(database_path, analysis);
}

DatabaseSession::DatabaseSession()
{
    const std::lock_guard<std::mutex> locked(shared_mutex);
    shared_cache().begin_scope();
}

DatabaseSession::~DatabaseSession()
{
    const std::lock_guard<std::mutex> locked(shared_mutex);
    shared_cache().end_scope();
}

} // namespace cartonym
