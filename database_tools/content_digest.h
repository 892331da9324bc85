// SPDX-License-Identifier: GPL-3.0-or-later
// SHA-1 and CRC32 of an image's cartridge data, as ROM catalogues list them,
// and the quick XXH3-128 that tells whether a copy changed since it was made.
#pragma once

#include "analysis/header_detection.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace cartonym {

using Sha1 = std::array<unsigned char, 20>;
using Xxh128 = std::array<unsigned char, 16>; // big-endian, as xxhsum prints it

struct ContentDigest {
    std::uint64_t size = 0;
    std::uint32_t crc32 = 0; // valid when it was asked for
    Sha1 sha1{};             // valid when it was asked for
    Xxh128 xxh128{};         // valid when it was asked for
    bool operator==(const ContentDigest&) const = default;
};

// Which sums to work out; a catalogue without entries of one kind spares it.
struct DigestKinds {
    bool sha1 = true;
    bool crc32 = true;
    bool xxh128 = false; // not cryptographic: for telling a file changed, not for catalogues
};

// Hashes data given piece by piece.
class ContentHasher {
public:
    explicit ContentHasher(DigestKinds kinds = {});
    ~ContentHasher();
    ContentHasher(const ContentHasher&) = delete;
    ContentHasher& operator=(const ContentHasher&) = delete;

    void update(const unsigned char* data, std::size_t size);
    ContentDigest finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The length of the copier header the analysis found before the cartridge
// data: 512 for the SWC, FIG, GDR and COS formats, 0 for the headerless ones.
std::uint64_t copier_header_length(const RomAnalysis& analysis);

// The digest of the file's bytes from offset on, read through ReadableFile in
// large pieces. Throws Error when the file cannot be read.
ContentDigest digest_of_file(const std::string& path, std::uint64_t offset, DigestKinds kinds = {});

// The digests of a file's cartridge data as catalogues list them: data
// without the copier header the analysis found (the whole file when the
// analysis rejects it), and for a rejected file whose size is 512 more
// than a multiple of 1,024 also without its first 512 bytes.
struct CartridgeDigests {
    ContentDigest data;
    std::optional<ContentDigest> without_first_512;
    bool operator==(const CartridgeDigests&) const = default;
};

// Works out a CartridgeDigests from the image's bytes given piece by
// piece in order: length is the image's length when known ahead; unknown,
// a rejected image is hashed both ways and the second kept only when its
// length turns out to be 512 more than a multiple of 1,024.
class CartridgeHasher {
public:
    CartridgeHasher(const RomAnalysis& analysis, std::optional<std::uint64_t> length);
    void update(const unsigned char* data, std::size_t size);
    CartridgeDigests finish();

private:
    std::uint64_t header_;
    std::uint64_t position_ = 0;
    ContentHasher data_;
    std::optional<ContentHasher> without_first_512_;
};

// Only files up to this size are hashed.
inline constexpr std::uint64_t largest_hashed_file = (std::uint64_t{16} << 20) + 512;

// Whether a file of this size is hashed.
inline bool is_hashed(std::uint64_t file_size) { return file_size <= largest_hashed_file; }

// The digests of the file at path, analysed as analysis, in one pass of
// large sequential reads; identity, when given, receives the identity of
// the file read. Throws Error when the file cannot be read.
CartridgeDigests cartridge_digests(
    const std::string& path, const RomAnalysis& analysis, FileIdentity* identity = nullptr);

// Lowercase hexadecimal text of a digest's bytes.
std::string hex_text(const Sha1& sha1);
std::string hex_text(const Xxh128& xxh128);
// A CRC32 as 8 lowercase hexadecimal digits.
std::string hex_text(std::uint32_t crc32);

} // namespace cartonym
