// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML game list games.htm: written line by line into the temporary
// folder while a batch run goes on, then moved into Renamed_SNES_ROMs. The
// page text itself comes from pure functions, so it can be checked byte for
// byte without a disk.
#pragma once

#include "common/file_contents.h"

#include <optional>
#include <string>

namespace cartonym {

// One row of the list; all texts Windows-1252, written as they stand.
struct GameListRow {
    std::string Voller_name;
    std::string Neuer_name;
    std::string Land_text;
    std::string Dateityp_text;
};

// The 16 head lines, one row line, the 5 end lines; each line ends in CR LF.
std::string game_list_head_text();
std::string game_list_row_text(const GameListRow& line);
std::string game_list_end_text();

// The temporary folder: the environment variable "temp" with its name matched
// without regard to letter case; when there is none or it is empty, TMPDIR,
// and without that /tmp.
std::string temporary_folder();

// The pattern of a run's private working file in the temporary folder.
std::string game_list_working_file_template();

// The list while a run writes it: at most one open stream, closed by the
// destructor without placing the page.
class GameList {
public:
    GameList() = default;
    ~GameList();
    GameList(const GameList&) = delete;
    GameList& operator=(const GameList&) = delete;

    // Creates the run's own working file in the temporary folder, under a
    // new unique name, and writes the head. Failures throw Error; the list
    // is then closed.
    void Schreibe_listenkopf();

    // Appends one row; Error 52 when no list is open, like a write to a
    // closed file.
    void Schreibe_listenzeile(const GameListRow& line);

    // Writes the end, closes the list and moves it to ordner, its separator
    // and "Renamed_SNES_ROMs/games.htm", also across file systems. An
    // existing games.htm there is deleted and the move repeated; only a
    // failure of that deletion is thrown. Every other failure ends the
    // operation silently; the working file is then removed.
    void Schreibe_listenende(const std::string& folder);

    // Closes a begun list without the end and without placing it, and
    // removes its working file.
    void close();

    bool is_open() const { return working_ && working_->is_open(); }

private:
    std::optional<WorkingFile> working_;
};

} // namespace cartonym
