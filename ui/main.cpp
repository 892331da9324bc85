// The desktop program: checks for snes.dat, then shows the main window.
#include "common/program_info.h"
#include "naming/name_database.h"
#include "ui/anzeige.h"
#include "ui/form1.h"
#include "ui/meldungsdienst.h"
#include "ui/start.h"
#include "ui/uhr.h"

#include <QtGui/QIcon>
#include <QtWidgets/QApplication>

#include <exception>

int main(int argc, char** argv)
{
    QApplication anwendung(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(cartonym::program_info::Name));
    QApplication::setApplicationVersion(QString::fromUtf8(cartonym::program_info::version_text));
    cartonym::ui::Lade_bilder();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/bilder/symbol.png")));
    QApplication::setDesktopFileName(QStringLiteral("cartonym"));

    using namespace cartonym::ui;
    try {
        const auto fenster = Starte_form1(cartonym::default_database_path(), Standard_meldungsdienst(),
                                          Standard_schale(), Standard_uhr());
        if (!fenster)
            return 1;
        fenster->show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        Standard_meldungsdienst().zeige(nullptr, {"Error !", error.what(), cartonym::MessageIcon::Exclamation});
        return 1;
    }
}
