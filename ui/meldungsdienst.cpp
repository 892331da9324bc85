#include "ui/meldungsdienst.h"

#include "ui/anzeige.h"

#include <QtGui/QDesktopServices>
#include <QtWidgets/QMessageBox>

namespace cartonym::ui {

Meldungsdienst::~Meldungsdienst() = default;

Meldungsantwort Meldungsdienst::zeige(QWidget* eltern, const Meldung& meldung, Meldungsknoepfe knoepfe)
{
    QMessageBox::Icon symbol = QMessageBox::NoIcon;
    switch (meldung.symbol) {
    case Meldungssymbol::Keines:
        symbol = QMessageBox::NoIcon;
        break;
    case Meldungssymbol::Information:
        symbol = QMessageBox::Information;
        break;
    case Meldungssymbol::Ausrufezeichen:
        symbol = QMessageBox::Warning;
        break;
    }
    const QMessageBox::StandardButtons knoepfe_qt = knoepfe == Meldungsknoepfe::Ok
        ? QMessageBox::StandardButtons(QMessageBox::Ok)
        : QMessageBox::Retry | QMessageBox::Cancel;
    QMessageBox box(symbol, Qtext(meldung.titel), Qtext(meldung.text), knoepfe_qt, eltern);
    box.setTextFormat(Qt::PlainText);
    const int antwort = box.exec();
    if (antwort == QMessageBox::Retry)
        return Meldungsantwort::Wiederholen;
    if (antwort == QMessageBox::Cancel)
        return Meldungsantwort::Abbrechen;
    return Meldungsantwort::Ok;
}

Schale::~Schale() = default;

void Schale::oeffne(const QUrl& adresse)
{
    QDesktopServices::openUrl(adresse);
}

Meldungsdienst& Standard_meldungsdienst()
{
    static Meldungsdienst dienst;
    return dienst;
}

Schale& Standard_schale()
{
    static Schale schale;
    return schale;
}

} // namespace cartonym::ui
