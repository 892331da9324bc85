#include "naming/database_index.h"

#include "common/error.h"
#include "naming/file_names.h"

#include <ctime>

namespace cartonym {

Datenbankindex::Datenbankindex(std::string_view datenbanktext)
{
    Eintragsleser leser(datenbanktext);
    try {
        do {
            Datensatz satz;
            satz.interner_name = leser.naechstes_element();
            satz.voller_name = leser.naechstes_element();
            erster_treffer_.try_emplace(satz.interner_name, datensaetze_.size());
            datensaetze_.push_back(std::move(satz));
        } while (!leser.am_ende());
    } catch (const Fehler& fehler) {
        if (fehler.nummer() != Fehlernummer::Dateiende)
            throw;
        abgeschnitten_ = true;
    }
}

Namensergebnis Datenbankindex::suche(const std::string& Interner_name, const Analyse& analyse) const
{
    Namensergebnis ergebnis;
    if (const auto treffer = erster_treffer_.find(Interner_name); treffer != erster_treffer_.end()) {
        const Datensatz& satz = datensaetze_[treffer->second];
        ergebnis.Db_interner_name = satz.interner_name;
        ergebnis.Voller_name = satz.voller_name;
        ergebnis.Neuer_name = Normaler_name(satz.voller_name, analyse.Landkuerzel, analyse.Endung);
        return ergebnis;
    }
    if (abgeschnitten_)
        throw Fehler(Fehlernummer::Dateiende);
    if (!datensaetze_.empty()) {
        ergebnis.Db_interner_name = datensaetze_.back().interner_name;
        ergebnis.Voller_name = datensaetze_.back().voller_name;
    }
    return ergebnis;
}

namespace {

// True while the modification time lies less than two seconds back.
bool Ist_frisch(const Dateikennung& kennung)
{
    timespec jetzt {};
    ::clock_gettime(CLOCK_REALTIME, &jetzt);
    const std::int64_t alter_ns = (static_cast<std::int64_t>(jetzt.tv_sec) - kennung.mtime_s) * 1000000000
        + (static_cast<std::int64_t>(jetzt.tv_nsec) - kennung.mtime_ns);
    return alter_ns < 2000000000;
}

} // namespace

const Datenbankindex& Datenbankcache::index_fuer(const std::string& Datenbankpfad)
{
    // One stat per lookup while nothing changed; a change of the access
    // rights moves ctime, so a file that became unreadable is opened again
    // and fails as it would without the index.
    if (index_ && !frisch_ && pfad_ == Datenbankpfad && kennung_ == Kennung_von(Datenbankpfad))
        return *index_;

    const Lesedatei datei(Datenbankpfad);
    std::string text(datei.laenge(), '\0');
    datei.lies(0, reinterpret_cast<unsigned char*>(text.data()), text.size());
    if (!index_ || text != text_) {
        index_.reset();
        index_.emplace(text);
        text_ = std::move(text);
    }
    pfad_ = Datenbankpfad;
    kennung_ = datei.kennung();
    frisch_ = Ist_frisch(kennung_);
    return *index_;
}

} // namespace cartonym
