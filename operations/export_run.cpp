// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/export_run.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/file_operations.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "operations/companions.h"
#include "operations/export_plan.h"
#include "operations/folder_listing.h"
#include "operations/journal_format.h"
#include "operations/run_journal.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <future>
#include <memory>
#include <optional>
#include <set>

namespace cartonym {

const char* export_action_name(ExportAction action, bool dry_run)
{
    constexpr const char* names[] = {"copied", "kept", "clash", "read_back_wrong", "failed", "duplicate", "unknown",
        "other_chosen", "kind_left_out"};
    if (dry_run && action == ExportAction::copied)
        return "copy";
    return names[static_cast<int>(action)];
}

const char* side_file_action_name(SideFileAction action, bool dry_run)
{
    constexpr const char* names[] = {"none", "placed", "kept", "differs_kept", "failed"};
    if (dry_run && action == SideFileAction::placed)
        return "place";
    return names[static_cast<int>(action)];
}

namespace {

// The bytes a copy gets, hashed as they are written: all of them, and
// where a copier header is kept the cartridge data after it.
struct CopyHashes {
    ContentHasher all;
    std::optional<ContentHasher> data;
    std::uint64_t data_start = 0, at = 0;

    CopyHashes(DigestKinds kinds, std::uint64_t data_from, bool with_data)
        : all(kinds)
        , data_start(data_from)
    {
        if (with_data)
            data.emplace(DigestKinds{kinds.sha1, kinds.crc32, false});
    }

    void update(std::string_view piece)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
        all.update(bytes, piece.size());
        if (data && at + piece.size() > data_start) {
            const std::uint64_t from = data_start > at ? data_start - at : 0;
            data->update(bytes + from, piece.size() - static_cast<std::size_t>(from));
        }
        at += piece.size();
    }
};

// Writes the bytes of source to file; returns how many.
std::uint64_t write_copy(const CopySource& source, WorkingFile& file)
{
    if (source.entry.empty()) {
        const ReadableFile image(source.path);
        if (image.length() >= source.skip && file.copy_from(image, source.skip, image.length() - source.skip))
            return image.length() - source.skip;
    }
    std::uint64_t count = 0;
    stream_source(source, [&](std::string_view piece) {
        file.write(piece);
        count += piece.size();
    });
    return count;
}

// The digest of the copy at path, read back, when it holds exactly the
// bytes of source and, for a verified image, the catalogue's; nullopt when
// it does not. Runs on the checking thread too: it touches nothing shared.
std::optional<ContentDigest> checked_digest(const CopySource& source, const std::string& path,
    const CatalogueEntry* entry, std::uint64_t data_start, DigestKinds kinds)
{
    CopyHashes hashes(kinds, data_start, entry && data_start > 0);
    const ReadableFile copy(path);
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
    std::uint64_t at = 0;
    bool same = true;
    // Pieces small enough that a piece of each file stays in the
    // processor's cache from the read through the comparison and the sums.
    constexpr std::size_t piece_size = 256 * 1024;
    stream_source(
        source,
        [&](std::string_view piece) {
            if (piece.size() > capacity)
                buffer = std::make_unique_for_overwrite<char[]>(capacity = piece.size());
            same = same && at + piece.size() <= copy.length();
            if (!same)
                return;
            copy.read_at(at, reinterpret_cast<unsigned char*>(buffer.get()), piece.size());
            same = same && std::memcmp(buffer.get(), piece.data(), piece.size()) == 0;
            hashes.update({buffer.get(), piece.size()});
            at += piece.size();
        },
        piece_size);
    if (!same || at != copy.length())
        return std::nullopt;
    const ContentDigest written = hashes.all.finish();
    if (entry && !matches_entry(hashes.data ? hashes.data->finish() : written, *entry))
        return std::nullopt;
    return written;
}

// An image's copy under its private name until it is checked and placed.
struct WrittenCopy {
    PlannedImage* image;
    std::unique_ptr<WorkingFile> file;
    DigestKinds kinds;
    std::optional<ContentDigest> digest; // the check's: the copy found right
    std::exception_ptr failure;          // the check's Error
};

// Copies written one after another, then flushed together and checked on
// the checking thread while the next batch is written. The check goes
// first when a batch is destroyed, so the thread has finished with the
// files before they are removed.
struct PendingBatch {
    std::vector<WrittenCopy> copies;
    std::uint64_t bytes = 0;
    std::future<void> check;

