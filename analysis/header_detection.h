// SPDX-License-Identifier: GPL-3.0-or-later
// Image analysis: recognises the copier header and memory map of an SNES ROM
// image from a few fixed offsets (header_detection.cpp) and has its internal
// cartridge header decoded into texts (header_decoding.h).
#pragma once

#include "common/system_calls.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace cartonym {

// The analysis record. All texts are Windows-1252. When Rom_ok is false the
// other fields are empty.
struct RomAnalysis {
    bool Rom_ok = false;
    std::string Formatcode;      // "SWC LO" ... "NO HI"
    std::string Dateityp_text;   // file-type description
    std::string Endung;          // ".swc", ".fig" or ".smc"
    std::string Interner_name;   // always 21 characters, untrimmed
    std::string Cardid_text;     // ROM type
    std::string Size_text;       // ROM size
    std::string Land_text;       // country
    std::string Landkuerzel;     // country suffix for file names, may be ""
    std::string Hersteller_text; // licensee
    std::string Pruefsumme;      // checksum key, 2 to 4 hex digits
    std::string CRC1_text;       // checksum as shown
};

// The check bytes of a header site (complement low, high, checksum low,
// high) pass when each pair of low and high bytes ORs to 0xFF.
bool checksum_pair_test(const std::array<unsigned char, 4>& check_bytes);

// Examines the image file at Dateipfad (a file-system path). Reads only the
// fixed header sites; a byte beyond the end of the file reads as 0. A file
// that is no SNES image gives Rom_ok false; a file that cannot be opened or
// read throws Error.
RomAnalysis Analysiere_rom(const std::string& Dateipfad);

// The file as the analysis met it: its identity and every byte it read,
// so that a digest kept for the file can be checked against both.
struct AnalysedFile {
    FileIdentity identity;
    std::string bytes_read;
};
RomAnalysis Analysiere_rom(const std::string& Dateipfad, AnalysedFile& analysed);

// Reads count bytes at offset of an image; bytes beyond its end read as 0.
using ImageBytes = std::function<void(std::uint64_t offset, unsigned char* target, std::size_t count)>;

// The same analysis of an image whose bytes read gives and whose length is
// length bytes (an entry of an archive). Throws what read throws.
RomAnalysis analyse_image(const ImageBytes& read, std::uint64_t length);

} // namespace cartonym
