// SPDX-License-Identifier: GPL-3.0-or-later
#include "operations/export_layouts.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>

namespace cartonym {

const std::vector<ExportLayout>& export_layouts()
{
    static const std::vector<ExportLayout> layouts = {
        {"plain", "", false, false, SideFile::none, "", "every image in the target folder itself"},
        {"letters", "", false, true, SideFile::none, "",
            "folders A to Z and # (digits and signs), at most --per-folder images each, then A1, A2 ..."},
        {"mister", "games/SNES", false, false, SideFile::none, "", "games/SNES/, as MiSTer's SNES core looks"},
        {"pocket", "Assets/snes/common", true, false, SideFile::none, "",
            "Assets/snes/common/, headerless, as the Analogue Pocket looks"},
        {"retroarch", "roms/snes", false, false, SideFile::retroarch_playlist,
            "playlists/Nintendo - Super Nintendo Entertainment System.lpl",
            "roms/snes/ and a RetroArch playlist in playlists/"},
        {"es-de", "roms/snes", false, false, SideFile::es_de_game_list, "roms/snes/gamelist.xml",
            "roms/snes/ with an ES-DE gamelist.xml"},
    };
    return layouts;
}

const ExportLayout* find_layout(const std::string& name)
{
    const auto& layouts = export_layouts();
    const auto found = std::ranges::find_if(layouts, [&](const ExportLayout& layout) { return name == layout.name; });
    return found == layouts.end() ? nullptr : &*found;
}

std::string layout_names()
{
    std::string names;
    for (const ExportLayout& layout : export_layouts())
        names += (names.empty() ? "" : ", ") + std::string(layout.name);
    return names;
}

std::string letter_of(const std::string& name)
{
    const char first = name.empty() ? '#' : name.front();
    if (first >= 'a' && first <= 'z')
        return std::string(1, static_cast<char>(first - 'a' + 'A'));
    if (first >= 'A' && first <= 'Z')
        return std::string(1, first);
    return "#";
}

std::vector<std::string> letter_folders(const std::vector<std::string>& names, std::size_t per_folder)
{
    std::map<std::string, std::size_t> count, placed;
    for (const std::string& name : names)
        ++count[letter_of(name)];
    std::vector<std::string> folders;
    for (const std::string& name : names) {
        const std::string letter = letter_of(name);
        const std::size_t index = placed[letter]++;
        // A letter with more names than a folder holds is split into
        // numbered folders from 1 on.
        if (per_folder == 0 || count[letter] <= per_folder)
            folders.push_back(letter);
        else
            folders.push_back(letter + std::to_string(index / per_folder + 1));
    }
    return folders;
}

std::string retroarch_playlist(const std::vector<SideEntry>& entries)
{
    using json = nlohmann::ordered_json;
    json items = json::array();
    for (const SideEntry& entry : entries) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(entry.crc32));
        items.push_back({{"path", entry.path}, {"label", entry.label}, {"core_path", "DETECT"}, {"core_name", "DETECT"},
            {"crc32", std::string(crc) + "|crc"}, {"db_name", retroarch_playlist_name}});
    }
    const json playlist = {{"version", "1.5"}, {"default_core_path", ""}, {"default_core_name", ""},
        {"label_display_mode", 0}, {"right_thumbnail_mode", 0}, {"left_thumbnail_mode", 0}, {"sort_mode", 0},
        {"items", items}};
    return playlist.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

namespace {

std::string xml_escaped(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string es_de_game_list(const std::vector<SideEntry>& entries)
{
    std::string text = "<?xml version=\"1.0\"?>\n<gameList>\n";
    for (const SideEntry& entry : entries)
        text += "\t<game>\n\t\t<path>./" + xml_escaped(entry.path) + "</path>\n\t\t<name>" + xml_escaped(entry.label)
            + "</name>\n\t</game>\n";
    return text + "</gameList>\n";
}

} // namespace cartonym
