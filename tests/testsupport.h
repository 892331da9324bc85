// Shared helpers of the tests: temporary folders, file trees, injected
// failures, the temporary-folder variables and runs of the real cartonym-cli.
#pragma once

#include "analysis/rom_analysis.h"
#include "common/system_calls.h"
#include "common/error.h"
#include "fixtures/rom_builder.h"

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

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

using Baum = std::map<std::string, std::string>;

// Every regular file below ordner, by path relative to it, with its content.
Baum Baumzustand(const std::filesystem::path& ordner);

// Installs a failure hook for one scope.
class Hakenwaechter {
public:
    explicit Hakenwaechter(Fehlerhaken haken) : alt_(Setze_fehlerhaken(std::move(haken))) {}
    ~Hakenwaechter() { Setze_fehlerhaken(std::move(alt_)); }

private:
    Fehlerhaken alt_;
};

// A hook that fails every operation of one kind with errnum.
Fehlerhaken Scheitere_bei(Systemoperation gesucht, int errnum);

// The number of the Fehler that f throws, 0 when it throws none.
template <typename F>
int Fehlernummer_von(F&& f)
{
    try {
        f();
    } catch (const Fehler& fehler) {
        return fehler.zahl();
    }
    return 0;
}

// Removes every variable naming a temporary folder ("temp" in any letter
// case, TMPDIR), sets the given ones, and restores all of them afterwards.
class Temp_umgebung {
public:
    explicit Temp_umgebung(const std::vector<std::pair<std::string, std::string>>& setzen);
    ~Temp_umgebung();
    Temp_umgebung(const Temp_umgebung&) = delete;
    Temp_umgebung& operator=(const Temp_umgebung&) = delete;

private:
    std::vector<std::pair<std::string, std::string>> alt_, gesetzt_;
};

// A run of the real cartonym-cli (its path given), stdin from /dev/null.
struct Aufruf {
    int status = -1;
    std::string out, err;
};
Aufruf Rufe_programm(const std::string& programm, const std::vector<std::string>& argumente,
                     const Tempordner& ablage);

// A FIFO or a bound Unix socket at pfad.
void Lege_fifo_an(const std::string& pfad);
void Lege_socket_an(const std::string& pfad);

// An image as the lookup sees it: the internal name (padded), checksum key, suffix, extension.
Analyse Analyse_fuer(const std::string& name, const std::string& pruefsumme = "3412",
                     const std::string& kuerzel = " (JAP)", const std::string& endung = ".fig");

// The contents of every file below ordner but games.htm and unknown.log, sorted.
std::vector<std::string> Bildinhalte(const std::filesystem::path& ordner);

// The message of failure nummer while processing pfad.
std::string Fehlertext(int nummer, const std::string& pfad);

// A batch run's world: the folder F, the database and the temporary folder
// (the variable temp names it) side by side in one test folder.
struct Laufordner {
    Tempordner t;
    std::string F = t / "roms", db = t / "snes.dat", tempordner = t / "temp";
    Temp_umgebung temp{{{"temp", tempordner}}};

    explicit Laufordner(const std::string& datenbank,
                        const std::vector<std::pair<std::string, fixtures::Rombauplan>>& bilder = {});
    std::string in_F(const std::string& name) const { return F + "/" + name; }
    void bild(const std::string& name, const fixtures::Rombauplan& plan) const { datei(name, fixtures::Baue_rom(plan)); }
    void datei(const std::string& name, const std::string& inhalt) const;
};

} // namespace cartonym::test