    // A batch is checked once it holds this many copies or bytes: few
    // enough that a stop or a kill leaves little unplaced.
    bool full() const { return copies.size() >= 32 || bytes >= (std::uint64_t{64} << 20); }
};

// Flushes the batch's copies, one flush of their file system first (cheaper
// than one for each of many new files), then each file's own, and checks
// each against its source.
void check_batch(std::vector<WrittenCopy>& copies)
{
    if (!copies.empty())
        copies.front().file->flush_file_system();
    for (WrittenCopy& copy : copies) {
        try {
            copy.file->finish();
            copy.digest = checked_digest(
                copy.image->source, copy.file->path(), copy.image->entry, copy.image->data_start, copy.kinds);
        } catch (const Error&) {
            copy.failure = std::current_exception();
        }
    }
}

class Exporter {
public:
    Exporter(const ExportRun& run, const ExportLayout& layout, ExportResult& result)
        : options_(run.options)
        , observer_(run.observer)
        , layout_(layout)
        , result_(result)
    { }

    void run()
    {
        plan_ = plan_export(options_, layout_);
        result_.grouped_by_clones = plan_.grouped_by_clones;
        result_.other_files = plan_.other_files;
        if (!options_.dry_run)
            copy_all();
        side_file();
        finish_journal();
        for (PlannedImage& image : plan_.images)
            result_.items.push_back(std::move(image.item));
        count();
    }

private:
    void open_journal()
    {
        if (!options_.journal)
            return;
        try {
            journal_.emplace(options_.to, RunJournal::Export{});
        } catch (const JournalUnavailable& trouble) {
            result_.journal_issue = trouble.what();
        }
    }

    // The folders the copies need, each made and recorded (an existing one
    // is used as it is); private files that stopped exports left go.
    void make_folders()
    {
        for (const std::string& relative : plan_.folders) {
            const std::string folder = join_path(options_.to, relative);
            if (entry_kind(folder) == EntryKind::missing) {
                create_folder(folder);
                if (journal_)
                    journal_->folder_created(folder);
            }
            remove_leftovers_of_ended_moves(folder);
        }
        remove_leftovers_of_ended_moves(options_.to);
    }

    void copy_all()
    {
        // A set's folder the export makes is recorded, so that undo takes
        // it away again when it leaves it empty (folders above it stay).
        const bool made_set_folder = !entry_exists(options_.to);
        if (made_set_folder)
            create_missing_folders(options_.to);
        open_journal();
        if (made_set_folder && journal_)
            journal_->folder_created(options_.to);
        make_folders();
        ExportProgress progress;
        for (const PlannedImage& image : plan_.images) {
            if (image.item.action == ExportAction::copied) {
                ++progress.total;
                progress.total_bytes += identity_of(image.source.path).size - image.source.skip;
            }
        }
        // The images are written a batch at a time: while one batch is
        // flushed and read back on a second thread, the next is written.
        auto writing = std::make_unique<PendingBatch>();
        std::unique_ptr<PendingBatch> checking;
        const auto hand_over = [&] {
            if (checking)
                place_batch(*checking, progress);
            checking = std::move(writing);
            checking->check = std::async(std::launch::async, [&copies = checking->copies] { check_batch(copies); });
            writing = std::make_unique<PendingBatch>();
        };
        for (PlannedImage& image : plan_.images) {
            // The companions of an image kept (a stopped export's, say) may still be missing.
            if (image.item.action == ExportAction::kept)
                copy_companions(image);
            if (image.item.action != ExportAction::copied)
                continue;
            if (result_.outcome == ExportOutcome::interrupted
                || (observer_.stop_requested && observer_.stop_requested())) {
                // The images after a stop are not copied.
                result_.outcome = ExportOutcome::interrupted;
                ++stopped_;
                image.item.action = ExportAction::failed;
                image.item.reason = "the export was stopped before its copy";
                continue;
            }
            if (!write_copy_of(image, *writing))
                report(progress, image.item);
            else if (writing->full())
                hand_over();
        }
        hand_over();
        place_batch(*checking, progress);
    }

    void report(ExportProgress& progress, const ExportItem& item)
    {
        ++progress.done;
        progress.bytes += item.size;
        progress.file = item.source;
        if (observer_.progress)
            observer_.progress(progress);
    }

    void finish_journal()
    {
        for (const std::string& folder : unsynced_folders_)
            sync_folder(folder);
        if (!journal_)
            return;
        if (result_.outcome == ExportOutcome::interrupted)
            journal_->interrupted();
        journal_->finished();
        // A journal of an export that copied nothing is discarded: no run to undo.
        if (!journal_->path().empty())
            result_.run_name = journal_->name();
        if (journal_->failure())
            result_.journal_issue = journal_->failure()->what();
    }

