// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/archive_builder.h"

#include "fixtures/rom_builder.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <stdexcept>

namespace cartonym::test {
namespace {

la_ssize_t append(archive* /*unused*/, void* data, const void* bytes, size_t count)
{
    static_cast<std::string*>(data)->append(static_cast<const char*>(bytes), count);
    return static_cast<la_ssize_t>(count);
}

void check(archive* a, int status)
{
    if (status < ARCHIVE_WARN)
        throw std::runtime_error(archive_error_string(a));
}

// The writer's format, filter and options for each kind.
void choose_format(archive* a, ArchiveFormat format)
{
    using F = ArchiveFormat;
    const bool zip = format == F::zip_deflated || format == F::zip_stored || format == F::zip_encrypted;
    check(a,
        zip                          ? archive_write_set_format_zip(a)
            : format == F::seven_zip ? archive_write_set_format_7zip(a)
            : format == F::gzip      ? archive_write_set_format_raw(a)
                                     : archive_write_set_format_pax_restricted(a));
    if (format == F::gzip || format == F::tar_gzip)
        check(a, archive_write_add_filter_gzip(a));
    check(a, archive_write_set_options(a, format == F::zip_stored ? "zip:compression=store" : ""));
    if (format == F::zip_encrypted) {
        check(a, archive_write_set_options(a, "zip:encryption=zipcrypt"));
        check(a, archive_write_set_passphrase(a, "secret"));
    }
}

} // namespace

std::string make_archive(
    ArchiveFormat format, const std::vector<std::pair<std::string, std::string>>& entries, const std::string& options)
{
    std::string bytes;
    const std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    archive* a = writer.get();
    choose_format(a, format);
    check(a, archive_write_set_options(a, options.c_str()));
    check(a, archive_write_set_bytes_in_last_block(a, 1));
    check(a, archive_write_open(a, &bytes, nullptr, append, nullptr));
    for (const auto& [name, content] : entries) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(content.size()));
        check(a, archive_write_header(a, entry.get()));
        check(a,
            archive_write_data(a, content.data(), content.size()) == static_cast<la_ssize_t>(content.size()) ? 0 : -30);
    }
    check(a, archive_write_close(a));
    return bytes;
}

std::string zip_passing_the_raw_test()
{
    std::string text(0x10200, 'a');
    const std::size_t at = make_archive(ArchiveFormat::zip_stored, {{"t.txt", text}}).find(text);
    fixtures::set_bytes(text, 0x7FC0 - at, fixtures::Interner_name("RAW ZIP"));
    fixtures::set_bytes(text, 0x7FDC - at, std::string("\x34\x12\xCB\xED", 4));
    return make_archive(ArchiveFormat::zip_stored, {{"t.txt", text}});
}

} // namespace cartonym::test
