// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_tools/learned_name.h"

#include <algorithm>

namespace cartonym {
namespace {

// The length of name without one trailing group in round or square
// brackets and the blanks before it; all of it when the name does not end
// with such a group.
std::size_t length_before_trailing_group(std::string_view name)
{
    if (name.empty() || (name.back() != ')' && name.back() != ']'))
        return name.size();
    const auto start = name.rfind(name.back() == ')' ? '(' : '[');
    if (start == std::string_view::npos)
        return name.size();
    std::size_t end = start;
    while (end > 0 && name[end - 1] == ' ')
        --end;
    return end;
}

} // namespace

std::string clean_full_name(std::string_view name, std::string_view country_suffix)
{
    std::string cleaned(name);
    if (cleaned.find(' ') == std::string::npos)
        std::replace(cleaned.begin(), cleaned.end(), '_', ' ');
    if (cleaned.ends_with(country_suffix)) {
        cleaned.erase(cleaned.size() - country_suffix.size());
        return cleaned;
    }
    for (std::size_t kept = length_before_trailing_group(cleaned); kept < cleaned.size();
         kept = length_before_trailing_group(cleaned))
        cleaned.erase(kept);
    return cleaned;
}

std::string full_name_from_file_name(std::string_view file_name, std::string_view country_suffix)
{
    const auto dot = file_name.rfind('.');
    return clean_full_name(dot == std::string_view::npos ? file_name : file_name.substr(0, dot), country_suffix);
}

} // namespace cartonym
