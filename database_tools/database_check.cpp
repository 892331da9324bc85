// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/database_check.h"

#include "analysis/header_decoding.h"
#include "common/error.h"
#include "common/number_text.h"
#include "common/windows1252.h"
#include "naming/database_index.h"
#include "naming/database_items.h"
#include "naming/name_database.h"

#include <algorithm>
#include <array>
#include <functional>

namespace cartonym {
namespace {

constexpr std::size_t key_length = 21;
constexpr std::size_t longest_file_name = 255; // bytes, as the file system stores it
constexpr std::string_view Extensions[] = {".smc", ".swc", ".fig"};

// The items a check holds at most, as the lookup reads them; longer ones
// are judged by their length and first bytes.
constexpr std::size_t largest_item = DatabaseLimits{}.largest_item;

// The longest country suffix of the analysis' table and the longest
// extension: the new name a full name can get is never longer than with them.
const std::string& longest_suffix()
{
    static const std::string longest = [] {
        std::string found;
        for (int country = 0; country < 256; ++country) {
            std::string suffix = country_suffix(static_cast<std::uint8_t>(country));
            if (suffix.size() > found.size())
                found = std::move(suffix);
        }
        return found;
    }();
    return longest;
}

std::string_view longest_extension()
{
    return *std::max_element(std::begin(Extensions), std::end(Extensions),
        [](std::string_view a, std::string_view b) { return a.size() < b.size(); });
}

std::string hex_bytes(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        const std::string hex = hex_text(static_cast<std::uint8_t>(c));
        text += (text.empty() ? "" : " ") + std::string(hex.size() < 2 ? "0" : "") + hex;
    }
    return text;
}

// The first byte sequence that reads as one well-formed UTF-8 character of
// two to four bytes, or "" when there is none.
std::string_view utf8_sequence(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t end = i;
        char32_t character = 0;
        if (static_cast<unsigned char>(text[i]) >= 0x80 && decode_utf8(text, end, character))
            return text.substr(i, end - i);
    }
    return {};
}

// Adds one finding about the record in hand.
using AddFinding = std::function<void(FindingSeverity, FindingKind, std::string)>;

// The new name made of the full name, the longest country suffix and the
// longest extension: it must be usable as a file name.
void check_name_as_file(const std::string& name, std::uint64_t cut_off, const AddFinding& add)
{
    using enum FindingSeverity;
    const std::string longest = name + longest_suffix() + std::string(longest_extension());
    const std::string context = " with the country suffix \"" + longest_suffix() + "\" and the extension \""
        + std::string(longest_extension()) + "\"";
    const std::uint64_t bytes = utf8_from_cp1252(longest).size() + cut_off;
    if (name.find('\0') != std::string::npos)
        add(error, FindingKind::unusable_name, "the full name holds a NUL byte, which no file name can hold");
    else if (longest.find_first_of("/\\") != std::string::npos)
        add(error, FindingKind::unusable_name, "the new name" + context + " contains \"/\" or \"\\\"");
    else if (longest == "." || longest == "..")
        add(error, FindingKind::unusable_name, "the new name" + context + " is \"" + longest + "\"");
    else if (bytes > longest_file_name)
        add(error, FindingKind::unusable_name,
            "the new name" + context + " is" + decimal_text(static_cast<std::int64_t>(bytes))
                + " bytes long, more than the 255 a file name may have");
}

