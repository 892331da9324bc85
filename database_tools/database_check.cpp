#include "database_tools/database_check.h"

#include "analysis/header_decoding.h"
#include "common/error.h"
#include "common/number_text.h"
#include "common/windows1252.h"
#include "naming/name_database.h"

#include <algorithm>
#include <array>
#include <functional>
#include <unordered_map>

namespace cartonym {
namespace {

constexpr std::size_t key_length = 21;
constexpr std::size_t longest_file_name = 255; // bytes, as the file system stores it
constexpr std::string_view Extensions[] = {".smc", ".swc", ".fig"};

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }

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

// Offsets at which each line begins; CR LF, a lone CR and a lone LF each end a line.
std::vector<std::size_t> line_starts(std::string_view text)
{
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (is_line_end(text[i]))
            starts.push_back(i + 1);
    }
    return starts;
}

std::size_t line_of(const std::vector<std::size_t>& starts, std::size_t offset)
{
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin());
}

// Where the reader's next item begins: it skips blanks, and line ends too
// unless the last item ended with a comma.
std::size_t next_item_start(std::string_view text, std::size_t position)
{
    const bool after_comma = position > 0 && text[position - 1] == ',';
    while (position < text.size() && (is_blank(text[position]) || (!after_comma && is_line_end(text[position]))))
        ++position;
    return position;
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
void check_name_as_file(const std::string& name, const AddFinding& add)
{
    using enum FindingSeverity;
    const std::string longest = name + longest_suffix() + std::string(longest_extension());
    const std::string context = " with the country suffix \"" + longest_suffix() + "\" and the extension \""
        + std::string(longest_extension()) + "\"";
    const std::size_t bytes = utf8_from_cp1252(longest).size();
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

class RecordChecker {
public:
    explicit RecordChecker(std::vector<DatabaseFinding>& findings)
        : findings_(findings)
    { }

    void check(std::size_t line, const std::string& key, const std::string& name)
    {
        const AddFinding add = [&](FindingSeverity severity, FindingKind kind, std::string message) {
            findings_.push_back({line, severity, kind, std::move(message), key});
        };
        using enum FindingSeverity;

        if (key.size() != key_length)
            add(error, FindingKind::key_length,
                "the first item has" + decimal_text(static_cast<std::int64_t>(key.size()))
                    + " characters, not 21: it can never match");
        if (const auto [earlier, fresh] = first_line_.try_emplace(key, line); !fresh)
            add(error, FindingKind::duplicate_key,
                "the record on line" + decimal_text(static_cast<std::int64_t>(earlier->second))
                    + " has the same first item: this record is never used");
        if (name.empty())
            add(error, FindingKind::empty_name, "the second item (the full name) is empty");

        check_name_as_file(name, add);
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
    std::vector<DatabaseFinding>& findings_;
    std::unordered_map<std::string, std::size_t> first_line_;
};

} // namespace

const char* kind_name(FindingKind kind)
{
    static constexpr const char* names[] = {"cut_short", "key_length", "duplicate_key", "empty_name", "unusable_name",
        "windows_name", "encoding", "shadowed", "markup", "unclosed_quote"};
    return names[static_cast<std::size_t>(kind)];
}

std::size_t DatabaseCheck::count(FindingSeverity severity) const
{
    return static_cast<std::size_t>(std::count_if(
        findings.begin(), findings.end(), [&](const DatabaseFinding& f) { return f.severity == severity; }));
}

DatabaseCheck check_database(std::string_view text)
{
    DatabaseCheck result;
    RecordReader reader(text);
    if (reader.at_end()) {
        result.findings.push_back({1, FindingSeverity::error, FindingKind::cut_short,
            "the database holds no record: every search that reaches it fails with error 62", ""});
        return result;
    }
    const std::vector<std::size_t> starts = line_starts(text);
    RecordChecker checker(result.findings);
    std::size_t line = 1;
    do {
        line = line_of(starts, next_item_start(text, reader.position()));
        const std::string key = reader.next_item();
        ++result.records;
        std::string name;
        try {
            name = reader.next_item();
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::input_past_end_of_file)
                throw;
            result.findings.push_back({line, FindingSeverity::error, FindingKind::cut_short,
                "the record ends before its second item: a search that reaches it fails "
                "with error 62",
                key});
            result.ends_in_cut_record = true;
            break;
        }
        checker.check(line, key, name);
    } while (!reader.at_end());
    if (reader.last_item_unclosed())
        result.findings.push_back({line, FindingSeverity::warning, FindingKind::unclosed_quote,
            "the file ends inside a quoted item: the reader takes the item to the end of the file; a write closes "
            "it first",
            ""});
    return result;
}

std::vector<DatabaseFinding> check_proposed_record(const std::string& key, const std::string& full_name)
{
    std::vector<DatabaseFinding> findings;
    RecordChecker(findings).check(0, key, full_name);

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

std::vector<std::string> database_keys(std::string_view text)
{
    std::vector<std::string> keys;
    RecordReader reader(text);
    try {
        while (!reader.at_end()) {
            std::string key = reader.next_item();
            reader.next_item();
            keys.push_back(std::move(key));
        }
    } catch (const Error& error) {
        if (error.number() != ErrorNumber::input_past_end_of_file)
            throw;
    }
    return keys;
}

} // namespace cartonym
