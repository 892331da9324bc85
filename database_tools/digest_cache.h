// SPDX-License-Identifier: GPL-3.0-or-later
// The digests of files hashed before, kept in one file so that a second
// look at an unchanged collection reads only what the analysis reads.
#pragma once

#include "analysis/header_detection.h"
#include "database_tools/content_digest.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace cartonym {

// The digest cache: keyed by path, device, inode, size, modification and
// change time to the nanosecond and a digest of the bytes the analysis
// read. A file that is damaged, of another version or of another program
// is never trusted: it is taken as empty and written anew.
class DigestCache {
public:
    // digests in the user's cache folder (user_folder: on POSIX systems
    // $XDG_CACHE_HOME/cartonym/digests, by default ~/.cache/cartonym/digests);
    // "" when there is no cache folder.
    static std::string default_path();

    // The most files the cache keeps; the ones looked at longest ago go.
    static constexpr std::size_t most_files = 100000;

    // Reads the cache at path; never throws (an unreadable cache is empty).
    explicit DigestCache(std::string path);

    // The digests kept for the file at path as the analysis met it.
    std::optional<CartridgeDigests> find(const std::string& path, const AnalysedFile& analysed) const;
    void keep(const std::string& path, const AnalysedFile& analysed, const CartridgeDigests& digests);

    // Whether the file read was trusted (false: missing, damaged or foreign).
    bool was_trusted() const { return trusted_; }

    // Writes the cache when anything was kept: the file as it is on disk now
    // (another writer's entries too) with this one's entries over it,
    // written beside it and renamed into place, one writer at a time.
    // Throws Error.
    void save();

private:
    struct Entry {
        std::string key; // everything but the path that must match
        CartridgeDigests digests;
        std::uint64_t order = 0; // later is newer
    };
    static std::map<std::string, Entry> parse(const std::string& text, bool& trusted);
    static std::string key_of(const AnalysedFile& analysed);

    std::string path_;
    std::map<std::string, Entry> entries_; // by path
    std::map<std::string, Entry> kept_;    // this owner's, by path
    std::uint64_t next_order_ = 0;
    bool trusted_ = false;
};

} // namespace cartonym
