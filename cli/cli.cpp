#include "cli/cli.h"

#include "analysis/rom_analysis.h"
#include "common/windows1252.h"
#include "common/error.h"
#include "common/program_info.h"
#include "common/number_text.h"
#include "naming/file_names.h"
#include "naming/name_database.h"
#include "operations/batch_run.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cmath>

namespace cartonym {
namespace {

using nlohmann::json;

constexpr int Status_ok = 0;
constexpr int Status_fehler = 1;
constexpr int Status_aufruf = 2;

struct Gemeinsame_optionen {
    std::string datenbank;
    bool ohne_leerzeichen = false;
};

std::string Als_utf8(const std::string& cp1252) { return Utf8_aus_cp1252(cp1252); }

std::string Json_zeile(const json& objekt)
{
    // File names as given may be invalid UTF-8; such bytes become U+FFFD.
    return objekt.dump(-1, ' ', false, json::error_handler_t::replace);
}

json Fehlerobjekt(const Fehler& fehler)
{
    return {{"number", fehler.zahl()}, {"description", fehler.beschreibung()}};
}

// The database check shared with the window's start-up. Returns false when
// the command must stop (the database is missing).
bool Pruefe_datenbank_fuer_cli(const std::string& pfad, std::ostream& err)
{
    const Startpruefung pruefung = Pruefe_datenbank(pfad);
    if (pruefung.zustand != Startzustand::Bereit)
        err << Als_utf8(pruefung.meldung) << '\n';
    return pruefung.zustand != Startzustand::Datenbank_fehlt;
}

json Infoobjekt(const std::string& datei, const Gemeinsame_optionen& optionen)
{
    const Analyse analyse = Analysiere_rom(datei);
    if (!analyse.Rom_ok)
        return {{"file", datei}, {"rom_ok", false}};
    Namensergebnis namen = Finde_romname(analyse, optionen.datenbank);
    if (!namen.Neuer_name.empty() && optionen.ohne_leerzeichen)
        Baue_dateiname(namen.Neuer_name);
    const bool bekannt = !namen.Neuer_name.empty();
    return {
        {"file", datei},
        {"rom_ok", true},
        {"format_code", Als_utf8(analyse.Formatcode)},
        {"file_type", Als_utf8(analyse.Dateityp_text)},
        {"extension", Als_utf8(analyse.Endung)},
        {"internal_name", Als_utf8(analyse.Interner_name)},
        {"rom_type", Als_utf8(analyse.Cardid_text)},
        {"rom_size", Als_utf8(analyse.Size_text)},
        {"country", Als_utf8(analyse.Land_text)},
        {"country_suffix", Als_utf8(analyse.Landkuerzel)},
        {"licensee", Als_utf8(analyse.Hersteller_text)},
        {"checksum_key", Als_utf8(analyse.Pruefsumme)},
        {"checksum", Als_utf8(analyse.CRC1_text)},
        {"full_name", bekannt ? Als_utf8(namen.Voller_name) : std::string()},
        {"new_name", Als_utf8(namen.Neuer_name)},
    };
}

int Info_ausfuehren(const std::vector<std::string>& dateien, const Gemeinsame_optionen& optionen,
                    std::ostream& out, std::ostream& err)
{
    if (!Pruefe_datenbank_fuer_cli(optionen.datenbank, err))
        return Status_aufruf;
    int status = Status_ok;
    for (const std::string& datei : dateien) {
        json zeile;
        try {
            zeile = Infoobjekt(datei, optionen);
        } catch (const Fehler& fehler) {
            zeile = {{"file", datei}, {"error", Fehlerobjekt(fehler)}};
            status = Status_fehler;
        }
        out << Json_zeile(zeile) << '\n';
    }
    out.flush();
    return status;
}

const char* Ausgangstext(Batchausgang ausgang)
{
    switch (ausgang) {
    case Batchausgang::Abgeschlossen: return "completed";
    case Batchausgang::Keine_dateien: return "no_files";
    case Batchausgang::Fehlgeschlagen: return "failed";
    }
    return "failed";
}

json Batchobjekt(const Batchergebnis& ergebnis)
{
    const Batchzaehler& zaehler = ergebnis.zaehler;
    return {
        {"outcome", Ausgangstext(ergebnis.ausgang)},
        {"total", zaehler.insgesamt},
        {"roms", zaehler.roms()},
        {"renamed", zaehler.umbenannt},
        {"already_correct", zaehler.schon_richtig},
        {"duplicates", zaehler.duplikate},
        {"unknown", ergebnis.unbekannte},
        {"message", Als_utf8(ergebnis.meldung.text)},
    };
}

// A file name on one output line: a control character (a line break in a
// name, say) is written as \u{XXXX} and a backslash doubled, so that every
// name stays on its line and can be read back exactly.
std::string Zeilenname(const std::string& name)
{
    static constexpr char ziffern[] = "0123456789ABCDEF";
    std::string zeile;
    for (const char zeichen : name) {
        const auto byte = static_cast<unsigned char>(zeichen);
        if (byte == '\\') {
            zeile += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            zeile += "\\u{00";
            zeile += ziffern[byte >> 4];
            zeile += ziffern[byte & 0x0F];
            zeile += '}';
        } else {
            zeile += zeichen;
        }
    }
    return zeile;
}

// The statistics panel, top to bottom, then the unknown images' names.
void Schreibe_batchtafel(const Batchergebnis& ergebnis, std::ostream& out)
{
    const Batchzaehler& zaehler = ergebnis.zaehler;
    out << "Total files in directory: " << Dezimaltext(zaehler.insgesamt) << '\n'
        << "SNES ROMs: " << Dezimaltext(zaehler.roms()) << '\n'
        << "ROMs that had alredy the correct filename: " << Dezimaltext(zaehler.schon_richtig) << '\n'
        << "Successfully renamed: " << Dezimaltext(zaehler.umbenannt) << '\n'
        << "Duplicates (see subdir Duplicates): " << Dezimaltext(zaehler.duplikate) << '\n';
    for (const std::string& name : ergebnis.unbekannte)
        out << Zeilenname(name) << '\n';
}

int Batch_ausfuehren(const std::string& ordner, const Gemeinsame_optionen& optionen, bool spielliste, bool als_json,
                     std::ostream& out, std::ostream& err, bool stderr_ist_terminal)
{
    if (!Pruefe_datenbank_fuer_cli(optionen.datenbank, err))
        return Status_aufruf;

    Batchbeobachter beobachter;
    bool anzeige_begonnen = false;
    int gezeigt = -1;
    if (stderr_ist_terminal) {
        beobachter.fortschritt = [&](float wert) {
            const int prozent = static_cast<int>(std::floor(wert));
            if (prozent == gezeigt)
                return;
            gezeigt = prozent;
            anzeige_begonnen = true;
            err << "\rBatchmode: " << prozent << " %" << std::flush;
        };
    }
    const Batchergebnis ergebnis =
        Batchrun({ordner, optionen.datenbank, optionen.ohne_leerzeichen, spielliste}, beobachter);
    if (anzeige_begonnen)
        err << '\n';

    if (ergebnis.ausgang == Batchausgang::Fehlgeschlagen)
        err << Als_utf8(ergebnis.meldung.text) << '\n';
    if (als_json) {
        out << Json_zeile(Batchobjekt(ergebnis)) << '\n';
    } else {
        out << Als_utf8(ergebnis.meldung.text) << '\n';
        if (ergebnis.ausgang == Batchausgang::Abgeschlossen)
            Schreibe_batchtafel(ergebnis, out);
    }
    out.flush();
    return ergebnis.ausgang == Batchausgang::Fehlgeschlagen ? Status_fehler : Status_ok;
}

void Gemeinsame_optionen_anmelden(CLI::App& befehl, Gemeinsame_optionen& optionen)
{
    befehl.add_option("--db", optionen.datenbank, "The name database (default: snes.dat beside the program)");
    befehl.add_flag("--no-spaces", optionen.ohne_leerzeichen,
                    "Long filenames without spaces: every space of a new name becomes \"_\"");
}

} // namespace

int Cli_ausfuehren(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   bool stderr_ist_terminal)
{
    CLI::App app{"Identifies SNES ROM images and gives them their proper names.", "cartonym-cli"};
    app.set_version_flag("--version", std::string("cartonym-cli ") + Programm::Versionstext);
    app.require_subcommand(1);

    Gemeinsame_optionen optionen;
    std::vector<std::string> dateien;
    CLI::App* info = app.add_subcommand("info", "Analyse images and print one JSON line per file");
    Gemeinsame_optionen_anmelden(*info, optionen);
    info->add_option("FILE", dateien, "Image files")->required();

    std::string batchordner;
    bool spielliste = false;
    bool als_json = false;
    CLI::App* batch = app.add_subcommand("batch", "Sort and rename every image of a folder, as \"Start Batchmode\" does");
    Gemeinsame_optionen_anmelden(*batch, optionen);
    batch->add_flag("--gamelist", spielliste, "Create gamelist (games.htm)");
    batch->add_flag("--json", als_json, "Print the outcome as one JSON object");
    batch->add_option("FOLDER", batchordner, "The folder to process")->required();

    std::vector<std::string> argumente(args.rbegin(), args.rend());
    if (!argumente.empty())
        argumente.pop_back(); // the program name
    try {
        app.parse(argumente);
    } catch (const CLI::ParseError& fehler) {
        const int code = app.exit(fehler, out, err);
        return code == 0 ? Status_ok : Status_aufruf;
    }
    if (optionen.datenbank.empty())
        optionen.datenbank = Standard_datenbankpfad();

    if (*info)
        return Info_ausfuehren(dateien, optionen, out, err);
    if (*batch)
        return Batch_ausfuehren(batchordner, optionen, spielliste, als_json, out, err, stderr_ist_terminal);
    return Status_aufruf;
}

} // namespace cartonym
