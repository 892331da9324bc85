// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/journal_format.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/paths.h"
#include "common/record_fields.h"
#include "common/system_calls.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>

namespace cartonym {
namespace {

bool valid_number(std::string_view text) { return signed_number(text) || unsigned_number(text); }

std::optional<std::string> value_of(const FieldFormat& field, std::string_view text)
{
    switch (field.kind) {
    case FieldKind::path:
    case FieldKind::bytes: return percent_unescaped(text);
    case FieldKind::number: return valid_number(text) ? std::optional<std::string>(text) : std::nullopt;
    case FieldKind::word: return std::string(text);
    }
    return std::nullopt;
}

} // namespace

const std::vector<RecordFormat>& record_formats()
{
    constexpr FieldKind path = FieldKind::path;
    constexpr FieldKind number = FieldKind::number;
    constexpr FieldKind word = FieldKind::word;
    static const std::vector<RecordFormat> formats = {
        {RecordKind::folder, "folder", {{"folder", path}}},
        {RecordKind::started, "started", {{"ns", number}}},
        {RecordKind::earlier_game_list, "earlier-game-list", {{"path", path}, {"copy", path}}},
        {RecordKind::earlier_folder, "earlier-folder", {{"folder", path}}},
        {RecordKind::created, "created", {{"folder", path}}},
        {RecordKind::move, "move",
            {{"from", path}, {"to", path}, {"device", number}, {"inode", number}, {"size", number}, {"mtime_s", number},
                {"mtime_ns", number}, {"kind", word}, {"link_target", path}, {"repointed_target", path},
                {"made_device", number}, {"made_inode", number}}},
        {RecordKind::fresh_link, "fresh-link", {{"path", path}, {"target", path}}},
        {RecordKind::log, "log", {{"path", path}, {"size_before", number}, {"device", number}, {"inode", number}}},
        {RecordKind::appended, "appended",
            {{"path", path}, {"device", number}, {"inode", number}, {"bytes", FieldKind::bytes}}},
        {RecordKind::game_list, "game-list", {{"path", path}, {"size", number}, {"digest", word}}},
        {RecordKind::game_list_removed, "game-list-removed", {{"path", path}}},
        {RecordKind::end, "end", {{"ns", number}}},
        {RecordKind::undone, "undone", {{"ns", number}, {"result", word}}},
        {RecordKind::failed, "failed", {{"from", path}, {"to", path}}},
        {RecordKind::arrived, "arrived",
            {{"to", path}, {"device", number}, {"inode", number}, {"ctime_s", number}, {"ctime_ns", number}}},
        {RecordKind::reserved, "reserved", {{"path", path}}},
        {RecordKind::content, "content", {{"to", path}, {"size", number}, {"digest", word}}},
        {RecordKind::interrupted, "interrupted", {}},
        {RecordKind::exported, "exported", {}},
        {RecordKind::copying, "copying", {{"path", path}, {"size", number}, {"digest", word}}},
        {RecordKind::copied, "copied",
            {{"path", path}, {"device", number}, {"inode", number}, {"size", number}, {"mtime_s", number},
                {"mtime_ns", number}}},
    };
    return formats;
}

const RecordFormat& record_format(RecordKind kind)
{
    const auto& formats = record_formats();
    const auto found = std::ranges::find(formats, kind, &RecordFormat::kind);
    if (found == formats.end())
        throw std::logic_error("a journal record kind without a format");
    return *found;
}

std::string record_line(RecordKind kind, const std::vector<std::string>& values)
{
    const RecordFormat& format = record_format(kind);
    if (values.size() != format.fields.size())
        throw std::logic_error(std::string("journal record ") + format.name + " with the wrong number of fields");
    std::string line = format.name;
    for (std::size_t index = 0; index < values.size(); ++index) {
        const FieldKind field = format.fields[index].kind;
        line += ' ';
        line += field == FieldKind::path || field == FieldKind::bytes ? percent_escaped(values[index]) : values[index];
    }
    return line;
}

std::optional<Record> parsed_record(std::string_view line)
{
    const auto fields = space_separated_fields(line);
    const auto& formats = record_formats();
    const auto format = std::ranges::find(formats, fields[0], &RecordFormat::name);
    if (format == formats.end() || fields.size() != format->fields.size() + 1)
        return std::nullopt;
    Record record{format->kind, {}};
    for (std::size_t index = 0; index < format->fields.size(); ++index) {
        auto value = value_of(format->fields[index], fields[index + 1]);
        if (!value)
            return std::nullopt;
        record.values.push_back(std::move(*value));
    }
    return record;
}

std::int64_t Record::number(std::size_t index) const
{
    if (const auto value = signed_number(values.at(index)))
        return *value;
    return static_cast<std::int64_t>(cartonym::unsigned_number(values.at(index)).value_or(0));
}

std::uint64_t Record::unsigned_number(std::size_t index) const
{
    if (const auto value = cartonym::unsigned_number(values.at(index)))
        return *value;
    return static_cast<std::uint64_t>(signed_number(values.at(index)).value_or(0));
}

const char* move_kind_name(MoveKind kind)
{
    switch (kind) {
    case MoveKind::file: return "file";
    case MoveKind::link: return "link";
    case MoveKind::other: return "other";
    case MoveKind::missing: return "missing";
    }
    return "missing";
}

namespace {

MoveKind move_kind_of(std::string_view name)
{
    for (const MoveKind kind : {MoveKind::file, MoveKind::link, MoveKind::other, MoveKind::missing})
        if (name == move_kind_name(kind))
            return kind;
    return MoveKind::other;
}

// Builds a JournalContents record by record.
class JournalReader {
public:
    explicit JournalReader(JournalContents& run)
        : run_(run)
    { }

