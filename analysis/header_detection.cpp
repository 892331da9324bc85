// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/header_detection.h"

#include "analysis/header_decoding.h"
#include "common/number_text.h"
#include "common/system_calls.h"

#include <array>
#include <cstring>
#include <span>
#include <string_view>

namespace cartonym {
namespace {

// The four places an internal header can sit, in the file's offsets.
enum HeaderSite {
    lo_rom_without_copier_header,
    hi_rom_without_copier_header,
    lo_rom_behind_copier_header,
    hi_rom_behind_copier_header,
    site_count
};

constexpr std::array<std::uint64_t, site_count> site_offsets = {0x7FC0, 0xFFC0, 0x81C0, 0x101C0};

constexpr std::size_t copier_header_length = 512;
constexpr std::size_t internal_name_length = 21;
constexpr std::size_t site_length = 0x20;

// Offsets inside a site.
constexpr std::size_t rom_type_offset = 0x16;
constexpr std::size_t rom_size_offset = 0x17;
constexpr std::size_t country_offset = 0x19;
constexpr std::size_t licensee_offset = 0x1A;
constexpr std::size_t complement_offset = 0x1C; // low, high; checksum low, high follow

struct Candidate {
    std::string_view code;
    HeaderSite site;
};

struct FormatInfo {
    std::string_view code;
    std::string_view extension;
    std::string_view file_type_text;
    std::string_view counterpart; // the same header kind with the other map, "" for none
};

constexpr std::array<FormatInfo, 9> formats = {{
    {"SWC LO", ".swc", "SNES LoRom, Super Wildcard Header (SWC)", "SWC HI"},
    {"SWC HI", ".swc", "SNES HiRom, Super Wildcard Header (SWC)", "SWC LO"},
    {"FIG LO", ".fig", "SNES LoRom, Pro Fighter Header (FIG)", "FIG HI"},
    {"FIG HI", ".fig", "SNES HiRom, Pro Fighter Header (FIG)", "FIG LO"},
    {"GDR LO", ".smc", "SNES LoRom, Game Dr. 3 Header", "GDR HI"},
    {"GDR HI", ".smc", "SNES HiRom, Game Dr. 3 Header", "GDR LO"},
    {"COS LO", ".smc", "SNES LoRom, Custom unknown Header (mostly PD's and demos)", ""},
    {"NO LO", ".smc", "SNES LoRom, no Header", "NO HI"},
    {"NO HI", ".smc", "SNES HiRom, no Header", "NO LO"},
}};

const FormatInfo& format_for(std::string_view code)
{
    for (const auto& format : formats) {
        if (format.code == code)
            return format;
    }
    return formats.back();
}

// The internal name that marks an unusable site besides a leading 0xFF.
constexpr std::array<unsigned char, internal_name_length> rejected_name = {0xD7, 0x6F, 0x75, 0xF7, 0xDF, 0xFD, 0xD7,
    0x5F, 0xD7, 0x75, 0xFD, 0xDF, 0xFF, 0xFF, 0xF7, 0xFD, 0xFF, 0xFD, 0xFF, 0xDF, 0xFF};

std::string detect_copier_header(
    const std::array<unsigned char, copier_header_length>& header, std::int32_t Headersumme)
{
    const std::string chain_8 = hex_text(header[8]) + hex_text(header[9]) + hex_text(header[10]);
    const std::string chain_7 = hex_text(header[7]) + hex_text(header[8]) + hex_text(header[9]);
    if (chain_8 == "AABB4" || chain_8 == "AABB6" || chain_7 == "AABB4")
        return "SWC";
    if (std::memcmp(header.data() + 3, "E DOCTOR SF 3", 13) == 0)
        return "GDR";
    static constexpr std::array<unsigned char, 6> cos_signature = {0x01, 0x00, 0x10, 0x40, 0x00, 0x31};
    if (std::memcmp(header.data(), cos_signature.data(), cos_signature.size()) == 0 && Headersumme == 0)
        return "COS";
    if (Headersumme == 0)
        return "FIG";
    return "";
}

// The candidates of a header kind, tried in order.
std::span<const Candidate> candidates_for(const std::string& Headertyp)
{
    static constexpr Candidate swc[] = {
        {"SWC LO", lo_rom_behind_copier_header}, {"SWC HI", hi_rom_behind_copier_header}};
    static constexpr Candidate gdr[] = {
        {"GDR LO", lo_rom_behind_copier_header}, {"GDR HI", hi_rom_behind_copier_header}};
    static constexpr Candidate fig[] = {
        {"FIG LO", lo_rom_behind_copier_header}, {"FIG HI", hi_rom_behind_copier_header}};
    static constexpr Candidate cos[] = {{"COS LO", lo_rom_behind_copier_header}};
    static constexpr Candidate without[] = {
        {"NO LO", lo_rom_without_copier_header}, {"NO HI", hi_rom_without_copier_header}};
    if (Headertyp == "SWC")
        return swc;
    if (Headertyp == "GDR")
        return gdr;
    if (Headertyp == "FIG")
        return fig;
    if (Headertyp == "COS")
        return cos;
    return without;
}

bool name_rejected(const std::array<unsigned char, site_length>& site)
{
    return site[0] == 0xFF || std::memcmp(site.data(), rejected_name.data(), internal_name_length) == 0;
}

} // namespace

// Checksum and complement: each pair of low and high bytes ORs to 0xFF.
bool checksum_pair_test(const std::array<unsigned char, 4>& check_bytes)
{
    const auto or_lo = static_cast<std::uint8_t>(check_bytes[0] | check_bytes[2]);
    const auto or_hi = static_cast<std::uint8_t>(check_bytes[1] | check_bytes[3]);
    return hex_text(or_lo) + hex_text(or_hi) == "FFFF";
}

namespace {

// The copier header's kind, from the sum of the first header bytes.
std::string copier_header_kind(const ImageBytes& read)
{
    std::array<unsigned char, copier_header_length> header{};
    read(0, header.data(), header.size());
    std::int32_t Headersumme = 0;
    for (std::size_t i = 57; i < copier_header_length; ++i)
        Headersumme += header[i];
    return detect_copier_header(header, Headersumme);
}

// Every header site of the file and its four check bytes. Each site is
// read whole: name, ROM type, size, country, licensee and the four check
// bytes lie within its first 32 bytes.
struct HeaderSites {
    std::array<std::array<unsigned char, site_length>, site_count> bytes{};
    std::array<std::array<unsigned char, 4>, site_count> check_bytes{};
};

HeaderSites read_sites(const ImageBytes& read)
{
    HeaderSites sites;
    for (std::size_t s = 0; s < site_count; ++s) {
        read(site_offsets[s], sites.bytes[s].data(), site_length);
        std::memcpy(sites.check_bytes[s].data(), sites.bytes[s].data() + complement_offset, 4);
    }
    return sites;
}

// The first candidate that passes: "COS LO" always, the forced format, or
// a site whose checksum pair test passes; nullptr when none does.
const Candidate* first_accepted(
    std::span<const Candidate> candidates, const std::string& Zwangsformat, const HeaderSites& sites)
{
    for (const Candidate& candidate : candidates) {
        if (candidate.code == "COS LO" || Zwangsformat == candidate.code
            || checksum_pair_test(sites.check_bytes[candidate.site]))
            return &candidate;
    }
    return nullptr;
}

} // namespace

RomAnalysis Analysiere_rom(const std::string& Dateipfad)
{
    const ReadableFile file(Dateipfad);
    return analyse_image(
        [&](std::uint64_t offset, unsigned char* target, std::size_t count) { file.read_at(offset, target, count); },
        file.length());
}

RomAnalysis Analysiere_rom(const std::string& Dateipfad, AnalysedFile& analysed)
{
    const ReadableFile file(Dateipfad);
    analysed.identity = file.identity();
    analysed.bytes_read.clear();
    return analyse_image(
        [&](std::uint64_t offset, unsigned char* target, std::size_t count) {
            file.read_at(offset, target, count);
            analysed.bytes_read.append(reinterpret_cast<const char*>(target), count);
        },
        file.length());
}

RomAnalysis analyse_image(const ImageBytes& read, std::uint64_t length)
{
    RomAnalysis analysis;
    const std::string Headertyp = copier_header_kind(read);
    HeaderSites sites = read_sites(read);

    const std::span<const Candidate> candidates = candidates_for(Headertyp);
    std::string Zwangsformat;
    int Versuche = 0;
    for (;;) {
        const Candidate* accepted = first_accepted(candidates, Zwangsformat, sites);
        if (!accepted)
            return RomAnalysis{}; // no candidate of this header kind passes

        Zwangsformat.clear();
        const auto& site = sites.bytes[accepted->site];
        const FormatInfo& format = format_for(accepted->code);
        analysis.Formatcode = format.code;
        analysis.Endung = format.extension;
        analysis.Dateityp_text = format.file_type_text;
        analysis.Interner_name.assign(reinterpret_cast<const char*>(site.data()), internal_name_length);

        if (name_rejected(site)) {
            // No site may pass the pair test any more in this call.
            for (auto& bytes : sites.check_bytes)
                bytes.fill(0);
            if (++Versuche == 2)
                return RomAnalysis{};
            if (!format.counterpart.empty()) {
                Zwangsformat = format.counterpart;
                continue; // accept exactly the other map of the same header kind
            }
            // "COS LO" keeps its reading with the rejected name.
        }

        analysis.Rom_ok = true;
        const HeaderBytes bytes{site[rom_type_offset], site[rom_size_offset], site[country_offset],
            site[licensee_offset], site[complement_offset + 2], site[complement_offset + 3]};
        decode_header(bytes, length, analysis);
        return analysis;
    }
}

} // namespace cartonym
