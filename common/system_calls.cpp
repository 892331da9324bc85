#include "common/system_calls.h"

#include "common/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cartonym {
namespace {

Fehlerhaken& Haken()
{
    static Fehlerhaken haken;
    return haken;
}

Dateikennung Kennung_aus(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev),       static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),      static_cast<std::int64_t>(info.st_mtim.tv_sec),
            static_cast<std::int64_t>(info.st_mtim.tv_nsec), static_cast<std::int64_t>(info.st_ctim.tv_sec),
            static_cast<std::int64_t>(info.st_ctim.tv_nsec)};
}

} // namespace

Dateikennung Kennung_von(const std::string& pfad)
{
    if (const int fehler = Injizierter_fehler(Systemoperation::Oeffnen, pfad))
        Wirf_errno(fehler);
    struct stat info {};
    if (::stat(pfad.c_str(), &info) != 0)
        Wirf_errno(errno);
    return Kennung_aus(info);
}

Fehlerhaken Setze_fehlerhaken(Fehlerhaken haken)
{
    Fehlerhaken alt = std::move(Haken());
    Haken() = std::move(haken);
    return alt;
}

int Injizierter_fehler(Systemoperation operation, const std::string& pfad)
{
    const auto& haken = Haken();
    return haken ? haken(operation, pfad) : 0;
}

void Schreibe_alles(int fd, std::string_view daten, const std::string& pfad)
{
    if (const int fehler = Injizierter_fehler(Systemoperation::Schreiben, pfad))
        Wirf_errno(fehler);
    while (!daten.empty()) {
        const ssize_t n = ::write(fd, daten.data(), daten.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Wirf_errno(errno);
        }
        daten.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string Programmordner()
{
    std::string pfad(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", pfad.data(), pfad.size());
    if (n <= 0)
        return ".";
    pfad.resize(static_cast<std::size_t>(n));
    const auto schnitt = pfad.rfind('/');
    return schnitt == 0 ? "/" : pfad.substr(0, schnitt);
}

Lesedatei::Lesedatei(const std::string& pfad)
    : pfad_(pfad)
{
    if (const int fehler = Injizierter_fehler(Systemoperation::Oeffnen, pfad))
        Wirf_errno(fehler);
    fd_ = ::open(pfad.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0)
        Wirf_errno(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        const int fehler = errno;
        ::close(fd_);
        Wirf_errno(fehler);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw Fehler(Fehlernummer::Zugriffsfehler);
    }
    kennung_ = Kennung_aus(info);
}

Lesedatei::~Lesedatei()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void Lesedatei::lies(std::uint64_t versatz, unsigned char* ziel, std::size_t anzahl) const
{
    std::memset(ziel, 0, anzahl);
    if (const int fehler = Injizierter_fehler(Systemoperation::Lesen, pfad_))
        Wirf_errno(fehler);
    std::size_t gelesen = 0;
    while (gelesen < anzahl) {
        const ssize_t n = ::pread(fd_, ziel + gelesen, anzahl - gelesen, static_cast<off_t>(versatz + gelesen));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Wirf_errno(errno);
        }
        if (n == 0)
            break; // end of file: the rest stays 0
        gelesen += static_cast<std::size_t>(n);
    }
}

} // namespace cartonym
