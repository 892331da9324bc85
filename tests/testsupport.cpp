#include "tests/testsupport.h"

#include "fixtures/rombau.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

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

std::map<std::string, std::string> Baumzustand(const std::filesystem::path& ordner)
{
    std::map<std::string, std::string> zustand;
    for (const auto& eintrag : std::filesystem::recursive_directory_iterator(ordner)) {
        if (eintrag.is_regular_file() && !eintrag.is_symlink())
            zustand[std::filesystem::relative(eintrag.path(), ordner).string()] = fixtures::Lies_datei(eintrag.path().string());
    }
    return zustand;
}

} // namespace cartonym::test
