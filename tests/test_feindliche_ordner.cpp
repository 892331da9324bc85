// Hostile folders: FIFOs, sockets, dangling and looping links, links to
// images and folders, unreadable files, files that vanish or change between
// the listing and their turn, names with line feeds, leading dashes, broken
// UTF-8 or 255 bytes, new names longer than the file system allows, folders
// that refuse writing, a full disk, malformed and huge name databases, and
// output folder names taken by strange entries. Every case checks the whole
// tree afterwards: nothing hangs, nothing is lost, nothing leaves its folder,
// and every failure ends in a clear message.
//
// Each batch run happens in a child process guarded by alarm(), and so does
// every call that could block, so that a hang fails the test instead of
// holding the suite.
#include "common/cp1252.h"
#include "common/dateisystem.h"
#include "common/fehler.h"
#include "fixtures/rombau.h"
#include "operations/batchlauf.h"
#include "operations/dateimodus.h"
#include "operations/dateioperationen.h"
#include "reports/spielliste.h"
#include "reports/unbekanntlog.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace cartonym {
namespace {

using fixtures::Baue_rom;
using fixtures::Datenbankzeile;
using fixtures::Interner_name;
using fixtures::Karte;
using fixtures::Kopierkopf;
using fixtures::Lies_datei;
using fixtures::Rombauplan;
using fixtures::Schreibe_datei;
using test::Tempordner;
namespace fs = std::filesystem;
using namespace std::string_literals;
using Baum = std::map<std::string, std::string>;

// A child that has not finished within this many seconds hangs.
constexpr unsigned Waechterzeit = 60;

// --- Counting the hostile cases ---------------------------------------------------

int& Faelle()
{
    static int anzahl = 0;
    return anzahl;
}

// Marks one hostile case as tried.
void Feindlich(int anzahl = 1) { Faelle() += anzahl; }

class Faellezaehlung : public ::testing::Environment {
public:
    void TearDown() override { std::printf("[ hostile ] %d hostile cases tried\n", Faelle()); }
};
const auto* const Zaehlung = ::testing::AddGlobalTestEnvironment(new Faellezaehlung);

// --- Environment --------------------------------------------------------------------

// Points "temp" at a folder of the test; other variables naming a temporary
// folder are removed for the time of the test.
class Temp_umgebung {
public:
    explicit Temp_umgebung(const std::string& ordner)
    {
        for (char** eintrag = environ; *eintrag != nullptr; ++eintrag) {
            const std::string text = *eintrag;
            const std::string name = text.substr(0, text.find('='));
            std::string klein = name;
            std::transform(klein.begin(), klein.end(), klein.begin(), [](unsigned char c) { return std::tolower(c); });
            if (klein == "temp" || name == "TMPDIR")
                alt_.emplace_back(name, text.substr(name.size() + 1));
        }
        for (const auto& [name, wert] : alt_)
            ::unsetenv(name.c_str());
        ::setenv("temp", ordner.c_str(), 1);
    }
    ~Temp_umgebung()
    {
        ::unsetenv("temp");
        for (const auto& [name, wert] : alt_)
            ::setenv(name.c_str(), wert.c_str(), 1);
    }
    Temp_umgebung(const Temp_umgebung&) = delete;
    Temp_umgebung& operator=(const Temp_umgebung&) = delete;

private:
    std::vector<std::pair<std::string, std::string>> alt_;
};

class Hakenwaechter {
public:
    explicit Hakenwaechter(Fehlerhaken haken) { alt_ = Setze_fehlerhaken(std::move(haken)); }
    ~Hakenwaechter() { Setze_fehlerhaken(std::move(alt_)); }
    Hakenwaechter(const Hakenwaechter&) = delete;
    Hakenwaechter& operator=(const Hakenwaechter&) = delete;

private:
    Fehlerhaken alt_;
};

// The made-up games.
Rombauplan Plan(const std::string& name, Karte karte = Karte::LoRom, std::uint16_t summe = 0x1234)
{
    Rombauplan plan;
    plan.name = name;
    plan.karte = karte;
    plan.pruefsumme = summe;
    return plan;
}
const Rombauplan Alpha = Plan("ALPHA QUEST");
const Rombauplan Alpha2 = [] {
    Rombauplan plan = Plan("ALPHA QUEST");
    plan.datenlaenge = 0x40000; // the same game, other bytes
    return plan;
}();
const Rombauplan Gamma = Plan("GAMMA RAY");
const Rombauplan Raetsel = Plan("NOBODY KNOWS ME", Karte::HiRom, 0xBEEF);
const Rombauplan Raetsel2 = Plan("NOCH EINER");
const Rombauplan Lang = Plan("LONG NAME GAME");
const std::string Alpha_neu = "Alpha Quest (USA).smc";
const std::string Gamma_neu = "Gamma (USA).smc";

std::string Grunddatenbank()
{
    return Datenbankzeile("ALPHA QUEST", "Alpha Quest") + Datenbankzeile("GAMMA RAY", "Gamma");
}

std::string Logeintrag_raetsel(const std::string& datei)
{
    return Unbekannt_eintrag(datei, "SNES HiRom, no Header", Interner_name("NOBODY KNOWS ME"), "1 = USA (NTSC)", "EF BE");
}

std::string Seite(const std::vector<Listenzeile>& zeilen)
{
    std::string seite = Listenkopf_text();
    for (const Listenzeile& zeile : zeilen)
        seite += Listenzeile_text(zeile);
    return seite + Listenende_text();
}
const Listenzeile Zeile_alpha{"Alpha Quest", Alpha_neu, "1 = USA (NTSC)", "SNES LoRom, no Header"};

std::string Fehlertext(int nummer, const std::string& beschreibung, const std::string& pfad)
{
    return "Error Nr.  " + std::to_string(nummer) + " happened:\n" + beschreibung
        + "\nThis error happend while processing the following file: \n\n" + pfad + "\n\nProgress aborted !";
}

// --- The whole tree, special entries included ---------------------------------------

// A short stand-in for a file's content, so that a difference prints readably.
std::string Inhalt(const std::string& bytes)
{
    return "file " + std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string>{}(bytes));
}

// Every entry below ordner, links not followed: a file's content, a link's
// target, or the kind of entry.
Baum Vollbaum(const fs::path& ordner)
{
    Baum baum;
    for (auto it = fs::recursive_directory_iterator(ordner); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().lexically_relative(ordner).string();
        const fs::file_status art = it->symlink_status();
        switch (art.type()) {
        case fs::file_type::regular: baum[name] = Inhalt(Lies_datei(it->path().string())); break;
        case fs::file_type::directory: baum[name] = "folder"; break;
        case fs::file_type::symlink: baum[name] = "link to " + fs::read_symlink(it->path()).string(); break;
        case fs::file_type::fifo: baum[name] = "fifo"; break;
        case fs::file_type::socket: baum[name] = "socket"; break;
        default: baum[name] = "other"; break;
        }
    }
    return baum;
}

std::string Bild(const Rombauplan& plan) { return Inhalt(Baue_rom(plan)); }

void Lege_fifo_an(const std::string& pfad) { ASSERT_EQ(::mkfifo(pfad.c_str(), 0600), 0) << pfad; }

void Lege_socket_an(const std::string& pfad)
{
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un adresse {};
    adresse.sun_family = AF_UNIX;
    ASSERT_LT(pfad.size(), sizeof adresse.sun_path);
    pfad.copy(adresse.sun_path, pfad.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse), 0);
    ::close(sock);
}

// --- Guarded child processes ---------------------------------------------------------

void Schreibe_fd(int fd, const std::string& text)
{
    std::size_t geschrieben = 0;
    while (geschrieben < text.size()) {
        const ssize_t n = ::write(fd, text.data() + geschrieben, text.size() - geschrieben);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        geschrieben += static_cast<std::size_t>(n);
    }
}

std::string Lies_fd(int fd)
{
    std::string text;
    char puffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, puffer, sizeof puffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(puffer, static_cast<std::size_t>(n));
    }
}

std::string Packe(const std::string& text) { return std::to_string(text.size()) + ":" + text; }

