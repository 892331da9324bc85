// Benchmark of cartonym-cli against the machine's floor.
//
// For each image count N it writes a folder of sparse images (0.5 to 8 MiB,
// every copier header kind and both maps, some unknown, some duplicates,
// some non-images) and a snes.dat of M records holding the images' names
// spread through it, some near the end. It then times, on a fresh copy of
// the folder each run:
//   info  - cartonym-cli info over every file (in argument chunks),
//   batch - one cartonym-cli batch run with the game list,
//   floor - the unavoidable system work done in-process: list the folder,
//           open each file, read the fixed header sites, close, one move.
// It prints the median times, the ratios to the floor and the peak memory.
#include "fixtures/rom_builder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <linux/fs.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace cartonym::fixtures;
using Uhr = std::chrono::steady_clock;

struct Messung {
    double sekunden = 0;
    long spitze_kib = 0;
};

void Pruefe(bool ok, const std::string& was)
{
    if (!ok) {
        std::perror(was.c_str());
        std::exit(1);
    }
}

// Writes only the bytes the analysis reads (the first 512 bytes and the
// chosen header site); the rest of the file is a hole.
void Schreibe_duenn(const std::string& pfad, const Rombauplan& plan)
{
    Rombauplan klein = plan;
    klein.datenlaenge = std::min<std::uint64_t>(plan.datenlaenge, 0x10000);
    const std::string bild = Baue_rom(klein);
    const std::uint64_t kopf = plan.kopf == Kopierkopf::Keiner ? 0 : 512;
    const std::uint64_t site = kopf + (plan.karte == Karte::LoRom ? 0x7FC0 : 0xFFC0);
    const int fd = ::open(pfad.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Pruefe(fd >= 0, pfad);
    Pruefe(::pwrite(fd, bild.data(), 1024, 0) == 1024, "pwrite");
    Pruefe(::pwrite(fd, bild.data() + site, 32, static_cast<off_t>(site)) == 32, "pwrite");
    Pruefe(::ftruncate(fd, static_cast<off_t>(kopf + plan.datenlaenge)) == 0, "ftruncate");
    ::close(fd);
}

std::string Schluessel(int nummer)
{
    char text[32];
    std::snprintf(text, sizeof text, "BENCH GAME %06d", nummer);
    return text;
}

// The images of one folder; deterministic, so every run gets the same one.
void Schreibe_ordner(const fs::path& ordner, int bilder, int datensaetze, std::uint64_t groesse)
{
    fs::remove_all(ordner);
    fs::create_directories(ordner);
    std::mt19937 zufall(4711);
    const Kopierkopf koepfe[] = {Kopierkopf::Keiner, Kopierkopf::SWC, Kopierkopf::GDR, Kopierkopf::FIG, Kopierkopf::COS};
    // The known names are every 1.25th record, so they reach the file's end.
    const int bekannte = std::max(1, datensaetze * 4 / 5);
    for (int i = 0; i < bilder; ++i) {
        char name[64];
        const int art = i % 20;
        if (art == 19) { // a non-image
            std::snprintf(name, sizeof name, "notes_%06d.txt", i);
            Schreibe_datei((ordner / name).string(), "not an image\r\n");
            continue;
        }
        Rombauplan plan;
        plan.kopf = koepfe[i % 5];
        plan.karte = (plan.kopf == Kopierkopf::COS || (i / 5) % 2 == 0) ? Karte::LoRom : Karte::HiRom;
        const int satz = (i * 7919) % bekannte;
        plan.name = art == 18 ? "UNKNOWN BENCH " + std::to_string(i) : Schluessel(satz * 5 / 4);
        // Copies of one image (art 17 repeats its predecessor) become duplicates;
        // otherwise the country tells images of one name apart.
        const int basis = art == 17 ? i - 1 : i;
        plan.land = static_cast<std::uint8_t>((basis / bekannte) % 14);
        plan.pruefsumme = static_cast<std::uint16_t>(basis * 31 + 7);
        // 0.5 to 8 MiB, or the one size asked for.
        plan.datenlaenge = groesse != 0 ? groesse : 0x80000 + (static_cast<std::uint64_t>(zufall()) % 16) * 0x80000;
        std::snprintf(name, sizeof name, "image_%06d.smc", i);
        Schreibe_duenn((ordner / name).string(), plan);
    }
}

void Schreibe_datenbank(const fs::path& pfad, int datensaetze)
{
    std::string inhalt;
    for (int r = 0; r < datensaetze; ++r)
        inhalt += Datenbankzeile(Schluessel(r), "Bench Game " + std::to_string(r));
    Schreibe_datei(pfad.string(), inhalt);
}

// Runs a program, output to /dev/null; returns wall time and peak memory.
Messung Starte(const std::vector<std::string>& argumente)
{
    std::vector<char*> argv;
    for (const auto& a : argumente)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
    const auto beginn = Uhr::now();
    pid_t pid = 0;
    Pruefe(posix_spawn(&pid, argv[0], &aktionen, nullptr, argv.data(), environ) == 0, "posix_spawn");
    int status = 0;
    rusage verbrauch {};
    Pruefe(::wait4(pid, &status, 0, &verbrauch) == pid, "wait4");
    posix_spawn_file_actions_destroy(&aktionen);
    return {std::chrono::duration<double>(Uhr::now() - beginn).count(), verbrauch.ru_maxrss};
}

std::vector<std::string> Dateien_von(const fs::path& ordner)
{
    std::vector<std::string> dateien;
    for (const auto& eintrag : fs::directory_iterator(ordner))
        if (eintrag.is_regular_file())
            dateien.push_back(eintrag.path().string());
    std::sort(dateien.begin(), dateien.end());
    return dateien;
}

Messung Miss_info(const std::string& cli, const fs::path& datenbank, const fs::path& ordner)
{
    const auto dateien = Dateien_von(ordner);
    Messung gesamt;
    constexpr std::size_t stueck = 2000;
    for (std::size_t von = 0; von < dateien.size(); von += stueck) {
        std::vector<std::string> argumente = {cli, "info", "--db", datenbank.string()};
        for (std::size_t i = von; i < std::min(dateien.size(), von + stueck); ++i)
            argumente.push_back(dateien[i]);
        const Messung teil = Starte(argumente);
        gesamt.sekunden += teil.sekunden;
        gesamt.spitze_kib = std::max(gesamt.spitze_kib, teil.spitze_kib);
    }
    return gesamt;
}

// The floor: what any tool must do for the same files.
Messung Miss_boden(const fs::path& ordner)
{
    const auto beginn = Uhr::now();
    DIR* verzeichnis = ::opendir(ordner.c_str());
    Pruefe(verzeichnis != nullptr, "opendir");
    std::vector<std::string> namen;
    while (const dirent* eintrag = ::readdir(verzeichnis))
        if (eintrag->d_name[0] != '.')
            namen.emplace_back(eintrag->d_name);
    ::closedir(verzeichnis);
    const int ordner_fd = ::open(ordner.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Pruefe(::mkdirat(ordner_fd, "moved", 0755) == 0, "mkdir");
    unsigned char puffer[512];
    unsigned long summe = 0;
    for (const auto& name : namen) {
        const int fd = ::openat(ordner_fd, name.c_str(), O_RDONLY | O_CLOEXEC);
        Pruefe(fd >= 0, name);
        Pruefe(::pread(fd, puffer, 512, 0) >= 0, "pread");
        for (const off_t site : {0x7FC0, 0xFFC0, 0x81C0, 0x101C0})
            Pruefe(::pread(fd, puffer, 32, site) >= 0, "pread");
        summe += puffer[0];
        ::close(fd);
        const std::string ziel = "moved/" + name;
        Pruefe(::syscall(SYS_renameat2, ordner_fd, name.c_str(), ordner_fd, ziel.c_str(), RENAME_NOREPLACE) == 0, "renameat2");
    }
    ::close(ordner_fd);
    rusage verbrauch {};
    ::getrusage(RUSAGE_SELF, &verbrauch);
    (void)summe;
    return {std::chrono::duration<double>(Uhr::now() - beginn).count(), verbrauch.ru_maxrss};
}

double Median(std::vector<double> werte)
{
    std::sort(werte.begin(), werte.end());
    return werte[werte.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::cerr << "usage: cartonym-bench CARTONYM-CLI WORKDIR N [N...] [--records M] [--runs R] [--sizes] [--generate-only]\n";
        return 2;
    }
    const std::string cli = fs::absolute(argv[1]).string();
    const fs::path arbeit = fs::absolute(argv[2]);
    std::vector<int> anzahlen;
    int datensaetze = 10000;
    int laeufe = 3;
    bool mit_groessen = false;
    bool nur_erzeugen = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc)
            datensaetze = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            laeufe = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--sizes") == 0)
            mit_groessen = true;
        else if (std::strcmp(argv[i], "--generate-only") == 0)
            nur_erzeugen = true;
        else
            anzahlen.push_back(std::atoi(argv[i]));
    }
    fs::create_directories(arbeit);
    const fs::path datenbank = arbeit / "snes.dat";
    Schreibe_datenbank(datenbank, datensaetze);
    if (nur_erzeugen) { // leave one folder for profiling by hand
        Schreibe_ordner(arbeit / "images", anzahlen.empty() ? 1000 : anzahlen.front(), datensaetze, 0);
        return 0;
    }

    std::printf("| images N | records M | image sizes | info (s) | batch (s) | floor (s) | info / floor | batch / floor | peak memory info / batch (MiB) |\n");
    std::printf("|---:|---:|---|---:|---:|---:|---:|---:|---:|\n");
    struct Fall {
        int n;
        std::uint64_t groesse;
        const char* text;
    };
    std::vector<Fall> faelle;
    for (const int n : anzahlen)
        faelle.push_back({n, 0, "0.5-8 MiB"});
    if (mit_groessen && !anzahlen.empty()) {
        faelle.push_back({anzahlen.front(), 0x80000, "all 0.5 MiB"});
        faelle.push_back({anzahlen.front(), 0x4000000, "all 64 MiB"});
    }
    for (const Fall& fall : faelle) {
        std::vector<double> info, batch, boden;
        long spitze_info = 0, spitze_batch = 0;
        const fs::path ordner = arbeit / "images";
        for (int lauf = 0; lauf < laeufe; ++lauf) {
            Schreibe_ordner(ordner, fall.n, datensaetze, fall.groesse);
            const Messung i = Miss_info(cli, datenbank, ordner);
            const Messung b = Starte({cli, "batch", "--db", datenbank.string(), "--gamelist", ordner.string()});
            Schreibe_ordner(ordner, fall.n, datensaetze, fall.groesse);
            const Messung f = Miss_boden(ordner);
            info.push_back(i.sekunden);
            batch.push_back(b.sekunden);
            boden.push_back(f.sekunden);
            spitze_info = std::max(spitze_info, i.spitze_kib);
            spitze_batch = std::max(spitze_batch, b.spitze_kib);
        }
        const double mi = Median(info), mb = Median(batch), mf = Median(boden);
        std::printf("| %d | %d | %s | %.3f | %.3f | %.3f | %.2f | %.2f | %.1f / %.1f |\n", fall.n, datensaetze, fall.text,
                    mi, mb, mf, mi / mf, mb / mf, static_cast<double>(spitze_info) / 1024.0,
                    static_cast<double>(spitze_batch) / 1024.0);
        std::fflush(stdout);
    }
    fs::remove_all(arbeit / "images");
    return 0;
}
