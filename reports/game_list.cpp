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

constexpr const char* Zeilenende = "\r\n";

std::string Linkleiste()
{
    return std::string("<p><b><tt><font color=\"#999999\">[</font><font color=\"#333333\"> <a href=\"")
        + Programm::Homepage
        + "\">The Cartonym Homepage</a> </font><font color=\"#999999\">] [</font><font color=\"#333333\"> <a href=\""
        + Programm::Herstellerseite + "\">" + Programm::Herstellerseite_name
        + "</a> </font><font color=\"#999999\">]</font></tt></b>";
}

std::string Werbetext()
{
    return std::string("Sorting Game Boy images as well? Try <a href=\"") + Programm::Zweitprogramm_adresse + "\">"
        + Programm::Zweitprogramm_name
        + "</a>. New versions and name database updates are announced at <a href=\"" + Programm::Werbeseite
        + "\">our news page</a>.";
}

bool Gleich_ohne_gross_klein(const char* a, const char* b, std::size_t laenge)
{
    for (std::size_t i = 0; i < laenge; ++i) {
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

std::string Listenkopf_text()
{
    std::string text;
    const auto zeile = [&text](const std::string& inhalt) { text += inhalt + Zeilenende; };
    zeile("<!doctype html public \"-//w3c//dtd html 4.0 transitional//en\">");
    zeile("<html>");
    zeile("<head>");
    zeile("   <meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">");
    zeile(std::string("   <meta name=\"GENERATOR\" content=\"The Cartonym - ") + Programm::Herstellerseite + "\">");
    zeile("   <title>SNES ROM Image List</title>");
    zeile("</head>");
    zeile("<body text=\"#000000\" bgcolor=\"#FFFFFF\" link=\"#33CCFF\" vlink=\"#33CCFF\" alink=\"#33CCFF\">");
    zeile("<center><b><i><tt><font color=\"#999999\"><font size=+3>SNES ROM Image List</font></font></tt></i></b>");
    zeile("<br><b><tt><font color=\"#333333\">created by the Cartonym</font></tt></b><b><tt><font "
          "color=\"#999999\"></font></tt></b>");
    zeile(Linkleiste());
    zeile("<br><b><tt><font color=\"#999999\"></font></tt></b>&nbsp;<b><tt><font color=\"#333333\"></font></tt></b>");
    zeile("<p><b><tt><font color=\"#333333\">Attention:</font></tt></b>");
    zeile("<br><b><tt><font color=\"#999999\">This program is designed to identify, rename and list SNES ROM "
          "images. It is forbidden to download ROMs and to use them without the original cardridge. The author of "
          "the of the Cartonym is in no way responsible for any ROM pirating activites. The distribution of this "
          "program together with illegal ROMs is strictly forbidden !</font></tt></b></center><br>&nbsp;");
    zeile("<table BORDER=\"0\" CELLSPACING=\"3\" CELLPADDING=\"3\" WIDTH=\"100%\" BGCOLOR=\"#CCFFFF\"><tr><td>");
    zeile("<center><b><i><tt><font color=\"#666666\">Name</font></tt></i></b></center></td><td><center><b><i><tt>"
          "<font color=\"#666666\">Filename</font></tt></i></b></center></td><td><center><b><i><tt><font "
          "color=\"#666666\">Country</font></tt></i></b></center></td><td><center><b><i><tt><font "
          "color=\"#666666\">Fileformat</font></tt></i></b></center></td></tr>");
    return text;
}

std::string Listenzeile_text(const Listenzeile& zeile)
{
    return "<tr><td><tt><font color=\"#000099\">" + zeile.Voller_name
        + "</font></tt></td><td><tt><font color=\"#808080\">" + zeile.Neuer_name
        + "</font></tt></td><td><tt><font color=\"#000099\">" + zeile.Land_text
        + "</font></tt></td><td><tt><font color=\"#808080\">" + zeile.Dateityp_text + "</font></tt></td></tr>"
        + Zeilenende;
}

std::string Listenende_text()
{
    std::string text;
    const auto zeile = [&text](const std::string& inhalt) { text += inhalt + Zeilenende; };
    zeile("</table><center>");
    zeile("<p><b><tt><font color=\"#999999\">" + Werbetext() + "</font></tt></b>");
    zeile("<br><b><tt><font color=\"#999999\">Thank you !</font></tt></b><b><tt><font "
          "color=\"#999999\"></font></tt></b>");
    zeile(Linkleiste() + "</center>");
    zeile("</body></html>");
    return text;
}

std::string Temporaerordner()
{
    for (char** eintrag = environ; eintrag != nullptr && *eintrag != nullptr; ++eintrag) {
        const char* text = *eintrag;
        if (Gleich_ohne_gross_klein(text, "temp=", 5))
            return text + 5;
    }
    if (const char* tmpdir = std::getenv("TMPDIR"))
        return tmpdir;
    return "/tmp";
}

std::string Arbeitsdatei_spielliste()
{
    return Verbinde_pfad(Temporaerordner(), "games.htm");
}

Spielliste::~Spielliste()
{
    Schliesse();
}

void Spielliste::Schreibe_listenkopf()
{
    Schliesse();
    arbeitsdatei_ = Arbeitsdatei_spielliste();
    if (const int fehler = Injizierter_fehler(Systemoperation::Oeffnen, arbeitsdatei_))
        Wirf_errno(fehler);
    // A fresh file in place of a leftover: in a shared temporary folder a
    // planted link must never lead the list into someone else's file.
    if (::unlink(arbeitsdatei_.c_str()) != 0 && errno != ENOENT && errno != EPERM && errno != EACCES)
        Wirf_errno(errno);
    fd_ = ::open(arbeitsdatei_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        Wirf_errno(errno);
    try {
        schreibe(Listenkopf_text());
    } catch (...) {
        Schliesse();
        throw;
    }
}

void Spielliste::Schreibe_listenzeile(const Listenzeile& zeile)
{
    if (!offen())
        throw Fehler(Fehlernummer::Dateiname_falsch);
    schreibe(Listenzeile_text(zeile));
}

void Spielliste::Schreibe_listenende(const std::string& ordner)
{
    if (!offen())
        return;
    try {
        schreibe(Listenende_text());
        if (const int fehler = Injizierter_fehler(Systemoperation::Schliessen, arbeitsdatei_)) {
            Schliesse();
            Wirf_errno(fehler);
        }
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            Wirf_errno(errno);
    } catch (const Fehler&) {
        Schliesse();
        return;
    }
    const std::string ziel = Verbinde_pfad(ordner, "Renamed_SNES_ROMs/games.htm");
    // Bounded, so that a name that keeps coming back cannot hold the run.
    for (int versuch = 0; versuch < 10; ++versuch) {
        try {
            Verschiebe_ueber_laufwerke(arbeitsdatei_, ziel);
            return;
        } catch (const Fehler& fehler) {
            if (fehler.nummer() != Fehlernummer::Datei_existiert)
                return;
        }
        // The list of an earlier run: it makes room for this one. A file
        // that has gone meanwhile is just as good.
        try {
            Loesche_datei(ziel);
        } catch (const Fehler& fehler) {
            if (fehler.nummer() != Fehlernummer::Datei_fehlt)
                throw;
        }
    }
}

void Spielliste::Schliesse()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void Spielliste::schreibe(const std::string& text)
{
    Schreibe_alles(fd_, text, arbeitsdatei_);
}

} // namespace cartonym