    // A companion's copy, written, flushed, checked and placed at once.
    ExportAction copy_file(const CopySource& source, const std::string& target)
    {
        const CheckedPlacement placed = place_checked_file(
            target, [&](WorkingFile& file) { write_copy(source, file); },
            [&](const std::string& path) {
                const std::optional<ContentDigest> written =
                    checked_digest(source, path, nullptr, 0, {false, false, true});
                if (written && journal_)
                    journal_->copying(target, written->size, copy_digest_text(*written));
                return written.has_value();
            },
            FolderSync::later);
        if (placed == CheckedPlacement::placed && journal_)
            journal_->copied(target);
        if (placed == CheckedPlacement::placed)
            unsynced_folders_.insert(parent_folder(target));
        return placed == CheckedPlacement::placed       ? ExportAction::copied
            : placed == CheckedPlacement::target_exists ? ExportAction::clash
                                                        : ExportAction::read_back_wrong;
    }

    // The sums a copy's check takes: the journal's quick one always, the
    // SHA-1 only for a catalogue entry that lists one, the CRC-32 only where
    // a playlist names it or a catalogue entry may list it alone.
    DigestKinds digest_kinds(const PlannedImage& image) const
    {
        return {image.entry && image.entry->sha1, image.entry || layout_.side_file != SideFile::none, true};
    }

    // Writes an image's copy under a private name into batch; false when
    // there is nothing to check (the target taken, a failure: the item says so).
    bool write_copy_of(PlannedImage& image, PendingBatch& batch)
    {
        try {
            if (entry_exists(image.target_path)) {
                refuse(image.item, ExportAction::clash);
                return false;
            }
            auto file = std::make_unique<WorkingFile>(private_copy_template(parent_folder(image.target_path)));
            batch.bytes += write_copy(image.source, *file);
            batch.copies.push_back({&image, std::move(file), digest_kinds(image), std::nullopt, nullptr});
            return true;
        } catch (const RecordingFailure&) {
            throw;
        } catch (const Error& error) {
            refuse(image.item, ExportAction::failed, error.description());
            return false;
        }
    }

    // Places the copies of a batch in order once it is checked.
    void place_batch(PendingBatch& batch, ExportProgress& progress)
    {
        batch.check.get();
        for (WrittenCopy& copy : batch.copies) {
            place_copy(copy);
            report(progress, copy.image->item);
        }
    }

    // Places a copy found right, with its companions.
    void place_copy(WrittenCopy& copy)
    {
        PlannedImage& image = *copy.image;
        const std::string& target = image.target_path;
        try {
            if (copy.failure)
                std::rethrow_exception(copy.failure);
            if (!copy.digest)
                return refuse(image.item, ExportAction::read_back_wrong);
            if (journal_)
                journal_->copying(target, copy.digest->size, copy_digest_text(*copy.digest));
            copy.file->place(target);
        } catch (const RecordingFailure&) {
            throw;
        } catch (const Error& error) {
            if (error.number() == ErrorNumber::file_already_exists)
                return refuse(image.item, ExportAction::clash);
            return refuse(image.item, ExportAction::failed, error.description());
        }
        if (journal_)
            journal_->copied(target);
        unsynced_folders_.insert(parent_folder(target));
        image.item.size = copy.digest->size;
        result_.bytes_copied += copy.digest->size;
        image.crc32 = copy.digest->crc32;
        copy_companions(image);
    }

    static void refuse(ExportItem& item, ExportAction action, std::string reason = {})
    {
        item.action = action;
        item.reason = action == ExportAction::read_back_wrong ? "the copy read back differs from its source"
            : action == ExportAction::clash                   ? "another file has that name"
                                                              : std::move(reason);
    }

    void copy_companions(PlannedImage& image)
    {
        ExportItem& item = image.item;
        for (std::size_t i = 0; i < item.companions.size(); ++i) {
            ExportCompanion& companion = item.companions[i];
            if (companion.action != ExportAction::copied)
                continue;
            try {
                companion.action =
                    copy_file({image.companion_paths[i], "", 0}, join_path(options_.to, companion.target));
            } catch (const RecordingFailure&) {
                throw;
            } catch (const Error&) {
                companion.action = ExportAction::failed;
            }
        }
    }

    // The entries of the side file: every image of the set in place.
    std::vector<SideEntry> side_entries()
    {
        const std::string to = resolved_as_far_as_it_exists(options_.to);
        const std::string prefix = layout_.folder;
        std::vector<SideEntry> entries;
        for (PlannedImage& image : plan_.images) {
            const ExportItem& item = image.item;
            if (item.action != ExportAction::copied && item.action != ExportAction::kept)
                continue;
            if (options_.dry_run && item.action == ExportAction::copied)
                image.crc32 = source_digest(image.source).crc32;
            std::string within =
                item.target.substr(std::min(item.target.size(), prefix.size() + (prefix.empty() ? 0 : 1)));
            std::ranges::replace(within, path_separator, '/');
            const std::string label = item.name.empty() ? name_without_extension(base_name(item.target)) : item.name;
            entries.push_back({layout_.side_file == SideFile::es_de_game_list ? within : join_path(to, item.target),
                label, image.crc32});
        }
        std::ranges::stable_sort(entries, {}, &SideEntry::label);
        return entries;
    }

