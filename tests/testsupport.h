// Shared helpers of the tests: temporary folders and file contents.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace cartonym::test {

// A fresh folder below the system's temporary folder, removed afterwards.
class Tempordner {
public:
    Tempordner();
    ~Tempordner();
    Tempordner(const Tempordner&) = delete;
    Tempordner& operator=(const Tempordner&) = delete;

    const std::filesystem::path& pfad() const { return pfad_; }
    std::string operator/(const std::string& name) const { return (pfad_ / name).string(); }

private:
    std::filesystem::path pfad_;
};

// Every regular file below ordner, by path relative to it, with its content.
std::map<std::string, std::string> Baumzustand(const std::filesystem::path& ordner);

} // namespace cartonym::test
