// SPDX-License-Identifier: GPL-3.0-or-later
// The folder layouts an exported set can take, one table of them
// (export_layouts.cpp): where the images go below the target folder,
// whether the device wants them headerless, and the side file (a
// playlist, a game list) a frontend reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cartonym {

// The side file a layout writes beside the images.
enum class SideFile { none, retroarch_playlist, es_de_game_list };

struct ExportLayout {
    const char* name;
    const char* folder;  // below the target folder, "/" between names; "" for the target itself
    bool headerless;     // headerless without --headerless
    bool letter_folders; // images in A..Z and # folders, at most a number each
    SideFile side_file;
    const char* side_path; // the side file's path below the target folder, "/" between names
    const char* what;      // one line for the help and the README
};

// Every layout, plain first.
const std::vector<ExportLayout>& export_layouts();

// The layout of that name; nullptr when there is none.
const ExportLayout* find_layout(const std::string& name);

// The layouts' names joined by ", ".
std::string layout_names();

// The letter folder of a name: its first letter in upper case, "#" for a
// digit, a sign or a byte that is no ASCII letter.
std::string letter_of(const std::string& name);

// The folder (relative, "/" between names) of each name in order for a
// layout with letter folders: A, B ... while a folder holds at most
// per_folder names, then A1, A2 ... (names in their order; per_folder 0:
// no limit).
std::vector<std::string> letter_folders(const std::vector<std::string>& names, std::size_t per_folder);

// One image in a side file.
struct SideEntry {
    std::string path;  // the copy's path, as the side file names it
    std::string label; // the game's name (UTF-8)
    std::uint32_t crc32 = 0;
};

// The RetroArch playlist of the entries, as RetroArch writes one (JSON).
inline constexpr const char* retroarch_playlist_name = "Nintendo - Super Nintendo Entertainment System.lpl";
std::string retroarch_playlist(const std::vector<SideEntry>& entries);

// The ES-DE gamelist.xml of the entries (paths "./<name>").
std::string es_de_game_list(const std::vector<SideEntry>& entries);

} // namespace cartonym
