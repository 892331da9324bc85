// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/game_list.h"

#include "common/error.h"
#include "common/file_operations.h"
#include "common/program_info.h"
#include "common/system_calls.h"
#include "naming/file_names.h"

#include <cstdlib>

namespace cartonym {
namespace {

constexpr const char* line_end = "\r\n";

std::string link_bar()
{
    return std::string("<p><b><tt><font color=\"#999999\">[</font><font color=\"#333333\"> <a href=\"")
        + program_info::homepage_address
        + "\">The Cartonym Homepage</a> </font><font color=\"#999999\">] [</font><font color=\"#333333\"> <a href=\""
        + program_info::maker_site + "\">" + program_info::maker_site_name
        + "</a> </font><font color=\"#999999\">]</font></tt></b>";
}

std::string news_text()
{
    return std::string("Sorting Game Boy images as well? Try <a href=\"") + program_info::sister_program_address + "\">"
        + program_info::sister_program_name + "</a>. New versions and name database updates are announced at <a href=\""
        + program_info::news_page + "\">our news page</a>.";
}

} // namespace

std::string game_list_head_text()
{
    std::string text;
    const auto line = [&text](const std::string& content) { text += content + line_end; };
    line("<!doctype html public \"-//w3c//dtd html 4.0 transitional//en\">");
    line("<html>");
    line("<head>");
    line("   <meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">");
    line(std::string("   <meta name=\"GENERATOR\" content=\"The Cartonym - ") + program_info::maker_site + "\">");
    line("   <title>SNES ROM Image List</title>");
    line("</head>");
    line("<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#33CCFF\" vlink=\"#33CCFF\" alink=\"#33CCFF\">");
    line("<center><b><i><tt><font color=\"#999999\"><font size=+3>SNES ROM Image List</font></font></tt></i></b>");
    line("<br><b><tt><font color=\"#333333\">created by the Cartonym</font></tt></b><b><tt><font "
         "color=\"#999999\"></font></tt></b>");
    line(link_bar());
    line("<br><b><tt><font color=\"#999999\"></font></tt></b>&nbsp;<b><tt><font color=\"#333333\"></font></tt></b>");
    line("<p><b><tt><font color=\"#333333\">Attention:</font></tt></b>");
    line("<br><b><tt><font color=\"#999999\">This program is designed to identify, rename and list SNES ROM "
         "images. It is forbidden to download ROMs and to use them without the original cardridge. The author of "
         "the of the Cartonym is in no way responsible for any ROM pirating activites. The distribution of this "
         "program together with illegal ROMs is strictly forbidden !</font></tt></b></center><br>&nbsp;");
    line("<table BORDER=\"0\" CELLSPACING=\"3\" CELLPADDING=\"3\" WIDTH=\"100%\" BGCOLOR=\"#CCFFFF\"><tr><td>");
    line("<center><b><i><tt><font color=\"#666666\">Name</font></tt></i></b></center></td><td><center><b><i><tt>"
         "<font color=\"#666666\">Filename</font></tt></i></b></center></td><td><center><b><i><tt><font "
         "color=\"#666666\">Country</font></tt></i></b></center></td><td><center><b><i><tt><font "
         "color=\"#666666\">Fileformat</font></tt></i></b></center></td></tr>");
    return text;
}

std::string game_list_row_text(const GameListRow& line)
{
    return "<tr><td><tt><font color=\"#000099\">" + line.Voller_name
        + "</font></tt></td><td><tt><font color=\"#808080\">" + line.Neuer_name
        + "</font></tt></td><td><tt><font color=\"#000099\">" + line.Land_text
        + "</font></tt></td><td><tt><font color=\"#808080\">" + line.Dateityp_text + "</font></tt></td></tr>"
        + line_end;
}

std::string game_list_end_text()
{
    std::string text;
    const auto line = [&text](const std::string& content) { text += content + line_end; };
    line("</table><center>");
    line("<p><b><tt><font color=\"#999999\">" + news_text() + "</font></tt></b>");
    line("<br><b><tt><font color=\"#999999\">Thank you !</font></tt></b><b><tt><font "
         "color=\"#999999\"></font></tt></b>");
    line(link_bar() + "</center>");
    line("</body></html>");
    return text;
}

std::string temporary_folder()
{
    // An empty value names no folder: it counts as unset.
    if (auto temp = environment_variable_any_case("temp"); temp && !temp->empty())
        return *temp;
    return system_temporary_folder();
}

std::string game_list_working_file_template()
{
    return join_path(temporary_folder(), "cartonym-" + std::to_string(process_id()) + "-XXXXXX-" + game_list_name);
}

GameList::~GameList() { close(); }

void GameList::Schreibe_listenkopf()
{
    close();
    // A private file of this run, created exclusively under a name no one
    // else uses: parallel runs and other users of a shared temporary folder
    // never meet, and no file of anyone else is touched.
    working_.emplace(game_list_working_file_template(), static_cast<int>(std::string_view(game_list_name).size()) + 1);
    try {
        working_->write(game_list_head_text());
    } catch (...) {
        close();
        throw;
    }
}

void GameList::Schreibe_listenzeile(const GameListRow& line)
{
    if (!is_open())
        throw Error(ErrorNumber::bad_file_name);
    working_->write(game_list_row_text(line));
}

void GameList::Schreibe_listenende(const std::string& folder)
{
    if (!is_open())
        return;
    try {
        working_->write(game_list_end_text());
        working_->finish(false);
    } catch (const Error&) {
        close();
        return;
    }
    const std::string target = join_path(folder, std::string(renamed_folder_name) + path_separator + game_list_name);
    // Bounded, so that a name that keeps coming back cannot hold the run.
    for (int attempt = 0; attempt < 10; ++attempt) {
        try {
            move_across_file_systems(working_->path(), target);
            working_->release();
            working_.reset();
            return;
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::file_already_exists) {
                close();
                return;
            }
        }
        // The list of an earlier run: it makes room for this one. A file
        // that has gone meanwhile is just as good.
        try {
            delete_file(target);
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::file_not_found) {
                close();
                throw;
            }
        }
    }
    close();
}

// The working file is this run's own: a list that is not placed is removed
// with it, so that nothing is left behind in the temporary folder.
void GameList::close() { working_.reset(); }

} // namespace cartonym