    void take(const Record& record)
    {
        const auto& v = record.values;
        switch (record.kind) {
        case RecordKind::folder: run_.folder = v[0]; break;
        case RecordKind::started: run_.started_ns = record.number(0); break;
        case RecordKind::earlier_game_list: run_.earlier_game_list = {v[0], v[1]}; break;
        case RecordKind::earlier_folder: run_.earlier_folders.push_back(v[0]); break;
        case RecordKind::created: run_.created.push_back(v[0]); break;
        case RecordKind::move: take_move(record); break;
        case RecordKind::fresh_link: run_.unconfirmed_links.emplace_back(v[0], v[1]); break;
        case RecordKind::log: take_log(record); break;
        case RecordKind::appended: take_appended(record); break;
        case RecordKind::game_list: run_.game_list = GameListRecord{v[0], record.unsigned_number(1), v[2]}; break;
        case RecordKind::game_list_removed: run_.earlier_game_list_removed = true; break;
        case RecordKind::end: run_.finished = true; break;
        case RecordKind::interrupted: run_.interrupted = true; break;
        case RecordKind::failed: take_failed(record); break;
        case RecordKind::arrived: take_arrived(record); break;
        case RecordKind::undone: run_.state = v[1] == "complete" ? RunState::undone : RunState::partly_undone; break;
        case RecordKind::reserved: run_.reservations.push_back(v[0]); break;
        case RecordKind::exported: run_.exported = true; break;
        case RecordKind::copying: run_.copies.push_back({v[0], record.unsigned_number(1), v[2], std::nullopt}); break;
        case RecordKind::copied: take_copied(record); break;
        case RecordKind::content:
            if (!run_.moves.empty() && run_.moves.back().to == v[0])
                run_.moves.back().content = ContentCheck{record.unsigned_number(1), v[2]};
            break;
        }
    }

private:
    void take_move(const Record& record)
    {
        const auto& v = record.values;
        MoveRecord move{v[0], v[1],
            {record.unsigned_number(2), record.unsigned_number(3), record.unsigned_number(4), record.number(5),
                record.number(6)},
            move_kind_of(v[7]), v[8], v[9], record.unsigned_number(10), record.unsigned_number(11), std::nullopt,
            std::nullopt};
        std::erase_if(run_.unconfirmed_links, [&](const auto& fresh) { return fresh.first == move.to; });
        run_.moves.push_back(std::move(move));
    }

    // A move that did not happen is no move of the run.
    void take_failed(const Record& record)
    {
        const auto& v = record.values;
        std::erase_if(run_.unconfirmed_links, [&](const auto& fresh) { return fresh.first == v[1]; });
        if (!run_.moves.empty() && run_.moves.back().from == v[0] && run_.moves.back().to == v[1])
            run_.moves.pop_back();
    }

    // The time of change of a moved entry that is still the one the move
    // record names (a repointed link is another).
    void take_arrived(const Record& record)
    {
        if (run_.moves.empty())
            return;
        MoveRecord& move = run_.moves.back();
        if (move.to == record.values[0] && move.entry.device == record.unsigned_number(1)
            && move.entry.inode == record.unsigned_number(2))
            move.arrived_ctime = std::pair{record.number(3), record.number(4)};
    }

    void take_copied(const Record& record)
    {
        if (!run_.copies.empty() && run_.copies.back().path == record.values[0])
            run_.copies.back().placed = RecordedIdentity{record.unsigned_number(1), record.unsigned_number(2),
                record.unsigned_number(3), record.number(4), record.number(5)};
    }

    void take_log(const Record& record)
    {
        const std::string& log = record.values[0];
        auto [entry, added] = log_index_.try_emplace(log, run_.logs.size());
        if (added)
            run_.logs.push_back(
                {log, record.number(1), record.unsigned_number(2), record.unsigned_number(3), "", false});
        run_.logs[entry->second].last_unrecorded = true;
    }

    void take_appended(const Record& record)
    {
        const auto entry = log_index_.find(record.values[0]);
        if (entry == log_index_.end())
            return;
        LogRecord& log = run_.logs[entry->second];
        if (log.device == 0 && log.inode == 0) {
            log.device = record.unsigned_number(1);
            log.inode = record.unsigned_number(2);
        }
        log.appended += record.values[3];
        log.last_unrecorded = false;
    }

