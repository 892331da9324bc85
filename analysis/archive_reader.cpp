// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/archive_reader.h"

#include "analysis/zip_data_reader.h"
#include "common/paths.h"
#include "common/system_calls.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace cartonym {

ArchiveKind archive_kind(std::string_view first_bytes)
{
    using namespace std::string_view_literals;
    if (first_bytes.starts_with("PK\x03\x04"sv) || first_bytes.starts_with("PK\x05\x06"sv))
        return ArchiveKind::zip;
    if (first_bytes.starts_with("7z\xBC\xAF\x27\x1C"sv))
        return ArchiveKind::seven_zip;
    if (first_bytes.starts_with("\x1F\x8B"sv))
        return ArchiveKind::gzip;
    return ArchiveKind::none;
}

ArchiveKind archive_kind_of_file(const std::string& path)
{
    const ReadableFile file(path);
    std::array<unsigned char, 6> first{};
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(first.size(), file.length()));
    file.read_at(0, first.data(), count);
    return archive_kind(std::string_view(reinterpret_cast<const char*>(first.data()), count));
}

std::string archive_extension(ArchiveKind kind)
{
    switch (kind) {
    case ArchiveKind::zip: return ".zip";
    case ArchiveKind::seven_zip: return ".7z";
    case ArchiveKind::gzip: return ".gz";
    case ArchiveKind::tar_gzip: return ".tar.gz";
    case ArchiveKind::none: break;
    }
    return "";
}

namespace {

// The archive's bytes as libarchive asks for them, read through the seam.
struct Source {
    explicit Source(const std::string& path)
        : file(path)
    { }
    ReadableFile file;
    std::uint64_t position = 0;
    std::vector<unsigned char> block = std::vector<unsigned char>(64 * 1024);
    std::exception_ptr failure; // a read's Error, raised again once libarchive has returned
};

la_ssize_t read_block(archive* /*unused*/, void* data, const void** buffer)
{
    auto& source = *static_cast<Source*>(data);
    try {
        const std::uint64_t left = source.file.length() - std::min(source.position, source.file.length());
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(source.block.size(), left));
        source.file.read_at(source.position, source.block.data(), count);
        source.position += count;
        *buffer = source.block.data();
        return static_cast<la_ssize_t>(count);
    } catch (...) {
        source.failure = std::current_exception();
        return -1;
    }
}

la_int64_t seek_to(archive* /*unused*/, void* data, la_int64_t offset, int whence)
{
    auto& source = *static_cast<Source*>(data);
    const auto length = static_cast<la_int64_t>(source.file.length());
    const la_int64_t base = whence == SEEK_SET ? 0
        : whence == SEEK_CUR                   ? static_cast<la_int64_t>(source.position)
                                               : length;
    const la_int64_t target = base + offset;
    if (target < 0)
        return ARCHIVE_FATAL;
    source.position = static_cast<std::uint64_t>(target);
    return target;
}

la_int64_t skip_over(archive* /*unused*/, void* data, la_int64_t request)
{
    auto& source = *static_cast<Source*>(data);
    const std::uint64_t left = source.file.length() - std::min(source.position, source.file.length());
    const auto skipped = std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max<la_int64_t>(request, 0)), left);
    source.position += skipped;
    return static_cast<la_int64_t>(skipped);
}

// The name a gzip header stores, or the archive's name without ".gz".
std::string gzip_entry_name(const ReadableFile& file, const std::string& path)
{
    std::array<unsigned char, 512> header{};
    file.read_at(0, header.data(), header.size());
    std::size_t at = 10;
    if (header[3] & 0x04) // an extra field comes first
        at += 2 + header[10] + (std::size_t{header[11]} << 8);
    if ((header[3] & 0x08) && at < header.size()) {
        const auto* start = reinterpret_cast<const char*>(header.data() + at);
        const std::size_t length = strnlen(start, header.size() - at);
        if (length > 0 && at + length < header.size())
            return base_name(std::string(start, length));
    }
    std::string name = base_name(path);
    if (name.size() > 3 && name.ends_with(".gz"))
        name.resize(name.size() - 3);
    return name;
}

