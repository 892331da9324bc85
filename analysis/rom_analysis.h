// Image analysis: recognises the copier header and memory map of an SNES ROM
// image from a few fixed offsets and decodes its internal cartridge header.
#pragma once

#include "common/system_calls.h"

#include <array>
#include <cstdint>
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

// The bytes of the accepted header site that the decoding turns into texts.
struct HeaderBytes {
    std::uint8_t rom_type = 0;
    std::uint8_t rom_size = 0;
    std::uint8_t country = 0;
    std::uint8_t licensee = 0;
    std::uint8_t checksum_lo = 0;
    std::uint8_t checksum_hi = 0;
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

// Fills the decoded texts of the record (checksum key and text, ROM type,
// size, country with suffix, licensee) from the accepted site's bytes.
// dateilaenge is the whole file's length, used when the size byte is unknown.
void decode_header(const HeaderBytes& bytes, std::uint64_t file_length, RomAnalysis& analysis);

// The single table texts, also used on their own by tests.
std::string rom_type_text(std::uint8_t rom_type);
std::string rom_size_text(std::uint8_t rom_size, std::uint64_t file_length);
std::string country_text(std::uint8_t country);
std::string country_suffix(std::uint8_t country);
std::string licensee_text(std::uint8_t licensee);

} // namespace cartonym