// Characters Windows forbids in file names, each named once.
void check_windows_characters(const std::string& name, const AddFinding& add)
{
    std::string forbidden;
    for (const char c : name) {
        const bool control = static_cast<unsigned char>(c) < 0x20 && c != '\0'; // a NUL is unusable_name
        const std::string shown = control ? "0x" + hex_bytes(std::string(1, c)) : std::string(1, c);
        if ((control || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            && forbidden.find(shown) == std::string::npos)
            forbidden += (forbidden.empty() ? "" : " ") + shown;
    }
    if (!forbidden.empty())
        add(FindingSeverity::warning, FindingKind::windows_name,
            "the full name has characters Windows forbids in file names: " + forbidden);
}

// The first item that reads as UTF-8 rather than Windows-1252 text.
void check_encoding(const std::string& key, const std::string& name, const AddFinding& add)
{
    for (const std::string* item : {&key, &name}) {
        if (const std::string_view sequence = utf8_sequence(*item); !sequence.empty()) {
            add(FindingSeverity::warning, FindingKind::encoding,
                "the bytes " + hex_bytes(sequence) + " (\"" + std::string(sequence)
                    + "\") read as a UTF-8 character; the database is Windows-1252 text");
            return;
        }
    }
}

// One record as read: its items cut to the reader's largest item, and
// their whole lengths.
struct ReadRecord {
    std::string key, name;
    std::uint64_t key_size = 0, name_size = 0;
};

// The findings of one record; earlier_line is the line of an earlier
// record with the same key (0 when there is none).
class RecordChecker {
public:
    explicit RecordChecker(const FindingSink& sink)
        : sink_(sink)
    { }

    void check(std::size_t line, const ReadRecord& record, std::size_t earlier_line) const
    {
        const std::string& key = record.key;
        const std::string& name = record.name;
        const AddFinding add = [&](FindingSeverity severity, FindingKind kind, std::string message) {
            sink_({line, severity, kind, std::move(message), key});
        };
        using enum FindingSeverity;

        if (record.key_size != key_length)
            add(error, FindingKind::key_length,
                "the first item has" + decimal_text(static_cast<std::int64_t>(record.key_size))
                    + " characters, not 21: it can never match");
        if (earlier_line != 0)
            add(error, FindingKind::duplicate_key,
                "the record on line" + decimal_text(static_cast<std::int64_t>(earlier_line))
                    + " has the same first item: this record is never used");
        if (name.empty())
            add(error, FindingKind::empty_name, "the second item (the full name) is empty");

        check_name_as_file(name, record.name_size - name.size(), add);
        check_windows_characters(name, add);
        check_encoding(key, name, add);

        if (key.size() == key_length) {
            RomAnalysis image;
            image.Interner_name = key; // no checksum key: only corrections that ignore it answer
            if (correction_decides(image))
                add(warning, FindingKind::shadowed, "a fixed correction answers this key before the database is read");
        }

        if (name.find_first_of("<>") != std::string::npos)
            add(warning, FindingKind::markup,
                "the full name holds \"<\" or \">\", which the game list writes unescaped");
    }

private:
    const FindingSink& sink_;
};

// Lines of the bytes, counted as a reader passes them: CR LF, a lone CR
// and a lone LF each end a line. The count is kept at every step of the
// offsets passed, so that the line of an earlier offset is counted again
// from the step before it.
class LineCounter {
public:
    explicit LineCounter(const DatabaseBytes& bytes)
        : bytes_(bytes)
        , in_(bytes, window)
    { }

    // The line on which the byte at offset (not before the last asked) lies.
    std::size_t line_at(std::uint64_t offset)
    {
        while (in_.position() < offset) {
            const std::uint64_t next = std::min(offset, (in_.position() / step + 1) * step);
            line_ += lines_ended(in_, next);
            if (in_.position() % step == 0)
                steps_.push_back(line_);
        }
        return line_;
    }

    // The line on which the record at start (as the index has it) begins:
    // where its first item begins, after blanks (and line ends, unless a
    // comma came before it). Only for a start already passed.
    std::size_t line_of_record(std::uint64_t start) const
    {
        Cursor in(bytes_, step + 1);
        const std::uint64_t offset = start >> 1;
        in.seek(offset / step * step);
        std::size_t line = steps_[offset / step] + lines_ended(in, offset);
        for (int c = in.peek(); c == ' ' || c == '\t' || ((start & 1) == 0 && (c == '\r' || c == '\n')); c = in.peek())
            line += lines_ended(in, in.position() + 1);
        return line;
    }

private:
    static constexpr std::uint64_t step = 4096;
    static constexpr std::size_t window = 64 * 1024;

    // The line ends from the position to end; a CR counts when no LF follows it.
    static std::size_t lines_ended(Cursor& in, std::uint64_t end)
    {
        std::size_t lines = 0;
        while (in.position() < end) {
            const std::string_view rest = in.rest().substr(0, static_cast<std::size_t>(end - in.position()));
            if (rest.empty())
                break;
            for (std::size_t i = 0; i + 1 < rest.size(); ++i)
                lines += rest[i] == '\n' || (rest[i] == '\r' && rest[i + 1] != '\n') ? 1 : 0;
            const char last = rest.back();
            in.advance(rest.size());
            lines += last == '\n' || (last == '\r' && in.peek() != '\n') ? 1 : 0;
        }
        return lines;
    }

    const DatabaseBytes& bytes_;
    Cursor in_;
    std::size_t line_ = 1;
    std::vector<std::size_t> steps_{1}; // the line at each multiple of step passed
};

} // namespace

