#include "tests/testsupport.h"

#include "fixtures/rom_builder.h"

#include <cctype>
#include <cstdlib>
#include <algorithm>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cartonym::test {

Tempordner::Tempordner()
{
    std::string muster = (std::filesystem::temp_directory_path() / "cartonym-test-XXXXXX").string();
    if (::mkdtemp(muster.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    pfad_ = muster;
}

Tempordner::~Tempordner()
{
    std::error_code fehler;
    // Make read-only folders left by a test removable again.
    for (auto it = std::filesystem::recursive_directory_iterator(pfad_, fehler);
         it != std::filesystem::recursive_directory_iterator(); it.increment(fehler)) {
        if (it->is_directory(fehler) && !it->is_symlink(fehler))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, fehler);
    }
    std::filesystem::remove_all(pfad_, fehler);
}

Baum Baumzustand(const std::filesystem::path& ordner)
{
    Baum zustand;
    for (const auto& eintrag : std::filesystem::recursive_directory_iterator(ordner)) {
        if (eintrag.is_regular_file() && !eintrag.is_symlink())
            zustand[std::filesystem::relative(eintrag.path(), ordner).string()] = fixtures::Lies_datei(eintrag.path().string());
    }
    return zustand;
}

Fehlerhaken Scheitere_bei(Systemoperation gesucht, int errnum)
{
    return [gesucht, errnum](Systemoperation operation, const std::string&) { return operation == gesucht ? errnum : 0; };
}

Temp_umgebung::Temp_umgebung(const std::vector<std::pair<std::string, std::string>>& setzen) : gesetzt_(setzen)
{
    for (char** eintrag = environ; *eintrag != nullptr; ++eintrag) {
        const std::string text = *eintrag;
        const std::string name = text.substr(0, text.find('='));
        std::string klein = name;
        for (char& zeichen : klein)
            zeichen = static_cast<char>(std::tolower(static_cast<unsigned char>(zeichen)));
        if (klein == "temp" || name == "TMPDIR")
            alt_.emplace_back(name, text.substr(name.size() + 1));
    }
    for (const auto& [name, wert] : alt_)
        ::unsetenv(name.c_str());
    for (const auto& [name, wert] : setzen)
        ::setenv(name.c_str(), wert.c_str(), 1);
}

Temp_umgebung::~Temp_umgebung()
{
    for (const auto& [name, wert] : gesetzt_)
        ::unsetenv(name.c_str());
    for (const auto& [name, wert] : alt_)
        ::setenv(name.c_str(), wert.c_str(), 1);
}

namespace {
std::string Shellwort(const std::string& wort)
{
    std::string ergebnis = "'";
    for (const char c : wort)
        ergebnis += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return ergebnis + "'";
}
} // namespace

Aufruf Rufe_programm(const std::string& programm, const std::vector<std::string>& argumente, const Tempordner& ablage)
{
    std::string befehl = Shellwort(programm);
    for (const auto& argument : argumente)
        befehl += " " + Shellwort(argument);
    befehl += " >" + Shellwort(ablage / "cli.out") + " 2>" + Shellwort(ablage / "cli.err") + " </dev/null";
    const int roh = std::system(befehl.c_str());
    Aufruf aufruf;
    aufruf.status = WIFEXITED(roh) ? WEXITSTATUS(roh) : -1;
    aufruf.out = fixtures::Lies_datei(ablage / "cli.out");
    aufruf.err = fixtures::Lies_datei(ablage / "cli.err");
    std::filesystem::remove(ablage / "cli.out");
    std::filesystem::remove(ablage / "cli.err");
    return aufruf;
}

void Lege_fifo_an(const std::string& pfad)
{
    if (::mkfifo(pfad.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo failed: " + pfad);
}

void Lege_socket_an(const std::string& pfad)
{
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un adresse{.sun_family = AF_UNIX, .sun_path = {}};
    pfad.copy(adresse.sun_path, sizeof adresse.sun_path - 1);
    const bool gebunden = pfad.size() < sizeof adresse.sun_path
        && ::bind(sock, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) == 0;
    ::close(sock);
    if (!gebunden)
        throw std::runtime_error("bind failed: " + pfad);
}

Analyse Analyse_fuer(const std::string& name, const std::string& pruefsumme, const std::string& kuerzel, const std::string& endung)
{
    Analyse a;
    a.Rom_ok = true;
    a.Interner_name = fixtures::Interner_name(name);
    a.Pruefsumme = pruefsumme;
    a.Landkuerzel = kuerzel;
    a.Endung = endung;
    return a;
}

std::vector<std::string> Bildinhalte(const std::filesystem::path& ordner)
{
    std::vector<std::string> inhalte;
    for (const auto& [pfad, inhalt] : Baumzustand(ordner))
        if (!pfad.ends_with("games.htm") && !pfad.ends_with("unknown.log"))
            inhalte.push_back(inhalt);
    std::ranges::sort(inhalte);
    return inhalte;
}

std::string Fehlertext(int nummer, const std::string& pfad)
{
    return Fehlertext_datei(Fehler(static_cast<Fehlernummer>(nummer)), pfad);
}

Laufordner::Laufordner(const std::string& datenbank, const std::vector<std::pair<std::string, fixtures::Rombauplan>>& bilder)
{
    std::filesystem::create_directory(F);
    std::filesystem::create_directory(tempordner);
    fixtures::Schreibe_datei(db, datenbank);
    for (const auto& [name, plan] : bilder)
        bild(name, plan);
}

void Laufordner::datei(const std::string& name, const std::string& inhalt) const
{
    std::filesystem::create_directories(std::filesystem::path(in_F(name)).parent_path());
    fixtures::Schreibe_datei(in_F(name), inhalt);
}

} // namespace cartonym::test