// The length a single-member gzip stream states in its last four bytes.
std::uint64_t gzip_entry_length(const ReadableFile& file)
{
    std::array<unsigned char, 4> size{};
    if (file.length() >= 18)
        file.read_at(file.length() - 4, size.data(), size.size());
    return size[0] | (std::uint64_t{size[1]} << 8) | (std::uint64_t{size[2]} << 16) | (std::uint64_t{size[3]} << 24);
}

struct ArchiveFree {
    void operator()(archive* handle) const { archive_read_free(handle); }
};

// One pass over an archive's file entries.
class ArchivePass {
public:
    ArchivePass(const std::string& path, ArchiveKind kind)
        : path_(path)
        , kind_(kind)
        , source_(path)
        , handle_(archive_read_new())
    {
        archive* a = handle_.get();
        if (kind == ArchiveKind::zip)
            archive_read_support_format_zip_seekable(a); // the central directory must be there
        if (kind == ArchiveKind::seven_zip)
            archive_read_support_format_7zip(a);
        if (kind == ArchiveKind::gzip) {
            archive_read_support_filter_gzip(a);
            archive_read_support_format_tar(a);
            archive_read_support_format_raw(a);
        }
        archive_read_set_read_callback(a, read_block);
        archive_read_set_seek_callback(a, seek_to);
        archive_read_set_skip_callback(a, skip_over);
        archive_read_set_callback_data(a, &source_);
        if (kind == ArchiveKind::zip)
            zip_.emplace(source_.file);
        fail(kind == ArchiveKind::seven_zip ? seven_zip_fault(source_.file)
                : zip_                      ? zip_->fault()
                                            : ArchiveFault::none);
        const bool opened = fault_ == ArchiveFault::none && archive_read_open1(a) >= ARCHIVE_WARN;
        rethrow();
        if (!opened) // no format took it, so none can be asked about encryption (a 7z's was read before)
            fail(ArchiveFault::damaged);
    }

    // Moves to the next file entry; false at the end or on a fault (error()).
    bool next(ArchiveEntry& entry)
    {
        archive* a = handle_.get();
        archive_entry* header = nullptr;
        while (fault_ == ArchiveFault::none) {
            const int status = archive_read_next_header(a, &header);
            rethrow();
            if (status == ARCHIVE_EOF)
                return false;
            if (status < ARCHIVE_WARN)
                return fail(libarchive_fault());
            if (++entries_ > entry_limit)
                return fail(ArchiveFault::too_many_entries);
            if (archive_entry_filetype(header) != AE_IFREG)
                continue;
            if (archive_entry_is_encrypted(header))
                return fail(ArchiveFault::encrypted);
            if (zip_ && !read_directly(static_cast<std::uint64_t>(archive_filter_bytes(a, 0))))
                return fail(ArchiveFault::unsupported); // an entry whose decoder was not checked
            describe(header, entry);
            return true;
        }
        return false;
    }

