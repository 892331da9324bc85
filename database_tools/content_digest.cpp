// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/content_digest.h"

#include "common/number_text.h"
#include "common/system_calls.h"

#include <nettle/sha1.h>
#include <zlib.h>
// The library's code is compiled in here, so that no program needs its
// shared library (nor the Windows build a built one).
#define XXH_INLINE_ALL
#include <xxhash.h>

#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

namespace cartonym {

struct ContentHasher::State {
    DigestKinds kinds;
    sha1_ctx sha1{};
    uLong crc32 = 0;
    XXH3_state_t xxh128{};
    std::uint64_t size = 0;
};

ContentHasher::ContentHasher(DigestKinds kinds)
    : state_(std::make_unique<State>())
{
    state_->kinds = kinds;
    sha1_init(&state_->sha1);
    state_->crc32 = ::crc32(0L, Z_NULL, 0);
    XXH3_128bits_reset(&state_->xxh128);
}

ContentHasher::~ContentHasher() = default;

void ContentHasher::update(const unsigned char* data, std::size_t size)
{
    if (state_->kinds.sha1)
        sha1_update(&state_->sha1, size, data);
    if (state_->kinds.crc32)
        state_->crc32 = ::crc32_z(state_->crc32, data, size);
    if (state_->kinds.xxh128)
        XXH3_128bits_update(&state_->xxh128, data, size);
    state_->size += size;
}

ContentDigest ContentHasher::finish()
{
    ContentDigest digest;
    digest.size = state_->size;
    digest.crc32 = static_cast<std::uint32_t>(state_->crc32);
    if (state_->kinds.sha1)
        sha1_digest(&state_->sha1, SHA1_DIGEST_SIZE, digest.sha1.data());
    if (state_->kinds.xxh128) {
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(&state_->xxh128));
        std::copy(std::begin(canonical.digest), std::end(canonical.digest), digest.xxh128.begin());
    }
    return digest;
}

std::uint64_t copier_header_length(const RomAnalysis& analysis)
{
    return analysis.Rom_ok && !analysis.Formatcode.starts_with("NO ") ? 512 : 0;
}

namespace {

// Feeds the file's bytes from offset on to hasher, read in pieces of piece bytes.
template <typename Hasher>
void hash_pieces(const ReadableFile& file, std::uint64_t offset, std::size_t piece, Hasher& hasher)
{
    std::vector<unsigned char> buffer(piece);
    for (std::uint64_t position = std::min(offset, file.length()); position < file.length();) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(piece, file.length() - position));
        file.read_at(position, buffer.data(), size);
        hasher.update(buffer.data(), size);
        position += size;
    }
}

} // namespace

ContentDigest digest_of_file(const std::string& path, std::uint64_t offset, DigestKinds kinds)
{
    // Pieces of this size stay in the processor's cache between the read
    // and the two sums.
    constexpr std::size_t Piece = 256 * 1024;
    const ReadableFile file(path);
    ContentHasher hasher(kinds);
    hash_pieces(file, offset, Piece, hasher);
    return hasher.finish();
}

CartridgeHasher::CartridgeHasher(const RomAnalysis& analysis, std::optional<std::uint64_t> length)
    : header_(copier_header_length(analysis))
{
    if (!analysis.Rom_ok && (!length || *length % 1024 == 512))
        without_first_512_.emplace();
}

void CartridgeHasher::update(const unsigned char* data, std::size_t size)
{
    // The first 512 bytes: a copier header, or perhaps one.
    const std::size_t skipped =
        position_ < 512 ? static_cast<std::size_t>(std::min<std::uint64_t>(512 - position_, size)) : 0;
    if (position_ >= header_)
        data_.update(data, size);
    else if (header_ - position_ < size)
        data_.update(data + (header_ - position_), size - static_cast<std::size_t>(header_ - position_));
    if (without_first_512_)
        without_first_512_->update(data + skipped, size - skipped);
    position_ += size;
}

CartridgeDigests CartridgeHasher::finish()
{
    CartridgeDigests digests{data_.finish(), std::nullopt};
    if (without_first_512_ && position_ % 1024 == 512)
        digests.without_first_512 = without_first_512_->finish();
    return digests;
}

CartridgeDigests cartridge_digests(const std::string& path, const RomAnalysis& analysis, FileIdentity* identity)
{
    // Large pieces keep the reads few; the two sums run over each piece
    // while it is in the processor's cache.
    constexpr std::size_t Piece = 1 << 20;
    const ReadableFile file(path);
    if (identity)
        *identity = file.identity();
    CartridgeHasher hasher(analysis, file.length());
    hash_pieces(file, 0, Piece, hasher);
    return hasher.finish();
}

std::string hex_text(std::uint32_t crc32)
{
    std::string text;
    for (int shift = 28; shift >= 0; shift -= 4)
        text += hex_digit((crc32 >> shift) & 0xFu, true);
    return text;
}

namespace {

std::string hex_text_of_bytes(std::span<const unsigned char> bytes)
{
    std::string text;
    for (const unsigned char byte : bytes) {
        text += hex_digit(byte >> 4, true);
        text += hex_digit(byte, true);
    }
    return text;
}

} // namespace

std::string hex_text(const Sha1& sha1) { return hex_text_of_bytes(sha1); }

std::string hex_text(const Xxh128& xxh128) { return hex_text_of_bytes(xxh128); }

} // namespace cartonym
