// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/undo_scope.h"

#include "common/file_contents.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "naming/file_names.h"

#include <algorithm>

namespace cartonym {
namespace {

constexpr const char* outside_reason = "it lies outside the run's folder";
constexpr const char* output_folders[] = {renamed_folder_name, unknown_folder_name, duplicates_folder_name};

class RunScope {
public:
    explicit RunScope(const JournalContents& run)
        : prefix_(join_path(run.folder, "")) // the folder with one separator at its end
        , sidecar_(join_path(runs_folder(), run.name + saved_list_extension))
        , valid_(is_absolute_path(run.folder))
    { }

    // A name directly in the run's folder.
    bool is_entry_of_folder(const std::string& path) const
    {
        return valid_ && path.starts_with(prefix_) && is_plain_name(std::string_view(path).substr(prefix_.size()));
    }

    // One of the run's output folders.
    bool is_output_folder(const std::string& path) const
    {
        return valid_
            && std::ranges::any_of(output_folders, [&](const char* folder) { return path == prefix_ + folder; });
    }

    // A name in one of the output folders, which is a folder of its own
    // (not a link that could lead anywhere).
    bool is_in_output_folder(const std::string& path) const
    {
        const std::string folder = parent_folder(path);
        return is_plain_name(base_name(path)) && is_output_folder(folder) && entry_kind(folder) != EntryKind::link;
    }

    bool is_sidecar(const std::string& path) const { return path == sidecar_; }

private:
    std::string prefix_, sidecar_;
    bool valid_;
};

void refuse(UndoReport& report, const std::string& path, const std::string& place)
{
    report.problems.push_back({path, place, outside_reason});
}

// Keeps the folders that are output folders of the run.
std::vector<std::string> folders_in_scope(
    const std::vector<std::string>& folders, const RunScope& scope, UndoReport& report)
{
    std::vector<std::string> kept;
    for (const std::string& folder : folders) {
        if (scope.is_output_folder(folder))
            kept.push_back(folder);
        else
            refuse(report, folder, "");
    }
    return kept;
}

void keep_moves_in_scope(JournalContents& run, const RunScope& scope, UndoReport& report)
{
    std::erase_if(run.moves, [&](const MoveRecord& move) {
        const bool inside = scope.is_entry_of_folder(move.from) && scope.is_in_output_folder(move.to);
        if (!inside)
            refuse(report, move.to, move.from);
        return !inside;
    });
    std::erase_if(run.unconfirmed_links, [&](const auto& link) {
        const bool inside = scope.is_in_output_folder(link.first);
        if (!inside)
            refuse(report, link.first, "");
        return !inside;
    });
}

void keep_lists_and_logs_in_scope(JournalContents& run, const RunScope& scope, UndoReport& report)
{
    std::erase_if(run.logs, [&](const LogRecord& log) {
        const bool inside = scope.is_in_output_folder(log.path);
        if (!inside)
            refuse(report, log.path, "");
        return !inside;
    });
    if (run.game_list && !scope.is_in_output_folder(run.game_list->path)) {
        refuse(report, run.game_list->path, "");
        run.game_list.reset();
    }
    if (run.earlier_game_list
        && !(scope.is_in_output_folder(run.earlier_game_list->first)
            && scope.is_sidecar(run.earlier_game_list->second))) {
        refuse(report, run.earlier_game_list->second, run.earlier_game_list->first);
        run.earlier_game_list.reset();
    }
}

// An export's copies and the folders it made lie inside its target
// folder; that folder itself may be one it made.
JournalContents exported_in_scope(JournalContents& run, UndoReport& report)
{
    const bool valid = is_absolute_path(run.folder);
    const auto inside = [&](const std::string& path) {
        const std::string up = std::string(1, path_separator) + ".." + path_separator;
        return valid && is_inside_folder(path, join_path(run.folder, "")) && path.find(up) == std::string::npos;
    };
    const auto outside = [&](const std::string& path, bool may_be_folder) {
        const bool in_scope = inside(path) || (may_be_folder && valid && path == run.folder);
        if (!in_scope)
            refuse(report, path, "");
        return !in_scope;
    };
    std::erase_if(run.created, [&](const std::string& folder) { return outside(folder, true); });
    std::erase_if(run.copies, [&](const CopyRecord& copy) { return outside(copy.path, false); });
    run.moves.clear();
    run.logs.clear();
    run.earlier_folders.clear();
    run.unconfirmed_links.clear();
    run.reservations.clear();
    run.game_list.reset();
    run.earlier_game_list.reset();
    return run;
}

} // namespace

JournalContents records_in_scope(const JournalContents& run, UndoReport& report)
{
    const RunScope scope(run);
    JournalContents kept = run;
    if (run.exported)
        return exported_in_scope(kept, report);
    kept.created = folders_in_scope(run.created, scope, report);
    kept.earlier_folders = folders_in_scope(run.earlier_folders, scope, report);
    keep_moves_in_scope(kept, scope, report);
    std::erase_if(kept.reservations,
        [&](const std::string& path) { return !scope.is_in_output_folder(path) && !scope.is_entry_of_folder(path); });
    keep_lists_and_logs_in_scope(kept, scope, report);
    return kept;
}

} // namespace cartonym
