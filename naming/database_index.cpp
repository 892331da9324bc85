#include "naming/database_index.h"

#include "common/error.h"
#include "naming/file_names.h"


namespace cartonym {

DatabaseIndex::DatabaseIndex(std::string_view database_text)
{
    RecordReader reader(database_text);
    try {
        do {
            Record record;
            record.internal_name = reader.next_item();
            record.full_name = reader.next_item();
            first_match_.try_emplace(record.internal_name, records_.size());
            records_.push_back(std::move(record));
        } while (!reader.at_end());
    } catch (const Error& error) {
        if (error.number() != ErrorNumber::InputPastEndOfFile)
            throw;
        cut_short_ = true;
    }
}

LookupResult DatabaseIndex::lookup(const std::string& Interner_name, const RomAnalysis& analysis) const
{
    LookupResult result;
    if (const auto match = first_match_.find(Interner_name); match != first_match_.end()) {
        const Record& record = records_[match->second];
        result.Db_interner_name = record.internal_name;
        result.Voller_name = record.full_name;
        result.Neuer_name = normal_name(record.full_name, analysis.Landkuerzel, analysis.Endung);
        return result;
    }
    if (cut_short_)
        throw Error(ErrorNumber::InputPastEndOfFile);
    if (!records_.empty()) {
        result.Db_interner_name = records_.back().internal_name;
        result.Voller_name = records_.back().full_name;
    }
    return result;
}

namespace {

// True while the modification time lies less than two seconds back.
bool is_fresh(const FileIdentity& identity)
{
    const std::int64_t age_ns = wall_clock_ns() - (identity.mtime_s * 1000000000 + identity.mtime_ns);
    return age_ns < 2000000000;
}

} // namespace

const DatabaseIndex& DatabaseCache::index_for(const std::string& database_path)
{
    // One stat per lookup while nothing changed; a change of the access
    // rights moves ctime, so a file that became unreadable is opened again
    // and fails as it would without the index.
    if (index_ && !fresh_ && path_ == database_path && identity_ == identity_of(database_path))
        return *index_;

    const ReadableFile file(database_path);
    std::string text(file.length(), '\0');
    file.read_at(0, reinterpret_cast<unsigned char*>(text.data()), text.size());
    if (!index_ || text != text_) {
        index_.reset();
        index_.emplace(text);
        text_ = std::move(text);
    }
    path_ = database_path;
    identity_ = file.identity();
    fresh_ = is_fresh(identity_);
    return *index_;
}

} // namespace cartonym
