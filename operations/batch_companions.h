// SPDX-License-Identifier: GPL-3.0-or-later
// The companion files in a batch run: found among the folder's files, and
// moved beside their image by the run's filer.
#pragma once

#include "operations/batch_filer.h"
#include "operations/companions.h"
#include "operations/folder_listing.h"

#include <string>
#include <vector>

namespace cartonym {

// The companions among the files of folder. A file that is an image (read
// inside when archives is true), a link, or one that cannot be read is
// never a companion.
CompanionFinder find_companions_of_images(
    const std::string& folder, const std::vector<ListedFile>& files, bool archives);

// Moves each companion of image (a name in folder) beside the image's
// new place destination, under the image's new base name, never over a
// taken name: one whose name is taken, or that cannot be moved (75),
// stays where it is. With destination "" (the image stayed) every one
// stays. The moves, each to a path; other failures throw Error.
std::vector<CompanionMove> move_companions_of(Filer& filer, const CompanionFinder& finder, const std::string& folder,
    const std::string& image, const std::string& destination);

// The companions of the file name of folder, as file mode renames them
// with it (only the files that begin with its base name are looked at).
// Throws Error when the folder cannot be read.
std::vector<std::string> companions_in_folder(const std::string& folder, const std::string& name, bool archives);

// Renames each of companions (found with companions_in_folder) of the file
// old_name of folder, which has just been renamed to new_name there, to
// new_name's base name and its own suffix, never over a taken name. Throws
// Error as move_companions_of.
std::vector<CompanionMove> rename_companions(const std::string& folder, const std::string& old_name,
    const std::string& new_name, const std::vector<std::string>& companions);

} // namespace cartonym