std::string Entpacke(std::istream& ein)
{
    std::size_t laenge = 0;
    char doppelpunkt = 0;
    ein >> laenge >> doppelpunkt;
    std::string text(laenge, '\0');
    ein.read(text.data(), static_cast<std::streamsize>(laenge));
    return text;
}

// Runs aufgabe in a child process under alarm(); the child's answer comes
// back through a pipe. nullopt when the child did not end by itself (it hung
// or crashed).
std::optional<std::string> Im_kind(const std::function<std::string()>& aufgabe)
{
    int rohr[2];
    if (::pipe(rohr) != 0)
        return std::nullopt;
    std::fflush(nullptr);
    const pid_t kind = ::fork();
    if (kind < 0)
        return std::nullopt;
    if (kind == 0) {
        ::close(rohr[0]);
        ::alarm(Waechterzeit);
        Schreibe_fd(rohr[1], aufgabe());
        ::_exit(0);
    }
    ::close(rohr[1]);
    std::string antwort = Lies_fd(rohr[0]);
    ::close(rohr[0]);
    int status = 0;
    while (::waitpid(kind, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return antwort;
}

// What a batch run in a child told.
struct Kurzergebnis {
    Batchausgang ausgang = Batchausgang::Fehlgeschlagen;
    int fehler = 0; // the number of the failure that stopped the run, 0 for none
    Batchzaehler zaehler;
    std::string meldung;
    std::vector<std::string> unbekannte;
};

std::optional<Kurzergebnis> Batch_im_kind(const Batchoptionen& optionen)
{
    const auto antwort = Im_kind([&] {
        const Batchergebnis e = Batchrun(optionen);
        std::ostringstream aus;
        const Batchzaehler& z = e.zaehler;
        aus << static_cast<int>(e.ausgang) << ' ' << (e.fehler ? e.fehler->zahl() : 0) << ' ' << z.insgesamt << ' '
            << z.umbenannt << ' ' << z.schon_richtig << ' ' << z.unbekannt << ' ' << z.duplikate << ' '
            << e.unbekannte.size() << ' ' << Packe(e.meldung.text);
        for (const std::string& name : e.unbekannte)
            aus << Packe(name);
        return aus.str();
    });
    if (!antwort)
        return std::nullopt;
    std::istringstream ein(*antwort);
    Kurzergebnis e;
    int ausgang = 0;
    std::size_t unbekannte = 0;
    Batchzaehler& z = e.zaehler;
    ein >> ausgang >> e.fehler >> z.insgesamt >> z.umbenannt >> z.schon_richtig >> z.unbekannt >> z.duplikate
        >> unbekannte;
    e.ausgang = static_cast<Batchausgang>(ausgang);
    e.meldung = Entpacke(ein);
    for (std::size_t i = 0; i < unbekannte; ++i)
        e.unbekannte.push_back(Entpacke(ein));
    if (!ein)
        return std::nullopt;
    return e;
}

// A test's world: the folder F, the database and the temporary folder, side
// by side in one test folder, so that anything leaving F shows.
struct Umgebung {
    Tempordner t;
    std::string F = t / "roms";
    std::string db = t / "snes.dat";
    std::string tempordner = t / "temp";
    Temp_umgebung temp{tempordner};

    explicit Umgebung(const std::string& datenbank = Grunddatenbank())
    {
        fs::create_directory(F);
        fs::create_directory(tempordner);
        Schreibe_datei(db, datenbank);
    }
    std::string in_F(const std::string& name) const { return F + "/" + name; }
    void bild(const std::string& name, const Rombauplan& plan) const { fixtures::Schreibe_rom(in_F(name), plan); }
    void datei(const std::string& name, const std::string& inhalt) const { Schreibe_datei(in_F(name), inhalt); }
    void link(const std::string& ziel, const std::string& name) const { fs::create_symlink(ziel, in_F(name)); }
    Baum baum() const { return Vollbaum(F); }
    // Everything of the test folder outside F.
    Baum aussen() const
    {
        Baum baum = Vollbaum(t.pfad());
        std::erase_if(baum, [](const auto& eintrag) { return eintrag.first.starts_with("roms/"); });
        return baum;
    }

    Kurzergebnis lauf(bool spielliste = true, bool ohne_leerzeichen = false) const
    {
        const auto ergebnis = Batch_im_kind({F, db, ohne_leerzeichen, spielliste});
        if (!ergebnis) {
            ADD_FAILURE() << "the batch run hung or crashed";
            return {};
        }
        return *ergebnis;
    }
};

void Erwarte_zaehler(const Batchzaehler& z, std::int32_t insgesamt, std::int32_t umbenannt, std::int32_t schon_richtig,
                     std::int32_t unbekannt, std::int32_t duplikate)
{
    EXPECT_EQ(z.insgesamt, insgesamt);
    EXPECT_EQ(z.umbenannt, umbenannt);
    EXPECT_EQ(z.schon_richtig, schon_richtig);
    EXPECT_EQ(z.unbekannt, unbekannt);
    EXPECT_EQ(z.duplikate, duplikate);
}

// The tree after a completed run over before, in which the named images went
// to their places.
struct Ablage {
    std::string quelle;
    std::string ziel;
};
Baum Nach_ablage(Baum baum, const std::vector<Ablage>& ablagen)
{
    for (const auto& [quelle, ziel] : ablagen) {
        const auto knoten = baum.find(quelle);
        if (knoten == baum.end()) {
            ADD_FAILURE() << "no entry " << quelle;
            continue;
        }
        baum[ziel] = knoten->second;
        baum.erase(knoten);
        const std::string ordner = fs::path(ziel).parent_path().string();
        if (!ordner.empty())
            baum[ordner] = "folder";
    }
    return baum;
}

// --- Special entries in the folder ---------------------------------------------------

TEST(Feindliche_eintraege, FifosSocketsDeadAndLoopingLinksAreLeftAloneAndNothingHangs)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("mystery.smc", Raetsel);
    fs::create_directory(u.in_F("unter"));
    Lege_fifo_an(u.in_F("fifo.smc"));
    Lege_socket_an(u.in_F("sock.smc"));
    u.link("fehlt.smc", "tot.smc");
    u.link("schleife.smc", "schleife.smc");
    u.link("b_ring.smc", "a_ring.smc");
    u.link("a_ring.smc", "b_ring.smc");
    u.link("unter", "ordnerlink.smc");
    u.link("fifo.smc", "fifolink.smc");
    u.link("sock.smc", "socklink.smc");
    u.link("/dev/null", "geraet.smc");
    Feindlich(10);
    const Baum vorher = u.baum();

    const Kurzergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 1, 0);
    Baum erwartet = Nach_ablage(vorher, {{"alpha.smc", "Renamed_SNES_ROMs/" + Alpha_neu},
                                         {"mystery.smc", "Unknown_ROMs/mystery.smc"}});
    erwartet["Renamed_SNES_ROMs/games.htm"] = Inhalt(Seite({Zeile_alpha}));
    erwartet["Unknown_ROMs/unknown.log"] = Inhalt(Logeintrag_raetsel("mystery.smc"));
    EXPECT_EQ(u.baum(), erwartet);
}

