// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/batch_companions.h"

#include "common/file_operations.h"
#include "common/paths.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "database_tools/catalogue_tier.h"

namespace cartonym {

CompanionFinder find_companions_of_images(
    const std::string& folder, const std::vector<ListedFile>& files, bool archives)
{
    std::vector<std::string> names;
    names.reserve(files.size());
    for (const ListedFile& file : files)
        names.push_back(file.name);
    const auto is_image = [&](const std::string& name) {
        const std::string path = join_path(folder, name);
        try {
            return entry_kind(path) == EntryKind::link || look_at_file(path, archives, nullptr).file.analysis.Rom_ok;
        } catch (const Error&) {
            return true;
        }
    };
    return CompanionFinder(names, folds_letter_case(folder), is_image);
}

std::vector<CompanionMove> move_companions_of(Filer& filer, const CompanionFinder& finder, const std::string& folder,
    const std::string& image, const std::string& destination)
{
    std::vector<CompanionMove> moves;
    for (const std::string& companion : finder.of(image)) {
        CompanionMove& move = moves.emplace_back(CompanionMove{companion, "", CompanionOutcome::image_stayed});
        if (destination.empty())
            continue;
        const std::string to = join_path(
            parent_folder(destination), companion_name_for(base_name(destination), finder.suffix_of(companion)));
        move.to = to;
        try {
            filer.move(join_path(folder, companion), to, false);
            move.outcome = CompanionOutcome::moved;
        } catch (const Error& error) {
            const ErrorNumber number = error.number();
            if (number != ErrorNumber::file_already_exists && number != ErrorNumber::path_file_access_error)
                throw;
            move.outcome = number == ErrorNumber::file_already_exists ? CompanionOutcome::name_taken
                                                                      : CompanionOutcome::passed_over;
        }
    }
    return moves;
}

namespace {

// The finder over the files of folder that may belong to the file name.
CompanionFinder finder_for(const std::string& folder, const std::string& name, bool archives)
{
    const bool folds = folds_letter_case(folder);
    const auto folded = [folds](const std::string& text) { return folds ? ascii_lower(text) : text; };
    const std::string base = folded(name_without_extension(name));
    std::vector<ListedFile> files = list_file_entries(folder);
    std::erase_if(files, [&](const ListedFile& file) { return !folded(file.name).starts_with(base); });
    return find_companions_of_images(folder, files, archives);
}

} // namespace

std::vector<std::string> companions_in_folder(const std::string& folder, const std::string& name, bool archives)
{
    return finder_for(folder, name, archives).of(name);
}

std::vector<CompanionMove> rename_companions(const std::string& folder, const std::string& old_name,
    const std::string& new_name, const std::vector<std::string>& companions)
{
    // The image has its new name already: the companions found before are
    // told the finder beside a file of the old name.
    std::vector<std::string> names = {old_name};
    names.insert(names.end(), companions.begin(), companions.end());
    const CompanionFinder finder(names, folds_letter_case(folder), [](const std::string&) { return false; });
    const auto filer = filer_for(BatchOptions());
    return move_companions_of(*filer, finder, folder, old_name, join_path(folder, new_name));
}

} // namespace cartonym
