#include "naming/name_database.h"

#include "common/system_calls.h"
#include "common/error.h"
#include "common/program_info.h"
#include "naming/file_names.h"
#include "naming/database_index.h"

#include <algorithm>
#include <mutex>
#include <array>
#include <optional>

namespace cartonym {
namespace {

bool Ist_zeilenende(char c) { return c == '\r' || c == '\n'; }
bool Ist_leer(char c) { return c == ' ' || c == '\t'; }

std::string Kleinbuchstaben(std::string_view text)
{
    std::string klein(text);
    std::transform(klein.begin(), klein.end(), klein.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return klein;
}

// The full name a correction gives, "" for the correction that makes the
// image unknown, nullopt when no correction applies.
std::optional<std::string> Korrektur_fuer(const Analyse& analyse)
{
    const std::string_view name = analyse.Interner_name;
    const auto links = [&](std::size_t n) { return name.substr(0, n); };
    static constexpr std::string_view xmen = "X-MEN                ";

    if (Kleinbuchstaben(links(7)) == "aladdin")
        return "Aladdin";
    if (analyse.Pruefsumme == "3581" && name == "SUPPLIED BY ADJ/FLT!!")
        return "Back to the Future 2 (Hacked)";
    if (links(11) == "BS_Dr Mario")
        return "Dr. Mario";
    if (Kleinbuchstaben(links(13)) == "first samurai")
        return "First Samurai";
    if (links(20) == "Super V.G.CONA-S.D.L")
        return "Super V.G.";
    if (Kleinbuchstaben(links(14)) == "wcw.superbrawl")
        return "WCW Super Brawl";
    if (name == xmen) {
        if (analyse.Pruefsumme == "F0C5")
            return "X-Men Arcades Revenge";
        if (analyse.Pruefsumme == "738")
            return "X-Men Mutant Apocalypse";
        return "";
    }
    return std::nullopt;
}

void Setze_gefunden(Namensergebnis& ergebnis, std::string voller_name, const Analyse& analyse)
{
    ergebnis.Voller_name = std::move(voller_name);
    ergebnis.Neuer_name = Normaler_name(ergebnis.Voller_name, analyse.Landkuerzel, analyse.Endung);
}

} // namespace

std::string Eintragsleser::naechstes_element()
{
    if (nach_komma_) {
        while (pos_ < text_.size() && Ist_leer(text_[pos_]))
            ++pos_;
    } else {
        while (pos_ < text_.size() && (Ist_leer(text_[pos_]) || Ist_zeilenende(text_[pos_])))
            ++pos_;
        if (pos_ >= text_.size())
            throw Fehler(Fehlernummer::Dateiende);
    }

    std::string element;
    if (pos_ < text_.size() && text_[pos_] == '"') {
        const std::size_t ende = std::min(text_.find('"', pos_ + 1), text_.size());
        element.assign(text_.substr(pos_ + 1, ende - pos_ - 1));
        pos_ = std::min(ende + 1, text_.size());
        while (pos_ < text_.size() && text_[pos_] != ',' && !Ist_zeilenende(text_[pos_]))
            ++pos_;
    } else {
        const std::size_t beginn = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && !Ist_zeilenende(text_[pos_]))
            ++pos_;
        std::size_t ende = pos_;
        while (ende > beginn && Ist_leer(text_[ende - 1]))
            --ende;
        element.assign(text_.substr(beginn, ende - beginn));
    }

    // Consume the separator.
    nach_komma_ = false;
    if (pos_ < text_.size()) {
        if (text_[pos_] == ',') {
            nach_komma_ = true;
            ++pos_;
        } else if (text_[pos_] == '\r') {
            ++pos_;
            if (pos_ < text_.size() && text_[pos_] == '\n')
                ++pos_;
        } else {
            ++pos_;
        }
    }
    return element;
}

bool Eintragsleser::am_ende()
{
    std::size_t p = pos_;
    while (p < text_.size() && (Ist_leer(text_[p]) || Ist_zeilenende(text_[p])))
        ++p;
    return p >= text_.size();
}

std::string Lies_datenbank(const std::string& Datenbankpfad)
{
    const Lesedatei datei(Datenbankpfad);
    std::string inhalt(datei.laenge(), '\0');
    datei.lies(0, reinterpret_cast<unsigned char*>(inhalt.data()), inhalt.size());
    return inhalt;
}

Namensergebnis Finde_romname_in(const Analyse& analyse, std::string_view datenbanktext)
{
    Namensergebnis ergebnis;
    Eintragsleser leser(datenbanktext);
    do {
        ergebnis.Db_interner_name = leser.naechstes_element();
        ergebnis.Voller_name = leser.naechstes_element();
        if (ergebnis.Db_interner_name == analyse.Interner_name) {
            Setze_gefunden(ergebnis, ergebnis.Voller_name, analyse);
            return ergebnis;
        }
    } while (!leser.am_ende());
    return ergebnis;
}

Namensergebnis Finde_romname(const Analyse& analyse, const std::string& Datenbankpfad)
{
    if (const auto korrektur = Korrektur_fuer(analyse)) {
        Namensergebnis ergebnis;
        if (!korrektur->empty())
            Setze_gefunden(ergebnis, *korrektur, analyse);
        return ergebnis;
    }
    // The database is parsed once and reused while the file stays the same.
    static std::mutex sperre;
    static Datenbankcache cache;
    const std::lock_guard<std::mutex> gesperrt(sperre);
    return cache.index_fuer(Datenbankpfad).suche(analyse.Interner_name, analyse);
}

Startpruefung Pruefe_datenbank(const std::string& Datenbankpfad)
{
    try {
        const Lesedatei datei(Datenbankpfad);
        return {};
    } catch (const Fehler& fehler) {
        if (fehler.nummer() == Fehlernummer::Datei_fehlt) {
            return {Startzustand::Datenbank_fehlt,
                    std::string("The file SNES.DAT is missing ! Download the complete version of the Cartonym from ")
                        + Programm::Homepage + " !\n\nProgram will close now."};
        }
        return {Startzustand::Datenbank_fehlerhaft, Fehlertext_kurz(fehler)};
    }
}

std::string Standard_datenbankpfad()
{
    const std::string ordner = Programmordner();
    return ordner + Trenner(ordner) + "snes.dat";
}

} // namespace cartonym