TEST(Feindliche_eintraege, FifoWithAWriterHoldingItOpenIsNotReadFrom)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    Lege_fifo_an(u.in_F("offen.smc"));
    // Someone holds both ends: a reader would find the FIFO ready but empty.
    const int fd = ::open(u.in_F("offen.smc").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    ::close(fd);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
    Erwarte_zaehler(ergebnis.zaehler, 1, 1, 0, 0, 0);
    EXPECT_EQ(u.baum(), (Baum{{"offen.smc", "fifo"},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
}

TEST(Feindliche_eintraege, LinksToImagesCountAsFilesAndStillLeadToTheImageAfterTheMove)
{
    Umgebung u;
    const std::string lager = u.t / "lager";
    fs::create_directory(lager);
    fixtures::Schreibe_rom(lager + "/alpha.bin", Alpha);
    fixtures::Schreibe_rom(lager + "/gamma.bin", Gamma);
    fixtures::Schreibe_rom(lager + "/raetsel.bin", Raetsel);
    u.link(lager + "/alpha.bin", "absolut.smc");   // absolute target
    u.link("../lager/gamma.bin", "relativ.smc");   // relative target
    u.link("../lager/raetsel.bin", "unbekannt.smc"); // relative, unknown image
    fs::create_directory(u.in_F("unter"));
    u.link("unter", "ordnerlink");                 // a link to a folder is no file
    Feindlich(4);
    const Baum lager_vorher = Vollbaum(lager);

    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    Erwarte_zaehler(ergebnis.zaehler, 3, 2, 0, 1, 0);
    EXPECT_EQ(ergebnis.unbekannte, std::vector<std::string>{"unbekannt.smc"});
    // The images themselves stay where they are; the moved links lead to them.
    EXPECT_EQ(Vollbaum(lager), lager_vorher);
    for (const auto& [eintrag, plan] : std::vector<std::pair<std::string, Rombauplan>>{
             {"Renamed_SNES_ROMs/" + Alpha_neu, Alpha},
             {"Renamed_SNES_ROMs/" + Gamma_neu, Gamma},
             {"Unknown_ROMs/unbekannt.smc", Raetsel}}) {
        SCOPED_TRACE(eintrag);
        EXPECT_TRUE(fs::is_symlink(u.in_F(eintrag)));
        ASSERT_TRUE(fs::is_regular_file(u.in_F(eintrag))) << "the moved link no longer leads to the image";
        EXPECT_EQ(Lies_datei(u.in_F(eintrag)), Baue_rom(plan));
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(u.in_F("absolut.smc"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(u.in_F("relativ.smc"))));
    EXPECT_TRUE(fs::is_symlink(u.in_F("ordnerlink")));
}

// --- A file that changes between the listing and its turn ---------------------------

struct Wechselfall {
    const char* beschreibung;
    std::function<void(const std::string& pfad)> wechsel; // done to beta.smc when it is opened
    Batchausgang ausgang;
    int fehler;
    const char* beta_danach; // what stands at F/beta.smc afterwards ("" for nothing)
    Baum neu;                // further entries afterwards, besides alpha's and zeta's
};
void PrintTo(const Wechselfall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Wechsel_nach_dem_auflisten : public ::testing::TestWithParam<Wechselfall> {};

TEST_P(Wechsel_nach_dem_auflisten, EndsAsDecidedAndLosesNothing)
{
    const Wechselfall& fall = GetParam();
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("beta.smc", Gamma);
    u.bild("zeta.smc", Raetsel2);
    const std::string beta = u.in_F("beta.smc");
    bool gewechselt = false;
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        if (operation == Systemoperation::Oeffnen && pfad == beta && !gewechselt) {
            gewechselt = true;
            fall.wechsel(pfad);
        }
        return 0;
    });
    Feindlich();
    const Baum vorher = u.baum();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, fall.ausgang) << ergebnis.meldung;
    EXPECT_EQ(ergebnis.fehler, fall.fehler);

    Baum erwartet = Nach_ablage(vorher, {{"alpha.smc", "Renamed_SNES_ROMs/" + Alpha_neu}});
    erwartet["Duplicates"] = "folder";
    erwartet["Unknown_ROMs"] = "folder";
    erwartet.erase("beta.smc");
    for (const auto& [name, inhalt] : fall.neu)
        erwartet[name] = inhalt;
    if (*fall.beta_danach)
        erwartet["beta.smc"] = fall.beta_danach;
    if (fall.ausgang == Batchausgang::Abgeschlossen) {
        // The run went on: zeta is unknown and logged; the unused folder went.
        erwartet = Nach_ablage(erwartet, {{"zeta.smc", "Unknown_ROMs/zeta.smc"}});
        erwartet["Unknown_ROMs/unknown.log"] = Inhalt(Unbekannt_eintrag(
            "zeta.smc", "SNES LoRom, no Header", Interner_name("NOCH EINER"), "1 = USA (NTSC)", "34 12"));
        if (fall.neu.empty())
            erwartet.erase("Duplicates");
    } else {
        EXPECT_EQ(ergebnis.meldung,
                  Fehlertext(fall.fehler, Fehlerbeschreibung(static_cast<Fehlernummer>(fall.fehler)), beta));
    }
    EXPECT_EQ(u.baum(), erwartet);
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Wechsel_nach_dem_auflisten,
    ::testing::Values(
        // Gone: the run stops and names the file.
        Wechselfall{"entfernt", [](const std::string& p) { fs::remove(p); }, Batchausgang::Fehlgeschlagen, 53, "", {}},
        // Another image in its place: that one is filed.
        Wechselfall{"anderes_bild", [](const std::string& p) { fixtures::Schreibe_rom(p, Alpha2); },
                    Batchausgang::Abgeschlossen, 0, "", {{"Duplicates/beta.smc", Bild(Alpha2)}}},
        // Something that is no file: passed over, left as it is, nothing hangs.
        Wechselfall{"fifo", [](const std::string& p) { fs::remove(p); ::mkfifo(p.c_str(), 0600); },
                    Batchausgang::Abgeschlossen, 0, "fifo", {}},
        Wechselfall{"socket", [](const std::string& p) { fs::remove(p); Lege_socket_an(p); },
                    Batchausgang::Abgeschlossen, 0, "socket", {}},
        Wechselfall{"ordner", [](const std::string& p) { fs::remove(p); fs::create_directory(p); },
                    Batchausgang::Abgeschlossen, 0, "folder", {}},
        // Links that lead nowhere: the run stops with the file's error.
        Wechselfall{"toter_link", [](const std::string& p) { fs::remove(p); fs::create_symlink("fehlt", p); },
                    Batchausgang::Fehlgeschlagen, 53, "link to fehlt", {}},
        Wechselfall{"schleife", [](const std::string& p) { fs::remove(p); fs::create_symlink("beta.smc", p); },
                    Batchausgang::Fehlgeschlagen, 76, "link to beta.smc", {}}),
    [](const auto& fall) { return std::string(fall.param.beschreibung); });

TEST(Wechsel_vor_dem_verschieben, AFileGoneBeforeItsMoveStopsTheRunWithoutLoss)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("beta.smc", Gamma);
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        if (operation == Systemoperation::Verschieben && pfad.ends_with(Gamma_neu))
            fs::rename(u.in_F("beta.smc"), u.t / "beiseite.smc");
        return 0;
    });
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.fehler, 53);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(53, "File not found", u.in_F("beta.smc")));
    EXPECT_EQ(u.baum(), (Baum{{"Duplicates", "folder"},
                              {"Unknown_ROMs", "folder"},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
    EXPECT_EQ(Lies_datei(u.t / "beiseite.smc"), Baue_rom(Gamma));
}

// --- Unreadable files ----------------------------------------------------------------

struct Lesefall {
    const char* beschreibung;
    Systemoperation operation;
    int errnum;
    int fehler;
    const char* text;
};
void PrintTo(const Lesefall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Unlesbar : public ::testing::TestWithParam<Lesefall> {};

TEST_P(Unlesbar, StopsTheRunNamingTheFileAndLosesNothing)
{
    const Lesefall& fall = GetParam();
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("beta.smc", Gamma);
    u.bild("zeta.smc", Raetsel);
    const std::string beta = u.in_F("beta.smc");
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        return operation == fall.operation && pfad == beta ? fall.errnum : 0;
    });
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.fehler, fall.fehler);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(fall.fehler, fall.text, beta));
    Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 0, 0);
    EXPECT_EQ(u.baum(), (Baum{{"beta.smc", Bild(Gamma)},
                              {"zeta.smc", Bild(Raetsel)},
                              {"Duplicates", "folder"},
                              {"Unknown_ROMs", "folder"},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
    // The begun list was closed and not placed.
    EXPECT_EQ(Vollbaum(u.tempordner), (Baum{{"games.htm", Inhalt(Listenkopf_text() + Listenzeile_text(Zeile_alpha))}}));
}

INSTANTIATE_TEST_SUITE_P(Faelle, Unlesbar,
                         ::testing::Values(Lesefall{"open_EACCES", Systemoperation::Oeffnen, EACCES, 70, "Permission denied"},
                                           Lesefall{"open_EPERM", Systemoperation::Oeffnen, EPERM, 70, "Permission denied"},
                                           Lesefall{"read_EACCES", Systemoperation::Lesen, EACCES, 70, "Permission denied"},
                                           Lesefall{"read_EIO", Systemoperation::Lesen, EIO, 57, "Device I/O error"}),
                         [](const auto& fall) { return std::string(fall.param.beschreibung); });

TEST(Unlesbar_modusbits, ModeBitsWithoutReadRightWhenNotRoot)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads a file whatever its mode bits; the injected EACCES cases stand in for it";
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    ASSERT_EQ(::chmod(u.in_F("alpha.smc").c_str(), 0), 0);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    ::chmod(u.in_F("alpha.smc").c_str(), 0644);
    EXPECT_EQ(ergebnis.fehler, 70);
    EXPECT_EQ(Lies_datei(u.in_F("alpha.smc")), Baue_rom(Alpha));
}

// --- Hostile names -------------------------------------------------------------------

const std::string Name_255_unbekannt = std::string(251, 'u') + ".smc";
const std::string Name_255_bekannt = std::string(251, 'k') + ".smc";
const std::string Name_255_kopie = "-" + std::string(250, 'c') + ".smc";

TEST(Feindliche_namen, LineFeedsDashesBrokenUtf8AndLongNamesAreFiledUnchanged)
{
    Umgebung u;
    const std::vector<std::pair<std::string, const Rombauplan*>> bilder = {
        {"zeile\numbruch.smc", &Raetsel},
        {"\n", &Raetsel2},
        {"wagen\rruecklauf.smc", &Gamma},
        {"-rf.smc", &Alpha},
        {"--help.smc", &Raetsel},
        {"-", &Raetsel},
        {"\xFF\xFE.smc", &Raetsel},
        {"caf\xE9.smc", &Raetsel},
        {"a\\b.smc", &Raetsel},
        {Name_255_unbekannt, &Raetsel},
        {Name_255_bekannt, &Alpha},
        {Name_255_kopie, &Alpha},
    };
    for (const auto& [name, plan] : bilder)
        u.bild(name, *plan);
    Feindlich(static_cast<int>(bilder.size()));
    const Baum vorher = u.baum();

    const Kurzergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    // Sorted as the listing sorts: "\n", "-", "--help.smc", the 255-byte copy,
    // "-rf.smc", "a\b.smc", "caf\xE9.smc", the long names, "wagen...", "zeile...", "\xFF\xFE.smc".
    const std::vector<std::string> unbekannte = {"\n",      "--help.smc",       "-",
                                                 "a\\b.smc", "caf\xE9.smc",       Name_255_unbekannt,
                                                 "zeile\numbruch.smc", "\xFF\xFE.smc"};
    std::vector<std::string> erhalten = ergebnis.unbekannte;
    std::vector<std::string> sortiert = unbekannte;
    std::sort(erhalten.begin(), erhalten.end());
    std::sort(sortiert.begin(), sortiert.end());
    EXPECT_EQ(erhalten, sortiert);
    Erwarte_zaehler(ergebnis.zaehler, 12, 2, 0, 8, 2);

    // The first copy of Alpha in the listing order gets the name; the other goes to Duplicates.
    Baum erwartet = vorher;
    for (const std::string& name : unbekannte)
        erwartet = Nach_ablage(erwartet, {{name, "Unknown_ROMs/" + name}});
    erwartet = Nach_ablage(erwartet, {{Name_255_kopie, "Renamed_SNES_ROMs/" + Alpha_neu},
                                      {"-rf.smc", "Duplicates/-rf.smc"},
                                      {Name_255_bekannt, "Duplicates/" + Name_255_bekannt},
                                      {"wagen\rruecklauf.smc", "Renamed_SNES_ROMs/" + Gamma_neu}});
    erwartet.erase("Renamed_SNES_ROMs/games.htm");
    Baum erhalten_baum = u.baum();
    ASSERT_TRUE(erhalten_baum.contains("Unknown_ROMs/unknown.log"));
    ASSERT_TRUE(erhalten_baum.contains("Renamed_SNES_ROMs/games.htm"));
    erhalten_baum.erase("Unknown_ROMs/unknown.log");
    erhalten_baum.erase("Renamed_SNES_ROMs/games.htm");
    EXPECT_EQ(erhalten_baum, erwartet);

    // Every unknown name stands in the log, escaped where Windows-1252 or a
    // line of its own would not hold it.
    const std::string log = Lies_datei(u.in_F("Unknown_ROMs/unknown.log"));
    for (const char* geschrieben : {"Filename = \"\\u{000A}\"", "Filename = \"zeile\\u{000A}umbruch.smc\"",
                                    "Filename = \"--help.smc\"", "Filename = \"-\"", "Filename = \"\\xFF\\xFE.smc\"",
                                    "Filename = \"caf\\xE9.smc\"", "Filename = \"a\\\\b.smc\""})
        EXPECT_NE(log.find(geschrieben), std::string::npos) << geschrieben;
    EXPECT_NE(log.find("Filename = \"" + Name_255_unbekannt + "\""), std::string::npos);
    for (std::size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "a bare line feed in the log at " << i;
}

TEST(Feindliche_namen, FailureMessageEscapesTheNameOfTheFile)
{
    Umgebung u;
    u.bild("zeile\n\xFF.smc", Alpha);
    const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
        return operation == Systemoperation::Verschieben ? EIO : 0;
    });
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.fehler, 57);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(57, "Device I/O error", u.in_F("zeile\\u{000A}\\xFF.smc")));
    EXPECT_EQ(Lies_datei(u.in_F("zeile\n\xFF.smc")), Baue_rom(Alpha));
}

