// Crash safety: cartonym-cli batch is killed with SIGKILL at random moments
// on a folder of several hundred images. After every kill each image is
// still there exactly once, byte for byte, and a following run completes.
#include "fixtures/rom_builder.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace cartonym;

constexpr int Bilderzahl = 300;

void Schreibe_ordner(const fs::path& ordner)
{
    fs::create_directories(ordner);
    for (int i = 0; i < Bilderzahl; ++i) {
        const std::string datei = "image " + std::to_string(i) + ".smc";
        if (i % 25 == 24) {
            fixtures::Schreibe_datei((ordner / ("notes " + std::to_string(i) + ".txt")).string(), "no image " + std::to_string(i));
            continue;
        }
        // Every tenth image is unknown; three images in a row share a game and become duplicates.
        fixtures::Schreibe_rom((ordner / datei).string(), {.name = i % 10 == 9 ? "UNKNOWN " + std::to_string(i) : "GAME " + std::to_string(i / 3),
                                                           .pruefsumme = static_cast<std::uint16_t>(i), .datenlaenge = 0x8000});
    }
}

pid_t Starte_batch(const std::string& datenbank, const fs::path& ordner)
{
    const std::string cli = CARTONYM_CLI_PATH;
    std::vector<std::string> argumente = {cli, "batch", "--gamelist", "--db", datenbank, ordner.string()};
    std::vector<char*> argv;
    for (auto& a : argumente)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t aktionen;
    posix_spawn_file_actions_init(&aktionen);
    posix_spawn_file_actions_addopen(&aktionen, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&aktionen, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int fehler = posix_spawn(&pid, cli.c_str(), &aktionen, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&aktionen);
    return fehler == 0 ? pid : -1;
}

int Warte(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0), status;
}

} // namespace

TEST(Absturz, EveryImageSurvivesSigkillAtRandomMomentsAndTheNextRunCompletes)
{
    test::Tempordner arbeit, temp;
    const test::Temp_umgebung umgebung({{"temp", temp.pfad().string()}});
    std::string datenbank_text;
    for (int spiel = 0; spiel < Bilderzahl / 3; ++spiel)
        datenbank_text += fixtures::Datenbankzeile("GAME " + std::to_string(spiel), "Game " + std::to_string(spiel));
    const std::string datenbank = arbeit / "snes.dat";
    fixtures::Schreibe_datei(datenbank, datenbank_text);

    const fs::path vorlage = arbeit.pfad() / "template";
    Schreibe_ordner(vorlage);
    const auto vorher = test::Bildinhalte(vorlage);

    // How long an undisturbed run takes, to spread the kills over it.
    const fs::path probe = arbeit.pfad() / "probe";
    fs::copy(vorlage, probe);
    const auto beginn = std::chrono::steady_clock::now();
    const pid_t probelauf = Starte_batch(datenbank, probe);
    ASSERT_GT(probelauf, 0);
    const int probestatus = Warte(probelauf);
    ASSERT_TRUE(WIFEXITED(probestatus) && WEXITSTATUS(probestatus) == 0);
    const auto dauer = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - beginn);
    ASSERT_EQ(test::Bildinhalte(probe), vorher);

    std::mt19937 zufall(1206);
    // At least 50 kills that hit a running process; a kill that comes after
    // the run has ended does not count.
    int getoetet = 0, versuch = 0;
    for (; getoetet < 50 && versuch < 200; ++versuch) {
        const fs::path ordner = arbeit.pfad() / ("kill" + std::to_string(versuch));
        fs::copy(vorlage, ordner);
        const pid_t pid = Starte_batch(datenbank, ordner);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<long>(0, dauer.count())(zufall)));
        ::kill(pid, SIGKILL);
        const int status = Warte(pid);
        if (WIFSIGNALED(status))
            ++getoetet;
        ASSERT_EQ(test::Bildinhalte(ordner), vorher) << "after the kill of attempt " << versuch;

        const int folgestatus = Warte(Starte_batch(datenbank, ordner));
        EXPECT_TRUE(WIFEXITED(folgestatus) && WEXITSTATUS(folgestatus) == 0) << "attempt " << versuch;
        ASSERT_EQ(test::Bildinhalte(ordner), vorher) << "after the run following attempt " << versuch;
        fs::remove_all(ordner);
    }
    std::printf("kills survived: %d in %d attempts (the rest ended before the signal)\n", getoetet, versuch);
    EXPECT_GE(getoetet, 50);
}
