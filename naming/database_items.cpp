// SPDX-License-Identifier: GPL-3.0-or-later
#include "naming/database_items.h"

#include "common/error.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace cartonym {

void FileBytes::read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const
{
    file_.read_at(offset, target, count);
}

void TextBytes::read_at(std::uint64_t offset, unsigned char* target, std::size_t count) const
{
    std::memset(target, 0, count);
    if (offset < text_.size())
        std::memcpy(target, text_.data() + offset, std::min<std::uint64_t>(count, text_.size() - offset));
}

bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

namespace {

constexpr std::array<bool, 256> item_ends = [] {
    std::array<bool, 256> ends{};
    ends[static_cast<unsigned char>(',')] = ends[static_cast<unsigned char>('\r')] =
        ends[static_cast<unsigned char>('\n')] = true;
    return ends;
}();

bool ends_item(char c) { return item_ends[static_cast<unsigned char>(c)]; }

// Moves to the next comma or line end (or the end), adding what it passes to item.
void pass_to_separator(Cursor& in, Item* item)
{
    for (std::string_view bytes = in.rest(); !bytes.empty(); bytes = in.rest()) {
        std::size_t k = 0;
        while (k < bytes.size() && !ends_item(bytes[k]))
            ++k;
        if (item)
            item->add(bytes.substr(0, k));
        in.advance(k);
        if (k < bytes.size())
            return;
    }
}

} // namespace

std::string_view Cursor::rest()
{
    if (pos_ >= end_)
        return {};
    if (pos_ < base_ || pos_ >= base_ + fill_) {
        base_ = pos_;
        fill_ = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), end_ - pos_));
        bytes_.read_at(base_, reinterpret_cast<unsigned char*>(buffer_.data()), fill_);
    }
    return {buffer_.data() + (pos_ - base_), static_cast<std::size_t>(base_ + fill_ - pos_)};
}

int Cursor::peek()
{
    const std::string_view bytes = rest();
    return bytes.empty() ? -1 : static_cast<unsigned char>(bytes.front());
}

void Item::clear()
{
    text.clear();
    length = kept_length = 0;
    unclosed = false;
}

void Item::add_quoted(std::string_view part)
{
    if (text.size() < cap)
        text.append(part.substr(0, cap - text.size()));
    length += part.size();
}

void Item::add(std::string_view part)
{
    if (text.size() < cap)
        text.append(part.substr(0, cap - text.size()));
    std::size_t kept = part.size();
    while (kept > 0 && is_blank(part[kept - 1]))
        --kept;
    if (kept > 0)
        kept_length = length + kept;
    length += part.size();
}

void Item::drop_trailing_blanks()
{
    length = kept_length;
    if (text.size() > length)
        text.resize(static_cast<std::size_t>(length));
}

ItemRead Item::read(ItemPlace& place)
{
    Cursor& in = place.in;
    bool& after_comma = place.after_comma;
    clear();
    for (std::string_view bytes = in.rest(); !bytes.empty(); bytes = in.rest()) {
        std::size_t k = 0;
        while (k < bytes.size() && (is_blank(bytes[k]) || (!after_comma && is_line_end(bytes[k]))))
            ++k;
        in.advance(k);
        if (k < bytes.size())
            break;
    }
    if (!after_comma && in.at_end())
        return ItemRead::no_item;

    if (in.peek() == '"') {
        in.advance(1);
        unclosed = true;
        for (std::string_view bytes = in.rest(); !bytes.empty(); bytes = in.rest()) {
            if (const void* quote = std::memchr(bytes.data(), '"', bytes.size())) {
                const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(quote) - bytes.data());
                add_quoted(bytes.substr(0, k));
                in.advance(k + 1);
                unclosed = false;
                pass_to_separator(in, nullptr); // the rest up to the separator is ignored
                break;
            }
            add_quoted(bytes);
            in.advance(bytes.size());
        }
    } else {
        pass_to_separator(in, this);
        drop_trailing_blanks();
    }

    after_comma = false;
    switch (in.peek()) {
    case ',':
        after_comma = true;
        in.advance(1);
        break;
    case '\r':
        in.advance(1);
        if (in.peek() == '\n')
            in.advance(1);
        break;
    case '\n': in.advance(1); break;
    default: break;
    }
    return ItemRead::read;
}

bool only_blanks_left(ItemPlace& place)
{
    Cursor& in = place.in;
    const bool after_comma = place.after_comma;
    const std::uint64_t start = in.position();
    for (std::string_view bytes = in.rest(); !bytes.empty(); bytes = in.rest()) {
        std::size_t k = 0;
        while (k < bytes.size() && (is_blank(bytes[k]) || is_line_end(bytes[k])))
            ++k;
        in.advance(k);
        if (k < bytes.size()) {
            if (after_comma)
                in.seek(start);
            return false;
        }
    }
    return true;
}

std::optional<UsualRecord> usual_record(std::string_view bytes)
{
    if (bytes.empty() || bytes[0] != '"')
        return std::nullopt;
    const auto quote_after = [&](std::size_t from) {
        const void* quote = std::memchr(bytes.data() + from, '"', bytes.size() - from);
        return quote ? static_cast<std::size_t>(static_cast<const char*>(quote) - bytes.data())
                     : std::string_view::npos;
    };
    const std::size_t key_end = quote_after(1);
    if (key_end == std::string_view::npos || key_end + 3 >= bytes.size() || bytes[key_end + 1] != ','
        || bytes[key_end + 2] != '"')
        return std::nullopt;
    const std::size_t name_end = quote_after(key_end + 3);
    if (name_end == std::string_view::npos || name_end + 1 >= bytes.size() || !is_line_end(bytes[name_end + 1]))
        return std::nullopt;
    std::size_t length = name_end + 2;
    if (bytes[name_end + 1] == '\r' && length < bytes.size() && bytes[length] == '\n')
        ++length;
    return UsualRecord{length, bytes.substr(1, key_end - 1)};
}

// Text in memory is read through a window of this size.
constexpr std::size_t text_window = std::size_t{64} * 1024;

RecordReader::RecordReader(std::string_view text)
    : text_(text)
    , place_{Cursor(text_, text_window)}
    , item_(std::numeric_limits<std::size_t>::max())
{ }

RecordReader::RecordReader(const DatabaseBytes& bytes, std::size_t largest_item)
    : text_({})
    , place_{Cursor(bytes, text_window)}
    , item_(largest_item)
{ }

std::string RecordReader::next_item()
{
    if (item_.read(place_) == ItemRead::no_item)
        throw Error(ErrorNumber::input_past_end_of_file);
    if (!item_.whole())
        throw Error(ErrorNumber::disk_full);
    return std::move(item_.text);
}

RecordReader::CutItem RecordReader::next_cut_item()
{
    if (item_.read(place_) == ItemRead::no_item)
        throw Error(ErrorNumber::input_past_end_of_file);
    return {std::move(item_.text), item_.length};
}

bool RecordReader::at_end() { return only_blanks_left(place_); }

bool ends_inside_quoted_item(std::string_view text)
{
    RecordReader reader(text);
    try {
        while (!reader.at_end())
            reader.next_item();
    } catch (const Error&) {
        // A record cut short ends the items all the same.
    }
    return reader.last_item_unclosed();
}

} // namespace cartonym
