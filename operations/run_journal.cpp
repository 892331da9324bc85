#include "operations/run_journal.h"

#include "common/error.h"
#include "common/file_operations.h"
#include "common/file_contents.h"
#include "naming/file_names.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>

namespace cartonym {
namespace {

// The journal is plain text, one record per line, fields separated by one
// space. Every path and every appended byte is written escaped: a byte that
// is a space, a control character, not ASCII, or '%' becomes %XX, so that
// any name survives and each record stays on one line.
//
//   cartonym-run-journal 1
//   folder <folder>
//   started <ns since 1970>
//   earlier-game-list <path> <copy>        a game list that was there, copied beside the journal
//   earlier-folder <folder>                an output folder that was there (the run removes it when empty)
//   created <folder>                       an output folder the run created
//   move <from> <to> <device> <inode> <size> <mtime s> <mtime ns> <kind> <link target> <repointed target> <made device> <made inode>
//   fresh-link <path> <target>             a link about to be made (its move record follows once it is)
//   log <path> <size before> <device> <inode>
//   appended <path> <device> <inode> <bytes>
//   game-list <path> <size> <content digest>
//   game-list-removed <path>               the earlier game list, removed by a run without images
//   end <ns>
//   undone <ns> complete|partly

constexpr const char* journal_heading = "cartonym-run-journal 1";
constexpr const char* journal_extension = ".journal";
constexpr const char* saved_list_extension = ".games.htm";
constexpr std::int64_t sync_interval_ns = 1'000'000'000;

// A size before an append when the log was missing, or no plain file.
constexpr std::int64_t log_was_missing = -1;
constexpr std::int64_t log_was_no_file = -2;

std::string escaped(std::string_view text)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte <= 0x20 || byte >= 0x7F || byte == '%') {
            result += '%';
            result += digits[byte >> 4];
            result += digits[byte & 0x0F];
        } else {
            result += character;
        }
    }
    return result;
}

int hex_value(char character)
{
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + 10;
    if (character >= 'a' && character <= 'f')
        return character - 'a' + 10;
    return -1;
}

std::optional<std::string> unescaped(std::string_view text)
{
    std::string result;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] != '%') {
            result += text[pos];
            continue;
        }
        if (pos + 2 >= text.size())
            return std::nullopt;
        const int high = hex_value(text[pos + 1]);
        const int low = hex_value(text[pos + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        pos += 2;
    }
    return result;
}

std::vector<std::string_view> fields_of(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto cut = line.find(' ', start);
        fields.push_back(line.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start));
        if (cut == std::string_view::npos)
            return fields;
        start = cut + 1;
    }
}

std::optional<std::int64_t> number_of(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    bool negative = false;
    std::size_t pos = 0;
    if (text[0] == '-') {
        negative = true;
        pos = 1;
    }
    if (pos == text.size())
        return std::nullopt;
    for (; pos < text.size(); ++pos) {
        if (text[pos] < '0' || text[pos] > '9')
            return std::nullopt;
        value = value * 10 + (text[pos] - '0');
    }
    return negative ? -value : value;
}

std::string number_text(std::int64_t value) { return std::to_string(value); }
std::string number_text(std::uint64_t value) { return std::to_string(value); }

// 20261206T104512.123456Z: the run's name, sortable by time.
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

