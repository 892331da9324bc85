#include "reports/game_list.h"

#include "common/system_calls.h"
#include "common/error.h"
#include "common/program_info.h"
#include "naming/file_names.h"
#include "common/file_operations.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

extern char** environ;

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
        + program_info::sister_program_name
        + "</a>. New versions and name database updates are announced at <a href=\"" + program_info::news_page
        + "\">our news page</a>.";
}

bool equal_ignoring_ascii_case(const char* a, const char* b, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
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
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const char* text = *entry;
        if (equal_ignoring_ascii_case(text, "temp=", 5))
            return text + 5;
    }
    if (const char* tmpdir = std::getenv("TMPDIR"))
        return tmpdir;
    return "/tmp";
}

std::string game_list_working_file()
{
    return join_path(temporary_folder(), "games.htm");
}

GameList::~GameList()
{
    close();
}

void GameList::Schreibe_listenkopf()
{
    close();
    working_file_ = game_list_working_file();
    if (const int error = injected_error(SystemOperation::Open, working_file_))
        throw_errno(error);
    // A fresh file in place of a leftover: in a shared temporary folder a
    // planted link must never lead the list into someone else's file.
    if (::unlink(working_file_.c_str()) != 0 && errno != ENOENT && errno != EPERM && errno != EACCES)
        throw_errno(errno);
    fd_ = ::open(working_file_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw_errno(errno);
    try {
        write(game_list_head_text());
    } catch (...) {
        close();
        throw;
    }
}

void GameList::Schreibe_listenzeile(const GameListRow& line)
{
    if (!is_open())
        throw Error(ErrorNumber::BadFileName);
    write(game_list_row_text(line));
}

void GameList::Schreibe_listenende(const std::string& folder)
{
    if (!is_open())
        return;
    try {
        write(game_list_end_text());
        if (const int error = injected_error(SystemOperation::Close, working_file_)) {
            close();
            throw_errno(error);
        }
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throw_errno(errno);
    } catch (const Error&) {
        close();
        return;
    }
    const std::string target = join_path(folder, "Renamed_SNES_ROMs/games.htm");
    // Bounded, so that a name that keeps coming back cannot hold the run.
    for (int attempt = 0; attempt < 10; ++attempt) {
        try {
            move_across_file_systems(working_file_, target);
            return;
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::FileAlreadyExists)
                return;
        }
        // The list of an earlier run: it makes room for this one. A file
        // that has gone meanwhile is just as good.
        try {
            delete_file(target);
        } catch (const Error& error) {
            if (error.number() != ErrorNumber::FileNotFound)
                throw;
        }
    }
}

void GameList::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void GameList::write(const std::string& text)
{
    write_all(fd_, text, working_file_);
}

} // namespace cartonym
