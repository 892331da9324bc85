// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/export_plan.h"

#include "common/error.h"
#include "common/file_operations.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "database_tools/catalogue_tier.h"
#include "naming/file_names.h"
#include "operations/companions.h"
#include "operations/file_mode.h"
#include "operations/folder_listing.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

namespace cartonym {

void stream_source(const CopySource& source, const PieceSink& sink, std::size_t piece_size)
{
    std::uint64_t skipped = 0;
    const auto after_skip = [&](std::string_view piece) {
        const std::uint64_t drop = std::min<std::uint64_t>(source.skip - skipped, piece.size());
        skipped += drop;
        if (drop < piece.size())
            sink(piece.substr(static_cast<std::size_t>(drop)));
    };
    if (!source.entry.empty()) {
        if (stream_entry(source.path, source.entry, whole_entry_limit, after_skip) != ArchiveFault::none)
            throw Error(ErrorNumber::bad_file_name, source.path + ": the archive's image cannot be read whole");
        return;
    }
    const ReadableFile file(source.path);
    const auto buffer = std::make_unique_for_overwrite<char[]>(piece_size);
    for (std::uint64_t offset = 0; offset < file.length();) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece_size, file.length() - offset));
        file.read_at(offset, reinterpret_cast<unsigned char*>(buffer.get()), n);
        after_skip(std::string_view(buffer.get(), n));
        offset += n;
    }
}

