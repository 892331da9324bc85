// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/game_selection.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace cartonym {
namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The regions catalogues name in tags; a tag is a region tag when each of
// its comma-separated words is one.
const std::vector<std::string> known_regions = {"USA", "World", "Europe", "Japan", "Asia", "Australia", "Brazil",
    "Canada", "China", "France", "Germany", "Hong Kong", "Italy", "Korea", "Netherlands", "Spain", "Sweden", "Taiwan",
    "United Kingdom", "Russia", "Scandinavia", "Latin America", "Mexico", "Denmark", "Finland", "Norway", "Portugal"};

bool is_known(const std::vector<std::string>& words, const std::string& word)
{
    return std::ranges::find(words, word) != words.end();
}

// The place of a name's best region in the order; past the end without one.
std::size_t region_rank(const std::string& name, const std::vector<std::string>& order)
{
    std::size_t best = order.size();
    for (const std::string& region : name_regions(name)) {
        const auto found = std::ranges::find(order, region);
        best = std::min(best, static_cast<std::size_t>(found - order.begin()));
    }
    return best;
}

} // namespace

std::vector<std::string> comma_separated(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t comma = text.find(',');; comma = text.find(',', start)) {
        const std::string word = trimmed(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (!word.empty())
            words.push_back(word);
        if (comma == std::string::npos)
            return words;
        start = comma + 1;
    }
}

std::vector<std::string> name_tags(const std::string& name)
{
    std::vector<std::string> tags;
    for (std::size_t open = name.find('('); open != std::string::npos; open = name.find('(', open + 1)) {
        const std::size_t close = name.find(')', open);
        if (close == std::string::npos)
            break;
        tags.push_back(name.substr(open + 1, close - open - 1));
        open = close;
    }
    return tags;
}

std::vector<std::string> name_regions(const std::string& name)
{
    for (const std::string& tag : name_tags(name)) {
        const std::vector<std::string> words = comma_separated(tag);
        if (!words.empty()
            && std::ranges::all_of(words, [](const std::string& w) { return is_known(known_regions, w); }))
            return words;
    }
    return {};
}

int name_revision(const std::string& name)
{
    for (const std::string& tag : name_tags(name)) {
        if (!tag.starts_with("Rev ") || tag.size() < 5)
            continue;
        const std::string number = tag.substr(4);
        if (std::ranges::all_of(number, [](char c) { return c >= '0' && c <= '9'; }) && number.size() < 6)
            return std::stoi(number);
        if (number.size() == 1 && number[0] >= 'A' && number[0] <= 'Z')
            return number[0] - 'A' + 1;
    }
    return 0;
}

std::string name_kind(const std::string& name)
{
    for (const std::string& tag : name_tags(name)) {
        const std::string first = tag.substr(0, tag.find(' '));
        if (is_known(kinds_left_out, first))
            return first;
    }
    return {};
}

std::string name_without_tags(const std::string& name)
{
    std::string kept;
    int depth = 0;
    for (const char c : name) {
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && depth > 0)
            --depth;
        else if (depth == 0)
            kept += c;
    }
    // Blanks left where tags were become one.
    std::string single;
    for (const char c : kept)
        if (c != ' ' || (!single.empty() && single.back() != ' '))
            single += c;
    return trimmed(single);
}

std::string group_key(const std::string& name, const std::optional<std::string>& parent_when_clone_data)
{
    if (parent_when_clone_data)
        return parent_when_clone_data->empty() ? name : *parent_when_clone_data;
    return name_without_tags(name);
}

std::vector<SelectionOutcome> select_one_per_game(
    const std::vector<SelectionCandidate>& candidates, const SelectionRules& rules)
{
    std::vector<SelectionOutcome> outcomes(candidates.size(), SelectionOutcome::other_chosen);
    // The best candidate of each group so far, by (region rank, minus revision, order).
    std::map<std::string, std::tuple<std::size_t, int, std::size_t>> best;
    for (std::size_t index = 0; index < candidates.size(); ++index) {
        const SelectionCandidate& candidate = candidates[index];
        const std::string kind = name_kind(candidate.name);
        if (!kind.empty() && !is_known(rules.included_kinds, kind)) {
            outcomes[index] = SelectionOutcome::kind_left_out;
            continue;
        }
        const auto rank =
            std::tuple(region_rank(candidate.name, rules.region_order), -name_revision(candidate.name), index);
        const auto [entry, added] = best.try_emplace(candidate.group, rank);
        if (!added && rank < entry->second)
            entry->second = rank;
    }
    for (const auto& [group, rank] : best)
        outcomes[std::get<2>(rank)] = SelectionOutcome::chosen;
    return outcomes;
}

} // namespace cartonym
