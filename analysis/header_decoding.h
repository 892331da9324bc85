// SPDX-License-Identifier: GPL-3.0-or-later
// The decoding of an internal cartridge header: the fixed tables that turn
// the bytes of the accepted header site into the texts of the analysis
// record (header_decoding.cpp).
#pragma once

#include "analysis/header_detection.h"

#include <cstdint>
#include <string>

namespace cartonym {

// The bytes of the accepted header site that the decoding turns into texts.
struct HeaderBytes {
    std::uint8_t rom_type = 0;
    std::uint8_t rom_size = 0;
    std::uint8_t country = 0;
    std::uint8_t licensee = 0;
    std::uint8_t checksum_lo = 0;
    std::uint8_t checksum_hi = 0;
};

// Fills the decoded texts of the record (checksum key and text, ROM type,
// size, country with suffix, licensee) from the accepted site's bytes.
// file_length is the whole file's length, used when the size byte is unknown.
void decode_header(const HeaderBytes& bytes, std::uint64_t file_length, RomAnalysis& analysis);

// The texts of single table entries (the database check and the tests use
// them on their own).
std::string rom_type_text(std::uint8_t rom_type);
std::string rom_size_text(std::uint8_t rom_size, std::uint64_t file_length);
std::string country_text(std::uint8_t country);
std::string country_suffix(std::uint8_t country);
std::string licensee_text(std::uint8_t licensee);

} // namespace cartonym