    void side_file()
    {
        if (layout_.side_file == SideFile::none)
            return;
        std::string relative = layout_.side_path;
        std::ranges::replace(relative, '/', path_separator);
        result_.side_file = relative;
        const std::string path = join_path(options_.to, relative);
        try {
            if (options_.dry_run && !entry_exists(path))
                return void(result_.side_file_action = SideFileAction::placed);
            const std::vector<SideEntry> entries = side_entries();
            const std::string text = layout_.side_file == SideFile::retroarch_playlist ? retroarch_playlist(entries)
                                                                                       : es_de_game_list(entries);
            result_.side_file_action = place_side_file(path, text);
        } catch (const RecordingFailure&) {
            throw;
        } catch (const Error&) {
            result_.side_file_action = SideFileAction::failed;
        }
    }

    // A side file already there is left as it is: kept when it says the
    // same, else reported (an earlier export's, say), never replaced.
    SideFileAction place_side_file(const std::string& path, const std::string& text)
    {
        if (entry_exists(path)) {
            const bool same = entry_kind(path) == EntryKind::regular_file && read_whole_file(path, 1 << 26) == text;
            return same ? SideFileAction::kept : SideFileAction::differs_kept;
        }
        if (options_.dry_run)
            return SideFileAction::placed;
        const CheckedPlacement placed = place_checked_file(
            path, [&](WorkingFile& file) { file.write(text); },
            [&](const std::string& written) {
                if (read_whole_file(written) != text)
                    return false;
                if (journal_) {
                    ContentHasher hasher({false, false, true});
                    hasher.update(reinterpret_cast<const unsigned char*>(text.data()), text.size());
                    journal_->copying(path, text.size(), copy_digest_text(hasher.finish()));
                }
                return true;
            });
        if (placed == CheckedPlacement::placed && journal_)
            journal_->copied(path);
        return placed == CheckedPlacement::placed ? SideFileAction::placed : SideFileAction::failed;
    }

    void count()
    {
        for (const ExportItem& item : result_.items) {
            switch (item.action) {
            case ExportAction::copied: ++result_.copied; break;
            case ExportAction::kept: ++result_.kept; break;
            case ExportAction::clash:
            case ExportAction::duplicate: ++result_.clashes; break;
            case ExportAction::read_back_wrong:
            case ExportAction::failed: ++result_.failed; break;
            case ExportAction::unknown: ++result_.unknown; break;
            case ExportAction::other_chosen:
            case ExportAction::kind_left_out: ++result_.left_out; break;
            }
        }
        if (result_.outcome == ExportOutcome::completed && result_.failed > stopped_)
            result_.outcome = ExportOutcome::failed;
    }

    const ExportOptions& options_;
    const ExportObserver& observer_;
    const ExportLayout& layout_;
    ExportResult& result_;
    ExportPlan plan_;
    std::optional<RunJournal> journal_;
    std::size_t stopped_ = 0; // images a stop left uncopied
    // Folders that copies were placed in: flushed once each at the end (a
    // copy a power cut takes away again is only copied anew; its source stays).
    std::set<std::string> unsynced_folders_;
};

} // namespace

ExportResult export_set(const ExportRun& run)
{
    ExportResult result;
    try {
        const ExportLayout* layout = find_layout(run.options.layout);
        if (!layout)
            throw Error(ErrorNumber::bad_file_name,
                "there is no layout called \"" + run.options.layout + "\" (there are " + layout_names() + ")");
        bool source_is_folder = false;
        try {
            source_is_folder = is_folder(run.options.from);
        } catch (const Error&) {
            source_is_folder = false;
        }
        if (!source_is_folder)
            throw Error(ErrorNumber::path_not_found, run.options.from + ": there is no such folder to export from");
        if (resolved_path(run.options.from) == resolved_as_far_as_it_exists(run.options.to))
            throw Error(ErrorNumber::bad_file_name, run.options.to + ": a set is exported into another folder");
        Exporter(run, *layout, result).run();
    } catch (const Error& error) {
        result.outcome = ExportOutcome::failed;
        result.error = error;
        result.message = error.what();
    }
    return result;
}

} // namespace cartonym
