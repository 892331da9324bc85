// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/companions.h"

#include "common/windows1252.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace cartonym {
namespace {

// The companions' suffixes, in lower case. Each numbered one stands for
// its stem followed by one digit from first to last.
constexpr std::array<std::string_view, 18> plain_suffixes = {".srm", ".sav", ".sram", ".rtc", ".state", ".state.auto",
    ".zst", ".bst", ".msu", ".msu1", ".bml", ".xml", ".ips", ".bps", ".ups", ".cht", ".txt", ".nfo"};

struct NumberedSuffix {
    std::string_view stem;
    char first, last;
};
constexpr std::array<NumberedSuffix, 4> numbered_suffixes = {{
    {".state", '1', '9'}, // save states of a slot
    {".ss", '0', '9'},
    {".00", '0', '9'}, // .000 ... .009
    {".zs", '1', '9'},
}};

// MSU-1 audio tracks: "-N.pcm", N from 1 to 999 without leading zeros.
std::size_t pcm_track_suffix_length(std::string_view lower)
{
    constexpr std::string_view pcm = ".pcm";
    if (!lower.ends_with(pcm))
        return 0;
    const std::size_t digits_end = lower.size() - pcm.size();
    std::size_t digits_start = digits_end;
    while (digits_start > 0 && digits_end - digits_start < 3 && lower[digits_start - 1] >= '0'
        && lower[digits_start - 1] <= '9')
        --digits_start;
    if (digits_start == digits_end || lower[digits_start] == '0' || digits_start == 0 || lower[digits_start - 1] != '-')
        return 0;
    return lower.size() - digits_start + 1;
}

std::size_t suffix_length(std::string_view lower)
{
    for (std::string_view suffix : plain_suffixes)
        if (lower.ends_with(suffix))
            return suffix.size();
    const char digit = lower.empty() ? '\0' : lower.back();
    for (const NumberedSuffix& numbered : numbered_suffixes)
        if (digit >= numbered.first && digit <= numbered.last
            && lower.substr(0, lower.size() - 1).ends_with(numbered.stem))
            return numbered.stem.size() + 1;
    return pcm_track_suffix_length(lower);
}

bool is_suffix(const std::string& suffix, std::string_view lower_suffix) { return ascii_lower(suffix) == lower_suffix; }

} // namespace

std::string companion_suffix(const std::string& name)
{
    const std::size_t length = suffix_length(ascii_lower(name));
    return length == 0 || length >= name.size() ? std::string() : name.substr(name.size() - length);
}

std::string name_without_extension(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string CompanionFinder::key(const std::string& name) const { return folds_case_ ? ascii_lower(name) : name; }

CompanionFinder::CompanionFinder(const std::vector<std::string>& names, bool folds_case,
    const std::function<bool(const std::string& name)>& is_image)
    : folds_case_(folds_case)
{
    // The files that end in a companion suffix, by the base name before it,
    // and the others by their name without extension.
    std::map<std::string, std::vector<std::string>> candidates, owners;
    for (const std::string& name : names) {
        const std::string suffix = companion_suffix(name);
        if (!suffix.empty())
            candidates[key(name.substr(0, name.size() - suffix.size()))].push_back(name);
    }
    for (const std::string& name : names) {
        const std::string base = key(name_without_extension(name));
        const std::string suffix = companion_suffix(name);
        const bool candidate_of_base = !suffix.empty() && key(name.substr(0, name.size() - suffix.size())) == base;
        if (!candidate_of_base && candidates.contains(base))
            owners[base].push_back(name);
    }
    for (auto& [base, group] : candidates) {
        const auto owner = owners.find(base);
        if (owner == owners.end())
            continue;
        // An .xml is an MSU-1 manifest only beside the .msu.
        const bool has_msu = std::ranges::any_of(
            group, [&](const std::string& name) { return is_suffix(companion_suffix(name), ".msu"); });
        std::erase_if(group, [&](const std::string& name) {
            return (!has_msu && is_suffix(companion_suffix(name), ".xml")) || is_image(name);
        });
        std::vector<std::string> images = owner->second;
        if (images.size() > 1)
            std::erase_if(images, [&](const std::string& name) { return !is_image(name); });
        for (const std::string& companion : group) {
            if (images.size() > 1)
                shared_[companion] = images;
            else if (images.size() == 1)
                owner_of_[companion] = images.front();
        }
        if (images.size() == 1 && !group.empty())
            companions_of_[images.front()] = group;
    }
}

const std::vector<std::string>& CompanionFinder::of(const std::string& image) const
{
    static const std::vector<std::string> none;
    const auto found = companions_of_.find(image);
    return found == companions_of_.end() ? none : found->second;
}

std::string CompanionFinder::suffix_of(const std::string& companion) const
{
    const auto owner = owner_of_.find(companion);
    if (owner == owner_of_.end())
        return companion_suffix(companion);
    return companion.substr(name_without_extension(owner->second).size());
}

std::string shared_companion_text(const std::vector<std::string>& images)
{
    std::string list;
    for (const std::string& image : images)
        list += (list.empty() ? "" : ", ") + image;
    return "belongs to more than one image (" + list + "): not moved";
}

} // namespace cartonym
