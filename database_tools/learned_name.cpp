#include "database_tools/learned_name.h"

#include <algorithm>

namespace cartonym {
namespace {

// Removes one trailing group in round or square brackets and the blanks
// before it; false when the name does not end with such a group.
bool remove_trailing_group(std::string& name)
{
    if (name.empty() || (name.back() != ')' && name.back() != ']'))
        return false;
    const char opening = name.back() == ')' ? '(' : '[';
    const auto start = name.rfind(opening);
    if (start == std::string::npos)
        return false;
    std::size_t end = start;
    while (end > 0 && name[end - 1] == ' ')
        --end;
    name.erase(end);
    return true;
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
    while (remove_trailing_group(cleaned)) { }
    return cleaned;
}

std::string full_name_from_file_name(std::string_view file_name, std::string_view country_suffix)
{
    const auto dot = file_name.rfind('.');
    return clean_full_name(dot == std::string_view::npos ? file_name : file_name.substr(0, dot), country_suffix);
}

} // namespace cartonym