// --- New names longer than the file system allows --------------------------------------

struct Langfall {
    const char* beschreibung;
    std::string voller_name;
    bool passt; // the new name fits in 255 bytes
};
void PrintTo(const Langfall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Zu_lange_namen : public ::testing::TestWithParam<Langfall> {};

TEST_P(Zu_lange_namen, FailWithFiftyTwoNeverTruncated)
{
    const Langfall& fall = GetParam();
    Umgebung u(Grunddatenbank() + Datenbankzeile("LONG NAME GAME", fall.voller_name));
    u.bild("alpha.smc", Alpha);
    u.bild("lang.smc", Lang);
    u.bild("zeta.smc", Raetsel);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf();
    const std::string neuer_name = Utf8_aus_cp1252(fall.voller_name + " (USA).smc");
    if (fall.passt) {
        EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
        EXPECT_EQ(Lies_datei(u.in_F("Renamed_SNES_ROMs/" + neuer_name)), Baue_rom(Lang));
        return;
    }
    // The run stops at the image with the message; the image stays as it was,
    // and no shortened name appears anywhere.
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.fehler, 52);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(52, "Bad file name or number", u.in_F("lang.smc")));
    Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 0, 0);
    EXPECT_EQ(u.baum(), (Baum{{"lang.smc", Bild(Lang)},
                              {"zeta.smc", Bild(Raetsel)},
                              {"Duplicates", "folder"},
                              {"Unknown_ROMs", "folder"},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Zu_lange_namen,
    ::testing::Values(Langfall{"dreihundert_zeichen", std::string(300, 'L'), false},
                      // 200 characters, but 400 bytes once written in UTF-8
                      Langfall{"zweihundert_umlaute", std::string(200, '\xE9'), false},
                      // " (USA).smc" is 10 bytes: 245 + 10 fit, 246 + 10 do not
                      Langfall{"genau_255_bytes", std::string(245, 'L'), true},
                      Langfall{"256_bytes", std::string(246, 'L'), false}),
    [](const auto& fall) { return std::string(fall.param.beschreibung); });

// --- A folder that refuses writing ---------------------------------------------------

struct Schreibschutzfall {
    const char* beschreibung;
    Systemoperation operation;
    int errnum;
    const char* nur_pfad; // the hook only answers for paths ending so ("" for all)
};
void PrintTo(const Schreibschutzfall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Schreibgeschuetzt : public ::testing::TestWithParam<Schreibschutzfall> {};

TEST_P(Schreibgeschuetzt, StopsWithPermissionDeniedAndLosesNothing)
{
    const Schreibschutzfall& fall = GetParam();
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("zeta.smc", Raetsel);
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        return operation == fall.operation && pfad.ends_with(fall.nur_pfad) ? fall.errnum : 0;
    });
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.fehler, 70);
    EXPECT_NE(ergebnis.meldung.find("Error Nr.  70 happened:\nPermission denied\n"), std::string::npos);
    // Every image exactly once, unchanged.
    std::vector<std::string> bilder;
    for (const auto& [pfad, inhalt] : u.baum())
        if (inhalt == Bild(Alpha) || inhalt == Bild(Raetsel))
            bilder.push_back(inhalt);
    std::sort(bilder.begin(), bilder.end());
    std::vector<std::string> erwartet = {Bild(Alpha), Bild(Raetsel)};
    std::sort(erwartet.begin(), erwartet.end());
    EXPECT_EQ(bilder, erwartet);
    EXPECT_FALSE(u.baum().contains("Renamed_SNES_ROMs/games.htm"));
    EXPECT_EQ(u.aussen().size(), 3u + 1u) << "snes.dat, temp, temp/games.htm and roms only";
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Schreibgeschuetzt,
    ::testing::Values(Schreibschutzfall{"mkdir_EROFS", Systemoperation::Ordner_anlegen, EROFS, ""},
                      Schreibschutzfall{"mkdir_EACCES", Systemoperation::Ordner_anlegen, EACCES, ""},
                      Schreibschutzfall{"move_EROFS", Systemoperation::Verschieben, EROFS, ""},
                      Schreibschutzfall{"move_EACCES", Systemoperation::Verschieben, EACCES, ""},
                      Schreibschutzfall{"log_EROFS", Systemoperation::Oeffnen, EROFS, "unknown.log"},
                      Schreibschutzfall{"rmdir_EROFS", Systemoperation::Ordner_entfernen, EROFS, ""}),
    [](const auto& fall) { return std::string(fall.param.beschreibung); });