    JournalContents& run_;
    std::map<std::string, std::size_t> log_index_;
};

} // namespace

bool JournalContents::has_changes() const
{
    return !finished || !created.empty() || !moves.empty() || !logs.empty() || game_list || earlier_game_list_removed
        || !earlier_folders.empty() || !unconfirmed_links.empty() || !copies.empty();
}

std::optional<JournalContents> read_journal(const std::string& name, const std::string& path)
{
    std::string text;
    try {
        text = read_whole_file(path);
    } catch (const Error&) {
        return std::nullopt;
    }
    if (!text.starts_with(std::string(journal_heading) + "\n"))
        return std::nullopt;
    JournalContents run;
    run.name = name;
    run.path = path;
    JournalReader reader(run);
    std::size_t start = text.find('\n') + 1;
    for (std::size_t end = text.find('\n', start); end != std::string::npos;
         start = end + 1, end = text.find('\n', start)) {
        if (const auto record = parsed_record(std::string_view(text).substr(start, end - start)))
            reader.take(*record);
    }
    return run;
}

std::vector<JournalContents> read_journals()
{
    std::vector<JournalContents> runs;
    const std::string folder = runs_folder();
    if (entry_kind(folder) == EntryKind::missing)
        return runs;
    Directory listing(folder);
    const std::string_view extension = journal_extension;
    while (auto entry = listing.next()) {
        if (!entry->name.ends_with(extension) || entry->name.front() == '.')
            continue;
        const std::string name = entry->name.substr(0, entry->name.size() - extension.size());
        if (auto run = read_journal(name, join_path(folder, entry->name)))
            runs.push_back(std::move(*run));
    }
    std::ranges::sort(runs, [](const JournalContents& a, const JournalContents& b) { return a.name > b.name; });
    return runs;
}

namespace {

constexpr std::uint64_t digest_start = 14695981039346656037ull;

std::uint64_t digest_step(std::uint64_t hash, std::string_view bytes)
{
    for (const char character : bytes) {
        hash ^= static_cast<unsigned char>(character);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string digest_text(std::uint64_t hash)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace

std::string content_digest(std::string_view bytes) { return digest_text(digest_step(digest_start, bytes)); }

std::pair<std::uint64_t, std::string> size_and_digest_of_file(const std::string& path)
{
    const ReadableFile file(path);
    std::string buffer(1 << 16, '\0');
    std::uint64_t hash = digest_start;
    for (std::uint64_t offset = 0; offset < file.length();) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.length() - offset));
        file.read_at(offset, reinterpret_cast<unsigned char*>(buffer.data()), n);
        hash = digest_step(hash, std::string_view(buffer.data(), n));
        offset += n;
    }
    return {file.length(), digest_text(hash)};
}

std::optional<ContentCheck> content_check_of(const std::string& path)
{
    constexpr std::uint64_t head = 0x10200, tail = 0x10000;
    try {
        const ReadableFile file(path);
        const std::uint64_t length = file.length();
        const std::uint64_t tail_start = std::max(std::min(head, length), length > tail ? length - tail : 0);
        std::string bytes(static_cast<std::size_t>(std::min(head, length) + (length - tail_start)), '\0');
        auto* data = reinterpret_cast<unsigned char*>(bytes.data());
        file.read_at(0, data, static_cast<std::size_t>(std::min(head, length)));
        file.read_at(tail_start, data + std::min(head, length), static_cast<std::size_t>(length - tail_start));
        return ContentCheck{length, content_digest(bytes)};
    } catch (const Error&) {
        return std::nullopt;
    }
}

namespace {

constexpr std::string_view xxh128_prefix = "xxh128:";

} // namespace

std::string copy_digest_text(const ContentDigest& digest)
{
    return std::string(xxh128_prefix) + hex_text(digest.xxh128);
}

std::string copy_digest_of_file(const std::string& path, const std::string& recorded)
{
    if (recorded.starts_with(xxh128_prefix))
        return copy_digest_text(digest_of_file(path, 0, {false, false, true}));
    return hex_text(digest_of_file(path, 0, {true, false}).sha1);
}

std::string time_stamp(std::int64_t ns, bool readable)
{
    using namespace std::chrono;
    const sys_time<nanoseconds> time{nanoseconds(ns)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{floor<microseconds>(time - day)};
    char text[64];
    std::snprintf(text, sizeof text,
        readable ? "%04d-%02u-%02uT%02ld:%02ld:%02ld.%06ldZ" : "%04d%02u%02uT%02ld%02ld%02ld.%06ldZ",
        static_cast<int>(date.year()), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
        static_cast<long>(clock.seconds().count()), static_cast<long>(clock.subseconds().count()));
    return text;
}

} // namespace cartonym
