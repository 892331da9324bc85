#include "operations/batch_run.h"

#include "analysis/rom_analysis.h"
#include "common/program_info.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/file_mode.h"
#include "common/file_operations.h"
#include "operations/folder_listing.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"

#include <utility>

namespace cartonym {
namespace {

constexpr const char* Ordner_duplikate = "Duplicates";
constexpr const char* Ordner_unbekannt = "Unknown_ROMs";
constexpr const char* Ordner_umbenannt = "Renamed_SNES_ROMs";

// One run with its state. Every step goes through Schritt, which applies the
// run's failure rules: a path/file access error (75) passes the step over,
// everything else ends the run (caught in Batchrun).
class Lauf {
public:
    Lauf(const Batchoptionen& optionen, const Batchbeobachter& beobachter)
        : optionen_(optionen), beobachter_(beobachter), F_(optionen.Ordner)
    {
    }

    Batchergebnis fuehre_aus();

private:
    template <typename Aktion>
    static bool Schritt(Aktion&& aktion)
    {
        try {
            aktion();
            return true;
        } catch (const Fehler& fehler) {
            if (fehler.nummer() == Fehlernummer::Zugriffsfehler)
                return false;
            throw;
        }
    }

    // The path of an entry of an output folder: F, Trenner, folder, "/", name.
    std::string Ausgabepfad(const char* ordner, const std::string& name) const
    {
        return F_ + Trenner(F_) + ordner + Pfadtrenner + name;
    }

    void status(const std::string& text) const
    {
        if (beobachter_.status)
            beobachter_.status(text);
    }
    void fortschritt(float wert)
    {
        fortschritt_ = wert;
        if (beobachter_.fortschritt)
            beobachter_.fortschritt(wert);
    }
    void melde(const Meldung& meldung)
    {
        ergebnis_.meldung = meldung;
        if (beobachter_.meldung)
            beobachter_.meldung(meldung);
    }

    // The outcome of moving an image into its output folder.
    enum class Ablage { Abgelegt, Duplikat, Uebergangen };
    Ablage lege_ab(const std::string& ziel);
    void bearbeite_datei(const std::string& Aktuelle_datei, std::int32_t anzahl);
    void entferne_ungenutzte_ordner();
    void entferne_ausgabeordner(const char* ordner);
    Meldung schlussmeldung() const;

