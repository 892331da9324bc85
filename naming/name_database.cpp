// SPDX-License-Identifier: GPL-3.0-or-later
#include "naming/name_database.h"

#include "common/error.h"
#include "common/file_contents.h"
#include "common/program_info.h"
#include "common/system_calls.h"
#include "common/windows1252.h"
#include "naming/database_index.h"
#include "naming/file_names.h"

#include <algorithm>
#include <array>
#include <optional>

namespace cartonym {
namespace {

// The full name a correction gives, "" for the correction that makes the
// image unknown, nullopt when no correction applies.
std::optional<std::string> correction_for(const RomAnalysis& analysis)
{
    const std::string_view name = analysis.Interner_name;
    const auto left = [&](std::size_t n) { return name.substr(0, n); };
    static constexpr std::string_view xmen = "X-MEN                ";

    if (ascii_lower(left(7)) == "aladdin")
        return "Aladdin";
    if (analysis.Pruefsumme == "3581" && name == "SUPPLIED BY ADJ/FLT!!")
        return "Back to the Future 2 (Hacked)";
    if (left(11) == "BS_Dr Mario")
        return "Dr. Mario";
    if (ascii_lower(left(13)) == "first samurai")
        return "First Samurai";
    if (left(20) == "Super V.G.CONA-S.D.L")
        return "Super V.G.";
    if (ascii_lower(left(14)) == "wcw.superbrawl")
        return "WCW Super Brawl";
    if (name == xmen) {
        if (analysis.Pruefsumme == "F0C5")
            return "X-Men Arcades Revenge";
        if (analysis.Pruefsumme == "738")
            return "X-Men Mutant Apocalypse";
        return "";
    }
    return std::nullopt;
}

void set_found(LookupResult& result, std::string full_name, const RomAnalysis& analysis)
{
    result.Voller_name = std::move(full_name);
    result.Neuer_name = normal_name(result.Voller_name, analysis.Landkuerzel, analysis.Endung);
}

} // namespace

bool correction_decides(const RomAnalysis& analysis) { return correction_for(analysis).has_value(); }

std::string read_database(const std::string& database_path)
{
    return read_whole_file(database_path, largest_database_text);
}

LookupResult Finde_romname(const RomAnalysis& analysis, const std::string& database_path)
{
    if (const auto correction = correction_for(analysis)) {
        LookupResult result;
        if (!correction->empty())
            set_found(result, *correction, analysis);
        return result;
    }
    // Through the index of the database, kept while the file stays the same
    // (see DatabaseCache).
    try {
        return lookup_in_shared_cache(database_path, analysis);
    } catch (const Error& error) {
        throw DatabaseFailure(error, database_path);
    }
}

StartupCheckResult check_database_at_startup(const std::string& database_path)
{
    try {
        const ReadableFile file(database_path);
        return {};
    } catch (const Error& error) {
        if (error.number() == ErrorNumber::file_not_found) {
            return {StartupState::database_missing,
                std::string("The file SNES.DAT is missing ! Download the complete version of the Cartonym from ")
                    + program_info::homepage_address + " !\n\nProgram will close now."};
        }
        return {StartupState::database_faulty, short_error_text(error)};
    }
}

std::string default_database_path() { return join_path(program_folder(), "snes.dat"); }

} // namespace cartonym
