#include "operations/folder_listing.h"

#include "common/system_calls.h"
#include "common/error.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace cartonym {
namespace {

std::string Klein(const std::string& name)
{
    std::string klein = name;
    for (char& zeichen : klein) {
        if (zeichen >= 'A' && zeichen <= 'Z')
            zeichen = static_cast<char>(zeichen - 'A' + 'a');
    }
    return klein;
}

} // namespace

std::vector<std::string> Liste_dateien(const std::string& ordner)
{
    if (const int fehler = Injizierter_fehler(Systemoperation::Auflisten, ordner))
        Wirf_errno(fehler);
    DIR* verzeichnis = ::opendir(ordner.c_str());
    if (verzeichnis == nullptr)
        Wirf_errno(errno);

    std::vector<std::pair<std::string, std::string>> eintraege; // folded name, name
    const int ordner_fd = ::dirfd(verzeichnis);
    for (;;) {
        errno = 0;
        const dirent* eintrag = ::readdir(verzeichnis);
        if (eintrag == nullptr) {
            const int fehler = errno;
            if (fehler == 0)
                break;
            ::closedir(verzeichnis);
            Wirf_errno(fehler);
        }
        const std::string name = eintrag->d_name;
        if (name.empty() || name.front() == '.')
            continue; // ".", ".." and hidden files
        // The entry's type from the folder itself spares a stat per file;
        // links (a link counts when it leads to a regular file) and file
        // systems that do not tell the type are examined.
        if (eintrag->d_type != DT_REG) {
            if (eintrag->d_type != DT_LNK && eintrag->d_type != DT_UNKNOWN)
                continue;
            struct stat info {};
            if (::fstatat(ordner_fd, name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode))
                continue;
        }
        eintraege.emplace_back(Klein(name), name);
    }
    ::closedir(verzeichnis);

    std::sort(eintraege.begin(), eintraege.end());
    std::vector<std::string> dateien;
    dateien.reserve(eintraege.size());
    for (auto& [gefaltet, name] : eintraege)
        dateien.push_back(std::move(name));
    return dateien;
}

} // namespace cartonym
