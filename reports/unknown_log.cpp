// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/unknown_log.h"

#include "common/error.h"
#include "common/number_text.h"
#include "common/program_info.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "naming/file_names.h"

#include <cstdio>

namespace cartonym {
namespace {

constexpr const char* line_end = "\r\n";

std::size_t line_ends_in(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t pos = text.find(line_end); pos != std::string_view::npos; pos = text.find(line_end, pos + 2))
        ++count;
    return count;
}

} // namespace

std::string unknown_log_entry_head()
{
    return "Datasource: The Cartonym ver." + decimal_text(program_info::version_major) + "."
        + decimal_text(program_info::version_minor) + "." + decimal_text(program_info::version_revision) + " Englisch"
        + line_end;
}

bool is_start_of_unknown_log_entry(std::string_view text)
{
    const std::string head = unknown_log_entry_head();
    if (text.size() < head.size())
        return std::string_view(head).starts_with(text);
    return text.starts_with(head) && text.find(head, 1) == std::string_view::npos
        && line_ends_in(text) <= line_ends_in(unknown_log_entry("", "", "", "", ""));
}

std::string unknown_log_entry(const std::string& file, const std::string& format, const std::string& iname,
    const std::string& country, const std::string& crc)
{
    std::string entry = unknown_log_entry_head();
    entry += "Filename = \"" + file + "\"" + line_end;
    entry += "Format = " + format + line_end;
    entry += "Internal name = \"" + iname + "\"" + line_end;
    entry += "Country = " + country + line_end;
    entry += "CRC1 = " + crc + line_end;
    entry += line_end;
    return entry;
}

void Schreibe_unbekannt(const std::string& ordner, const std::string& datei, const std::string& format,
    const std::string& iname, const std::string& land, const std::string& crc)
{
    const std::string path = join_path(ordner, unknown_log_name);
    // The log is appended to only when it is a plain file of its own: a link
    // of that name is never written through (it could lead into any file),
    // and a FIFO must not hold the run waiting for a reader. Both are
    // path/file access errors.
    const Error not_a_plain_file(ErrorNumber::path_file_access_error, path);
    FileDescriptor log;
    try {
        log = open_file(path,
            OpenMode::write | OpenMode::append | OpenMode::create | OpenMode::no_links | OpenMode::no_waiting,
            AccessRights::anyone);
    } catch (const Error& error) {
        if (error.number() == ErrorNumber::path_file_access_error || entry_kind(path) == EntryKind::link)
            throw not_a_plain_file;
        throw;
    }
    const StatusResult looked = status_of(path, Links::not_followed, no_throw);
    if (!looked.result.done() || looked.status.kind != EntryKind::regular_file
        || identity_of(log).inode != looked.status.identity.inode)
        throw not_a_plain_file;
    // One write for the whole entry, so that entries do not interleave; an
    // entry that cannot be written whole, or not be brought to the disk, is
    // taken back, so that the log never holds half an entry. Once it is on
    // the disk it is written: a failure to close after that is no failure
    // of the entry, which the next run would otherwise write a second time.
    const std::uint64_t size_before = looked.status.identity.size;
    try {
        write_all(log, unknown_log_entry(datei, format, iname, land, crc));
        sync_file(log);
    } catch (const Error&) {
        try {
            truncate_file(log, size_before);
        } catch (const Error&) {
            // The entry's failure is the one to report.
        }
        throw;
    }
    log.discard();
}

} // namespace cartonym
