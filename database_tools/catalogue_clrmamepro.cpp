// SPDX-License-Identifier: GPL-3.0-or-later
// The clrmamepro text format: blocks of "key value" fields in brackets,
// read one top-level block at a time.
#include "database_tools/catalogue_reading.h"

namespace cartonym {
namespace {

struct Token {
    enum Kind { open, close, word, quoted, end } kind = end;
    std::string text;
    std::size_t line = 0;
    const char* fault = nullptr; // what is wrong with a quoted text
};

// A text longer than this is no catalogue's: it would only fill the memory.
constexpr std::size_t longest_token = std::size_t{1} << 20;

class Tokenizer {
public:
    Tokenizer(const CatalogueBytes& bytes, const std::string& file_name)
        : chars_(bytes)
        , file_name_(file_name)
    { }

    Token next()
    {
        while (is_blank(chars_.peek()))
            line_ += chars_.get() == '\n' ? 1 : 0;
        Token token;
        token.line = line_;
        const int c = chars_.peek();
        if (c < 0)
            return token;
        if (c == '(' || c == ')') {
            token.kind = c == '(' ? Token::open : Token::close;
            token.text = static_cast<char>(chars_.get());
        } else if (c == '"') {
            chars_.get();
            quoted(token);
        } else {
            token.kind = Token::word;
            while (chars_.peek() >= 0 && !is_blank(chars_.peek()) && chars_.peek() != '(' && chars_.peek() != ')'
                && chars_.peek() != '"')
                append(token, chars_.get());
        }
        return token;
    }

private:
    // A quoted text ends at its line's end at the latest; one that has no
    // closing quote there, or goes on right after it (a quote inside the
    // text), is malformed and marks its game.
    void quoted(Token& token)
    {
        token.kind = Token::quoted;
        for (int c = chars_.peek(); c != '"'; c = chars_.peek()) {
            if (c < 0 || c == '\n') {
                token.fault = "a quoted text without its closing quote";
                return;
            }
            append(token, chars_.get());
        }
        chars_.get();
        const int after = chars_.peek();
        if (after >= 0 && !is_blank(after) && after != ')' && after != '(')
            token.fault = "a quote inside a quoted text";
    }

    void append(Token& token, int c)
    {
        if (token.text.size() >= longest_token)
            catalogue_fault(file_name_, "line " + std::to_string(line_), "a text of more than 1 MiB");
        token.text += static_cast<char>(c);
    }

    CatalogueChars chars_;
    const std::string& file_name_;
    std::size_t line_ = 1;
};

// A block's fields: "key value" pairs, a value being a token or a block.
struct Block {
    struct Field {
        std::string key;
        std::string value;     // when not a block
        std::size_t block = 0; // index + 1 into the blocks, 0 when a plain value
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
    ClrmameproParser(const CatalogueBytes& bytes, RomCatalogue::Builder& builder)
        : tokens_(bytes, builder.file_name)
        , builder_(builder)
        , file_name_(builder.file_name)
    { }

    void parse()
    {
        bool first = true;
        for (Token name = tokens_.next(); name.kind != Token::end; name = tokens_.next()) {
            const Token opening = tokens_.next();
            if (name.kind != Token::word || opening.kind != Token::open) {
                if (first)
                    fail(name.line,
                        "neither a Logiqx XML catalogue nor a clrmamepro catalogue (it does not begin with "
                        "\"<\" or with a block such as \"clrmamepro (\")");
                fail(name.line, "expected a block name and \"(\", found \"" + name.text + "\"");
            }
            first = false;
            blocks_.clear();
            held_ = 0;
            const Block block = read_block(name.line, 1);
            if (name.text == "clrmamepro")
                builder_.set_header(
                    std::string(block.value("name").value_or("")), std::string(block.value("version").value_or("")));
            if (name.text != "game" && name.text != "machine")
                continue;
            builder_.add_game([&](std::vector<CatalogueEntry>& roms) { game_entries(name, block, roms); });
        }
    }

private:
    [[noreturn]] void fail(std::size_t line, const std::string& what) const
    {
        catalogue_fault(file_name_, "line " + std::to_string(line), what);
    }

    void game_entries(const Token& name, const Block& block, std::vector<CatalogueEntry>& roms)
    {
        if (!block.fault.empty())
            throw Error(ErrorNumber::bad_file_name, file_name_ + ": " + block.fault);
        const auto game_name = block.value("name");
        if (!game_name)
            fail(name.line, "a " + name.text + " block without a name");
        for (const Block::Field& field : block.fields) {
            if (field.key != "rom" || field.block == 0)
                continue;
            const Block& rom = blocks_[field.block - 1];
            builder_.add_rom(roms, std::string(*game_name),
                {rom.value("name"), rom.value("size"), rom.value("crc"), rom.value("sha1")},
                "line " + std::to_string(rom.line));
        }
        RomCatalogue::Builder::set_parent(roms, block.value("cloneof"));
    }

    // The fields up to the closing bracket of a block whose "(" was just read.
    Block read_block(std::size_t line, int depth)
    {
        if (depth > RomCatalogue::deepest_nesting)
            fail(line, "blocks nested more than " + std::to_string(RomCatalogue::deepest_nesting) + " deep");
        Block block;
        block.line = line;
        for (;;) {
            const Token key = tokens_.next();
            if (key.kind == Token::close)
                return block;
            if (key.kind == Token::end)
                fail(key.line,
                    "the file ends inside the block opened on line " + std::to_string(line) + " (it is truncated)");
            if (key.kind != Token::word)
                fail(key.line, "expected a field name, found \"" + key.text + "\"");
            const Token value = tokens_.next();
            if (value.fault && block.fault.empty())
                block.fault = "line " + std::to_string(value.line) + ": " + value.fault;
            // One top-level block holds at most what a text may.
            held_ += key.text.size() + value.text.size() + 64;
            if (held_ > 16 * longest_token)
                fail(line, "a block of more than 16 MiB");
            Block::Field field{key.text, value.text, 0};
            if (value.kind == Token::open) {
                Block inner = read_block(value.line, depth + 1);
                if (block.fault.empty())
                    block.fault = inner.fault;
                blocks_.push_back(std::move(inner));
                field.block = blocks_.size();
            } else if (value.kind == Token::end) {
                fail(value.line,
                    "the file ends inside the block opened on line " + std::to_string(line) + " (it is truncated)");
            } else if (value.kind == Token::close) {
                fail(value.line, "the field \"" + key.text + "\" has no value");
            }
            block.fields.push_back(std::move(field));
        }
    }

    Tokenizer tokens_;
    RomCatalogue::Builder& builder_;
    const std::string& file_name_;
    std::vector<Block> blocks_; // the inner blocks of the current top-level block
    std::size_t held_ = 0;
};

} // namespace

void read_clrmamepro(const CatalogueBytes& bytes, RomCatalogue::Builder& builder)
{
    ClrmameproParser(bytes, builder).parse();
}

} // namespace cartonym