TEST(Schreibgeschuetzt_ordner, CreatingTheFoldersFailsBeforeAnyFileIsTouched)
{
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    const Baum vorher = u.baum();
    const Hakenwaechter haken([](Systemoperation operation, const std::string&) {
        return operation == Systemoperation::Ordner_anlegen ? EROFS : 0;
    });
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.fehler, 70);
    Erwarte_zaehler(ergebnis.zaehler, 0, 0, 0, 0, 0);
    EXPECT_EQ(u.baum(), vorher);
}

// --- A full disk ---------------------------------------------------------------------

struct Vollfall {
    const char* beschreibung;
    Systemoperation operation;
    const char* datei; // games.htm or unknown.log
    int nummer;        // the n-th such operation on that file fails
    int errnum;
    Batchausgang ausgang;
};
void PrintTo(const Vollfall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Voller_datentraeger : public ::testing::TestWithParam<Vollfall> {};

TEST_P(Voller_datentraeger, StopsWithDiskFullOrCompletesWithoutTheListAndLosesNothing)
{
    const Vollfall& fall = GetParam();
    Umgebung u;
    u.bild("alpha.smc", Alpha);
    u.bild("beta.smc", Gamma);
    u.bild("zeta.smc", Raetsel);
    fs::create_directory(u.in_F("Unknown_ROMs"));
    Schreibe_datei(u.in_F("Unknown_ROMs/unknown.log"), "earlier\r\n");
    int gezaehlt = 0;
    const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
        return operation == fall.operation && pfad.ends_with(fall.datei) && ++gezaehlt == fall.nummer ? fall.errnum : 0;
    });
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf();
    EXPECT_EQ(ergebnis.ausgang, fall.ausgang) << ergebnis.meldung;
    const Baum danach = u.baum();
    if (fall.ausgang == Batchausgang::Fehlgeschlagen) {
        EXPECT_EQ(ergebnis.fehler, 61);
        EXPECT_NE(ergebnis.meldung.find("Error Nr.  61 happened:\nDisk full\n"), std::string::npos);
        EXPECT_FALSE(danach.contains("Renamed_SNES_ROMs/games.htm")) << "an incomplete list is never placed";
    } else {
        EXPECT_EQ(ergebnis.fehler, 0);
        EXPECT_FALSE(danach.contains("Renamed_SNES_ROMs/games.htm")) << "the list could not be finished";
    }
    // The log holds the earlier text, complete entries only.
    const std::string log = Lies_datei(u.in_F("Unknown_ROMs/unknown.log"));
    EXPECT_TRUE(log == "earlier\r\n" || log == "earlier\r\n" + Logeintrag_raetsel("zeta.smc")) << log;
    // Every image exactly once.
    for (const auto& [plan, namen] : std::vector<std::pair<Rombauplan, std::vector<std::string>>>{
             {Alpha, {"alpha.smc", "Renamed_SNES_ROMs/" + Alpha_neu}},
             {Gamma, {"beta.smc", "Renamed_SNES_ROMs/" + Gamma_neu}},
             {Raetsel, {"zeta.smc", "Unknown_ROMs/zeta.smc"}}}) {
        int gefunden = 0;
        for (const std::string& name : namen)
            gefunden += danach.contains(name) && danach.at(name) == Bild(plan);
        EXPECT_EQ(gefunden, 1) << plan.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Voller_datentraeger,
    ::testing::Values(
        Vollfall{"list_head", Systemoperation::Schreiben, "games.htm", 1, ENOSPC, Batchausgang::Fehlgeschlagen},
        Vollfall{"list_row", Systemoperation::Schreiben, "games.htm", 3, ENOSPC, Batchausgang::Fehlgeschlagen},
        Vollfall{"list_end", Systemoperation::Schreiben, "games.htm", 4, ENOSPC, Batchausgang::Abgeschlossen},
        Vollfall{"list_open", Systemoperation::Oeffnen, "games.htm", 1, ENOSPC, Batchausgang::Fehlgeschlagen},
        Vollfall{"log_write_ENOSPC", Systemoperation::Schreiben, "unknown.log", 1, ENOSPC, Batchausgang::Fehlgeschlagen},
        Vollfall{"log_write_EDQUOT", Systemoperation::Schreiben, "unknown.log", 1, EDQUOT, Batchausgang::Fehlgeschlagen},
        Vollfall{"log_write_EFBIG", Systemoperation::Schreiben, "unknown.log", 1, EFBIG, Batchausgang::Fehlgeschlagen},
        Vollfall{"log_open", Systemoperation::Oeffnen, "unknown.log", 1, ENOSPC, Batchausgang::Fehlgeschlagen},
        Vollfall{"log_close", Systemoperation::Schliessen, "unknown.log", 1, ENOSPC, Batchausgang::Fehlgeschlagen}),
    [](const auto& fall) { return std::string(fall.param.beschreibung); });

// --- Hostile name databases --------------------------------------------------------------

struct Datenbankfall {
    const char* beschreibung;
    std::function<std::string()> datenbank;
    std::string alpha_ziel; // where alpha.smc ends up
};
void PrintTo(const Datenbankfall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Feindliche_datenbank : public ::testing::TestWithParam<Datenbankfall> {};

TEST_P(Feindliche_datenbank, TheMatchIsFoundAndFiled)
{
    const Datenbankfall& fall = GetParam();
    Umgebung u(fall.datenbank());
    u.bild("alpha.smc", Alpha);
    u.bild("zeta.smc", Raetsel);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 1, 0);
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + fall.alpha_ziel, Bild(Alpha)},
                              {"Unknown_ROMs", "folder"},
                              {"Unknown_ROMs/zeta.smc", Bild(Raetsel)},
                              {"Unknown_ROMs/unknown.log", Inhalt(Logeintrag_raetsel("zeta.smc"))}}));
}

std::string Mit_zeilenende(std::string text, const std::string& ende)
{
    std::string ergebnis;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            ergebnis += ende;
            ++i;
        } else {
            ergebnis += text[i];
        }
    }
    return ergebnis;
}

