// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the archive reader on arbitrary file contents. The input is
// the whole file; a zip, 7z or gzip signature at its start sends it through
// libarchive (a tar inside gzip included). The file is analysed as the batch
// run does, and its first entry is read once more whole. An archive may be
// refused (a reason, or an Error), but never crash; and the entry streamed
// whole must begin with the head the first pass read of it.
//
// Input: the file's bytes.
#include "analysis/archive_reader.h"
#include "common/error.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <sys/mman.h>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The first entry the reader hands over: its name and head.
struct FirstEntry {
    std::string name;
    std::string head;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data_bytes, std::size_t size)
{
    // One private file in memory, written afresh for each input.
    static const int fd = ::memfd_create("archive", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0)
        return 0;
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data_bytes), static_cast<std::streamsize>(size));
        check(file.good());
    }

    try {
        cartonym::AnalysedFile analysed;
        const cartonym::FileAnalysis file = cartonym::analyse_file(path, true, &analysed);
        (void)cartonym::passed_over_reason(file);

        std::optional<FirstEntry> first;
        cartonym::read_archive(path, [&](const cartonym::ArchiveEntry& entry) {
            if (!first)
                first = FirstEntry{entry.name, std::string(entry.head)};
        });
        if (!first)
            return 0;

        std::string streamed;
        std::uint64_t total = 0;
        const cartonym::ArchiveFault why_not =
            cartonym::stream_entry(path, first->name, cartonym::whole_entry_limit, [&](std::string_view piece) {
                total += piece.size();
                if (streamed.size() < cartonym::entry_head_length)
                    streamed.append(piece.substr(0, cartonym::entry_head_length - streamed.size()));
            });
        check(total <= cartonym::whole_entry_limit);
        // The first entry of that name is the first entry: the same bytes.
        check(why_not != cartonym::ArchiveFault::missing);
        if (why_not == cartonym::ArchiveFault::none)
            check(streamed == first->head);
    } catch (const cartonym::Error&) {
        // A file the reader cannot read is refused; that is fine.
    }
    return 0;
}