    // Reads up to count bytes of the entry in hand; fewer at its end or on a fault.
    std::size_t read(unsigned char* target, std::size_t count)
    {
        if (direct_) {
            std::size_t done = 0;
            while (const std::size_t more = done < count ? direct_->read(target + done, count - done) : 0)
                done += more;
            fail(direct_->fault());
            return done;
        }
        std::size_t done = 0;
        while (done < count && fault_ == ArchiveFault::none) {
            const la_ssize_t n = archive_read_data(handle_.get(), target + done, count - done);
            rethrow();
            if (n < 0)
                fail(libarchive_fault());
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

    // Before the next entry: charges what passing over the rest inflates.
    bool charge_rest(const ArchiveEntry& entry, std::uint64_t read)
    {
        if (kind_ == ArchiveKind::zip || entry.length <= read)
            return true; // a zip passes over an entry by seeking
        skipped_ += entry.length - read;
        return skipped_ <= skip_budget || fail(ArchiveFault::too_large);
    }

    bool single_entry() const { return archive_format(handle_.get()) == ARCHIVE_FORMAT_RAW; }
    ArchiveFault fault() const { return fault_; }

private:
    // A zip entry libarchive has read the headers of, whose data begins at
    // offset: false when it was not checked. A stored or deflated one is
    // read straight from its data.
    bool read_directly(std::uint64_t offset)
    {
        direct_.reset();
        const ZipData* data = zip_->checked(offset);
        if (data != nullptr && (data->method == 0 || data->method == 8))
            direct_.emplace(source_.file, *data);
        return data != nullptr;
    }

    void describe(archive_entry* header, ArchiveEntry& entry) const
    {
        entry.kind = kind_ == ArchiveKind::gzip && !single_entry() ? ArchiveKind::tar_gzip : kind_;
        if (single_entry()) {
            entry.name = gzip_entry_name(source_.file, path_);
            entry.length = gzip_entry_length(source_.file);
            return;
        }
        const char* name = archive_entry_pathname_utf8(header);
        if (name == nullptr)
            name = archive_entry_pathname(header);
        entry.name = name != nullptr ? name : "";
        entry.length = archive_entry_size_is_set(header) ? static_cast<std::uint64_t>(archive_entry_size(header)) : 0;
    }

    // A fault libarchive reports: what it could decode was checked before,
    // so it is encrypted data or damage.
    ArchiveFault libarchive_fault() const
    {
        return archive_read_has_encrypted_entries(handle_.get()) > 0 ? ArchiveFault::encrypted : ArchiveFault::damaged;
    }

    bool fail(ArchiveFault fault)
    {
        if (fault_ == ArchiveFault::none)
            fault_ = fault;
        return false;
    }

    void rethrow()
    {
        if (source_.failure)
            std::rethrow_exception(std::exchange(source_.failure, nullptr));
    }

    std::string path_;
    ArchiveKind kind_;
    Source source_;
    std::unique_ptr<archive, ArchiveFree> handle_;
    std::optional<ZipDecoders> zip_;
    std::optional<ZipDataReader> direct_; // the zip entry in hand, read without libarchive
    std::size_t entries_ = 0;
    std::uint64_t skipped_ = 0;
    ArchiveFault fault_ = ArchiveFault::none;
};

// Streams what is left of the entry in hand to sink, counting its bytes
// into done (the head's already in it); none or why not.
ArchiveFault stream_rest(ArchivePass& pass, std::uint64_t& done, std::uint64_t limit, const PieceSink& sink)
{
    std::vector<unsigned char> piece(64 * 1024);
    while (const std::size_t count = pass.read(piece.data(), piece.size())) {
        done += count;
        if (done > limit)
            return ArchiveFault::too_large;
        sink(std::string_view(reinterpret_cast<const char*>(piece.data()), count));
    }
    return pass.fault();
}

// Gives the taker the whole entry; returns the bytes read beyond its head.
std::uint64_t take_whole(const ArchiveEntry& entry, WholeEntryTaker& taker)
{
    taker.take(entry.head);
    std::uint64_t added = 0;
    const ArchiveFault fault = entry.read_rest(whole_entry_limit, [&](std::string_view piece) {
        added += piece.size();
        taker.take(piece);
    });
    taker.end(fault == ArchiveFault::none);
    return added;
}

} // namespace

ArchiveFault read_archive(const std::string& path, const std::function<void(const ArchiveEntry&)>& visit)
{
    ArchivePass pass(path, archive_kind_of_file(path));
    std::vector<unsigned char> head(entry_head_length);
    ArchiveEntry entry;
    std::uint64_t done = 0; // the bytes read of the entry in hand
    entry.read_rest = [&](std::uint64_t limit, const PieceSink& sink) { return stream_rest(pass, done, limit, sink); };
    while (pass.next(entry)) {
        done = pass.read(head.data(), head.size());
        if (pass.fault() != ArchiveFault::none)
            break;
        entry.head = std::string_view(reinterpret_cast<const char*>(head.data()), done);
        visit(entry);
        if (pass.fault() != ArchiveFault::none || pass.single_entry() || !pass.charge_rest(entry, done))
            break;
    }
    return pass.fault();
}

ArchiveFault stream_entry(
    const std::string& path, const std::string& entry_name, std::uint64_t limit, const PieceSink& sink)
{
    ArchivePass pass(path, archive_kind_of_file(path));
    ArchiveEntry entry;
    while (pass.next(entry)) {
        if (entry.name == entry_name) {
            std::uint64_t done = 0;
            return stream_rest(pass, done, limit, sink);
        }
        if (!pass.charge_rest(entry, 0))
            break;
    }
    return pass.fault() == ArchiveFault::none ? ArchiveFault::missing : pass.fault();
}

ArchiveAnalysis analyse_archive(const std::string& path, bool keep_heads, WholeEntryTaker* taker)
{
    ArchiveAnalysis result;
    result.kind = archive_kind_of_file(path);
    if (result.kind == ArchiveKind::none)
        return result;
    if (keep_heads)
        result.identity = identity_of(path);
    std::size_t entries = 0;
    std::uint64_t taken = 0; // what whole entries added to the pass
    std::set<std::string> names;
    bool name_repeated = false; // an entry is then known by its name only ambiguously
    result.fault = read_archive(path, [&](const ArchiveEntry& entry) {
        result.kind = entry.kind;
        name_repeated = !names.insert(entry.name).second || name_repeated;
        if (++entries > 1)
            result.lone_rejected.reset();
        if (archive_kind(entry.head) != ArchiveKind::none)
            return; // an archive inside an archive is never opened
        const auto read = [&](std::uint64_t offset, unsigned char* target, std::size_t count) {
            std::memset(target, 0, count);
            if (offset < entry.head.size())
                std::memcpy(
                    target, entry.head.data() + offset, std::min<std::size_t>(count, entry.head.size() - offset));
        };
        RomAnalysis analysis = analyse_image(read, std::max<std::uint64_t>(entry.length, entry.head.size()));
        if (taker && (analysis.Rom_ok || entries == 1) && taken <= skip_budget
            && taker->wants(entry.name, analysis, entry.head))
            taken += take_whole(entry, *taker);
        if (analysis.Rom_ok)
            result.images.push_back({entry.name, std::move(analysis), keep_heads ? std::string(entry.head) : ""});
        else if (entries == 1)
            result.lone_rejected = {entry.name, std::move(analysis), keep_heads ? std::string(entry.head) : ""};
    });
    if (result.fault == ArchiveFault::none && name_repeated)
        result.fault = ArchiveFault::ambiguous;
    return result;
}

FileAnalysis analyse_file(const std::string& path, bool archives, AnalysedFile* analysed, WholeEntryTaker* taker)
{
    FileAnalysis file;
    ArchiveAnalysis archive = archives ? analyse_archive(path, analysed != nullptr, taker) : ArchiveAnalysis{};
    if (archive.kind == ArchiveKind::none) {
        file.analysis = analysed ? Analysiere_rom(path, *analysed) : Analysiere_rom(path);
        return file;
    }
    file.archive = archive.kind;
    file.archive_fault = archive.fault;
    file.images = archive.images.size();
    if (archive.fault == ArchiveFault::none && archive.images.size() == 1) {
        file.entry = archive.images[0].entry;
        file.analysis = std::move(archive.images[0].analysis);
        file.analysis.Endung = archive_name_extension(file.analysis.Endung, archive.kind);
        if (analysed)
            *analysed = AnalysedFile{archive.identity, std::move(archive.images[0].head)};
    } else if (analysed && archive.fault == ArchiveFault::none && archive.lone_rejected) {
        *analysed = AnalysedFile{archive.identity, std::move(archive.lone_rejected->head)};
        file.candidate = std::move(archive.lone_rejected);
    }
    return file;
}

std::string passed_over_reason(const FileAnalysis& file)
{
    if (file.archive_fault != ArchiveFault::none)
        return archive_fault_text(file.archive_fault);
    if (file.images > 1)
        return "archive holds " + std::to_string(file.images) + " images";
    return "";
}

std::string archive_name_extension(const std::string& Endung, ArchiveKind kind)
{
    return kind == ArchiveKind::gzip ? Endung + archive_extension(kind) : archive_extension(kind);
}

} // namespace cartonym