std::string Viele_saetze(std::size_t anzahl)
{
    std::string text;
    text.reserve(anzahl * 40);
    for (std::size_t i = 0; i < anzahl; ++i)
        text += Datenbankzeile("FILLER " + std::to_string(i), "Filler Game " + std::to_string(i));
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Faelle, Feindliche_datenbank,
    ::testing::Values(
        Datenbankfall{"nur_cr", [] { return Mit_zeilenende(Viele_saetze(3) + Grunddatenbank(), "\r"); }, Alpha_neu},
        Datenbankfall{"nur_lf", [] { return Mit_zeilenende(Viele_saetze(3) + Grunddatenbank(), "\n"); }, Alpha_neu},
        Datenbankfall{"gemischt",
                      [] { return "\"A\",\"B\"\r" + Datenbankzeile("X", "Y") + "\"C\",\"D\"\n\n\r\n" + Grunddatenbank(); },
                      Alpha_neu},
        Datenbankfall{"nul_bytes",
                      [] {
                          return "\"NUL\0IN KEY\",\"Nul\0Name\"\r\n"s + Datenbankzeile(std::string("\0\0\0", 3), "x")
                              + Grunddatenbank() + Datenbankzeile("TRAILING", std::string("\0", 1));
                      },
                      Alpha_neu},
        Datenbankfall{"zehn_megabyte_zeile",
                      [] { return Datenbankzeile("HUGE", std::string(10 << 20, 'h')) + Grunddatenbank(); }, Alpha_neu},
        Datenbankfall{"zweihunderttausend_saetze",
                      [] {
                          // The match two records before the end.
                          return Viele_saetze(199998) + Datenbankzeile("ALPHA QUEST", "Alpha Quest")
                              + Datenbankzeile("LAST ONE", "Last One");
                      },
                      Alpha_neu},
        Datenbankfall{"punkt", [] { return Datenbankzeile("ALPHA QUEST", "."); }, ". (USA).smc"},
        Datenbankfall{"zwei_punkte", [] { return Datenbankzeile("ALPHA QUEST", ".."); }, ".. (USA).smc"}),
    [](const auto& fall) { return std::string(fall.param.beschreibung); });

TEST(Feindliche_datenbank_einzeln, KeyWithANulByteMatchesTheImageThatHoldsIt)
{
    Rombauplan nul = Plan(std::string("NUL\0KEY", 7));
    Umgebung u(Datenbankzeile(std::string("NUL\0KEY", 7), "Nul Key") + Grunddatenbank());
    u.bild("nul.smc", nul);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs", "folder"}, {"Renamed_SNES_ROMs/Nul Key (USA).smc", Bild(nul)}}));
}

struct Fluchtfall {
    const char* beschreibung;
    std::string voller_name;
};
void PrintTo(const Fluchtfall& fall, std::ostream* aus) { *aus << fall.beschreibung; }

class Namen_mit_pfadtrennern : public ::testing::TestWithParam<Fluchtfall> {};

TEST_P(Namen_mit_pfadtrennern, FailTheMoveWithFiftyTwoAndNeverLeaveTheFolder)
{
    const Fluchtfall& fall = GetParam();
    Umgebung u(Grunddatenbank() + Datenbankzeile("LONG NAME GAME", fall.voller_name));
    u.bild("alpha.smc", Alpha);
    u.bild("lang.smc", Lang);
    // Folders a name could lead into, inside and outside F.
    fs::create_directories(u.in_F("Renamed_SNES_ROMs/Unter"));
    fs::create_directories(u.t / "raus");
    const Baum aussen_vorher = u.aussen();
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.fehler, 52);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(52, "Bad file name or number", u.in_F("lang.smc")));
    EXPECT_EQ(u.baum(), (Baum{{"lang.smc", Bild(Lang)},
                              {"Duplicates", "folder"},
                              {"Unknown_ROMs", "folder"},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/Unter", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
    EXPECT_EQ(u.aussen(), aussen_vorher);
}

INSTANTIATE_TEST_SUITE_P(Faelle, Namen_mit_pfadtrennern,
                         ::testing::Values(Fluchtfall{"hoch", "../Raus"}, Fluchtfall{"hoch_rueck", "..\\Raus"},
                                           Fluchtfall{"zweimal_hoch", "../../raus/Raus"},
                                           Fluchtfall{"hier", "./Hier"}, Fluchtfall{"absolut", "/tmp/Raus"},
                                           Fluchtfall{"unterordner", "Unter/Name"},
                                           Fluchtfall{"rueckstrich", "Unter\\Name"},
                                           Fluchtfall{"nur_strich", "/"}, Fluchtfall{"punkt_strich", "./"},
                                           Fluchtfall{"umweg", "Renamed_SNES_ROMs/../../Raus"},
                                           Fluchtfall{"nul", std::string("Nul\0/x", 6)},
                                           Fluchtfall{"nul_allein", std::string("Name\0", 5)}),
                         [](const auto& fall) { return std::string(fall.param.beschreibung); });

TEST(Feindliche_datenbank_einzeln, TenMegabyteFullNameOfTheMatchFailsWithFiftyTwo)
{
    Umgebung u(Datenbankzeile("ALPHA QUEST", std::string(10 << 20, 'h')));
    u.bild("alpha.smc", Alpha);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.fehler, 52);
    EXPECT_EQ(u.baum(), (Baum{{"alpha.smc", Bild(Alpha)},
                              {"Duplicates", "folder"},
                              {"Unknown_ROMs", "folder"},
                              {"Renamed_SNES_ROMs", "folder"}}));
}

TEST(Feindliche_datenbank_einzeln, DatabaseThatIsAFifoOrAFolderNeverHangsAndMovesNothing)
{
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "fifo" : "folder");
        Umgebung u;
        fs::remove(u.db);
        if (fifo)
            Lege_fifo_an(u.db);
        else
            fs::create_directory(u.db);
        u.bild("alpha.smc", Alpha);
        const Baum vorher = u.baum();
        Feindlich();
        // The lookup fails with a path/file access error, which passes each image over.
        const Kurzergebnis ergebnis = u.lauf(false);
        EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen);
        Erwarte_zaehler(ergebnis.zaehler, 1, 0, 0, 0, 0);
        EXPECT_EQ(u.baum(), vorher);
    }
}

// --- Output folder names taken by strange entries ---------------------------------------

