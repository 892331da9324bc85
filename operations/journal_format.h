// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a run on disk: plain text, one record per line, fields
// separated by one space. Paths and appended bytes are percent-escaped (a
// byte that is a space, a control character, not ASCII, or '%' becomes
// %XX), so that any name survives and each record stays on one line. Only
// whole lines count: a line cut short by a kill announced nothing.
//
// The table record_formats() in journal_format.cpp is the one description
// of every record kind: its name, its fields and their kinds. The writer
// (run_journal.cpp) builds its lines from it, the reader below checks each
// line against it, and undo (run_undo.cpp) works on what the reader made.
#pragma once

#include "database_tools/content_digest.h"
#include "operations/run_undo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cartonym {

// A size before an append when the log was missing, or no plain file.
inline constexpr std::int64_t log_was_missing = -1;
inline constexpr std::int64_t log_was_no_file = -2;

enum class RecordKind {
    folder,            // folder <folder>
    started,           // started <ns since 1970>
    earlier_game_list, // earlier-game-list <path> <copy>: a game list that was there, copied beside the journal
    earlier_folder,    // earlier-folder <folder>: an output folder that was there (the run removes it when empty)
    created,           // created <folder>: an output folder the run created
    move,              // move <from> <to> <identity of from> <kind> <link target> <repointed target> <made identity>
    fresh_link,        // fresh-link <path> <target>: a link about to be made (its move record follows once it is)
    log,               // log <path> <size before> <device> <inode>
    appended,          // appended <path> <device> <inode> <bytes>
    game_list,         // game-list <path> <size> <content digest>
    game_list_removed, // game-list-removed <path>: the earlier game list, removed by a run without images
    end,               // end <ns>
    undone,            // undone <ns> complete|partly
    failed,            // failed <from> <to>: the move (or fresh link) announced last did not happen
    arrived,           // arrived <to> <device> <inode> <ctime s> <ctime ns>: the moved entry at its new place
    reserved,          // reserved <path>: an empty file about to be made at path to reserve it for the move before
    content,           // content <to> <size> <digest>: the content check of the file the move before moves to <to>
    interrupted,       // interrupted: the run was stopped between two files at its caller's asking (end follows)
    exported,          // exported: the run copies a set into its folder (an export), moving nothing
    copying,           // copying <path> <size> <digest>: a checked copy about to be placed at path
    copied,            // copied <path> <device> <inode> <size> <mtime s> <mtime ns>: the copy as placed
};

// How a field is written: a path or bytes escaped, a number in decimal, a
// word (a digest, a kind) as it is.
enum class FieldKind { path, bytes, number, word };

struct FieldFormat {
    const char* name;
    FieldKind kind;
};

struct RecordFormat {
    RecordKind kind;
    const char* name;
    std::vector<FieldFormat> fields;
};

// Every record kind, in the order of RecordKind.
const std::vector<RecordFormat>& record_formats();
const RecordFormat& record_format(RecordKind kind);

// A journal's first line, a journal's file name ending, and the ending of
// the copy of an earlier game list kept beside it.
inline constexpr const char* journal_heading = "cartonym-run-journal 1";
inline constexpr const char* journal_extension = ".journal";
inline constexpr const char* saved_list_extension = ".games.htm";

// One line of the journal (without its line end), each value escaped as
// its field's kind says; values must match the fields in number.
std::string record_line(RecordKind kind, const std::vector<std::string>& values);

// A line read back: its kind and its values unescaped; nullopt for a line
// of an unknown kind, the wrong number of fields, or a malformed value.
struct Record {
    RecordKind kind;
    std::vector<std::string> values;
    std::int64_t number(std::size_t index) const;
    std::uint64_t unsigned_number(std::size_t index) const;
};
std::optional<Record> parsed_record(std::string_view line);

// What a moved entry was.
enum class MoveKind { file, link, other, missing };
const char* move_kind_name(MoveKind kind);

// What tells a file by its bytes where inode numbers do not survive a
// remount: its size and a digest of its first 0x10200 bytes (which hold
// every byte the analysis reads) and of its last 0x10000 bytes.
struct ContentCheck {
    std::uint64_t size = 0;
    std::string digest;
    bool operator==(const ContentCheck&) const = default;
};

// The content check of the regular file at path; nullopt when it cannot be read.
std::optional<ContentCheck> content_check_of(const std::string& path);

// The identity fields a move records of an entry.
struct RecordedIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtime_s = 0, mtime_ns = 0;
};

struct MoveRecord {
    std::string from, to;
    RecordedIdentity entry;
    MoveKind kind = MoveKind::missing;
    std::string link_target, repointed_target;
    std::uint64_t made_device = 0, made_inode = 0;
    // The time of change at the new place, when the journal has it.
    std::optional<std::pair<std::int64_t, std::int64_t>> arrived_ctime;
    std::optional<ContentCheck> content; // recorded on volumes whose inode numbers may change on a remount
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

// A copy an export placed (or was about to place when it was stopped).
struct CopyRecord {
    std::string path;
    std::uint64_t size = 0;
    std::string digest; // of its bytes, as copy_digest_text() writes it
    std::optional<RecordedIdentity> placed;
};

// A journal read back.
struct JournalContents {
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
    // Names reserved for moves by an empty file; one still empty is the
    // run's leftover (the run was stopped before its move).
    std::vector<std::string> reservations;
    std::vector<CopyRecord> copies; // of an export
    bool exported = false;          // the run is an export
    bool earlier_game_list_removed = false;
    bool finished = false;
    bool interrupted = false;
    RunState state = RunState::not_undone;

    // A finished run keeps its journal only when it changed something (an
    // earlier output folder it removed, say). A run that was stopped may
    // have made an output folder without recording it yet.
    bool has_changes() const;
};

// The journal at path, or nullopt when it cannot be read or is none.
std::optional<JournalContents> read_journal(const std::string& name, const std::string& path);

// Every journal of runs_folder(), newest first.
std::vector<JournalContents> read_journals();

// A digest of bytes (64-bit FNV-1a, 16 hex digits), to recognise the game
// list a run placed even after it was copied back by an undo.
std::string content_digest(std::string_view bytes);

// The size and digest of a file, read in pieces; throws Error.
std::pair<std::uint64_t, std::string> size_and_digest_of_file(const std::string& path);

// The digest a copying record keeps of a copy's bytes: "xxh128:" and the
// 32 lowercase hexadecimal digits of their XXH3-128 (asked for in kinds).
// Journals of earlier versions hold the 40 digits of their SHA-1 instead.
std::string copy_digest_text(const ContentDigest& digest);
// The digest of the file at path in the form of recorded (either of the
// two above), to compare with it; throws Error.
std::string copy_digest_of_file(const std::string& path, const std::string& recorded);

// A time as a run's name (20261206T104512.123456Z, sortable) or readable
// (2026-12-06T10:45:12.123456Z).
std::string time_stamp(std::int64_t ns, bool readable);

} // namespace cartonym
