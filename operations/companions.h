// SPDX-License-Identifier: GPL-3.0-or-later
// Companion files: the saves, save states, MSU-1 data, patches, cheats and
// notes that emulators and flash carts find by an image's base name. They
// move (or are renamed) with their image, so that a renamed game keeps them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cartonym {

// What follows the base name in the name of a companion, letter case
// aside: ".srm", ".state3", "-12.pcm" ... (the table is in companions.cpp).
// The part of name that is such a suffix, as written, or "" when it ends in
// none (or has nothing before it).
std::string companion_suffix(const std::string& name);

// The name before its last extension ("Game" for "Game.smc" and for
// "Game"); a leading dot is no extension.
std::string name_without_extension(const std::string& name);

// A companion's new name beside an image renamed to image_name: the new
// base name, then the companion's own suffix. suffix_of_companion is the
// part of the companion's name after the old base name.
inline std::string companion_name_for(const std::string& image_name, const std::string& suffix_of_companion)
{
    return name_without_extension(image_name) + suffix_of_companion;
}

// What became, or in a dry run would become, of one companion.
enum class CompanionOutcome {
    moved,        // moved (renamed) beside its image
    name_taken,   // its new name is taken: it stays where it is
    passed_over,  // it could not be examined or moved: it stays where it is
    image_stayed, // its image stayed where it is, and so does it
};

// "moved", "name_taken", "passed_over" or "image_stayed".
inline const char* companion_outcome_name(CompanionOutcome outcome)
{
    constexpr const char* names[] = {"moved", "name_taken", "passed_over", "image_stayed"};
    return names[static_cast<int>(outcome)];
}

struct CompanionMove {
    std::string from; // the file-system name of the companion
    std::string to;   // where it went, would go or was to go ("" when its image stayed)
    CompanionOutcome outcome = CompanionOutcome::moved;
};

// The companions of the images of one folder, found by name alone: a file
// whose name is another file's name without its extension followed by a
// companion suffix. Which of the other files is an image only the run
// finds out, with one exception: when several files share the base name,
// is_image tells which are images. A companion that is itself an image
// (is_image) is none. A companion whose base name is shared by more than
// one image belongs to none of them: those are told by shared().
class CompanionFinder {
public:
    // names: the files of the folder, in the run's order; folds_case: the
    // folder's file system compares names without regard to letter case.
    CompanionFinder(const std::vector<std::string>& names, bool folds_case,
        const std::function<bool(const std::string& name)>& is_image);

    // The companions of the file named image, in the run's order: none
    // when it has none.
    const std::vector<std::string>& of(const std::string& image) const;
    // Whether name is a companion of some file of the folder.
    bool is_companion(const std::string& name) const { return owner_of_.contains(name); }
    // Companions that belong to no image because several share their base
    // name: the companion's name, then those images' names.
    const std::map<std::string, std::vector<std::string>>& shared() const { return shared_; }
    // The suffix of a companion's name after its image's base name.
    std::string suffix_of(const std::string& companion) const;

private:
    std::string key(const std::string& name) const;

    bool folds_case_;
    std::map<std::string, std::vector<std::string>> companions_of_; // image -> companions
    std::map<std::string, std::string> owner_of_;                   // companion -> image
    std::map<std::string, std::vector<std::string>> shared_;
};

// "belongs to more than one image (Game.sfc, Game.smc): not moved".
std::string shared_companion_text(const std::vector<std::string>& images);

} // namespace cartonym
