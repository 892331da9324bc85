// New file names and the joining of folder paths and names.
#pragma once

#include <string>

namespace cartonym {

// The separator between a folder path and a name on this platform.
#ifdef _WIN32
inline constexpr char Pfadtrenner = '\\';
#else
inline constexpr char Pfadtrenner = '/';
#endif

// "" when the folder path already ends in the separator (a root folder),
// otherwise the separator.
std::string Trenner(const std::string& ordner);

// ordner, Trenner(ordner), name joined.
std::string Verbinde_pfad(const std::string& ordner, const std::string& name);

// The normal form: full name, country suffix and extension, nothing between.
std::string Normaler_name(const std::string& Voller_name, const std::string& Landkuerzel, const std::string& Endung);

// Replaces every space of name by "_", in name itself, and returns the result.
std::string Baue_dateiname(std::string& name);

// A Windows-1252 name as a file-system name on this platform (UTF-8 here).
std::string Dateisystemname(const std::string& text);

} // namespace cartonym
