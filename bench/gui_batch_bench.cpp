// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of the window's batch run against cartonym-cli's.
//
// Writes a folder of sparse images (every copier header kind and both maps,
// some unknown, some duplicates, some non-images) and a snes.dat naming
// them, then runs the window's own "Start Batchmode" handler offscreen on
// one copy and `cartonym-cli batch` on a fresh copy, both with the game
// list, and prints one line:
//   gui-batch N images: window S s, cli S s, ratio R
// The times are medians of three rounds, each on freshly written folders,
// the window and the command line taking turns.
// Usage: cartonym-gui-bench CARTONYM_CLI WORKDIR [IMAGES]
#include "bench/bench_folder.h"
#include "fixtures/rom_builder.h"
#include "ui/clock.h"
#include "ui/main_window.h"
#include "ui/message_service.h"
#include "ui/widgets.h"

#include <QtCore/QElapsedTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QRadioButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace cartonym::fixtures;
using namespace cartonym::bench;

double run_cli(const std::string& cli, const std::string& database, const std::string& folder)
{
    std::vector<std::string> arguments = {cli, "batch", "--db", database, "--gamelist", folder};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    check(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0, "posix_spawn");
    int status = 0;
    check(::waitpid(pid, &status, 0) == pid, "waitpid");
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// Message boxes are answered at once, as a user who presses OK at once.
class SilentMessages : public cartonym::ui::MessageService {
public:
    cartonym::ui::MessageAnswer show(QWidget*, const cartonym::Message&, cartonym::ui::MessageButtons) override
    {
        return cartonym::ui::MessageAnswer::Ok;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: cartonym-gui-bench CARTONYM_CLI WORKDIR [IMAGES]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::string cli = argv[1];
    const fs::path work = argv[2];
    const int images = argc > 3 ? std::atoi(argv[3]) : 10000;
    fs::create_directories(work);
    const std::string database = (work / "snes.dat").string();
    write_database(database, images);

    SilentMessages messages;
    cartonym::ui::Shell shell;
    cartonym::ui::Form1 form(database, messages, shell, cartonym::ui::default_clock());
    form.show();
    auto* folders = form.findChild<cartonym::ui::FolderTree*>(QStringLiteral("Ordner"));
    form.findChild<QRadioButton*>(QStringLiteral("Batchmodus"))->click();
    form.Timer1_Timer();
    form.findChild<QCheckBox*>(QStringLiteral("Checkgamelist"))->setChecked(true);

    std::vector<double> window_times, cli_times;
    const fs::path folder = work / "images";
    for (int round = 0; round < 3; ++round) {
        // The window's own handler, as a click on "Start Batchmode" runs it.
        write_folder(folder, images, images, 0x100000);
        folders->set_path(QString::fromStdString(folder.string()));
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        form.Batchrun_Click();
        window_times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        QApplication::processEvents();
        folders->set_path(QString::fromStdString(work.string()));

        write_folder(folder, images, images, 0x100000);
        cli_times.push_back(run_cli(cli, database, folder.string()));
    }
    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const double window_seconds = median(window_times);
    const double cli_seconds = median(cli_times);
    std::printf("gui-batch %d images: window %.2f s, cli %.2f s, ratio %.2f\n", images, window_seconds, cli_seconds,
        window_seconds / cli_seconds);
    fs::remove_all(folder);
    return 0;
}