ContentDigest source_digest(const CopySource& source)
{
    ContentHasher hasher;
    stream_source(source, [&](std::string_view piece) {
        hasher.update(reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
    });
    return hasher.finish();
}

bool matches_entry(const ContentDigest& digest, const CatalogueEntry& entry)
{
    if (entry.sha1)
        return digest.sha1 == *entry.sha1;
    return entry.crc32 && digest.crc32 == *entry.crc32 && digest.size == entry.size;
}

namespace {

// A path below a folder: its parts joined with the system's separator,
// empty parts left out; a part may hold "/" between names.
std::string relative_path(const std::vector<std::string>& parts)
{
    std::string path;
    for (std::string part : parts) {
        if (part.empty())
            continue;
        std::ranges::replace(part, '/', path_separator);
        path = path.empty() ? part : path + path_separator + part;
    }
    return path;
}

// The name an image gets, its label and its game, from the catalogue that
// verified it, else from the name database; an unknown image keeps its
// own file name (an archive's image its entry's).
void name_image(PlannedImage& image, const RomAnalysis& analysis, const Verification& verification,
    const ExportOptions& options, bool& clone_data)
{
    ExportItem& item = image.item;
    std::string file_name;
    if (verification.entry) {
        image.entry = verification.entry;
        item.identified_by = IdentifiedBy::catalogue;
        item.name = verification.entry->game_name;
        file_name = verified_file_name(verification.entry->rom_name, analysis, verification.without_first_512, false);
        const bool clones = verification.catalogue && verification.catalogue->catalogue.has_clones();
        clone_data = clone_data || clones;
        item.group = group_key(item.name, clones ? std::optional(verification.entry->parent) : std::nullopt);
        return void(item.target = file_name);
    }
    const FileSelection selection = select_analysed(analysis, options.database_path, false);
    if (selection.state == SelectionState::known) {
        item.identified_by = IdentifiedBy::database;
        item.name = utf8_from_cp1252(selection.names.Voller_name);
        item.group = group_key(item.name, std::nullopt);
        file_name = file_system_name(selection.names.Neuer_name);
    } else {
        item.action = ExportAction::unknown;
        file_name = base_name(image.source.entry.empty() ? image.source.path : image.source.entry);
    }
    item.target = file_name;
}

// An image of the source folder identified and named (its target, for
// now, its file name alone); nullopt for a file that is no image.
std::optional<PlannedImage> identify_for_export(const std::string& path, const std::string& relative,
    const ExportOptions& options, bool headerless, bool& clone_data)
{
    PlannedImage image;
    image.item.source = relative;
    image.source.path = path;
    try {
        const LookedAtFile look = look_at_file(path, options.archives, options.catalogues);
        const Verification verification =
            options.catalogues ? options.catalogues->verify_file(path, look, false) : Verification{};
        const FileAnalysis& file = look.file;
        if (!verification.entry && !file.analysis.Rom_ok)
            return std::nullopt;
        if (file.archive != ArchiveKind::none)
            image.source.entry = !file.analysis.Rom_ok && file.candidate ? file.candidate->entry : file.entry;
        image.item.entry = image.source.entry;
        name_image(image, file.analysis, verification, options, clone_data);
        const std::uint64_t header = verification.without_first_512 ? 512
            : file.analysis.Rom_ok                                  ? copier_header_length(file.analysis)
                                                                    : 0;
        image.source.skip = headerless ? header : 0;
        image.data_start = header - image.source.skip;
        image.item.headerless_copy = headerless && header > 0;
        if (headerless)
            image.item.target = name_without_extension(image.item.target) + ".sfc";
        if (!is_plain_file_name(image.item.target))
            throw Error(ErrorNumber::bad_file_name);
    } catch (const Error& error) {
        image.item.action = ExportAction::failed;
        image.item.reason = error.description();
        image.item.target.clear();
    }
    return image;
}

// The images of one folder, each with its companions.
void plan_folder(const std::string& folder, const std::string& relative, const ExportOptions& options, bool headerless,
    ExportPlan& plan)
{
    const std::vector<std::string> names = list_files(folder);
    std::vector<std::optional<PlannedImage>> found;
    std::map<std::string, std::size_t> index_of;
    for (const std::string& name : names) {
        index_of[name] = found.size();
        found.push_back(identify_for_export(
            join_path(folder, name), relative_path({relative, name}), options, headerless, plan.grouped_by_clones));
    }
    std::optional<CompanionFinder> finder;
    if (options.companions)
        finder.emplace(names, folds_letter_case(folder),
            [&](const std::string& name) { return index_of.contains(name) && found[index_of[name]].has_value(); });
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (!found[index]) {
            plan.other_files += finder && finder->is_companion(names[index]) ? 0 : 1;
            continue;
        }
        PlannedImage& image = *found[index];
        for (const std::string& companion : finder ? finder->of(names[index]) : std::vector<std::string>{}) {
            image.companion_paths.push_back(join_path(folder, companion));
            image.item.companions.push_back(
                {relative_path({relative, companion}), finder->suffix_of(companion), ExportAction::copied});
        }
        plan.images.push_back(std::move(image));
    }
}

// Every folder below folder (links not followed), depth first, but the
// target folder and what lies below it.
void plan_tree(const std::string& folder, const std::string& relative, const std::string& target,
    const ExportOptions& options, bool headerless, ExportPlan& plan, int depth)
{
    plan_folder(folder, relative, options, headerless, plan);
    if (depth >= 32)
        return;
    for (const std::string& sub : list_subfolders(folder)) {
        const std::string path = join_path(folder, sub);
        if (resolved_path(path) != target)
            plan_tree(path, relative_path({relative, sub}), target, options, headerless, plan, depth + 1);
    }
}

void choose_one_per_game(ExportPlan& plan, const SelectionRules& rules)
{
    std::vector<SelectionCandidate> candidates;
    std::vector<std::size_t> at;
    for (std::size_t index = 0; index < plan.images.size(); ++index) {
        const ExportItem& item = plan.images[index].item;
        if (item.action != ExportAction::copied || item.name.empty())
            continue;
        candidates.push_back({item.name, item.group});
        at.push_back(index);
    }
    const std::vector<SelectionOutcome> outcomes = select_one_per_game(candidates, rules);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        if (outcomes[i] == SelectionOutcome::chosen)
            continue;
        ExportItem& item = plan.images[at[i]].item;
        item.action =
            outcomes[i] == SelectionOutcome::kind_left_out ? ExportAction::kind_left_out : ExportAction::other_chosen;
        item.target.clear();
    }
}

