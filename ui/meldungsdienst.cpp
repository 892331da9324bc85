#include "ui/meldungsdienst.h"

#include "ui/anzeige.h"

#include <QtGui/QDesktopServices>
#include <QtWidgets/QMessageBox>

namespace cartonym::ui {

Meldungsdienst::~Meldungsdienst() = default;

Meldungsantwort Meldungsdienst::zeige(QWidget* eltern, const Message& message, Meldungsknoepfe knoepfe)
{
    QMessageBox::Icon symbol = QMessageBox::NoIcon;
    switch (message.symbol) {
    case MessageIcon::None:
        symbol = QMessageBox::NoIcon;
        break;
    case MessageIcon::Information:
        symbol = QMessageBox::Information;
        break;
    case MessageIcon::Exclamation:
        symbol = QMessageBox::Warning;
        break;
    }
    const QMessageBox::StandardButtons knoepfe_qt = knoepfe == Meldungsknoepfe::Ok
        ? QMessageBox::StandardButtons(QMessageBox::Ok)
        : QMessageBox::Retry | QMessageBox::Cancel;
    QMessageBox box(symbol, Qtext(message.title), Qtext(message.text), knoepfe_qt, eltern);
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (answer == QMessageBox::Retry)
        return Meldungsantwort::Wiederholen;
    if (answer == QMessageBox::Cancel)
        return Meldungsantwort::Abbrechen;
    return Meldungsantwort::Ok;
}

Schale::~Schale() = default;

void Schale::oeffne(const QUrl& address)
{
    QDesktopServices::openUrl(address);
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