std::string parent_of(const std::string& path)
{
    const auto cut = path.rfind('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

// What an entry is now, links not followed.
struct EntryState {
    bool exists = false;
    EntryKind kind = EntryKind::missing;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtime_s = 0, mtime_ns = 0;
    bool same_entry(std::uint64_t other_device, std::uint64_t other_inode) const
    {
        return exists && device == other_device && inode == other_inode;
    }
    // The same entry unchanged: an inode number taken again by a new file
    // after the old one was deleted differs in its time of change at least.
    bool same_version(std::uint64_t other_device, std::uint64_t other_inode, std::uint64_t other_size,
        std::int64_t other_mtime_s, std::int64_t other_mtime_ns) const
    {
        return same_entry(other_device, other_inode) && size == other_size && mtime_s == other_mtime_s
            && mtime_ns == other_mtime_ns;
    }
};

EntryState look_at(const std::string& path)
{
    struct stat info { };
    EntryState state;
    if (status_of(path, false, info, no_throw) != 0)
        return state;
    state.exists = true;
    state.kind = S_ISREG(info.st_mode) ? EntryKind::regular_file
        : S_ISDIR(info.st_mode)        ? EntryKind::folder
        : S_ISLNK(info.st_mode)        ? EntryKind::link
                                       : EntryKind::other;
    state.device = static_cast<std::uint64_t>(info.st_dev);
    state.inode = static_cast<std::uint64_t>(info.st_ino);
    state.size = static_cast<std::uint64_t>(info.st_size);
    state.mtime_s = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    state.mtime_ns = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return state;
}

// Creates path and every missing folder above it.
void create_folders(const std::string& path)
{
    for (std::size_t cut = path.find('/', 1);; cut = path.find('/', cut + 1)) {
        const std::string part = path.substr(0, cut);
        if (!part.empty()) {
            const int error = make_folder(part, no_throw);
            if (error != 0 && error != EEXIST)
                throw_errno(error);
        }
        if (cut == std::string::npos)
            return;
    }
}

// path with every link of its existing part resolved; the missing rest
// appended as it is.
std::string resolved_as_far_as_it_exists(const std::string& path)
{
    std::string existing = path, rest;
    while (!entry_exists(existing) && existing != "/" && existing != ".") {
        const auto cut = existing.rfind('/');
        rest = existing.substr(cut + 1) + (rest.empty() ? "" : "/" + rest);
        existing = parent_of(existing);
    }
    const std::string resolved = resolved_path(existing);
    return rest.empty() ? resolved : resolved + (resolved.ends_with('/') ? "" : "/") + rest;
}

// Writes content into a new file at path, never replacing: through a
// private name in the same folder, linked into place. Returns 0 or errno.
int place_new_file(const std::string& path, const std::string& content)
{
    std::string working = parent_of(path) + "/.cartonym-undo-XXXXXX";
    FileDescriptor file = create_unique_file(working);
    try {
        write_all(file, content);
        sync_file(file);
        file.close();
    } catch (...) {
        file.discard();
        remove_name(working, no_throw);
        throw;
    }
    const int error = rename_without_replacing(working, path, SystemOperation::move, path);
    if (error != 0)
        remove_name(working, no_throw);
    return error;
}

// A digest of a file's bytes (64-bit FNV-1a), to recognise the game list a
// run placed even after it was copied back by an undo.
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

std::string digest_of(std::string_view bytes) { return digest_text(digest_step(digest_start, bytes)); }

// The size and digest of a file, read in pieces (a game list of many
// thousand games is never held whole).
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

std::string description_of(int error) { return Error(error_number_from_errno(error)).description(); }

// ---- reading a journal ----------------------------------------------------

struct MoveRecord {
    std::string from, to;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtime_s = 0, mtime_ns = 0;
    std::string kind; // file, link, other, missing
    std::string link_target, repointed_target;
    std::uint64_t made_device = 0, made_inode = 0;
};

struct LogRecord {
    std::string path;
    std::int64_t size_before = 0;
    std::uint64_t device = 0, inode = 0;
    std::string appended;         // every byte the run is known to have appended
    bool last_unrecorded = false; // an append announced whose bytes the journal lacks
};

struct GameListRecord {
    std::string path;
    std::uint64_t size = 0;
    std::string digest;
};

struct ParsedRun {
    std::string name, path;
    std::string folder;
    std::int64_t started_ns = 0;
    std::vector<std::string> created, earlier_folders;
    std::vector<MoveRecord> moves;
    std::vector<LogRecord> logs;
    std::optional<GameListRecord> game_list;
    std::optional<std::pair<std::string, std::string>> earlier_game_list; // path, copy
    // Fresh links recorded as about to be made whose move record never came
    // (the run was stopped in between): path, target.
    std::vector<std::pair<std::string, std::string>> unconfirmed_links;
    bool earlier_game_list_removed = false;
    bool finished = false;
    RunState state = RunState::not_undone;

    // A finished run keeps its journal only when it changed something (an
    // earlier output folder it removed, say). A run that was stopped may
    // have made an output folder without recording it yet.
    bool has_changes() const
    {
        return !finished || !created.empty() || !moves.empty() || !logs.empty() || game_list
            || earlier_game_list_removed || !earlier_folders.empty() || !unconfirmed_links.empty();
    }
};

std::uint64_t unsigned_of(std::string_view text) { return static_cast<std::uint64_t>(number_of(text).value_or(0)); }

std::optional<ParsedRun> parse_journal(const std::string& name, const std::string& path)
{
    std::string text;
    try {
        text = read_whole_file(path);
    } catch (const Error&) {
        return std::nullopt;
    }
    if (!text.starts_with(std::string(journal_heading) + "\n"))
        return std::nullopt;
    ParsedRun run;
    run.name = name;
    run.path = path;
    std::map<std::string, std::size_t> log_index;
    std::size_t start = 0;
    // Only whole lines count: a line cut short by a kill announced nothing
    // that was done.
    for (std::size_t end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
        const auto fields = fields_of(std::string_view(text).substr(start, end - start));
        const std::string_view kind = fields[0];
        auto string_at = [&](std::size_t index) -> std::optional<std::string> {
            return index < fields.size() ? unescaped(fields[index]) : std::nullopt;
        };
        if (kind == "folder" && fields.size() == 2) {
            run.folder = string_at(1).value_or("");
        } else if (kind == "started" && fields.size() == 2) {
            run.started_ns = number_of(fields[1]).value_or(0);
        } else if (kind == "earlier-folder" && fields.size() == 2) {
            if (auto folder = string_at(1))
                run.earlier_folders.push_back(*folder);
        } else if (kind == "created" && fields.size() == 2) {
            if (auto folder = string_at(1))
                run.created.push_back(*folder);
        } else if (kind == "move" && fields.size() == 13) {
            auto from = string_at(1), to = string_at(2), link = string_at(9), repointed = string_at(10);
            if (!from || !to || !link || !repointed)
                continue;
            run.moves.push_back({*from, *to, unsigned_of(fields[3]), unsigned_of(fields[4]), unsigned_of(fields[5]),
                number_of(fields[6]).value_or(0), number_of(fields[7]).value_or(0), std::string(fields[8]), *link,
                *repointed, unsigned_of(fields[11]), unsigned_of(fields[12])});
            std::erase_if(run.unconfirmed_links, [&](const auto& fresh) { return fresh.first == *to; });
        } else if (kind == "fresh-link" && fields.size() == 3) {
            auto link = string_at(1), target = string_at(2);
            if (link && target)
                run.unconfirmed_links.emplace_back(*link, *target);
        } else if (kind == "log" && fields.size() == 5) {
            auto log = string_at(1);
            if (!log)
                continue;
            auto [entry, added] = log_index.try_emplace(*log, run.logs.size());
            if (added)
                run.logs.push_back({*log, number_of(fields[2]).value_or(0), unsigned_of(fields[3]),
                    unsigned_of(fields[4]), "", false});
            run.logs[entry->second].last_unrecorded = true;
        } else if (kind == "appended" && fields.size() == 5) {
            auto log = string_at(1), bytes = string_at(4);
            const auto entry = log ? log_index.find(*log) : log_index.end();
            if (!bytes || entry == log_index.end())
                continue;
            LogRecord& record = run.logs[entry->second];
            if (record.device == 0 && record.inode == 0) {
                record.device = unsigned_of(fields[2]);
                record.inode = unsigned_of(fields[3]);
            }
            record.appended += *bytes;
            record.last_unrecorded = false;
        } else if (kind == "game-list" && fields.size() == 4) {
            if (auto list = string_at(1))
                run.game_list = GameListRecord{*list, unsigned_of(fields[2]), std::string(fields[3])};
        } else if (kind == "earlier-game-list" && fields.size() == 3) {
            auto list = string_at(1), copy = string_at(2);
            if (list && copy)
                run.earlier_game_list = {*list, *copy};
        } else if (kind == "game-list-removed") {
            run.earlier_game_list_removed = true;
        } else if (kind == "end") {
            run.finished = true;
        } else if (kind == "undone" && fields.size() == 3) {
            run.state = fields[2] == "complete" ? RunState::undone : RunState::partly_undone;
        }
    }
    return run;
}

std::vector<ParsedRun> read_runs()
{
    std::vector<ParsedRun> runs;
    const std::string folder = runs_folder();
    if (entry_kind(folder) == EntryKind::missing)
        return runs;
    Directory listing(folder);
    while (auto entry = listing.next()) {
        if (!entry->name.ends_with(journal_extension) || entry->name.front() == '.')
            continue;
        const std::string name = entry->name.substr(0, entry->name.size() - std::string_view(journal_extension).size());
        if (auto run = parse_journal(name, folder + "/" + entry->name))
            runs.push_back(std::move(*run));
    }
    std::ranges::sort(runs, [](const ParsedRun& a, const ParsedRun& b) { return a.name > b.name; });
    return runs;
}

} // namespace

// ---- the journal ----------------------------------------------------------

std::string runs_folder()
{
    // A relative XDG_STATE_HOME is to be ignored, as an empty one.
    if (auto state = environment_variable("XDG_STATE_HOME"); state && state->starts_with('/'))
        return *state + "/cartonym/runs";
    if (auto home = environment_variable("HOME"); home && !home->empty())
        return *home + "/.local/state/cartonym/runs";
    throw JournalUnavailable("neither XDG_STATE_HOME nor HOME is set");
}

RunJournal::RunJournal(const std::string& folder)
{
    try {
        working_folder_ = resolved_path(".");
    } catch (const Error& error) {
        throw JournalUnavailable("the current folder cannot be found: " + error.description());
    }
    folder_ = absolute(folder);
    const std::string runs = runs_folder();
    // The journal lies outside the folder being sorted: checked before any
    // folder is made for it.
    try {
        const std::string resolved_runs = resolved_as_far_as_it_exists(runs), resolved_folder = resolved_path(folder_);
        if (resolved_runs == resolved_folder || resolved_runs.starts_with(resolved_folder + "/"))
            throw JournalUnavailable(runs + " lies inside the folder being sorted");
    } catch (const Error&) {
        // The folder cannot be resolved: the run will say so itself.
    }
    try {
        create_folders(runs);
    } catch (const Error& error) {
        throw JournalUnavailable(runs + ": " + error.description());
    }

    const std::int64_t now = wall_clock_ns();
    const std::string stamp = time_stamp(now, false);
    for (int attempt = 1;; ++attempt) {
        name_ = attempt == 1 ? stamp : stamp + "-" + std::to_string(attempt);
        path_ = runs + "/" + name_ + journal_extension;
        try {
            file_ = open_file(path_, O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW, 0600);
            break;
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::file_already_exists || attempt >= 1000)
                throw JournalUnavailable(path_ + ": " + error.description());
        }
    }
    last_sync_ns_ = now;
    try {
        std::string heading =
            std::string(journal_heading) + "\nfolder " + escaped(folder_) + "\nstarted " + number_text(now) + "\n";
        // A game list already there is replaced when the run places its
        // own: a copy beside the journal lets undo put it back.
        // An output folder already there is removed by the run when it
        // stays empty: undo makes it again.
        for (const char* output : {duplicates_folder_name, unknown_folder_name, renamed_folder_name}) {
            const std::string output_folder = join_path(folder_, output);
            if (entry_kind(output_folder) == EntryKind::folder) {
                heading += "earlier-folder " + escaped(output_folder) + "\n";
                earlier_folders_.push_back(output_folder);
            }
        }
        const std::string list = join_path(folder_, renamed_folder_name) + "/" + game_list_name;
        if (entry_kind(list) == EntryKind::regular_file) {
            saved_game_list_ = runs + "/" + name_ + saved_list_extension;
            FileDescriptor copy = open_file(saved_game_list_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
            write_all(copy, read_whole_file(list));
            copy.close();
            heading += "earlier-game-list " + escaped(list) + " " + escaped(saved_game_list_) + "\n";
        }
        write_all(file_, heading);
    } catch (const Error& error) {
        discard_if_unused();
        throw JournalUnavailable(path_ + ": " + error.description());
    }
}

RunJournal::~RunJournal()
{
    // A run that ended before making any change (no files, a failed set-up)
    // leaves no journal.
    if (!changes_recorded_ && created_folders_.empty())
        discard_if_unused();
}

std::string RunJournal::absolute(const std::string& path) const
{
    if (path.starts_with('/'))
        return path;
    return working_folder_ + (working_folder_.ends_with('/') ? "" : "/") + path;
}

void RunJournal::discard_if_unused() noexcept
{
    file_.discard();
    if (!path_.empty())
        remove_name(path_, no_throw);
    if (!saved_game_list_.empty())
        remove_name(saved_game_list_, no_throw);
    path_.clear();
    saved_game_list_.clear();
}

void RunJournal::write_entry(const std::string& line)
{
    if (!file_.is_open())
        throw Error(ErrorNumber::path_file_access_error);
    write_all(file_, line + "\n");
    const std::int64_t now = wall_clock_ns();
    if (now - last_sync_ns_ >= sync_interval_ns) {
        sync_file(file_);
        last_sync_ns_ = now;
    }
}

// The bytes of the last announced append, now that it is done: recorded at
// the next entry, so that undo can tell the run's entries from others.
void RunJournal::record_pending_log()
{
    if (!pending_log_)
        return;
    const auto [log, size_before] = *pending_log_;
    pending_log_.reset();
    std::string bytes;
    std::uint64_t device = 0, inode = 0;
    try {
        const ReadableFile file(log);
        device = file.identity().device;
        inode = file.identity().inode;
        const std::uint64_t start = size_before < 0 ? 0 : static_cast<std::uint64_t>(size_before);
        if (file.length() > start) {
            bytes.resize(static_cast<std::size_t>(file.length() - start));
            file.read_at(start, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
        }
    } catch (const Error&) {
        // The append did not happen (the log could not be opened): nothing added.
    }
    write_entry(
        "appended " + escaped(log) + " " + number_text(device) + " " + number_text(inode) + " " + escaped(bytes));
}

void RunJournal::folder_created(const std::string& path)
{
    record_pending_log();
    created_folders_.push_back(absolute(path));
    try {
        write_entry("created " + escaped(created_folders_.back()));
    } catch (const Error&) {
        // Not in the journal: the folder, still empty, goes again.
        remove_empty_folder(created_folders_.back(), no_throw);
        created_folders_.pop_back();
        throw;
    }
}

void RunJournal::moving(const std::string& from_path, const std::string& to_path)
{
    record_pending_log();
    changes_recorded_ = true;
    const std::string from = absolute(from_path), to = absolute(to_path);
    const EntryState entry = look_at(from);
    const char* kind = !entry.exists            ? "missing"
        : entry.kind == EntryKind::link         ? "link"
        : entry.kind == EntryKind::regular_file ? "file"
                                                : "other";
    std::string target, repointed;
    EntryState made;
    if (entry.kind == EntryKind::link) {
        // A link keeps its target text; one with a relative target is made
        // anew at its new place naming the same target absolutely, and a
        // link to a moved image is made there before the old one goes.
        target = link_target(from).value_or("");
        if (!target.empty() && !target.starts_with('/')) {
            try {
                repointed = resolved_path(parent_of(from)) + "/" + target;
            } catch (const Error&) {
                repointed.clear();
            }
        }
        made = look_at(to);
    }
    write_entry("move " + escaped(from) + " " + escaped(to) + " " + number_text(entry.device) + " "
        + number_text(entry.inode) + " " + number_text(entry.size) + " " + number_text(entry.mtime_s) + " "
        + number_text(entry.mtime_ns) + " " + kind + " " + escaped(target) + " " + escaped(repointed) + " "
        + number_text(made.device) + " " + number_text(made.inode));
}

void RunJournal::link_making(const std::string& path, const std::string& target)
{
    record_pending_log();
    changes_recorded_ = true;
    write_entry("fresh-link " + escaped(absolute(path)) + " " + escaped(target));
}

void RunJournal::log_appending(const std::string& log_path)
{
    record_pending_log();
    changes_recorded_ = true;
    const std::string log = absolute(log_path);
    const EntryState entry = look_at(log);
    const std::int64_t size = !entry.exists     ? log_was_missing
        : entry.kind != EntryKind::regular_file ? log_was_no_file
                                                : static_cast<std::int64_t>(entry.size);
    write_entry("log " + escaped(log) + " " + number_text(size) + " " + number_text(entry.device) + " "
        + number_text(entry.inode));
    pending_log_ = {log, size};
}

void RunJournal::game_list_placed(const std::string& path)
{
    record_pending_log();
    changes_recorded_ = true;
    const std::string list = absolute(path);
    std::pair<std::uint64_t, std::string> size_and_digest{0, digest_of("")};
    try {
        size_and_digest = size_and_digest_of_file(list);
    } catch (const Error&) {
        // Gone already: undo finds nothing to take away.
    }
    write_entry("game-list " + escaped(list) + " " + number_text(size_and_digest.first) + " " + size_and_digest.second);
}

void RunJournal::game_list_removing(const std::string& path)
{
    record_pending_log();
    changes_recorded_ = true;
    write_entry("game-list-removed " + escaped(absolute(path)));
}

void RunJournal::finished()
{
    if (ended_)
        return;
    ended_ = true;
    try {
        record_pending_log();
        // Output folders the run created and removed again are no change.
        const bool folder_left =
            std::ranges::any_of(created_folders_, [](const std::string& folder) { return entry_exists(folder); });
        const bool folder_gone =
            std::ranges::any_of(earlier_folders_, [](const std::string& folder) { return !entry_exists(folder); });
        if (!changes_recorded_ && !folder_left && !folder_gone) {
            discard_if_unused();
            return;
        }
        write_entry("end " + number_text(wall_clock_ns()));
        sync_file(file_);
        file_.close();
        sync_folder(parent_of(path_));
    } catch (const Error& error) {
        failure_ = path_ + ": " + error.description();
    }
}

// ---- listing and undoing ----------------------------------------------------

std::vector<RunSummary> list_runs()
{
    std::vector<RunSummary> summaries;
    for (const ParsedRun& run : read_runs()) {
        // A file whose first target was taken is recorded twice: files count once.
        std::set<std::string> moved;
        for (const MoveRecord& move : run.moves)
            moved.insert(move.from);
        summaries.push_back({run.name, run.folder, time_stamp(run.started_ns, true), moved.size(), run.finished,
            run.has_changes(), run.state});
    }
    return summaries;
}

namespace {

// One undo: decides every step, and makes it unless it is a dry run.
class Undo {
public:
    Undo(const ParsedRun& run, bool dry_run)
        : run_(run)
        , dry_run_(dry_run)
    {
        report_.name = run.name;
        report_.folder = run.folder;
        report_.dry_run = dry_run;
    }

    UndoReport undo()
    {
        remove_unconfirmed_links();
        move_files_back();
        take_back_game_list();
        for (const LogRecord& log : run_.logs)
            take_back_log(log);
        for (auto folder = run_.created.rbegin(); folder != run_.created.rend(); ++folder)
            remove_created_folder(*folder);
        if (!run_.finished) {
            // A run killed between making an output folder and recording it:
            // an output folder that was not there when the run began and is
            // empty now is the run's.
            for (const char* output : {renamed_folder_name, unknown_folder_name, duplicates_folder_name}) {
                const std::string folder = join_path(run_.folder, output);
                if (std::ranges::find(run_.earlier_folders, folder) == run_.earlier_folders.end()
                    && std::ranges::find(run_.created, folder) == run_.created.end())
                    remove_created_folder(folder);
            }
        }
        for (const std::string& folder : run_.earlier_folders)
            make_earlier_folder(folder);
        if (!dry_run_)
            mark_undone();
        return std::move(report_);
    }

private:
    void problem(const std::string& path, const std::string& place, const std::string& reason)
    {
        report_.problems.push_back({path, place, reason});
    }

    // A run stopped between making a fresh link and recording its move: the
    // link at the recorded place, naming exactly the recorded target, is
    // the run's (the old link it was to replace is still in place). Only a
    // link of that very target text goes, never a file.
    void remove_unconfirmed_links()
    {
        for (const auto& [path, target] : run_.unconfirmed_links) {
            if (look_at(path).kind != EntryKind::link || link_target(path) != target)
                continue;
            if (!dry_run_)
                remove_name(path, no_throw);
            leaving_.insert(path);
            report_.removed.push_back(path);
        }
    }

    // Renames the entry at the move's new place back to its old place,
    // never replacing; false (and the reason reported) when it cannot.
    bool rename_back(const MoveRecord& move)
    {
        const int error = rename_without_replacing(move.to, move.from, SystemOperation::move, move.from);
        if (error != 0)
            problem(move.to, move.from, error == EEXIST ? "its old place is taken" : description_of(error));
        return error == 0;
    }

    // Newest move first. Only the newest record of each file counts: a
    // file is moved once, and an older record is a move that failed
    // (its target taken) before the run tried another.
    void move_files_back()
    {
        std::set<std::string> handled;
        for (auto move = run_.moves.rbegin(); move != run_.moves.rend(); ++move) {
            if (!handled.insert(move->from).second)
                continue;
            if (move->kind == "link")
                move_link_back(*move);
            else if (move->kind != "missing")
                move_file_back(*move);
        }
    }

    static bool is_moved_entry(const EntryState& state, const MoveRecord& move)
    {
        return state.same_version(move.device, move.inode, move.size, move.mtime_s, move.mtime_ns);
    }

    void move_file_back(const MoveRecord& move)
    {
        const EntryState at_from = look_at(move.from);
        if (is_moved_entry(at_from, move))
            return; // the move was never made, or was taken back already
        const EntryState at_to = look_at(move.to);
        if (!is_moved_entry(at_to, move)) {
            problem(move.to, move.from, at_to.exists ? "another file is there now" : "the file is no longer there");
            return;
        }
        if (at_from.exists) {
            problem(move.to, move.from, "its old place is taken");
            return;
        }
        if (!dry_run_ && !rename_back(move))
            return;
        leaving_.insert(move.to);
        report_.moved_back.emplace_back(move.to, move.from);
    }

    void move_link_back(const MoveRecord& move)
    {
        const EntryState at_from = look_at(move.from);
        const EntryState at_to = look_at(move.to);
        const bool made_by_run = (move.made_device != 0 || move.made_inode != 0) && at_to.kind == EntryKind::link
            && at_to.same_entry(move.made_device, move.made_inode);
        if (is_moved_entry(at_from, move)) {
            // The old link is still there; a fresh one the run made at the
            // new place before it was stopped goes again.
            if (made_by_run) {
                if (!dry_run_)
                    remove_name(move.to, no_throw);
                leaving_.insert(move.to);
                report_.removed.push_back(move.to);
            }
            return;
        }
        const std::optional<std::string> target = at_to.kind == EntryKind::link ? link_target(move.to) : std::nullopt;
        const bool unchanged =
            at_to.kind == EntryKind::link && is_moved_entry(at_to, move) && target == move.link_target;
        const bool remade = at_to.kind == EntryKind::link
            && (made_by_run || is_moved_entry(at_to, move)
                || (!move.repointed_target.empty() && target == move.repointed_target));
        if (!unchanged && !remade) {
            problem(move.to, move.from, at_to.exists ? "another file is there now" : "the link is no longer there");
            return;
        }
        if (at_from.exists) {
            problem(move.to, move.from, "its old place is taken");
            return;
        }
        if (!dry_run_) {
            if (unchanged) {
                if (!rename_back(move))
                    return;
            } else {
                // The link goes back as it was, with its own target text;
                // the one at the new place goes once the old is back.
                if (const int error = create_link(move.link_target, move.from)) {
                    problem(move.to, move.from, error == EEXIST ? "its old place is taken" : description_of(error));
                    return;
                }
                if (look_at(move.to).same_entry(at_to.device, at_to.inode))
                    remove_name(move.to, no_throw);
            }
        }
        leaving_.insert(move.to);
        report_.moved_back.emplace_back(move.to, move.from);
    }

    void take_back_game_list()
    {
        std::optional<std::string> earlier;
        if (run_.earlier_game_list) {
            try {
                earlier = read_whole_file(run_.earlier_game_list->second);
            } catch (const Error&) {
                earlier.reset();
            }
        }
        if (!run_.game_list && !run_.finished)
            take_back_unrecorded_game_list(earlier);
        if (run_.game_list) {
            const GameListRecord& list = *run_.game_list;
            const EntryState now = look_at(list.path);
            if (now.exists) {
                std::optional<std::string> content;
                if (now.kind == EntryKind::regular_file) {
                    try {
                        content = read_whole_file(list.path);
                    } catch (const Error&) {
                        content.reset();
                    }
                }
                if (content && content->size() == list.size && digest_of(*content) == list.digest) {
                    if (!dry_run_)
                        remove_name(list.path, no_throw);
                    leaving_.insert(list.path);
                    report_.removed.push_back(list.path);
                } else if (!(content && earlier && *content == *earlier)) {
                    problem(list.path, "", "the game list was changed after the run");
                }
            }
        }
        // The game list that was there before the run is put back when the
        // run replaced or removed it (or was stopped while doing so).
        if (run_.earlier_game_list && (run_.game_list || run_.earlier_game_list_removed || !run_.finished)) {
            const auto& [path, copy] = *run_.earlier_game_list;
            if (entry_exists(path) && !leaving_.contains(path))
                return;
            if (!earlier) {
                problem(copy, path, "the copy of the earlier game list cannot be read");
                return;
            }
            if (!dry_run_) {
                try {
                    const int error = place_new_file(path, *earlier);
                    if (error != 0) {
                        problem(copy, path, error == EEXIST ? "its old place is taken" : description_of(error));
                        return;
                    }
                } catch (const Error& error) {
                    problem(copy, path, error.description());
                    return;
                }
            }
            arriving_.insert(path);
            report_.restored.push_back(path);
        }
    }

    // A run killed between placing its game list and recording it: a whole
    // game list written since the run began (file times are coarse: a
    // second's leeway) that is not the earlier list is the run's.
    void take_back_unrecorded_game_list(const std::optional<std::string>& earlier)
    {
        const std::string path = join_path(run_.folder, renamed_folder_name) + "/" + game_list_name;
        const EntryState now = look_at(path);
        if (now.kind != EntryKind::regular_file || (now.mtime_s + 1) * 1'000'000'000 + now.mtime_ns < run_.started_ns)
            return;
        try {
            const std::string content = read_whole_file(path);
            if (!content.starts_with(game_list_head_text()) || !content.ends_with(game_list_end_text())
                || (earlier && content == *earlier))
                return;
        } catch (const Error&) {
            return;
        }
        if (!dry_run_)
            remove_name(path, no_throw);
        leaving_.insert(path);
        report_.removed.push_back(path);
    }

    void take_back_log(const LogRecord& log)
    {
        if (log.size_before == log_was_no_file)
            return;
        const EntryState now = look_at(log.path);
        const std::uint64_t keep = log.size_before < 0 ? 0 : static_cast<std::uint64_t>(log.size_before);
        if (!now.exists) {
            if (log.size_before != log_was_missing)
                problem(log.path, "", "the log is gone");
            return;
        }
        if (now.kind != EntryKind::regular_file
            || ((log.device != 0 || log.inode != 0) && !now.same_entry(log.device, log.inode))) {
            if (!log.appended.empty() || log.last_unrecorded)
                problem(log.path, "", "another file is there now");
            return;
        }
        try {
            FileDescriptor file = open_file(log.path, (dry_run_ ? O_RDONLY : O_RDWR) | O_NOFOLLOW | O_NONBLOCK);
            const std::uint64_t size = identity_of(file).size;
            if (size < keep) {
                problem(log.path, "", "the log was cut short after the run");
                return;
            }
            std::string tail(static_cast<std::size_t>(size - keep), '\0');
            for (std::size_t done = 0; done < tail.size();) {
                const std::size_t n = read_at(
                    file, keep + done, reinterpret_cast<unsigned char*>(tail.data() + done), tail.size() - done);
                if (n == 0)
                    break;
                done += n;
            }
            if (tail.empty() && log.size_before != log_was_missing)
                return; // cut back already
            if (!only_the_runs_entries(tail, log)) {
                problem(log.path, "", "the log holds entries written after the run");
                return;
            }
            if (log.size_before == log_was_missing) {
                // The run created the log and it holds only the run's entries.
                if (!dry_run_) {
                    file.close();
                    delete_file(log.path);
                }
                leaving_.insert(log.path);
                report_.removed.push_back(log.path);
            } else {
                if (!dry_run_) {
                    truncate_file(file, keep);
                    sync_file(file);
                    file.close();
                }
                report_.restored.push_back(log.path);
            }
        } catch (const Error& error) {
            problem(log.path, "", error.description());
        }
    }

    // True when tail is what the run appended: exactly the recorded bytes,
    // or, for a run stopped right after announcing an append, the recorded
    // bytes followed by at most the beginning of one entry.
    static bool only_the_runs_entries(const std::string& tail, const LogRecord& log)
    {
        if (tail == log.appended)
            return true;
        if (!log.last_unrecorded || !tail.starts_with(log.appended))
            return false;
        const std::string_view rest = std::string_view(tail).substr(log.appended.size());
        const std::string_view first = "Datasource: ";
        if (rest.size() < first.size())
            return first.starts_with(rest);
        if (!rest.starts_with(first) || rest.find(first, 1) != std::string_view::npos)
            return false;
        return line_ends_in(rest) <= line_ends_in(unknown_log_entry("", "", "", "", ""));
    }

    static std::size_t line_ends_in(std::string_view text)
    {
        std::size_t count = 0;
        for (std::size_t pos = text.find("\r\n"); pos != std::string_view::npos; pos = text.find("\r\n", pos + 2))
            ++count;
        return count;
    }

    void remove_created_folder(const std::string& folder)
    {
        if (dry_run_) {
            const EntryState now = look_at(folder);
            if (now.kind != EntryKind::folder)
                return;
            bool empty = true;
            try {
                Directory listing(folder);
                while (auto entry = listing.next()) {
                    if (entry->name == "." || entry->name == "..")
                        continue;
                    const std::string path = folder + "/" + entry->name;
                    if (!leaving_.contains(path) || arriving_.contains(path))
                        empty = false;
                }
            } catch (const Error&) {
                empty = false;
            }
            if (empty)
                report_.removed.push_back(folder);
            else
                report_.kept_folders.push_back(folder);
            return;
        }
        const int error = remove_empty_folder(folder, no_throw);
        if (error == 0)
            report_.removed.push_back(folder);
        else if (error != ENOENT && error != ENOTDIR)
            report_.kept_folders.push_back(folder);
    }

    void make_earlier_folder(const std::string& folder)
    {
        if (entry_exists(folder))
            return;
        if (!dry_run_) {
            const int error = make_folder(folder, no_throw);
            if (error == EEXIST)
                return;
            if (error != 0) {
                problem(folder, "", description_of(error));
                return;
            }
        }
        report_.restored.push_back(folder);
    }

    void mark_undone()
    {
        try {
            FileDescriptor file = open_file(run_.path, O_WRONLY | O_APPEND | O_NOFOLLOW);
            write_all(
                file, "undone " + number_text(wall_clock_ns()) + (report_.complete() ? " complete\n" : " partly\n"));
            sync_file(file);
            file.close();
        } catch (const Error& error) {
            problem(run_.path, "", "the journal cannot be marked as undone: " + error.description());
        }
    }

    const ParsedRun& run_;
    bool dry_run_;
    UndoReport report_;
    std::set<std::string> leaving_, arriving_; // paths the undo takes away or puts back
};

} // namespace

UndoReport undo_run(const std::string& name, bool dry_run)
{
    const std::vector<ParsedRun> runs = read_runs();
    const ParsedRun* chosen = nullptr;
    for (const ParsedRun& run : runs) {
        if (name.empty() ? run.state != RunState::undone && run.has_changes() : run.name == name) {
            chosen = &run;
            break;
        }
    }
    if (chosen == nullptr)
        throw JournalUnavailable(name.empty() ? "there is no run to undo" : "there is no run called " + name);
    return Undo(*chosen, dry_run).undo();
}

} // namespace cartonym