TEST(Belegte_ausgabeordner, PlainFileNamedLikeAnUnusedOutputFolderStaysAndTheRunCompletes)
{
    Umgebung u;
    u.datei("Duplicates", "a note of mine");
    u.bild("alpha.smc", Alpha);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    Erwarte_zaehler(ergebnis.zaehler, 2, 1, 0, 0, 0);
    EXPECT_EQ(u.baum(), (Baum{{"Duplicates", Inhalt("a note of mine")},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
}

TEST(Belegte_ausgabeordner, ImageNamedLikeAnOutputFolderIsFiledAndTheRunCompletes)
{
    Umgebung u;
    u.bild("Duplicates", Alpha);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    Erwarte_zaehler(ergebnis.zaehler, 1, 1, 0, 0, 0);
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs", "folder"}, {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
}

TEST(Belegte_ausgabeordner, FifoOrLinkNamedLikeAnUnusedOutputFolderStays)
{
    Umgebung u;
    const std::string anderswo = u.t / "anderswo";
    fs::create_directory(anderswo);
    Lege_fifo_an(u.in_F("Unknown_ROMs"));
    u.link(anderswo, "Duplicates");
    u.bild("alpha.smc", Alpha);
    Feindlich(2);
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    EXPECT_EQ(u.baum(), (Baum{{"Unknown_ROMs", "fifo"},
                              {"Duplicates", "link to " + anderswo},
                              {"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
    EXPECT_TRUE(fs::is_empty(anderswo));
}

TEST(Belegte_ausgabeordner, FifoInPlaceOfANeededOutputFolderStopsWithAMessage)
{
    Umgebung u;
    Lege_fifo_an(u.in_F("Unknown_ROMs"));
    u.bild("zeta.smc", Raetsel);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(76, "Path not found", u.in_F("zeta.smc")));
    EXPECT_EQ(u.baum(), (Baum{{"Unknown_ROMs", "fifo"},
                              {"zeta.smc", Bild(Raetsel)},
                              {"Duplicates", "folder"},
                              {"Renamed_SNES_ROMs", "folder"}}));
}

TEST(Belegte_ausgabeordner, DeadLinkInPlaceOfTheRenamedFolderStopsWithAMessage)
{
    Umgebung u;
    u.link("nirgends", "Renamed_SNES_ROMs");
    u.bild("alpha.smc", Alpha);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Fehlgeschlagen);
    EXPECT_EQ(ergebnis.meldung, Fehlertext(53, "File not found", u.in_F("alpha.smc")));
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs", "link to nirgends"},
                              {"alpha.smc", Bild(Alpha)},
                              {"Duplicates", "folder"},
                              {"Unknown_ROMs", "folder"}}));
    EXPECT_FALSE(fs::exists(u.F + "/nirgends"));
}

TEST(Belegte_ausgabeordner, UnknownLogThatIsAFifoNeverHangsTheRun)
{
    Umgebung u;
    fs::create_directory(u.in_F("Unknown_ROMs"));
    Lege_fifo_an(u.in_F("Unknown_ROMs/unknown.log"));
    u.bild("zeta.smc", Raetsel);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    // The log is no file: its entry is passed over like any path/file access error.
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    EXPECT_EQ(u.baum(), (Baum{{"Unknown_ROMs", "folder"},
                              {"Unknown_ROMs/unknown.log", "fifo"},
                              {"Unknown_ROMs/zeta.smc", Bild(Raetsel)}}));
}

TEST(Belegte_ausgabeordner, UnknownLogThatIsALinkIsNeverWrittenThrough)
{
    Umgebung u;
    const std::string fremd = u.t / "fremde_datei";
    Schreibe_datei(fremd, "someone else's file\n");
    fs::create_directory(u.in_F("Unknown_ROMs"));
    fs::create_symlink(fremd, u.in_F("Unknown_ROMs/unknown.log"));
    u.bild("zeta.smc", Raetsel);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(false);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    EXPECT_EQ(Lies_datei(fremd), "someone else's file\n");
    EXPECT_EQ(u.baum(), (Baum{{"Unknown_ROMs", "folder"},
                              {"Unknown_ROMs/unknown.log", "link to " + fremd},
                              {"Unknown_ROMs/zeta.smc", Bild(Raetsel)}}));
}

TEST(Belegte_ausgabeordner, GameListNameTakenByAFolderLeavesTheFolderAndCompletes)
{
    Umgebung u;
    fs::create_directories(u.in_F("Renamed_SNES_ROMs/games.htm"));
    u.bild("alpha.smc", Alpha);
    Feindlich();
    const Kurzergebnis ergebnis = u.lauf(true);
    EXPECT_EQ(ergebnis.ausgang, Batchausgang::Abgeschlossen) << ergebnis.meldung;
    EXPECT_EQ(u.baum(), (Baum{{"Renamed_SNES_ROMs", "folder"},
                              {"Renamed_SNES_ROMs/games.htm", "folder"},
                              {"Renamed_SNES_ROMs/" + Alpha_neu, Bild(Alpha)}}));
    EXPECT_EQ(Vollbaum(u.tempordner), (Baum{{"games.htm", Inhalt(Seite({Zeile_alpha}))}}));
}

// --- File mode --------------------------------------------------------------------------

// Waehle_datei in a guarded child: the error number, 0 for success, or
// nullopt when it hung.
std::optional<int> Waehle_im_kind(const std::string& pfad, const std::string& db)
{
    const auto antwort = Im_kind([&] {
        try {
            Waehle_datei(pfad, db, false);
            return std::string("0");
        } catch (const Fehler& fehler) {
            return std::to_string(fehler.zahl());
        }
    });
    if (!antwort)
        return std::nullopt;
    return std::stoi(*antwort);
}

TEST(Dateimodus_feindlich, SelectingSomethingThatIsNoFileReturnsAtOnceWithAnError)
{
    Tempordner t;
    const std::string db = t / "snes.dat";
    Schreibe_datei(db, Grunddatenbank());
    Lege_fifo_an(t / "fifo.smc");
    Lege_fifo_an(t / "offen.smc");
    const int halter = ::open((t / "offen.smc").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(halter, 0);
    Lege_socket_an(t / "sock.smc");
    fs::create_symlink("schleife.smc", t / "schleife.smc");
    fs::create_symlink("fehlt.smc", t / "tot.smc");
    fs::create_directory(t / "ordner.smc");
    fs::create_symlink("/dev/null", t / "geraet.smc");
    const std::vector<std::pair<std::string, int>> faelle = {
        {"fifo.smc", 75}, {"offen.smc", 75}, {"sock.smc", 75}, {"schleife.smc", 76},
        {"tot.smc", 53},  {"ordner.smc", 75}, {"geraet.smc", 75}};
    for (const auto& [name, nummer] : faelle) {
        SCOPED_TRACE(name);
        Feindlich();
        EXPECT_EQ(Waehle_im_kind(t / name, db), std::optional<int>(nummer));
    }
    ::close(halter);
}

TEST(Dateimodus_feindlich, RenameToANameThatLeavesTheFolderOrIsTooLongGivesFiftyTwo)
{
    const std::vector<std::string> namen = {"a/b.smc", "/", "../raus.smc", "./x.smc", std::string(300, 'L'),
                                            std::string(256, 'L'), std::string(200, '\xE9')};
    for (const std::string& name : namen) {
        SCOPED_TRACE(name.substr(0, 20));
        Tempordner t;
        fs::create_directories(t.pfad() / "ordner/a");
        Schreibe_datei(t / "ordner/alt.smc", "bild");
        Feindlich();
        try {
            Benenne_datei_um(t / "ordner/alt.smc", t / "ordner", name);
            ADD_FAILURE() << "renamed";
        } catch (const Fehler& fehler) {
            EXPECT_EQ(fehler.zahl(), 52);
        }
        EXPECT_EQ(Vollbaum(t.pfad()), (Baum{{"ordner", "folder"}, {"ordner/a", "folder"}, {"ordner/alt.smc", Inhalt("bild")}}));
    }
}

TEST(Dateimodus_feindlich, RenamingARelativeLinkInItsFolderKeepsItLeadingToTheImage)
{
    Tempordner t;
    Schreibe_datei(t / "bild.bin", "bild");
    fs::create_symlink("bild.bin", t / "verweis.smc");
    Feindlich();
    Benenne_datei_um(t / "verweis.smc", t.pfad().string(), "Neu (USA).smc");
    EXPECT_EQ(Lies_datei(t / "Neu (USA).smc"), "bild");
    EXPECT_TRUE(fs::is_symlink(t / "Neu (USA).smc"));
}

// --- The mended operations on their own ------------------------------------------------

TEST(Einzelne_operationen, RemovingAFolderNameHeldByAFileFifoOrLinkLeavesItWithSeventyFive)
{
    Tempordner t;
    Schreibe_datei(t / "datei", "bleibt");
    Lege_fifo_an(t / "fifo");
    fs::create_directory(t.pfad() / "ordner");
    fs::create_symlink("ordner", t / "link");
    fs::create_symlink("nirgends", t / "tot");
    const Baum vorher = Vollbaum(t.pfad());
    for (const char* name : {"datei", "fifo", "link", "tot"}) {
        SCOPED_TRACE(name);
        Feindlich();
        try {
            Entferne_ordner(t / name);
            ADD_FAILURE() << "removed";
        } catch (const Fehler& fehler) {
            EXPECT_EQ(fehler.zahl(), 75);
        }
    }
    EXPECT_EQ(Vollbaum(t.pfad()), vorher);
    // A path through a file does not lead to any folder: that stays 76.
    try {
        Entferne_ordner(t / "datei/unter");
        ADD_FAILURE() << "removed";
    } catch (const Fehler& fehler) {
        EXPECT_EQ(fehler.zahl(), 76);
    }
}

TEST(Einzelne_operationen, UnknownLogThatIsNoPlainFileIsRefusedAtOnce)
{
    Tempordner t;
    const std::string fremd = t / "fremd";
    Schreibe_datei(fremd, "fremd");
    for (const char* art : {"fifo", "link", "ordner", "toter_link"}) {
        SCOPED_TRACE(art);
        Feindlich();
        const std::string ordner = t / art;
        fs::create_directory(ordner);
        const std::string log = ordner + "/unknown.log";
        if (std::string(art) == "fifo")
            Lege_fifo_an(log);
        else if (std::string(art) == "link")
            fs::create_symlink(fremd, log);
        else if (std::string(art) == "ordner")
            fs::create_directory(log);
        else
            fs::create_symlink(t / "nirgends", log);
        const auto antwort = Im_kind([&] {
            try {
                Schreibe_unbekannt(ordner, "a.smc", "b", "c", "d", "e");
                return std::string("0");
            } catch (const Fehler& fehler) {
                return std::to_string(fehler.zahl());
            }
        });
        ASSERT_TRUE(antwort) << "hung";
        EXPECT_EQ(*antwort, "75");
        EXPECT_EQ(Lies_datei(fremd), "fremd");
        EXPECT_FALSE(fs::exists(t / "nirgends"));
    }
}

TEST(Einzelne_operationen, MovingARelativeLinkIntoAnotherFolderKeepsItLeadingToItsFile)
{
    Tempordner t;
    fs::create_directories(t.pfad() / "F/aus");
    Schreibe_datei(t / "F/bild.bin", "bild");
    fs::create_symlink("bild.bin", t / "F/verweis");
    fs::create_symlink("bild.bin", t / "F/zweiter");
    Feindlich(2);
    Verschiebe_datei(t / "F/verweis", t / "F/aus/neu");
    EXPECT_EQ(Lies_datei(t / "F/aus/neu"), "bild");
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "F/verweis")));
    // Onto a taken name: 58, both links as they were.
    try {
        Verschiebe_datei(t / "F/zweiter", t / "F/aus/neu");
        ADD_FAILURE() << "moved";
    } catch (const Fehler& fehler) {
        EXPECT_EQ(fehler.zahl(), 58);
    }
    EXPECT_EQ(fs::read_symlink(t / "F/zweiter"), "bild.bin");
    EXPECT_EQ(Lies_datei(t / "F/aus/neu"), "bild");
}