const char* kind_name(FindingKind kind)
{
    static constexpr const char* names[] = {"cut_short", "key_length", "duplicate_key", "empty_name", "unusable_name",
        "windows_name", "encoding", "shadowed", "markup", "unclosed_quote"};
    return names[static_cast<std::size_t>(kind)];
}

DatabaseCheck check_database(const DatabaseBytes& bytes, const FindingSink& sink)
{
    DatabaseCheck result;
    const FindingSink add = [&](const DatabaseFinding& finding) {
        ++(finding.severity == FindingSeverity::error ? result.errors : result.warnings);
        sink(finding);
    };
    RecordReader reader(bytes, largest_item);
    if (reader.at_end()) {
        add({1, FindingSeverity::error, FindingKind::cut_short,
            "the database holds no record: every search that reaches it fails with error 62", ""});
        return result;
    }
    const DatabaseIndex index(bytes); // the first record of every key, as the lookup finds it
    LineCounter lines(bytes);
    const RecordChecker checker(add);
    std::uint64_t record_begin = 0; // where the record in hand was looked for: after the one before
    std::size_t line = 1;
    do {
        line = lines.line_at(reader.position());
        ReadRecord record;
        RecordReader::CutItem key_item = reader.next_cut_item();
        record.key = std::move(key_item.text);
        record.key_size = key_item.length;
        const std::string& key = record.key;
        ++result.records;
        try {
            RecordReader::CutItem name_item = reader.next_cut_item();
            record.name = std::move(name_item.text);
            record.name_size = name_item.length;
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::input_past_end_of_file)
                throw;
            add({line, FindingSeverity::error, FindingKind::cut_short,
                "the record ends before its second item: a search that reaches it fails "
                "with error 62",
                key});
            result.ends_in_cut_record = true;
            break;
        }
        const auto earlier =
            record.key_size == key.size() ? index.earlier_record(bytes, key, record_begin) : std::nullopt;
        checker.check(line, record, earlier ? lines.line_of_record(*earlier) : 0);
        record_begin = reader.position();
    } while (!reader.at_end());
    if (reader.last_item_unclosed())
        add({line, FindingSeverity::warning, FindingKind::unclosed_quote,
            "the file ends inside a quoted item: the reader takes the item to the end of the file; a write closes "
            "it first",
            ""});
    return result;
}

DatabaseCheck check_database(std::string_view text)
{
    DatabaseCheck result;
    const TextBytes bytes(text);
    const DatabaseCheck counted =
        check_database(bytes, [&result](const DatabaseFinding& finding) { result.findings.push_back(finding); });
    result.records = counted.records;
    result.errors = counted.errors;
    result.warnings = counted.warnings;
    result.ends_in_cut_record = counted.ends_in_cut_record;
    return result;
}

std::vector<DatabaseFinding> check_proposed_record(const std::string& key, const std::string& full_name)
{
    std::vector<DatabaseFinding> findings;
    const FindingSink sink = [&findings](const DatabaseFinding& finding) { findings.push_back(finding); };
    RecordChecker(sink).check(0, {key, full_name, key.size(), full_name.size()}, 0);

    const std::string record = database_record(key, full_name);
    RecordReader reader(record);
    const std::string key_read = reader.next_item();
    const std::string name_read = reader.at_end() ? std::string("\x01") : reader.next_item();
    if (key_read != key || name_read != full_name || !reader.at_end())
        findings.push_back({0, FindingSeverity::error, FindingKind::unusable_name,
            "the record cannot be written so that it reads back the same (an item holds a double quote)", key});
    return findings;
}

std::string database_record(const std::string& key, const std::string& full_name)
{
    return "\"" + key + "\",\"" + full_name + "\"\r\n";
}

DatabaseKeys::DatabaseKeys(const DatabaseBytes& bytes)
    : bytes_(bytes)
    , index_(bytes)
    , holds_record_(!RecordReader(bytes, largest_item).at_end())
{ }

bool DatabaseKeys::contains(std::string_view key) const { return index_.earlier_record(bytes_, key).has_value(); }

} // namespace cartonym
