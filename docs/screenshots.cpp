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
    cartonym::ui::Meldungsantwort zeige(QWidget*, const cartonym::Meldung& meldung,
                                        cartonym::ui::Meldungsknoepfe) override
    {
        std::printf("[%s] %s\n", meldung.titel.c_str(), meldung.text.c_str());
        return cartonym::ui::Meldungsantwort::Ok;
    }
};

void Warte(int millisekunden)
{
    QEventLoop schleife;
    QTimer::singleShot(millisekunden, &schleife, &QEventLoop::quit);
    schleife.exec();
}

double Prozessorsekunden()
{
    rusage verbrauch{};
    getrusage(RUSAGE_SELF, &verbrauch);
    return static_cast<double>(verbrauch.ru_utime.tv_sec + verbrauch.ru_stime.tv_sec)
        + static_cast<double>(verbrauch.ru_utime.tv_usec + verbrauch.ru_stime.tv_usec) / 1e6;
}

bool Speichere(QWidget* fenster, const QString& pfad)
{
    const bool ok = fenster->grab().save(pfad, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(pfad));
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
    const QString ordner = QString::fromLocal8Bit(argv[2]);
    const QString ausgabe = QString::fromLocal8Bit(argv[3]);
    const int about_sekunden = argc > 4 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;

    Stille_meldungen meldungen;
    Schale schale;
    Form1 form(argv[1], meldungen, schale, Standard_uhr());
    form.show();
    form.Ordner->setze_pfad(ordner);
    Warte(300);
    bool ok = true;

    // File mode with a known image selected.
    const auto treffer = form.Dateien->findItems(QStringLiteral("starlight.smc"), Qt::MatchExactly);
    if (!treffer.isEmpty())
        form.Dateien->setCurrentItem(treffer.front());
    Warte(200);
    ok &= Speichere(&form, ausgabe + QStringLiteral("/file-mode.png"));

    // The About window, scrolling for a while.
    frmAbout about(&form, meldungen, schale, Standard_uhr(), [&form] { form.setEnabled(true); });
    about.show();
    Warte(2500);
    ok &= Speichere(&about, ausgabe + QStringLiteral("/about.png"));
    if (about_sekunden > 0) {
        const double vorher = Prozessorsekunden();
        QElapsedTimer uhr;
        uhr.start();
        Warte(about_sekunden * 1000);
        const double verbraucht = Prozessorsekunden() - vorher;
        std::printf("about-open cpu %.3f s in %.1f s = %.2f %% of one core, %d frames\n", verbraucht,
                    static_cast<double>(uhr.elapsed()) / 1000.0,
                    100.0 * verbraucht / (static_cast<double>(uhr.elapsed()) / 1000.0), about.Bilderzahl);
    }
    about.Command1->click();

    // Batch mode after a run over the folder.
    form.Batchmodus->click();
    form.Timer1_Timer();
    form.Checkgamelist->setChecked(true);
    form.Batchrun->click();
    Warte(300);
    ok &= Speichere(&form, ausgabe + QStringLiteral("/batch-mode.png"));
    return ok ? 0 : 1;
}
