// Takes the screenshots of docs/ from the real windows and measures the
// processor time the program uses while its About window is open. Run under
// a display (an X server or Xvfb):
//   cartonym-bildschirmfotos SNES_DAT DEMO_FOLDER OUTPUT_FOLDER [ABOUT_SECONDS]
// The demo folder is sorted by the batch run it performs.
#include "common/message.h"
#include "ui/anzeige.h"
#include "ui/form1.h"
#include "ui/frmabout.h"
#include "ui/meldungsdienst.h"
#include "ui/steuerelemente.h"
#include "ui/uhr.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

#include <sys/resource.h>

#include <cstdio>

namespace {

// Message boxes are answered at once; their texts go to the terminal.
class Stille_meldungen : public cartonym::ui::Meldungsdienst {
public:
    cartonym::ui::Meldungsantwort zeige(QWidget*, const cartonym::Message& message,
                                        cartonym::ui::Meldungsknoepfe) override
    {
        std::printf("[%s] %s\n", message.title.c_str(), message.text.c_str());
        return cartonym::ui::Meldungsantwort::Ok;
    }
};

void wait_for(int millisekunden)
{
    QEventLoop schleife;
    QTimer::singleShot(millisekunden, &schleife, &QEventLoop::quit);
    schleife.exec();
}

double Prozessorsekunden()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool Speichere(QWidget* fenster, const QString& path)
{
    const bool ok = fenster->grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication anwendung(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: cartonym-bildschirmfotos SNES_DAT DEMO_FOLDER OUTPUT_FOLDER [ABOUT_SECONDS]\n");
        return 2;
    }
    using namespace cartonym::ui;
    Lade_bilder();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString ausgabe = QString::fromLocal8Bit(argv[3]);
    const int about_sekunden = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;

    Stille_meldungen messages;
    Schale schale;
    Form1 form(argv[1], messages, schale, Standard_uhr());
    form.show();
    form.Ordner->setze_pfad(folder);
    wait_for(300);
    bool ok = true;

    // File mode with a known image selected.
    const auto match = form.Dateien->findItems(QStringLiteral("starlight.smc"), Qt::MatchExactly);
    if (!match.isEmpty())
        form.Dateien->setCurrentItem(match.front());
    wait_for(200);
    ok &= Speichere(&form, ausgabe + QStringLiteral("/file-mode.png"));

    // The About window, scrolling for a while.
    frmAbout about(&form, messages, schale, Standard_uhr(), [&form] { form.setEnabled(true); });
    about.show();
    wait_for(2500);
    ok &= Speichere(&about, ausgabe + QStringLiteral("/about.png"));
    if (about_sekunden > 0) {
        const double before = Prozessorsekunden();
        QElapsedTimer clock_;
        clock_.start();
        wait_for(about_sekunden * 1000);
        const double verbraucht = Prozessorsekunden() - before;
        std::printf("about-open cpu %.3f s in %.1f s = %.2f %% of one core, %d frames\n", verbraucht,
                    static_cast<double>(clock_.elapsed()) / 1000.0,
                    100.0 * verbraucht / (static_cast<double>(clock_.elapsed()) / 1000.0), about.image_count);
    }
    about.Command1->click();

    // Batch mode after a run over the folder.
    form.Batchmodus->click();
    form.Timer1_Timer();
    form.Checkgamelist->setChecked(true);
    form.Batchrun->click();
    wait_for(300);
    ok &= Speichere(&form, ausgabe + QStringLiteral("/batch-mode.png"));
    return ok ? 0 : 1;
}