    const Batchoptionen& optionen_;
    const Batchbeobachter& beobachter_;
    const std::string F_;
    std::string Aktuelle_datei_;
    Batchergebnis ergebnis_;
    Spielliste liste_;
    float fortschritt_ = 0;
};

Lauf::Ablage Lauf::lege_ab(const std::string& ziel)
{
    try {
        Verschiebe_datei(ergebnis_.Dateipfad, ziel);
        return Ablage::Abgelegt;
    } catch (const Fehler& fehler) {
        if (fehler.nummer() == Fehlernummer::Zugriffsfehler)
            return Ablage::Uebergangen;
        if (fehler.nummer() != Fehlernummer::Datei_existiert)
            throw;
    }
    // The name is taken: the image goes to Duplicates under its own name.
    // When that name is taken there too (an earlier run), it stays where it
    // is; it is a duplicate all the same.
    try {
        Verschiebe_datei(ergebnis_.Dateipfad, Ausgabepfad(Ordner_duplikate, Aktuelle_datei_));
    } catch (const Fehler& fehler) {
        if (fehler.nummer() != Fehlernummer::Datei_existiert && fehler.nummer() != Fehlernummer::Zugriffsfehler)
            throw;
    }
    ++ergebnis_.zaehler.duplikate;
    return Ablage::Duplikat;
}

void Lauf::bearbeite_datei(const std::string& Aktuelle_datei, std::int32_t anzahl)
{
    // The bar advances before the file is examined, and never beyond 100.
    const double summe = static_cast<double>(fortschritt_) + 100.0 / anzahl;
    if (summe <= 100.0)
        fortschritt(static_cast<float>(summe));

    Aktuelle_datei_ = Aktuelle_datei;
    ergebnis_.Dateipfad = Verbinde_pfad(F_, Aktuelle_datei);

    // A file that cannot be examined or looked up (75) stays where it is and
    // counts nowhere; nothing of an earlier file is carried over to it.
    Analyse analyse;
    if (!Schritt([&] { analyse = Analysiere_rom(ergebnis_.Dateipfad); }) || !analyse.Rom_ok)
        return;
    Namensergebnis namen;
    if (!Schritt([&] { namen = Finde_romname(analyse, optionen_.Datenbankpfad); }))
        return;

    Batchzaehler& zaehler = ergebnis_.zaehler;
    std::string Neuer_name = namen.Neuer_name;
    const bool Rom_unbekannt = Neuer_name.empty();
    if (Rom_unbekannt) {
        Neuer_name = Text_unbekannt;
        ++zaehler.unbekannt;
        ergebnis_.unbekannte.push_back(Aktuelle_datei);
        if (beobachter_.unbekannt)
            beobachter_.unbekannt(Aktuelle_datei);
        // An unknown image that lands in Duplicates counts once, as a duplicate.
        if (lege_ab(Ausgabepfad(Ordner_unbekannt, Aktuelle_datei)) == Ablage::Duplikat)
            --zaehler.unbekannt;
        Schritt([&] {
            Schreibe_unbekannt(F_ + Trenner(F_) + Ordner_unbekannt + Pfadtrenner, Cp1252_aus_dateiname(Aktuelle_datei),
                               analyse.Dateityp_text, analyse.Interner_name, analyse.Land_text, analyse.CRC1_text);
        });
    }

    if (optionen_.ohne_leerzeichen)
        Baue_dateiname(Neuer_name);

    if (Rom_unbekannt)
        return;
    // A name from the database that would lead out of the folder is refused
    // like a move the file system rejects.
    if (!Ist_einfacher_dateiname(Neuer_name))
        throw Fehler(Fehlernummer::Dateiname_falsch);
    const std::string zielname = Dateisystemname(Neuer_name);
    const bool schon_richtig = Verbinde_pfad(F_, zielname) == ergebnis_.Dateipfad;
    const Ablage ablage = lege_ab(Ausgabepfad(Ordner_umbenannt, zielname));
    if (ablage == Ablage::Uebergangen)
        return; // not filed: neither counted nor listed
    if (ablage == Ablage::Abgelegt)
        ++(schon_richtig ? zaehler.schon_richtig : zaehler.umbenannt);
    if (optionen_.spielliste && liste_.offen()) {
        Schritt([&] {
            liste_.Schreibe_listenzeile({namen.Voller_name, Neuer_name, analyse.Land_text, analyse.Dateityp_text});
        });
    }
}

void Lauf::entferne_ungenutzte_ordner()
{
    // Only an empty folder goes; one with files of an earlier run stays, and
    // so does an entry of that name that is no folder (75).
    const Batchzaehler& zaehler = ergebnis_.zaehler;
    if (zaehler.duplikate == 0)
        entferne_ausgabeordner(Ordner_duplikate);
    if (zaehler.unbekannt == 0)
        entferne_ausgabeordner(Ordner_unbekannt);
    if (zaehler.umbenannt + zaehler.schon_richtig == 0)
        entferne_ausgabeordner(Ordner_umbenannt);
}

void Lauf::entferne_ausgabeordner(const char* ordner)
{
    Schritt([&] {
        try {
            Entferne_ordner(F_ + Trenner(F_) + ordner);
        } catch (const Fehler& fehler) {
            // Gone already: the folder could not be made because a file held
            // its name, and that file has been filed away by the run.
            if (fehler.nummer() != Fehlernummer::Datei_fehlt)
                throw;
        }
    });
}

Meldung Lauf::schlussmeldung() const
{
    if (ergebnis_.zaehler.unbekannt == 0)
        return {"Cartonym Message:", Text_batch_fertig, Meldungssymbol::Information};
    return {"Cartonym Message:",
            std::string(Text_batch_fertig)
                + "\n\nThere have been some unkown ROMs. A logfile named UNKNOWN.LOG was created. Please send this "
                  "file to "
                + Programm::Kontaktadresse + " so these ROMs can be added in the next version.\n\nThank you !",
            Meldungssymbol::Ausrufezeichen};
}

Batchergebnis Lauf::fuehre_aus()
{
    try {
        if (optionen_.spielliste)
            Schritt([&] { liste_.Schreibe_listenkopf(); });
        ergebnis_.zaehler = {};
        ergebnis_.unbekannte.clear();
        if (beobachter_.unbekannte_geleert)
            beobachter_.unbekannte_geleert();
        fortschritt(0);

        std::vector<std::string> dateien;
        Schritt([&] { dateien = Liste_dateien(F_); });
        if (dateien.empty()) {
            status(Text_keine_dateien);
            melde({"Attention !", Text_keine_dateien, Meldungssymbol::Information});
            liste_.Schliesse();
            ergebnis_.ausgang = Batchausgang::Keine_dateien;
            return std::move(ergebnis_);
        }

        for (const char* ordner : {Ordner_duplikate, Ordner_unbekannt, Ordner_umbenannt})
            Schritt([&] { Lege_ordner_an(F_ + Trenner(F_) + ordner); });

        const auto anzahl = static_cast<std::int32_t>(dateien.size());
        for (std::int32_t Dateiindex = 0; Dateiindex < anzahl; ++Dateiindex) {
            ergebnis_.zaehler.insgesamt = Dateiindex + 1;
            bearbeite_datei(dateien[static_cast<std::size_t>(Dateiindex)], anzahl);
        }

        fortschritt(100);
        status(Text_batch_erfolgreich);
        entferne_ungenutzte_ordner();
        if (optionen_.spielliste)
            Schritt([&] { liste_.Schreibe_listenende(F_); });
        const Batchzaehler& zaehler = ergebnis_.zaehler;
        if (optionen_.spielliste && zaehler.roms() == 0) {
            // A run without any image leaves no game list in the folder.
            Schritt([&] {
                try {
                    Loesche_datei(Ausgabepfad(Ordner_umbenannt, "games.htm"));
                } catch (const Fehler& fehler) {
                    if (fehler.nummer() != Fehlernummer::Datei_fehlt)
                        throw;
                }
            });
        }
        ergebnis_.ausgang = Batchausgang::Abgeschlossen;
        melde(schlussmeldung());
    } catch (const Fehler& fehler) {
        liste_.Schliesse();
        ergebnis_.ausgang = Batchausgang::Fehlgeschlagen;
        ergebnis_.fehler = fehler;
        melde({"Error !", Fehlertext_datei(fehler, Cp1252_aus_dateiname(ergebnis_.Dateipfad)),
               Meldungssymbol::Ausrufezeichen});
    }
    return std::move(ergebnis_);
}

} // namespace

Batchergebnis Batchrun(const Batchoptionen& optionen, const Batchbeobachter& beobachter)
{
    Lauf lauf(optionen, beobachter);
    return lauf.fuehre_aus();
}

} // namespace cartonym
