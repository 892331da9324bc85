// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/batch_filer.h"

#include "common/file_operations.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "naming/file_names.h"
#include "operations/folder_listing.h"
#include "reports/unknown_log.h"

#include <set>

namespace cartonym {
namespace {

class DiskFiler : public Filer {
public:
    explicit DiskFiler(RunRecorder* recorder)
        : recorder_(recorder)
    { }

    void create_output_folder(const std::string& path) override
    {
        create_folder(path);
        if (recorder_)
            recorder_->folder_created(path);
    }

    void clear_leftovers(const std::string& folder) override { remove_leftovers_of_ended_moves(folder); }

    void move(const std::string& from, const std::string& to, bool may_be_link) override
    {
        if (recorder_)
            recorder_->moving(from, to);
        try {
            move_file(from, to, may_be_link, [this](const std::string& target) {
                if (recorder_)
                    recorder_->reserving(target);
            });
        } catch (const Error& error) {
            if (recorder_)
                recorder_->move_failed(from, to, error.number());
            throw;
        }
        if (recorder_)
            recorder_->moved(from, to);
    }

    // The fresh link is recorded, made without replacing anything, then the
    // old link removed.
    void move_link(const std::string& from, const std::string& to, const std::string& image) override
    {
        const std::string new_target = resolved_path(image);
        if (entry_exists(to))
            throw Error(ErrorNumber::file_already_exists);
        if (recorder_)
            recorder_->link_making(to, new_target);
        if (const SystemResult made = create_link(new_target, to); !made.done()) {
            if (recorder_)
                recorder_->move_failed(from, to, made.number);
            made.raise();
        }
        if (recorder_)
            recorder_->moving(from, to);
        remove_link(from);
    }

    void append_log_entry(const std::string& log_folder, const std::string& file, const RomAnalysis& analysis) override
    {
        if (recorder_)
            recorder_->log_appending(join_path(log_folder, unknown_log_name));
        Schreibe_unbekannt(log_folder, escaped_file_name(file), analysis.Dateityp_text, analysis.Interner_name,
            analysis.Land_text, analysis.CRC1_text);
    }

    // Gone already is fine: the folder could not be made because a file
    // held its name, and that file has been filed away by the run.
    void remove_output_folder(const std::string& path) override
    {
        unless_gone([&] { remove_folder(path); });
    }

    void begin_game_list() override { list_.Schreibe_listenkopf(); }

    void add_game(const GameListRow& row) override
    {
        if (list_.is_open())
            list_.Schreibe_listenzeile(row);
    }

    void end_game_list(const std::string& F, const std::string& placed, bool any_image) override
    {
        list_.Schreibe_listenende(F);
        if (recorder_ && any_image && entry_exists(placed))
            recorder_->game_list_placed(placed);
    }

    void remove_game_list(const std::string& path) override
    {
        if (recorder_ && entry_exists(path))
            recorder_->game_list_removing(path);
        unless_gone([&] { delete_file(path); });
    }

    void drop_game_list() override { list_.close(); }

private:
    // Runs a removal; a name gone already (53) is no failure, nor one whose
    // folder has gone too (76: what Windows says where POSIX says 53).
    template <typename Removal> static void unless_gone(Removal&& removal)
    {
        try {
            removal();
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::file_not_found && error.number() != ErrorNumber::path_not_found)
                throw;
        }
    }

    RunRecorder* recorder_;
    GameList list_;
};

class DryFiler : public Filer {
public:
    explicit DryFiler(const std::string& folder)
        : folds_case_(folds_letter_case(folder))
    { }

    void create_output_folder(const std::string& path) override
    {
        if (entry_exists(path))
            throw Error(ErrorNumber::path_file_access_error);
        created_.insert(path);
    }

    void move(const std::string& from, const std::string& to, bool) override
    {
        const std::string folder = parent_folder(to);
        if (!created_.contains(folder)) {
            const EntryKind kind = entry_kind(folder);
            if (kind == EntryKind::missing)
                throw Error(ErrorNumber::file_not_found);
            if (kind != EntryKind::folder && !(kind == EntryKind::link && is_folder(folder)))
                throw Error(ErrorNumber::path_not_found);
        }
        // On a volume that folds case, names differing only in letter case clash.
        const auto key = [&](const std::string& path) { return folds_case_ ? ascii_lower(path) : path; };
        if (taken_.contains(key(to)) || (entry_exists(to) && !vacated_.contains(key(to))))
            throw Error(ErrorNumber::file_already_exists);
        taken_.insert(key(to));
        vacated_.insert(key(from));
        taken_.erase(key(from));
    }

    void move_link(const std::string& from, const std::string& to, const std::string&) override
    {
        move(from, to, true);
    }

    void clear_leftovers(const std::string&) override { }
    void append_log_entry(const std::string&, const std::string&, const RomAnalysis&) override { }
    void remove_output_folder(const std::string&) override { }
    void begin_game_list() override { }
    void add_game(const GameListRow&) override { }
    void end_game_list(const std::string&, const std::string&, bool) override { }
    void remove_game_list(const std::string&) override { }
    void drop_game_list() override { }

private:
    bool folds_case_;
    std::set<std::string> created_, taken_, vacated_;
};

} // namespace

std::unique_ptr<Filer> filer_for(const BatchOptions& options)
{
    if (options.dry_run)
        return std::make_unique<DryFiler>(options.folder);
    return std::make_unique<DiskFiler>(options.recorder);
}

} // namespace cartonym
