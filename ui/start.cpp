#include "ui/start.h"

#include "naming/name_database.h"
#include "ui/form1.h"
#include "ui/meldungsdienst.h"

namespace cartonym::ui {

std::unique_ptr<Form1> Starte_form1(const std::string& Datenbankpfad, Meldungsdienst& meldungen, Schale& schale,
                                    Uhr& uhr)
{
    const Startpruefung pruefung = Pruefe_datenbank(Datenbankpfad);
    switch (pruefung.zustand) {
    case Startzustand::Bereit:
        break;
    case Startzustand::Datenbank_fehlt:
        meldungen.zeige(nullptr, {"Error !", pruefung.meldung, Meldungssymbol::Ausrufezeichen});
        return nullptr;
    case Startzustand::Datenbank_fehlerhaft:
        meldungen.zeige(nullptr, {"Error !", pruefung.meldung, Meldungssymbol::Ausrufezeichen});
        break;
    }
    return std::make_unique<Form1>(Datenbankpfad, meldungen, schale, uhr);
}

} // namespace cartonym::ui