// Gives each image to copy its folder in the layout and takes a name a
// second image would get as its duplicate.
void place_in_layout(ExportPlan& plan, const ExportOptions& options)
{
    std::vector<std::size_t> placed;
    for (std::size_t index = 0; index < plan.images.size(); ++index)
        if (plan.images[index].item.action == ExportAction::copied)
            placed.push_back(index);
    std::ranges::stable_sort(placed, {}, [&](std::size_t index) { return plan.images[index].item.target; });
    std::vector<std::string> names, letters;
    for (const std::size_t index : placed)
        names.push_back(plan.images[index].item.target);
    if (plan.layout->letter_folders)
        letters = letter_folders(names, options.per_folder);
    std::map<std::string, std::string> taken; // target folded to lower case -> its image
    for (std::size_t i = 0; i < placed.size(); ++i) {
        ExportItem& item = plan.images[placed[i]].item;
        const std::string file_name = item.target;
        item.target = relative_path({plan.layout->folder, letters.empty() ? "" : letters[i], file_name});
        const auto [first, added] = taken.try_emplace(ascii_lower(item.target), item.source);
        if (!added) {
            item.action = ExportAction::duplicate;
            item.reason = "the set's image " + first->second + " has that name";
            item.target.clear();
            continue;
        }
        for (ExportCompanion& companion : item.companions)
            companion.target = relative_path({plan.layout->folder, letters.empty() ? "" : letters[i],
                companion_name_for(file_name, companion.target)});
    }
}

// What a target already there means: the same bytes are kept, anything
// else clashes and is left alone. The digest is the target's when kept.
struct ExistingTarget {
    ExportAction action = ExportAction::copied;
    ContentDigest digest;
};

ExistingTarget existing_target(const std::string& target, const std::function<ContentDigest()>& expected)
{
    if (!entry_exists(target))
        return {};
    if (entry_kind(target) != EntryKind::regular_file)
        return {ExportAction::clash, {}};
    try {
        const ContentDigest there = digest_of_file(target, 0);
        return {there == expected() ? ExportAction::kept : ExportAction::clash, there};
    } catch (const Error&) {
        return {ExportAction::clash, {}};
    }
}

void decide_existing(PlannedImage& image, const std::string& to)
{
    ExportItem& item = image.item;
    image.target_path = join_path(to, item.target);
    const ExistingTarget existing = existing_target(image.target_path, [&] { return source_digest(image.source); });
    item.action = existing.action;
    image.crc32 = existing.digest.crc32;
    if (item.action == ExportAction::clash)
        item.reason = "another file has that name";
    for (std::size_t i = 0; i < item.companions.size(); ++i)
        item.companions[i].action = existing_target(join_path(to, item.companions[i].target), [&] {
            return digest_of_file(image.companion_paths[i], 0);
        }).action;
}

} // namespace

ExportPlan plan_export(const ExportOptions& options, const ExportLayout& layout)
{
    ExportPlan plan;
    plan.layout = &layout;
    const bool headerless = options.headerless.value_or(layout.headerless);
    plan_tree(options.from, "", resolved_as_far_as_it_exists(options.to), options, headerless, plan, 0);
    for (PlannedImage& image : plan.images)
        if (image.item.action == ExportAction::unknown && options.include_unknown)
            image.item.action = ExportAction::copied;
    if (options.one_per_game)
        choose_one_per_game(plan, options.rules);
    for (PlannedImage& image : plan.images)
        if (image.item.action == ExportAction::unknown)
            image.item.target.clear();
    place_in_layout(plan, options);
    std::set<std::string> folders;
    for (PlannedImage& image : plan.images) {
        if (image.item.action != ExportAction::copied)
            continue;
        decide_existing(image, options.to);
        for (std::string folder = parent_folder(image.item.target); !folder.empty() && folder != ".";
             folder = parent_folder(folder))
            folders.insert(folder);
    }
    if (*layout.side_path != '\0')
        for (std::string folder = parent_folder(relative_path({layout.side_path})); !folder.empty() && folder != ".";
             folder = parent_folder(folder))
            folders.insert(folder);
    plan.folders.assign(folders.begin(), folders.end());
    std::ranges::stable_sort(plan.folders, {}, &std::string::size);
    return plan;
}

} // namespace cartonym
