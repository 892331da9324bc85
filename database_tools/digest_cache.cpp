// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/digest_cache.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/number_text.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/user_folders.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <vector>

namespace cartonym {
namespace {

constexpr const char* first_line = "cartonym digests 1\n";
// A cache file beyond this size is no cache this program wrote.
constexpr std::uint64_t largest_cache = std::uint64_t{64} << 20;

std::uint32_t crc32_of(std::string_view text)
{
    ContentHasher hasher(DigestKinds{false, true});
    hasher.update(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return hasher.finish().crc32;
}

std::string hex_of_bytes(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        text += hex_digit(static_cast<unsigned char>(c) >> 4, true);
        text += hex_digit(static_cast<unsigned char>(c) & 0xFu, true);
    }
    return text;
}

std::optional<std::string> bytes_of_hex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
        if (error != std::errc() || end != hex.data() + i + 2)
            return std::nullopt;
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::string digest_text(const ContentDigest& digest)
{
    return std::to_string(digest.size) + ' ' + hex_text(digest.crc32) + ' ' + hex_text(digest.sha1);
}

std::optional<ContentDigest> digest_from(std::istringstream& in)
{
    ContentDigest digest;
    std::string crc, sha1;
    if (!(in >> digest.size >> crc >> sha1) || crc.size() != 8 || sha1.size() != 40)
        return std::nullopt;
    const auto crc_bytes = bytes_of_hex(crc);
    const auto sha1_bytes = bytes_of_hex(sha1);
    if (!crc_bytes || !sha1_bytes)
        return std::nullopt;
    for (const char c : *crc_bytes)
        digest.crc32 = digest.crc32 << 8 | static_cast<unsigned char>(c);
    std::copy(sha1_bytes->begin(), sha1_bytes->end(), digest.sha1.begin());
    return digest;
}

} // namespace

std::string DigestCache::default_path()
{
    const auto cache = user_folder(UserFolderKind::cache);
    return cache ? join_path(*cache, "digests") : std::string();
}

DigestCache::DigestCache(std::string path)
    : path_(std::move(path))
{
    try {
        entries_ = parse(read_whole_file(path_, largest_cache), trusted_);
    } catch (const Error&) {
        trusted_ = false;
    }
    next_order_ = entries_.size();
}

std::string DigestCache::key_of(const AnalysedFile& analysed)
{
    const FileIdentity& id = analysed.identity;
    ContentHasher hasher(DigestKinds{true, false});
    hasher.update(reinterpret_cast<const unsigned char*>(analysed.bytes_read.data()), analysed.bytes_read.size());
    return std::to_string(id.device) + ' ' + std::to_string(id.inode) + ' ' + std::to_string(id.size) + ' '
        + std::to_string(id.mtime_s) + '.' + std::to_string(id.mtime_ns) + ' ' + std::to_string(id.ctime_s) + '.'
        + std::to_string(id.ctime_ns) + ' ' + hex_text(hasher.finish().sha1);
}

std::map<std::string, DigestCache::Entry> DigestCache::parse(const std::string& text, bool& trusted)
{
    trusted = false;
    const std::size_t trailer = text.rfind("end ", text.size() < 2 ? 0 : text.size() - 2);
    if (!text.starts_with(first_line) || trailer == std::string::npos || !text.ends_with('\n')
        || (trailer > 0 && text[trailer - 1] != '\n'))
        return {};
    std::map<std::string, Entry> entries;
    std::istringstream lines(
        text.substr(std::char_traits<char>::length(first_line), trailer - std::char_traits<char>::length(first_line)));
    std::uint64_t order = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::string path_hex, device, inode, size, mtime, ctime, probe;
        if (!(in >> path_hex >> device >> inode >> size >> mtime >> ctime >> probe))
            return {};
        const auto path = bytes_of_hex(path_hex);
        const auto data = digest_from(in);
        if (!path || !data)
            return {};
        Entry entry{device + ' ' + inode + ' ' + size + ' ' + mtime + ' ' + ctime + ' ' + probe, {*data, {}}, order++};
        if (!(in >> std::ws).eof()) {
            entry.digests.without_first_512 = digest_from(in);
            if (!entry.digests.without_first_512)
                return {};
        }
        entries[*path] = std::move(entry);
    }
    const std::string expected =
        "end " + std::to_string(order) + ' ' + hex_text(crc32_of(std::string_view(text).substr(0, trailer))) + '\n';
    if (text.substr(trailer) != expected)
        return {};
    trusted = true;
    return entries;
}

std::optional<CartridgeDigests> DigestCache::find(const std::string& path, const AnalysedFile& analysed) const
{
    for (const auto* entries : {&kept_, &entries_}) {
        const auto found = entries->find(path);
        if (found != entries->end() && found->second.key == key_of(analysed))
            return found->second.digests;
    }
    return std::nullopt;
}

void DigestCache::keep(const std::string& path, const AnalysedFile& analysed, const CartridgeDigests& digests)
{
    kept_[path] = Entry{key_of(analysed), digests, next_order_++};
}

void DigestCache::save()
{
    if (kept_.empty() || path_.empty())
        return;
    // Writers take turns by the lock of the cache's folder, which the system
    // drops when a writer ends: each one reads the file after the one before
    // it placed its own, so another writer's entries stay, older than ours.
    create_missing_folders(parent_folder(path_));
    const FileDescriptor folder = open_file(parent_folder(path_), OpenMode::read | OpenMode::folder);
    lock_file(folder);
    remove_working_files_beside(path_); // those of killed writers
    bool trusted = false;
    std::map<std::string, Entry> merged;
    try {
        merged = parse(read_whole_file(path_, largest_cache), trusted);
    } catch (const Error&) {
        merged.clear();
    }
    for (auto& [path, entry] : kept_) {
        entry.order += merged.size() + entries_.size();
        merged[path] = entry;
    }
    std::vector<std::pair<const std::string*, const Entry*>> sorted;
    for (const auto& [path, entry] : merged)
        sorted.emplace_back(&path, &entry);
    std::sort(
        sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second->order < b.second->order; });
    // The newest entries, as many as fit the limits, written oldest first.
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    for (auto at = sorted.rbegin(); at != sorted.rend() && lines.size() < most_files; ++at) {
        std::string line =
            hex_of_bytes(*at->first) + ' ' + at->second->key + ' ' + digest_text(at->second->digests.data);
        if (at->second->digests.without_first_512)
            line += ' ' + digest_text(*at->second->digests.without_first_512);
        bytes += line.size() + 1;
        if (bytes > largest_cache / 2)
            break;
        lines.push_back(std::move(line));
    }
    std::string text = first_line;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        text += *line + '\n';
    text += "end " + std::to_string(lines.size()) + ' ' + hex_text(crc32_of(text)) + '\n';
    WorkingFile file(working_name_beside(path_));
    file.write(text);
    file.finish(false);
    file.replace(path_);
}

} // namespace cartonym
