#include "common/file_operations.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace cartonym {
namespace {

void Pruefe_haken(Systemoperation operation, const std::string& pfad)
{
    if (const int fehler = Injizierter_fehler(operation, pfad))
        Wirf_errno(fehler);
}

// The kernel's rename that refuses to replace; returns 0 or an errno.
int Umbenennen_ohne_ersetzen(const std::string& quelle, const std::string& ziel)
{
    const long ergebnis = ::syscall(SYS_renameat2, AT_FDCWD, quelle.c_str(), AT_FDCWD, ziel.c_str(),
                                    static_cast<unsigned>(RENAME_NOREPLACE));
    if (ergebnis == 0)
        return 0;
    const int fehler = errno;
    if (fehler != EINVAL && fehler != ENOSYS && fehler != EOPNOTSUPP)
        return fehler;
    // A file system without the no-replace flag: a hard link fails on an
    // existing name just the same, and removing the old name ends the move.
    if (::link(quelle.c_str(), ziel.c_str()) != 0)
        return errno == EPERM ? fehler : errno;
    if (::unlink(quelle.c_str()) != 0) {
        const int loeschfehler = errno;
        ::unlink(ziel.c_str());
        return loeschfehler;
    }
    return 0;
}

std::string Ordner_von(const std::string& pfad)
{
    const auto schnitt = pfad.rfind('/');
    if (schnitt == std::string::npos)
        return ".";
    return schnitt == 0 ? "/" : pfad.substr(0, schnitt);
}

// A link whose target is relative leads elsewhere once it lies in another
// folder, so moving it by renaming would leave a link to nothing. Such a link
// is moved as a new link that names the same target from the link's old
// folder, absolutely: made without replacing (an existing ziel fails), then
// the old link removed. Returns nullopt when quelle is no such link or stays
// in its folder (a plain rename does), otherwise 0 or the errno.
std::optional<int> Verschiebe_relativen_link(const std::string& quelle, const std::string& ziel)
{
    struct stat info {};
    if (::lstat(quelle.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::nullopt;
    const std::string quellordner = Ordner_von(quelle);
    if (quellordner == Ordner_von(ziel))
        return std::nullopt;
    std::string verweis(PATH_MAX, '\0');
    const ssize_t laenge = ::readlink(quelle.c_str(), verweis.data(), verweis.size());
    if (laenge <= 0 || static_cast<std::size_t>(laenge) >= verweis.size())
        return std::nullopt; // changed or unreadable meanwhile: the plain rename decides
    verweis.resize(static_cast<std::size_t>(laenge));
    if (verweis.front() == '/')
        return std::nullopt;
    char* absolut = ::realpath(quellordner.c_str(), nullptr);
    if (absolut == nullptr)
        return errno;
    std::string ordner = absolut;
    std::free(absolut);
    const std::string neuer_verweis = ordner + (ordner == "/" ? "" : "/") + verweis;
    if (::symlink(neuer_verweis.c_str(), ziel.c_str()) != 0)
        return errno;
    if (::unlink(quelle.c_str()) != 0) {
        const int fehler = errno;
        ::unlink(ziel.c_str());
        return fehler;
    }
    return 0;
}

// Closes a descriptor once, at the latest when the holder goes.
class Deskriptor {
public:
    explicit Deskriptor(int fd) : fd_(fd) {}
    ~Deskriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Deskriptor(const Deskriptor&) = delete;
    Deskriptor& operator=(const Deskriptor&) = delete;
    int fd() const { return fd_; }
    int schliesse()
    {
        const int ergebnis = ::close(fd_);
        fd_ = -1;
        return ergebnis == 0 ? 0 : errno;
    }

private:
    int fd_;
};


void Synchronisiere_ordner(const std::string& ordner)
{
    Pruefe_haken(Systemoperation::Synchronisieren, ordner);
    const Deskriptor fd(::open(ordner.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.fd() < 0)
        Wirf_errno(errno);
    // Some file systems cannot synchronise a folder; the data is safe anyway.
    if (::fsync(fd.fd()) != 0 && errno != EINVAL && errno != EROFS)
        Wirf_errno(errno);
}

// Copies quelle into a fresh temporary file in ziel's folder and links it
// into place; the source stays. On failure nothing new is left behind.
void Kopiere_an_ziel(const std::string& quelle, const std::string& ziel)
{
    Pruefe_haken(Systemoperation::Kopieren, ziel);
    const Deskriptor ein(::open(quelle.c_str(), O_RDONLY | O_CLOEXEC));
    if (ein.fd() < 0)
        Wirf_errno(errno);
    struct stat info {};
    if (::fstat(ein.fd(), &info) != 0)
        Wirf_errno(errno);
    if (!S_ISREG(info.st_mode))
        throw Fehler(Fehlernummer::Zugriffsfehler);

    const std::string ordner = Ordner_von(ziel);
    std::string kopie = ordner + (ordner == "/" ? "" : "/") + ".cartonym-kopie-XXXXXX";
    Deskriptor aus(::mkostemp(kopie.data(), O_CLOEXEC));
    if (aus.fd() < 0)
        Wirf_errno(errno);
    try {
        if (::fchmod(aus.fd(), info.st_mode & 0777) != 0)
            Wirf_errno(errno);
        char puffer[65536];
        for (;;) {
            const ssize_t n = ::read(ein.fd(), puffer, sizeof puffer);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                Wirf_errno(errno);
            }
            if (n == 0)
                break;
            Schreibe_alles(aus.fd(), std::string_view(puffer, static_cast<std::size_t>(n)), kopie);
        }
        Pruefe_haken(Systemoperation::Synchronisieren, kopie);
        if (::fsync(aus.fd()) != 0)
            Wirf_errno(errno);
        if (const int fehler = aus.schliesse())
            Wirf_errno(fehler);
        if (const int fehler = Umbenennen_ohne_ersetzen(kopie, ziel))
            Wirf_errno(fehler);
    } catch (...) {
        ::unlink(kopie.c_str());
        throw;
    }
    Synchronisiere_ordner(ordner);
}

} // namespace

void Verschiebe_datei(const std::string& quelle, const std::string& ziel)
{
    Pruefe_haken(Systemoperation::Verschieben, ziel);
    if (const auto fehler = Verschiebe_relativen_link(quelle, ziel)) {
        if (*fehler)
            Wirf_errno(*fehler);
        return;
    }
    if (const int fehler = Umbenennen_ohne_ersetzen(quelle, ziel))
        Wirf_errno(fehler);
}

void Verschiebe_ueber_laufwerke(const std::string& quelle, const std::string& ziel)
{
    int fehler = Injizierter_fehler(Systemoperation::Verschieben, ziel);
    if (fehler == 0)
        fehler = Umbenennen_ohne_ersetzen(quelle, ziel);
    if (fehler == 0)
        return;
    if (fehler != EXDEV)
        Wirf_errno(fehler);
    // Another file system: an existing target is refused before any copying.
    if (Eintrag_existiert(ziel))
        throw Fehler(Fehlernummer::Datei_existiert);
    Kopiere_an_ziel(quelle, ziel);
    Loesche_datei(quelle);
}

void Lege_ordner_an(const std::string& pfad)
{
    Pruefe_haken(Systemoperation::Ordner_anlegen, pfad);
    if (::mkdir(pfad.c_str(), 0777) != 0) {
        if (errno == EEXIST)
            throw Fehler(Fehlernummer::Zugriffsfehler);
        Wirf_errno(errno);
    }
}

void Entferne_ordner(const std::string& pfad)
{
    Pruefe_haken(Systemoperation::Ordner_entfernen, pfad);
    if (::rmdir(pfad.c_str()) != 0) {
        const int fehler = errno;
        if (fehler == ENOTEMPTY || fehler == EEXIST)
            throw Fehler(Fehlernummer::Zugriffsfehler);
        // An entry of that name that is no folder (a file, a FIFO, a link)
        // stays just as a folder with entries does; a path that does not
        // lead there at all is another matter.
        struct stat info {};
        if (fehler == ENOTDIR && ::lstat(pfad.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
            throw Fehler(Fehlernummer::Zugriffsfehler);
        Wirf_errno(fehler);
    }
}

void Loesche_datei(const std::string& pfad)
{
    Pruefe_haken(Systemoperation::Loeschen, pfad);
    if (::unlink(pfad.c_str()) != 0)
        Wirf_errno(errno);
}

bool Eintrag_existiert(const std::string& pfad)
{
    struct stat info {};
    return ::lstat(pfad.c_str(), &info) == 0;
}

} // namespace cartonym
