// SPDX-License-Identifier: GPL-3.0-or-later
// Images inside archives: a file whose content begins with the zip, 7z or
// gzip signature is read through libarchive, fed from the system-call
// seam's descriptor. Work is bounded whatever an archive claims: only the
// first entry_head_length bytes of an entry are inflated for the analysis,
// at most entry_limit entries are read, at most skip_budget bytes are
// inflated to pass over entries, and an entry that is itself an archive is
// never opened.
#pragma once

#include "analysis/archive_limits.h"
#include "analysis/header_detection.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cartonym {

// The analysis reads its header sites within these first bytes of an image.
inline constexpr std::size_t entry_head_length = 66048;
// The longest entry streamed whole (a digest of an image with copier header).
inline constexpr std::uint64_t whole_entry_limit = 16 * 1024 * 1024 + 512;
// The most bytes inflated, beyond the heads, to pass over entries of one archive.
inline constexpr std::uint64_t skip_budget = 256 * 1024 * 1024;

enum class ArchiveKind { none, zip, seven_zip, gzip, tar_gzip };

// The kind of archive the first bytes of a file announce (none: read raw).
ArchiveKind archive_kind(std::string_view first_bytes);
ArchiveKind archive_kind_of_file(const std::string& path);

// The archive's own extension in new names: ".zip", ".7z", ".gz", ".tar.gz".
std::string archive_extension(ArchiveKind kind);

using PieceSink = std::function<void(std::string_view)>;

// One file entry as the reader hands it over.
struct ArchiveEntry {
    std::string name;                     // as stored; for a .gz the header's name or the archive's name without ".gz"
    std::uint64_t length = 0;             // the entry's length as the archive states it
    std::string_view head;                // its first bytes, at most entry_head_length
    ArchiveKind kind = ArchiveKind::none; // the archive's kind: tar_gzip for a tar inside gzip
    // While the entry is visited: streams the rest of it, after head, to
    // the sink in pieces. Returns none or why not: a fault of the archive,
    // or too_large once the entry, head included, passes limit bytes.
    std::function<ArchiveFault(std::uint64_t limit, const PieceSink& sink)> read_rest;
};

// Calls visit for each file entry in stored order. Returns none or why the
// archive could not be read (damaged, encrypted, unsupported,
// too_many_entries, too_large); entries visited before a fault stay
// visited. Throws Error when the file cannot be opened or read.
ArchiveFault read_archive(const std::string& path, const std::function<void(const ArchiveEntry&)>& visit);

// Streams the first entry named entry_name whole to sink, in pieces.
// Returns none or why not: the faults above, missing for no such entry,
// too_large for an entry longer than limit. Throws Error as read_archive.
ArchiveFault stream_entry(
    const std::string& path, const std::string& entry_name, std::uint64_t limit, const PieceSink& sink);

// An image entry and its analysis.
struct EntryAnalysis {
    std::string entry;
    RomAnalysis analysis;
    std::string head; // the bytes the analysis read, when kept
};

// An archive analysed entry by entry. One with two entries of one name is
// "ambiguous": an entry is found again by its name only.
struct ArchiveAnalysis {
    ArchiveKind kind = ArchiveKind::none;    // none: no archive, analyse the file raw
    ArchiveFault fault = ArchiveFault::none; // or why it could not be read
    std::vector<EntryAnalysis> images;       // the entries the analysis accepts
    FileIdentity identity;                   // the archive's before reading, when heads are kept
    // The archive's only entry when the analysis rejects it (and it is no
    // archive): a catalogue may still know it.
    std::optional<EntryAnalysis> lone_rejected;
};

// Takes chosen entries whole in the pass that analyses their archive, so
// that an entry is inflated once for its analysis and its digest.
class WholeEntryTaker {
public:
    virtual ~WholeEntryTaker() = default;
    // Asked for each image entry, and for a first entry the analysis
    // rejects, once analysed from head: true to be given the whole entry.
    virtual bool wants(const std::string& entry, const RomAnalysis& analysis, std::string_view head) = 0;
    // The wanted entry's bytes from its first on, in pieces.
    virtual void take(std::string_view piece) = 0;
    // Its end: whole is false when it passed whole_entry_limit or could
    // not be read to its end.
    virtual void end(bool whole) = 0;
};

// Reads path as an archive when its content begins with a signature;
// kind none otherwise; with keep_heads, each image's head and the archive's
// identity are kept too. A taker is given the entries it wants whole, as
// long as what they add to the pass stays within skip_budget. Throws Error
// when the file cannot be opened or read.
ArchiveAnalysis analyse_archive(const std::string& path, bool keep_heads = false, WholeEntryTaker* taker = nullptr);

// What the analysis makes of one file, raw or read as an archive.
struct FileAnalysis {
    RomAnalysis analysis;                            // the image: the file itself, or the archive's one image
    ArchiveKind archive = ArchiveKind::none;         // none: the file was read raw
    std::string entry;                               // the image entry's name inside the archive
    std::size_t images = 0;                          // the image entries of the archive
    ArchiveFault archive_fault = ArchiveFault::none; // why the archive could not be read
    std::optional<EntryAnalysis> candidate;          // with catalogues, the lone entry the analysis rejects
};

// The analysis of a file: with archives, a file that begins with an
// archive's signature is read as one and is an image only when it holds
// exactly one image entry, whose Endung becomes the archive's new name's
// extension (archive_name_extension); without, every file is read raw.
// Throws Error when the file cannot be opened or read. A file read raw is
// recorded in analysed where one is given (see Analysiere_rom).
FileAnalysis analyse_file(
    const std::string& path, bool archives, AnalysedFile* analysed = nullptr, WholeEntryTaker* taker = nullptr);

// Why an archive is no image: its fault, or "archive holds N images"; ""
// for an archive of one image and for a raw file.
std::string passed_over_reason(const FileAnalysis& file);

// The extension of an archive's new name when it holds one image whose own
// is Endung: the archive's (".zip", ".7z", ".tar.gz"); a lone ".gz", which
// holds just the image, keeps the image's and adds its own (".smc.gz").
std::string archive_name_extension(const std::string& Endung, ArchiveKind kind);

} // namespace cartonym
