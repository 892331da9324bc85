#include "naming/file_names.h"

#include "common/windows1252.h"

#include <algorithm>

namespace cartonym {

std::string Trenner(const std::string& ordner)
{
    if (!ordner.empty() && ordner.back() == Pfadtrenner)
        return "";
    return std::string(1, Pfadtrenner);
}

std::string Verbinde_pfad(const std::string& ordner, const std::string& name)
{
    return ordner + Trenner(ordner) + name;
}

std::string Normaler_name(const std::string& Voller_name, const std::string& Landkuerzel, const std::string& Endung)
{
    return Voller_name + Landkuerzel + Endung;
}

std::string Baue_dateiname(std::string& name)
{
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string Dateisystemname(const std::string& text)
{
#ifdef _WIN32
    return text;
#else
    return Utf8_aus_cp1252(text);
#endif
}

} // namespace cartonym
