// SPDX-License-Identifier: GPL-3.0-or-later
// One image per game: images grouped by game (a catalogue's parent and its
// clones, else the name without its tags) and in each group the one chosen
// that the region order prefers, then the highest revision; images of the
// kinds left out (betas, prototypes ...) are never chosen unless named.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace cartonym {

// The region order without --prefer.
inline const std::vector<std::string> default_region_order = {"USA", "World", "Europe", "Japan"};
// The kinds of release left out without --include-kinds.
inline const std::vector<std::string> kinds_left_out = {"Beta", "Proto", "Demo", "Sample", "Pirate", "Unl"};

// The texts inside the round brackets of a name, in order:
// "Game (USA, Europe) (Rev 1)" gives "USA, Europe" and "Rev 1".
std::vector<std::string> name_tags(const std::string& name);

// The regions a name's tags name ("(USA, Europe)" gives USA and Europe).
std::vector<std::string> name_regions(const std::string& name);

// The revision of a name: N of "(Rev N)" (a letter counts from A = 1), 0 without.
int name_revision(const std::string& name);

// The kind of release a name's tags name among kinds_left_out ("Beta" for
// "(Beta 2)"), "" for none.
std::string name_kind(const std::string& name);

// A name without its round- and square-bracketed tags, its blanks trimmed:
// "Game (USA) [b]" gives "Game".
std::string name_without_tags(const std::string& name);

// Comma-separated words ("USA, Europe") as a list; blanks around each trimmed.
std::vector<std::string> comma_separated(const std::string& text);

struct SelectionRules {
    std::vector<std::string> region_order = default_region_order;
    std::vector<std::string> included_kinds; // kinds of kinds_left_out that may be chosen after all
};

// An image up for selection: its game's name (the catalogue's, else the
// name database's) and its group key.
struct SelectionCandidate {
    std::string name;
    std::string group;
};

// The group key of an image: its parent's name when the catalogue has
// clone data (its own game's name for a parent), else its name without tags.
std::string group_key(const std::string& name, const std::optional<std::string>& parent_when_clone_data);

// Why an image was not chosen.
enum class SelectionOutcome { chosen, other_chosen, kind_left_out };

// For each candidate, in order, whether it is its group's choice: in each
// group, among the candidates whose kind is not left out, the one whose
// best region comes first in the region order (a name without such a
// region after all), then the highest revision, then the first in order.
std::vector<SelectionOutcome> select_one_per_game(
    const std::vector<SelectionCandidate>& candidates, const SelectionRules& rules);

} // namespace cartonym