// --- The real cartonym-cli --------------------------------------------------------------

struct Aufruf {
    int status = -1; // -1 when it did not end by itself
    std::string out;
    std::string err;
};

// Runs cartonym-cli with exactly these arguments (no shell in between), in
// the folder arbeitsordner, under alarm().
Aufruf Rufe_cli(const Tempordner& t, const std::vector<std::string>& argumente, const std::string& arbeitsordner)
{
    const std::string out = t / "cli.out";
    const std::string err = t / "cli.err";
    std::fflush(nullptr);
    const pid_t kind = ::fork();
    if (kind == 0) {
        const int fd_out = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fd_err = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fd_ein = ::open("/dev/null", O_RDONLY);
        if (fd_out < 0 || fd_err < 0 || fd_ein < 0 || ::chdir(arbeitsordner.c_str()) != 0)
            ::_exit(127);
        ::dup2(fd_out, 1);
        ::dup2(fd_err, 2);
        ::dup2(fd_ein, 0);
        std::vector<char*> argv;
        std::string programm = CARTONYM_CLI_PFAD;
        argv.push_back(programm.data());
        std::vector<std::string> kopie = argumente;
        for (std::string& argument : kopie)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::alarm(Waechterzeit); // kept across exec
        ::execv(programm.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(kind, &status, 0) < 0 && errno == EINTR) {
    }
    Aufruf aufruf;
    aufruf.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    aufruf.out = Lies_datei(out);
    aufruf.err = Lies_datei(err);
    return aufruf;
}

TEST(Cli_feindlich, BatchOverAHostileFolderCompletesAndTellsTheUnknownNamesExactly)
{
    Umgebung u;
    u.bild("-rf.smc", Alpha);
    u.bild("--json", Raetsel);
    u.bild("zeile\numbruch.smc", Raetsel2);
    Lege_fifo_an(u.in_F("fifo.smc"));
    Lege_socket_an(u.in_F("sock.smc"));
    u.link("schleife", "schleife");
    u.link("fehlt", "tot.smc");
    Feindlich(7);
    const Aufruf aufruf = Rufe_cli(u.t, {"batch", "--db", u.db, "--json", "--gamelist", u.F}, u.t.pfad().string());
    EXPECT_EQ(aufruf.status, 0) << aufruf.err;
    EXPECT_EQ(aufruf.err, "");
    const auto json = nlohmann::json::parse(aufruf.out);
    EXPECT_EQ(json["outcome"], "completed");
    EXPECT_EQ(json["total"], 3);
    EXPECT_EQ(json["renamed"], 1);
    EXPECT_EQ(json["unknown"], nlohmann::json({"--json", "zeile\numbruch.smc"}));
    const Baum baum = u.baum();
    EXPECT_EQ(baum.at("Renamed_SNES_ROMs/" + Alpha_neu), Bild(Alpha));
    EXPECT_EQ(baum.at("Unknown_ROMs/--json"), Bild(Raetsel));
    EXPECT_EQ(baum.at("Unknown_ROMs/zeile\numbruch.smc"), Bild(Raetsel2));
    EXPECT_EQ(baum.at("fifo.smc"), "fifo");
    EXPECT_EQ(baum.at("sock.smc"), "socket");
    EXPECT_EQ(baum.at("schleife"), "link to schleife");
    EXPECT_EQ(baum.at("tot.smc"), "link to fehlt");
}

TEST(Cli_feindlich, InfoOnNamesWithLeadingDashesAndOnAFifo)
{
    Umgebung u;
    u.bild("-rf.smc", Alpha);
    Lege_fifo_an(u.in_F("fifo.smc"));
    Feindlich(3);
    // After "--" a leading dash is a file name.
    Aufruf aufruf = Rufe_cli(u.t, {"info", "--db", u.db, "--", "-rf.smc"}, u.F);
    EXPECT_EQ(aufruf.status, 0) << aufruf.err;
    auto json = nlohmann::json::parse(aufruf.out);
    EXPECT_EQ(json["file"], "-rf.smc");
    EXPECT_EQ(json["new_name"], Alpha_neu);
    // Without it, it is taken for options: a usage error, nothing touched.
    aufruf = Rufe_cli(u.t, {"info", "--db", u.db, "-rf.smc"}, u.F);
    EXPECT_EQ(aufruf.status, 2);
    // A FIFO answers at once with an error line.
    aufruf = Rufe_cli(u.t, {"info", "--db", u.db, u.in_F("fifo.smc")}, u.F);
    EXPECT_EQ(aufruf.status, 1);
    json = nlohmann::json::parse(aufruf.out);
    EXPECT_EQ(json["error"]["number"], 75);
    EXPECT_EQ(u.baum(), (Baum{{"-rf.smc", Bild(Alpha)}, {"fifo.smc", "fifo"}}));
}

TEST(Cli_feindlich, BatchOverAFolderWhoseNameStartsWithADash)
{
    Umgebung u;
    const std::string ordner = u.t / "-rf";
    fs::create_directory(ordner);
    fixtures::Schreibe_rom(ordner + "/alpha.smc", Alpha);
    Feindlich();
    Aufruf aufruf = Rufe_cli(u.t, {"batch", "--db", u.db, "--json", "--", "-rf"}, u.t.pfad().string());
    EXPECT_EQ(aufruf.status, 0) << aufruf.err;
    EXPECT_EQ(nlohmann::json::parse(aufruf.out)["renamed"], 1);
    EXPECT_EQ(Lies_datei(ordner + "/Renamed_SNES_ROMs/" + Alpha_neu), Baue_rom(Alpha));
}

TEST(Cli_feindlich, TooLongNewNameExitsWithOneAndTheMessage)
{
    Umgebung u(Grunddatenbank() + Datenbankzeile("LONG NAME GAME", std::string(300, 'L')));
    u.bild("lang.smc", Lang);
    Feindlich();
    const Aufruf aufruf = Rufe_cli(u.t, {"batch", "--db", u.db, u.F}, u.t.pfad().string());
    EXPECT_EQ(aufruf.status, 1);
    EXPECT_EQ(aufruf.err, Fehlertext(52, "Bad file name or number", u.in_F("lang.smc")) + "\n");
    EXPECT_EQ(Lies_datei(u.in_F("lang.smc")), Baue_rom(Lang));
}

} // namespace
} // namespace cartonym
