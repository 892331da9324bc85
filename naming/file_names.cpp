// SPDX-License-Identifier: GPL-3.0-or-later
#include "naming/file_names.h"

#include "common/windows1252.h"

#include <algorithm>

namespace cartonym {

std::string Trenner(const std::string& folder)
{
    if (!folder.empty() && folder.back() == path_separator)
        return "";
    return std::string(1, path_separator);
}

std::string normal_name(const std::string& Voller_name, const std::string& Landkuerzel, const std::string& Endung)
{
    return Voller_name + Landkuerzel + Endung;
}

std::string Baue_dateiname(std::string& name)
{
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string file_system_name(const std::string& text) { return utf8_from_cp1252(text); }

} // namespace cartonym
