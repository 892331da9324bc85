// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the screenshots of docs/ from the real windows and measures the
// processor time the program uses, idle and with its About window open, from
// /proc/self/stat. Run under a display (an X server or Xvfb):
//   cartonym-screenshots SNES_DAT DEMO_FOLDER OUTPUT_FOLDER [SECONDS]
// The demo folder gets one image with a long name and 1,500 home-made ones
// and is then sorted by the batch run it performs; SECONDS (default 0: no measurement) is the length
// of each processor measurement.
#include "common/message.h"
#include "fixtures/rom_builder.h"
#include "operations/identification.h"
#include "ui/about_window.h"
#include "ui/clock.h"
#include "ui/first_start_hint.h"
#include "ui/main_window.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/widgets.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using namespace cartonym::ui;

// Message boxes are answered at once; their texts go to the terminal.
class PrintedMessages : public MessageService {
public:
    MessageAnswer show(QWidget*, const cartonym::Message& message, MessageButtons) override
    {
        std::printf("[%s] %s\n", message.title.c_str(), message.text.c_str());
        return MessageAnswer::Ok;
    }
};

void wait_for(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// User and system time of this process in seconds, from /proc/self/stat
// (Linux only: elsewhere there is no measurement).
double processor_seconds()
{
#ifdef _WIN32
    return 0.0;
#else
    std::ifstream file("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14)
            utime = std::stoull(field);
        if (number == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
#endif
}

void measure(const char* what, int seconds)
{
#ifdef _WIN32
    seconds = 0;
#endif
    if (seconds <= 0)
        return;
    const double before = processor_seconds();
    QElapsedTimer clock;
    clock.start();
    wait_for(seconds * 1000);
    const double used = processor_seconds() - before;
    const double elapsed = static_cast<double>(clock.elapsed()) / 1000.0;
    std::printf(
        "%s: %.2f s of processor time in %.1f s = %.2f %% of one core\n", what, used, elapsed, 100.0 * used / elapsed);
}

bool save(QWidget* window, const QString& path)
{
    const bool ok = window->grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Saves the modal dialog of that name (any file chooser for "") once it is
// open, then closes it.
void save_dialog_when_open(const char* name, const QString& path, bool& ok)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, path, &ok] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || (*name ? dialog->objectName() != QLatin1String(name) : !qobject_cast<QFileDialog*>(dialog)))
            return;
        poll->stop();
        poll->deleteLater();
        QTimer::singleShot(300, dialog, [dialog, path, &ok] {
            ok &= save(dialog, path);
            dialog->reject();
        });
    });
    poll->start(20);
}

void select(Form1& form, const QString& name)
{
    auto* files = form.findChild<QListWidget*>(QStringLiteral("Dateien"));
    const auto match = files->findItems(name, Qt::MatchExactly);
    if (!match.isEmpty())
        files->setCurrentItem(match.front());
}

// The drive list's entries, printed, and the list shown open (Windows:
// its drive letters).
bool drive_list_shot(Form1& form, const QString& output)
{
    auto* drives = form.findChild<QComboBox*>(QStringLiteral("Laufwerk"));
    for (int i = 0; i < drives->count(); ++i)
        std::printf("drive list: %s\n", qPrintable(drives->itemText(i)));
#ifdef _WIN32
    drives->showPopup();
    wait_for(300);
    const bool ok = save(drives->view()->window(), output + QStringLiteral("/drive-list.png"));
    drives->hidePopup();
    return ok;
#else
    (void)output;
    return true;
#endif
}

