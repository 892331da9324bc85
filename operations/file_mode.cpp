// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/file_mode.h"

#include "analysis/archive_reader.h"
#include "common/error.h"
#include "common/file_operations.h"
#include "naming/file_names.h"

namespace cartonym {

FileSelection select_file(const std::string& Dateipfad, const std::string& database_path, bool without_spaces)
{
    return select_analysed(Analysiere_rom(Dateipfad), database_path, without_spaces);
}

FileSelection select_file(
    const std::string& Dateipfad, const std::string& database_path, bool without_spaces, bool archives)
{
    return select_analysed(analyse_file(Dateipfad, archives).analysis, database_path, without_spaces);
}

FileSelection select_analysed(RomAnalysis analysis, const std::string& database_path, bool without_spaces)
{
    FileSelection selection;
    selection.analysis = std::move(analysis);
    if (!selection.analysis.Rom_ok)
        return selection;
    selection.names = Finde_romname(selection.analysis, database_path);
    if (selection.names.Neuer_name.empty()) {
        selection.state = SelectionState::unknown;
        selection.names.Neuer_name = unknown_text;
        // The lookup leaves the last record's name here; an unknown image has none.
        selection.names.Voller_name.clear();
    } else {
        selection.state = SelectionState::known;
    }
    if (without_spaces)
        Baue_dateiname(selection.names.Neuer_name);
    return selection;
}

bool is_plain_file_name(const std::string& name)
{
    return !name.empty() && name != "." && name != ".."
        && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

void rename_file_in_folder(const std::string& Dateipfad, const std::string& folder, const std::string& Neuer_name)
{
    if (!is_plain_file_name(Neuer_name))
        throw Error(ErrorNumber::bad_file_name);
    move_file(Dateipfad, join_path(folder, file_system_name(Neuer_name)));
}

} // namespace cartonym
