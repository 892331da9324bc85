// SPDX-License-Identifier: GPL-3.0-or-later
// The item grammar of the name database, read in one place for the lookup,
// its index and the database check. Items are separated by a comma or a
// line end (CR LF, CR or LF); blanks before an item are skipped; a quoted
// item runs to the next quote and may hold commas, and the rest of it up to
// the separator is ignored; an unquoted item runs to the separator, its
// trailing blanks dropped. Blank lines between records are skipped. The
// bytes are read through a window that slides along them, so no reader
// holds more than a window and the items it keeps.
#pragma once

#include "common/system_calls.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// Where the bytes of a database come from: its file, or text in memory.
class DatabaseBytes {
public:
    virtual ~DatabaseBytes() = default;
    virtual std::uint64_t length() const = 0;
    // Fills target with count bytes at offset; bytes past the end read as 0.
    virtual void read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const = 0;
};

class FileBytes final : public DatabaseBytes {
public:
    explicit FileBytes(const ReadableFile& file)
        : file_(file)
    { }
    std::uint64_t length() const override { return file_.length(); }
    void read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const override;

private:
    const ReadableFile& file_;
};

class TextBytes final : public DatabaseBytes {
public:
    explicit TextBytes(std::string_view text)
        : text_(text)
    { }
    std::uint64_t length() const override { return text_.size(); }
    void read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const override;

private:
    std::string_view text_;
};

bool is_line_end(char c);
bool is_blank(char c);

// Reads the database through one buffer that slides along it.
class Cursor {
public:
    Cursor(const DatabaseBytes& bytes, std::size_t window)
        : bytes_(bytes)
        , end_(bytes.length())
        , buffer_(std::max<std::size_t>(window, 1))
    { }

    std::uint64_t position() const { return pos_; }
    void seek(std::uint64_t pos) { pos_ = pos; }
    void advance(std::size_t count) { pos_ += count; }
    bool at_end() const { return pos_ >= end_; }

    // The bytes from the position to the end of the window, which is read
    // anew when the position lies outside it; empty at the end.
    std::string_view rest();

    // The byte at the position, or -1 at the end.
    int peek();

private:
    const DatabaseBytes& bytes_;
    std::uint64_t end_;
    std::vector<char> buffer_;
    std::uint64_t base_ = 0;
    std::size_t fill_ = 0;
    std::uint64_t pos_ = 0;
};

// Where reading stands between two items: the cursor, and whether a comma
// came before the next item.
struct ItemPlace {
    Cursor in;
    bool after_comma = false;
};

// What reading an item found.
enum class ItemRead {
    read,    // an item and its separator
    no_item, // the bytes end before the item
};

// One item: its first `cap` bytes and its whole length.
struct Item {
    explicit Item(std::size_t cap_)
        : cap(cap_)
    { }

    std::string text;
    std::size_t cap;
    std::uint64_t length = 0;
    std::uint64_t kept_length = 0; // up to the last byte that is no blank
    bool unclosed = false;         // a quoted item that the end of the bytes cut off

    void clear();
    // Part of a quoted item, whose blanks all count.
    void add_quoted(std::string_view part);
    // Part of an unquoted item.
    void add(std::string_view part);
    void drop_trailing_blanks();
    bool whole() const { return length <= cap; }
    // Reads the item at place and its separator into this item; place then
    // stands before the next item.
    ItemRead read(ItemPlace& place);
};

// True when nothing but blanks and line ends is left. Without a comma
// before, the next item would skip them anyway, so they are passed; after a
// comma a line end still ends an empty item, so the position goes back.
bool only_blanks_left(ItemPlace& place);

// A record of the usual form, a quoted key, a comma, a quoted name and a
// line end: its length and its key.
struct UsualRecord {
    std::size_t length;
    std::string_view key;
};
// The record at the start of bytes when it has the usual form, all within
// bytes; nullopt otherwise. Such a record reads the same through Item::read.
std::optional<UsualRecord> usual_record(std::string_view bytes);

// True when text ends inside a quoted item (its closing quote missing).
bool ends_inside_quoted_item(std::string_view text);

// The items of a database one after the other.
class RecordReader {
public:
    // Over text in memory, items of any length.
    explicit RecordReader(std::string_view text);
    // Over bytes (a file), items up to largest_item bytes.
    RecordReader(const DatabaseBytes& bytes, std::size_t largest_item);

    // The next item; throws Error 62 when the bytes end before it, 61 when
    // it is longer than the largest item.
    std::string next_item();
    // An item longer than the largest cut to that length, and its whole
    // length.
    struct CutItem {
        std::string text;
        std::uint64_t length;
    };
    // The same as next_item, but an item longer than the largest is cut.
    CutItem next_cut_item();

    // True when nothing but blanks and line ends is left.
    bool at_end();

    // True when the last item read was quoted and the bytes ended before
    // its closing quote.
    bool last_item_unclosed() const { return item_.unclosed; }

    // The offset just after the last item read and its separator.
    std::uint64_t position() const { return place_.in.position(); }

private:
    TextBytes text_;
    ItemPlace place_;
    Item item_;
};

} // namespace cartonym