// The preview, batch mode caught halfway through a run over the folder (its
// status line giving the files done and the time left), and the undo
// chooser after it.
bool batch_mode_shots(Form1& form, const QString& output)
{
    bool ok = true;
    form.findChild<QRadioButton*>(QStringLiteral("Batchmodus"))->click();
    form.Timer1_Timer();
    form.findChild<QCheckBox*>(QStringLiteral("Checkgamelist"))->setChecked(true);
    wait_for(200);
    // The preview of the run, with its folder and its Start button.
    save_dialog_when_open("batch_preview", output + QStringLiteral("/preview.png"), ok);
    form.preview_Click();
    auto* bar = form.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
    bool taken = false;
    QObject::connect(bar, &QProgressBar::valueChanged, &form, [&](int value) {
        if (!taken && value >= 50) {
            taken = true;
            ok &= save(&form, output + QStringLiteral("/batch-mode.png"));
        }
    });
    form.findChild<QPushButton*>(QStringLiteral("Batchrun"))->click();
    wait_for(300);
    ok &= taken;
    // File > Undo batch run... lists the run just made.
    save_dialog_when_open("undo_chooser", output + QStringLiteral("/undo.png"), ok);
    form.undo_batch_run_Click();
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: cartonym-screenshots SNES_DAT DEMO_FOLDER OUTPUT_FOLDER [SECONDS]\n");
        return 2;
    }
    load_images();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();
    const int seconds = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;

    // A copy of the database that also knows the long-named image.
    QTemporaryDir scratch;
    const std::string database = to_file_system(scratch.filePath(QStringLiteral("snes.dat")));
    const QString long_file = QStringLiteral("the_cartridge_knight_and_the_lost_save_game_special_edition.smc");
    cartonym::fixtures::write_file(database,
        cartonym::fixtures::read_file(argv[1])
            + cartonym::fixtures::database_line(
                "CARTRIDGE KNIGHT", "The Cartridge Knight and the Lost Save Game - Special Collector's Edition"));
    cartonym::fixtures::write_rom(to_file_system(folder + QLatin1Char('/') + long_file), {.name = "CARTRIDGE KNIGHT"});
    // Enough home-made images that the run lasts long enough to be caught halfway.
    for (int i = 0; i < 1500; ++i) {
        const QString name = QStringLiteral("homebrew_%1.smc").arg(i, 4, 10, QLatin1Char('0'));
        cartonym::fixtures::write_rom(to_file_system(folder + QLatin1Char('/') + name),
            {.name = "HOMEBREW " + std::to_string(i), .data_length = 0x8000});
    }

    // The settings and the catalogues of a first start, kept apart from the user's own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
    PrintedMessages messages;
    Shell shell;
    Form1 form(database, messages, shell, default_clock());
    form.show();
    form.findChild<FolderTree*>(QStringLiteral("Ordner"))->set_path(folder);
    wait_for(300);
    bool ok = drive_list_shot(form, output);
    // The hint of a first start, beside the window.
    if (QDialog* hint = show_first_start_hint(&form, [] {})) {
        wait_for(300);
        ok &= save(hint, output + QStringLiteral("/first-start-hint.png"));
        hint->reject();
    } else {
        ok = false;
    }

    // File mode with a known image selected, in both styles.
    select(form, QStringLiteral("starlight.smc"));
    wait_for(200);
    ok &= save(&form, output + QStringLiteral("/file-mode.png"));
    measure("idle window", seconds);
    form.findChild<QRadioButton*>(QStringLiteral("Optiondateinamenultrahle"))->click();
    select(form, long_file);
    wait_for(200);
    ok &= save(&form, output + QStringLiteral("/file-mode-no-spaces.png"));
    form.findChild<QRadioButton*>(QStringLiteral("Optiondateinamennormal"))->click();

    // The About window, scrolling for a while.
    {
        // It names the database given, not the scratch copy that stands in for it.
        frmAbout about(&form, messages, shell, default_clock(),
            QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath(), [&form] { form.setEnabled(true); });
        about.show();
        wait_for(2500);
        ok &= save(&about, output + QStringLiteral("/about.png"));
        measure("About window open", seconds);
        about.accept();
    }

    // File > Export a set..., with the folder shown as its source.
    save_dialog_when_open("export_set", output + QStringLiteral("/export.png"), ok);
    form.export_a_set_Click();

    ok &= batch_mode_shots(form, output);

    // Database > Report... with a catalogue registered: the file chooser with its two formats.
    const std::string catalogue = to_file_system(scratch.filePath(QStringLiteral("demo.dat")));
    cartonym::fixtures::write_file(catalogue,
        "<?xml version=\"1.0\"?>\n<datafile><header><name>Demo Set</name><version>1</version></header>\n"
        "</datafile>\n");
    cartonym::add_catalogues({catalogue});
    QDir::setCurrent(folder); // where the chooser opens
    save_dialog_when_open("", output + QStringLiteral("/report-dialog.png"), ok);
    form.catalogue_report_Click();
    return ok ? 0 : 1;
}
