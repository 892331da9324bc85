#include "database_tools/rom_catalogue.h"

#include "common/file_contents.h"
#include "common/error.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>

namespace cartonym {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::size_t line_at(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    return 1
        + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

[[noreturn]] void fail(const std::string& file_name, const std::string& place, const std::string& what)
{
    throw Error(ErrorNumber::bad_file_name, file_name + ": " + place + ": " + what);
}

// Hexadecimal digits into bytes; nullopt unless there are exactly 2 * N.
template <std::size_t N> std::optional<std::array<unsigned char, N>> parse_hex_bytes(std::string_view text)
{
    if (text.size() != 2 * N)
        return std::nullopt;
    std::array<unsigned char, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        const auto [end, error] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, bytes[i], 16);
        if (error != std::errc() || end != text.data() + 2 * i + 2)
            return std::nullopt;
    }
    return bytes;
}

std::optional<std::uint32_t> parse_crc32(std::string_view text)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> parse_size(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The entry of one rom from its fields; a rom without any sum (a missing
// dump) gives nothing.
std::optional<CatalogueEntry> make_entry(const std::string& game_name, std::optional<std::string_view> size,
    std::optional<std::string_view> crc32, std::optional<std::string_view> sha1, const std::string& file_name,
    const std::string& place)
{
    if (!crc32 && !sha1)
        return std::nullopt;
    CatalogueEntry entry;
    entry.game_name = game_name;
    if (!size)
        fail(file_name, place, "the rom of \"" + game_name + "\" has no size");
    const auto parsed_size = parse_size(*size);
    if (!parsed_size)
        fail(file_name, place, "the size \"" + std::string(*size) + "\" is not a decimal number");
    entry.size = *parsed_size;
    if (crc32) {
        entry.crc32 = parse_crc32(*crc32);
        if (!entry.crc32)
            fail(file_name, place, "the crc \"" + std::string(*crc32) + "\" is not a CRC32 in hexadecimal digits");
    }
    if (sha1) {
        entry.sha1 = parse_hex_bytes<20>(*sha1);
        if (!entry.sha1)
            fail(file_name, place, "the sha1 \"" + std::string(*sha1) + "\" is not 40 hexadecimal digits");
    }
    return entry;
}

// --- Logiqx XML ------------------------------------------------------------

// Adds the entries of one game, or, when one of its roms is malformed,
// notes the fault and adds none of them.
template <typename Roms>
void add_game(std::vector<CatalogueEntry>& entries, std::vector<std::string>& faults, Roms&& roms)
{
    std::vector<CatalogueEntry> game;
    try {
        roms(game);
    } catch (const Error& fault) {
        faults.push_back(std::string(fault.what()) + "; the game is skipped");
        return;
    }
    entries.insert(entries.end(), std::make_move_iterator(game.begin()), std::make_move_iterator(game.end()));
}

std::vector<CatalogueEntry> parse_logiqx(
    std::string_view text, const std::string& file_name, std::vector<std::string>& faults)
{
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer(text.data(), text.size());
    const auto place = [&](std::ptrdiff_t offset) {
        return "line " + std::to_string(line_at(text, static_cast<std::size_t>(offset))) + " (byte "
            + std::to_string(offset) + ")";
    };
    if (!result) {
        // A fault found at the very end means the text stops inside an element.
        const std::size_t last = text.find_last_not_of(" \t\r\n");
        if (last == std::string_view::npos || static_cast<std::size_t>(result.offset) >= last)
            fail(file_name, place(result.offset),
                std::string("the file ends inside the XML (it is truncated): ") + result.description());
        fail(file_name, place(result.offset), std::string("not well-formed XML: ") + result.description());
    }
    const pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "datafile")
        fail(file_name, place(root.offset_debug()),
            "the root element is <" + std::string(root.name()) + ">, not the <datafile> of a Logiqx catalogue");

    std::vector<CatalogueEntry> entries;
    const auto attribute = [](const pugi::xml_node& node, const char* name) -> std::optional<std::string_view> {
        const pugi::xml_attribute found = node.attribute(name);
        return found ? std::optional<std::string_view>(found.value()) : std::nullopt;
    };
    for (const pugi::xml_node& game : root.children()) {
        const std::string_view child = game.name();
        if (child != "game" && child != "machine")
            continue;
        add_game(entries, faults, [&](std::vector<CatalogueEntry>& roms) {
            const auto game_name = attribute(game, "name");
            if (!game_name)
                fail(file_name, place(game.offset_debug()), "a <" + std::string(child) + "> without a name");
            for (const pugi::xml_node& rom : game.children("rom")) {
                if (auto entry = make_entry(std::string(*game_name), attribute(rom, "size"), attribute(rom, "crc"),
                        attribute(rom, "sha1"), file_name, place(rom.offset_debug())))
                    roms.push_back(std::move(*entry));
            }
        });
    }
    return entries;
}

// --- clrmamepro text ---------------------------------------------------------

struct Token {
    enum Kind { open, close, word, quoted, end } kind = end;
    std::string text;
    std::size_t line = 0;
    const char* fault = nullptr; // what is wrong with a quoted text
};

class Tokenizer {
public:
    Tokenizer(std::string_view text, const std::string& file_name)
        : text_(text)
        , file_name_(file_name)
    { }

    Token next()
    {
        while (pos_ < text_.size() && is_space(text_[pos_])) {
            if (text_[pos_] == '\n')
                ++line_;
            ++pos_;
        }
        Token token;
        token.line = line_;
        if (pos_ >= text_.size())
            return token;
        const char c = text_[pos_];
        if (c == '(' || c == ')') {
            token.kind = c == '(' ? Token::open : Token::close;
            token.text = c;
            ++pos_;
        } else if (c == '"') {
            // A quoted text ends at its line's end at the latest; one that
            // has no closing quote there, or goes on right after it (a quote
            // inside the text), is malformed and marks its game.
            auto closing = text_.find_first_of("\"\n", pos_ + 1);
            token.kind = Token::quoted;
            if (closing == std::string_view::npos || text_[closing] != '"') {
                closing = std::min(closing, text_.size());
                token.fault = "a quoted text without its closing quote";
                token.text = text_.substr(pos_ + 1, closing - pos_ - 1);
                pos_ = closing;
            } else {
                token.text = text_.substr(pos_ + 1, closing - pos_ - 1);
                pos_ = closing + 1;
                if (pos_ < text_.size() && !is_space(text_[pos_]) && text_[pos_] != ')' && text_[pos_] != '(')
                    token.fault = "a quote inside a quoted text";
            }
        } else {
            const std::size_t start = pos_;
            while (pos_ < text_.size() && !is_space(text_[pos_]) && text_[pos_] != '(' && text_[pos_] != ')'
                && text_[pos_] != '"')
                ++pos_;
            token.kind = Token::word;
            token.text = text_.substr(start, pos_ - start);
        }
        return token;
    }

    std::size_t line() const { return line_; }

private:
    std::string_view text_;
    const std::string& file_name_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

// A block's fields: "key value" pairs, a value being a token or a block.
struct Block {
    struct Field {
        std::string key;
        std::string value;     // when not a block
        std::size_t block = 0; // index + 1 into the blocks, 0 when a plain value
        std::size_t line = 0;
    };
    std::vector<Field> fields;
    std::size_t line = 0;
    std::string fault; // the first malformed text inside, with its line

    std::optional<std::string_view> value(std::string_view key) const
    {
        for (const Field& field : fields) {
            if (field.key == key && field.block == 0)
                return field.value;
        }
        return std::nullopt;
    }
};

class ClrmameproParser {
public:
    ClrmameproParser(std::string_view text, const std::string& file_name, std::vector<std::string>& faults)
        : tokens_(text, file_name)
        , file_name_(file_name)
        , faults_(faults)
    { }

    std::vector<CatalogueEntry> parse()
    {
        std::vector<CatalogueEntry> entries;
        bool first = true;
        for (Token name = tokens_.next(); name.kind != Token::end; name = tokens_.next()) {
            const Token opening = tokens_.next();
            if (name.kind != Token::word || opening.kind != Token::open) {
                if (first)
                    fail(file_name_, "line " + std::to_string(name.line),
                        "neither a Logiqx XML catalogue nor a clrmamepro catalogue (it does not begin with "
                        "\"<\" or with a block such as \"clrmamepro (\")");
                fail(file_name_, "line " + std::to_string(name.line),
                    "expected a block name and \"(\", found \"" + name.text + "\"");
            }
            first = false;
            blocks_.clear();
            const Block block = read_block(name.line, 1);
            if (name.text != "game" && name.text != "machine")
                continue;
            add_game(entries, faults_, [&](std::vector<CatalogueEntry>& roms) { game_entries(name, block, roms); });
        }
        return entries;
    }

private:
    void game_entries(const Token& name, const Block& block, std::vector<CatalogueEntry>& roms)
    {
        if (!block.fault.empty())
            throw Error(ErrorNumber::bad_file_name, file_name_ + ": " + block.fault);
        const auto game_name = block.value("name");
        if (!game_name)
            fail(file_name_, "line " + std::to_string(name.line), "a " + name.text + " block without a name");
        for (const Block::Field& field : block.fields) {
            if (field.key != "rom" || field.block == 0)
                continue;
            const Block& rom = blocks_[field.block - 1];
            if (auto entry = make_entry(std::string(*game_name), rom.value("size"), rom.value("crc"), rom.value("sha1"),
                    file_name_, "line " + std::to_string(rom.line)))
                roms.push_back(std::move(*entry));
        }
    }

    // The fields up to the closing bracket of a block whose "(" was just read.
    Block read_block(std::size_t line, int depth)
    {
        if (depth > RomCatalogue::deepest_nesting)
            fail(file_name_, "line " + std::to_string(line),
                "blocks nested more than " + std::to_string(RomCatalogue::deepest_nesting) + " deep");
        Block block;
        block.line = line;
        for (;;) {
            const Token key = tokens_.next();
            if (key.kind == Token::close)
                return block;
            if (key.kind == Token::end)
                fail(file_name_, "line " + std::to_string(key.line),
                    "the file ends inside the block opened on line " + std::to_string(line) + " (it is truncated)");
            if (key.kind != Token::word)
                fail(file_name_, "line " + std::to_string(key.line),
                    "expected a field name, found \"" + key.text + "\"");
            const Token value = tokens_.next();
            if (value.fault && block.fault.empty())
                block.fault = "line " + std::to_string(value.line) + ": " + value.fault;
            Block::Field field{key.text, value.text, 0, key.line};
            if (value.kind == Token::open) {
                Block inner = read_block(value.line, depth + 1);
                if (block.fault.empty())
                    block.fault = inner.fault;
                blocks_.push_back(std::move(inner));
                field.block = blocks_.size();
            } else if (value.kind == Token::end) {
                fail(file_name_, "line " + std::to_string(value.line),
                    "the file ends inside the block opened on line " + std::to_string(line) + " (it is truncated)");
            } else if (value.kind == Token::close) {
                fail(file_name_, "line " + std::to_string(value.line), "the field \"" + key.text + "\" has no value");
            }
            block.fields.push_back(std::move(field));
        }
    }

    Tokenizer tokens_;
    const std::string& file_name_;
    std::vector<std::string>& faults_;
    std::vector<Block> blocks_; // the inner blocks of the current top-level block
};

} // namespace

RomCatalogue RomCatalogue::read(const std::string& path)
{
    std::string text;
    try {
        text = read_whole_file(path, largest_text);
    } catch (const Error& error) {
        throw Error(error.number(), path + ": cannot be read: " + short_error_text(error));
    }
    return parse(text, path);
}

RomCatalogue RomCatalogue::parse(std::string_view text, const std::string& file_name)
{
    std::string_view remainder = text;
    if (remainder.starts_with("\xEF\xBB\xBF"))
        remainder.remove_prefix(3);
    const auto first = std::find_if_not(remainder.begin(), remainder.end(), is_space);
    if (first == remainder.end())
        fail(file_name, "line " + std::to_string(line_at(text, text.size())),
            "the file is empty: neither a Logiqx XML catalogue nor a clrmamepro catalogue");

    if (*first == '<' && text.size() > largest_xml_text)
        fail(file_name, "line 1", "an XML catalogue of more than 3 MiB: Error Nr. 61 (Disk full)");
    RomCatalogue catalogue;
    std::vector<CatalogueEntry> entries = *first == '<' ? parse_logiqx(text, file_name, catalogue.faults_)
                                                        : ClrmameproParser(text, file_name, catalogue.faults_).parse();
    for (CatalogueEntry& entry : entries)
        catalogue.add(std::move(entry));
    return catalogue;
}

void RomCatalogue::add(CatalogueEntry entry)
{
    const std::size_t index = entries_.size();
    if (entry.sha1)
        by_sha1_.try_emplace(*entry.sha1, index);
    else
        by_crc32_and_size_.try_emplace({*entry.crc32, entry.size}, index);
    entries_.push_back(std::move(entry));
}

const CatalogueEntry* RomCatalogue::find(const ContentDigest& digest) const
{
    if (const auto found = by_sha1_.find(digest.sha1); found != by_sha1_.end())
        return &entries_[found->second];
    if (const auto found = by_crc32_and_size_.find({digest.crc32, digest.size}); found != by_crc32_and_size_.end())
        return &entries_[found->second];
    return nullptr;
}

DigestKinds RomCatalogue::needed_kinds() const { return {!by_sha1_.empty(), !by_crc32_and_size_.empty()}; }

} // namespace cartonym
