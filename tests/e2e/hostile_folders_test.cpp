// Hostile folders. Each case checks what stays behind: nothing hangs, nothing is lost, nothing leaves
// its folder, every failure is named. Batch runs and calls that could block run in a child under alarm().
#include "common/windows1252.h"
#include "common/error.h"
#include "fixtures/rom_builder.h"
#include "operations/batch_run.h"
#include "operations/file_mode.h"
#include "common/file_operations.h"
#include "reports/game_list.h"
#include "reports/unknown_log.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <cstring>
#include <functional>
#include <ranges>
#include <sstream>
#include <tuple>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace cartonym {
namespace {

using namespace fixtures;
using namespace test;
namespace fs = std::filesystem;
using namespace std::string_literals;
using Zaehler = std::vector<int>; // total, renamed, already right, unknown, duplicates

int Faelle = 0; // hostile cases tried
struct Faellezaehlung : ::testing::Environment {
    void TearDown() override { std::printf("hostile cases: %d\n", Faelle); }
};
const auto* const Zaehlung = ::testing::AddGlobalTestEnvironment(new Faellezaehlung);

const Rombauplan Alpha{.name = "ALPHA QUEST"}, Alpha2{.name = "ALPHA QUEST", .datenlaenge = 0x40000}, Gamma{.name = "GAMMA RAY"};
const Rombauplan Raetsel{.karte = fixtures::Karte::HiRom, .name = "NOBODY KNOWS ME", .pruefsumme = 0xBEEF};
const Rombauplan Raetsel2{.name = "NOCH EINER"}, Lang{.name = "LONG NAME GAME"};
const std::string R = "Renamed_SNES_ROMs", U = "Unknown_ROMs", D = "Duplicates";
const std::string Alpha_neu = "Alpha Quest (USA).smc", Gamma_neu = "Gamma (USA).smc";
const std::string Grunddatenbank = Datenbankzeile("ALPHA QUEST", "Alpha Quest") + Datenbankzeile("GAMMA RAY", "Gamma");
const Listenzeile Zeile_alpha{"Alpha Quest", Alpha_neu, "1 = USA (NTSC)", "SNES LoRom, no Header"};
const std::string Seite_alpha = Listenkopf_text() + Listenzeile_text(Zeile_alpha) + Listenende_text();
const std::string Log_zeta =
    Unbekannt_eintrag("zeta.smc", "SNES HiRom, no Header", fixtures::Interner_name("NOBODY KNOWS ME"), "1 = USA (NTSC)", "EF BE");

// A short stand-in for a file's content, so that a difference prints readably.
std::string Inhalt(const std::string& bytes) { return "file " + std::to_string(std::hash<std::string>{}(bytes)); }
std::string Bild(const Rombauplan& plan) { return Inhalt(Baue_rom(plan)); }

// Every entry below ordner, links not followed: a file's content, a link's target or the entry's kind.
Baum Vollbaum(const fs::path& ordner)
{
    Baum baum;
    for (auto it = fs::recursive_directory_iterator(ordner); it != fs::recursive_directory_iterator(); ++it) {
        const fs::file_type art = it->symlink_status().type();
        baum[it->path().lexically_relative(ordner).string()] = art == fs::file_type::regular ? Inhalt(Lies_datei(it->path()))
            : art == fs::file_type::directory ? "folder" : art == fs::file_type::fifo ? "fifo"
            : art == fs::file_type::symlink ? "link to " + fs::read_symlink(it->path()).string() : "other"; // socket, device
    }
    return baum;
}

// The tree a run left behind when it stopped after renaming alpha.smc: the output folders and rest.
Baum Nach_halt(Baum rest)
{
    rest.insert({{D, "folder"}, {U, "folder"}, {R, "folder"}, {R + "/" + Alpha_neu, Bild(Alpha)}});
    return rest;
}

// Runs aufgabe in a child under alarm(); what it returns or writes to its stdout
// comes back with its exit status, -1 when it hung or crashed.
std::pair<int, std::string> Im_kind(const std::function<std::string()>& aufgabe)
{
    int rohr[2];
    if (::pipe(rohr) != 0)
        return {-1, ""};
    std::fflush(nullptr);
    const pid_t kind = ::fork();
    if (kind == 0) {
        ::dup2(rohr[1], 1);
        ::close(rohr[0]);
        ::alarm(60); // kept across exec
        const std::string antwort = aufgabe();
        std::fwrite(antwort.data(), 1, antwort.size(), stdout);
        ::_exit(std::fflush(stdout) == 0 ? 0 : 125);
    }
    ::close(rohr[1]);
    std::string antwort;
    char puffer[4096];
    for (ssize_t n; (n = ::read(rohr[0], puffer, sizeof puffer)) > 0 || (n < 0 && errno == EINTR);)
        antwort.append(puffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    ::close(rohr[0]);
    int status = 0;
    while (::waitpid(kind, &status, 0) < 0 && errno == EINTR) {
    }
    return {kind > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, antwort};
}

// The number of the Fehler that f throws in a guarded child: 0 for none, -1 when it hung.
int Fehler_im_kind(const std::function<void()>& f)
{
    const auto [status, antwort] = Im_kind([&] { return std::to_string(Fehlernummer_von(f)); });
    return status == 0 ? std::stoi(antwort) : -1;
}

struct Kurzergebnis {
    int fehler = 0; // the number of the failure that stopped the run
    Zaehler zaehler = Zaehler(5);
    std::string meldung;
};

// A test's world; anything leaving F shows in the test folder around it.
struct Umgebung : Laufordner {
    explicit Umgebung(const std::string& datenbank = Grunddatenbank, const std::vector<std::pair<std::string, Rombauplan>>& bilder = {})
        : Laufordner(datenbank, bilder) {}
    void link(const std::string& ziel, const std::string& name) const { fs::create_symlink(ziel, in_F(name)); }
    Baum baum() const { return Vollbaum(F); }
    Baum aussen() const // the test folder outside F, a list waiting in the temporary folder left out
    {
        Baum baum = Vollbaum(t.pfad());
        std::erase_if(baum, [](const auto& e) { return e.first.starts_with("roms") || e.first == "temp/games.htm"; });
        return baum;
    }

    // The batch run over F in a guarded child; the result comes back as numbers and the message.
    Kurzergebnis lauf(bool spielliste = false) const
    {
        const auto [status, antwort] = Im_kind([&] {
            const Batchergebnis e = Batchrun({F, db, false, spielliste});
            const Batchzaehler& z = e.zaehler;
            std::string aus;
            for (const int zahl : {e.fehler ? e.fehler->zahl() : 0, z.insgesamt, z.umbenannt, z.schon_richtig, z.unbekannt, z.duplikate})
                aus += std::to_string(zahl) + ' ';
            return aus + e.meldung.text;
        });
        std::istringstream ein(antwort);
        Kurzergebnis k;
        ein >> k.fehler >> k.zaehler[0] >> k.zaehler[1] >> k.zaehler[2] >> k.zaehler[3] >> k.zaehler[4];
        k.meldung = ein ? antwort.substr(static_cast<std::size_t>(ein.tellg()) + 1) : "";
        EXPECT_TRUE(status == 0 && ein) << "the batch run hung or crashed";
        return k;
    }
};

// The run completed (fehler 0) or stopped with that failure at pfad.
void Erwarte_ende(const Kurzergebnis& e, int fehler, const std::string& pfad)
{
    EXPECT_EQ(e.fehler, fehler) << e.meldung;
    EXPECT_TRUE(!fehler || e.meldung == Fehlertext(fehler, pfad)) << e.meldung;
}

TEST(Feindliche_eintraege, FifosSocketsFoldersDeadAndLoopingLinksAreLeftAloneBySelectionAndBatchAndNothingHangs)
{
    // name, what it is ("link ..." with its target), the failure selecting it gives
    const std::vector<std::tuple<std::string, std::string, int>> eintraege = {
        {"fifo.smc", "fifo", 75}, {"offen.smc", "fifo", 75}, {"sock.smc", "socket", 75}, {"unter.smc", "folder", 75},
        {"tot.smc", "link fehlt.smc", 53}, {"schleife.smc", "link schleife.smc", 76}, {"a_ring.smc", "link b_ring.smc", 76},
        {"b_ring.smc", "link a_ring.smc", 76}, {"ordnerlink.smc", "link unter.smc", 75}, {"fifolink.smc", "link fifo.smc", 75},
        {"geraet.smc", "link /dev/null", 75}};
    Umgebung u(Grunddatenbank, {{"alpha.smc", Alpha}, {"zeta.smc", Raetsel}});
    for (const auto& [name, art, fehler] : eintraege)
        art == "fifo" ? Lege_fifo_an(u.in_F(name)) : art == "socket" ? Lege_socket_an(u.in_F(name))
            : art == "folder" ? (void)fs::create_directory(u.in_F(name)) : u.link(art.substr(5), name);
    const int halter = ::open(u.in_F("offen.smc").c_str(), O_RDWR | O_NONBLOCK); // a reader finds it ready but empty
    for (const auto& [name, art, fehler] : eintraege) {
        ++Faelle;
        EXPECT_EQ(Fehler_im_kind([&] { Waehle_datei(u.in_F(name), u.db, false); }), fehler) << name;
    }
    Faelle += static_cast<int>(eintraege.size());
    Baum erwartet = u.baum();
    const Kurzergebnis e = u.lauf(true);
    ::close(halter);
    EXPECT_EQ(e.zaehler, (Zaehler{2, 1, 0, 1, 0})) << e.meldung;
    erwartet.erase("alpha.smc");
    erwartet.erase("zeta.smc");
    erwartet.insert({{R, "folder"}, {R + "/" + Alpha_neu, Bild(Alpha)}, {R + "/games.htm", Inhalt(Seite_alpha)}, {U, "folder"},
                     {U + "/zeta.smc", Bild(Raetsel)}, {U + "/unknown.log", Inhalt(Log_zeta)}});
    EXPECT_EQ(u.baum(), erwartet);
}

TEST(Feindliche_eintraege, LinksToImagesCountAsFilesAndStillLeadToTheImageAfterTheMove)
{
    Umgebung u;
    fs::create_directory(u.t / "lager");
    const std::vector<std::pair<std::string, Rombauplan>> bilder = {{"alpha", Alpha}, {"gamma", Gamma}, {"zeta", Raetsel}};
    for (const auto& [name, plan] : bilder)
        Schreibe_rom(u.t / "lager/" + name, plan);
    u.link(u.t / "lager/alpha", "absolut.smc"); // absolute target
    u.link("../lager/gamma", "relativ.smc");    // relative target
    u.link("../lager/zeta", "unbekannt.smc");   // relative, unknown image
    Faelle += 3;
    const Baum aussen_vorher = u.aussen();
    EXPECT_EQ(u.lauf().zaehler, (Zaehler{3, 2, 0, 1, 0}));
    EXPECT_EQ(u.aussen(), aussen_vorher); // the images stay where they are
    for (const std::string& eintrag : {R + "/" + Alpha_neu, R + "/" + Gamma_neu, U + "/unbekannt.smc"}) {
        EXPECT_TRUE(fs::is_symlink(u.in_F(eintrag))) << eintrag;
        EXPECT_TRUE(fs::is_regular_file(u.in_F(eintrag))) << eintrag << ": the moved link no longer leads to the image";
    }
    EXPECT_EQ(Lies_datei(u.in_F(R + "/" + Gamma_neu)), Baue_rom(Gamma));
}

TEST(Feindliche_eintraege, AFileChangedAfterTheListingEndsAsDecidedAndLosesNothing)
{
    struct Fall {
        Systemoperation wann; // opening beta.smc or moving it to its new name
        std::function<void(const std::string&)> wechsel;
        int fehler;         // 0: the run goes on
        const char* danach; // what stands at beta.smc afterwards
    };
    const auto weg = [](const std::string& p) { fs::remove(p); };
    for (const Fall& fall : std::vector<Fall>{
             {Systemoperation::Oeffnen, weg, 53, ""}, {Systemoperation::Verschieben, weg, 53, ""},
             {Systemoperation::Oeffnen, [](const std::string& p) { Schreibe_rom(p, Alpha2); }, 0, "copy"},
             {Systemoperation::Oeffnen, [&](const std::string& p) { weg(p), Lege_fifo_an(p); }, 0, "fifo"},
             {Systemoperation::Oeffnen, [&](const std::string& p) { weg(p), Lege_socket_an(p); }, 0, "other"},
             {Systemoperation::Oeffnen, [&](const std::string& p) { weg(p), fs::create_symlink("beta.smc", p); }, 76, "link to beta.smc"}}) {
        SCOPED_TRACE(std::to_string(fall.fehler) + fall.danach);
        ++Faelle;
        Umgebung u(Grunddatenbank, {{"alpha.smc", Alpha}, {"beta.smc", Gamma}, {"zeta.smc", Raetsel2}});
        const std::string beta = u.in_F("beta.smc");
        bool gewechselt = false;
        const Hakenwaechter haken([&](Systemoperation operation, const std::string& pfad) {
            if (operation == fall.wann && (pfad == beta || pfad.ends_with(Gamma_neu)) && !std::exchange(gewechselt, true))
                fall.wechsel(beta);
            return 0;
        });
        Erwarte_ende(u.lauf(), fall.fehler, beta);
        Baum erwartet = Nach_halt({{fall.fehler ? "zeta.smc" : U + "/zeta.smc", Bild(Raetsel2)}});
        if (*fall.danach)
            erwartet[fall.danach == "copy"s ? D + "/beta.smc" : "beta.smc"] = fall.danach == "copy"s ? Bild(Alpha2) : fall.danach;
        if (!fall.fehler) // the run went on: zeta is unknown and logged, an unused folder went
            erwartet[U + "/unknown.log"] = Inhalt(Unbekannt_eintrag("zeta.smc", "SNES LoRom, no Header", Interner_name("NOCH EINER"),
                                                                    "1 = USA (NTSC)", "34 12"));
        if (!fall.fehler && fall.danach != "copy"s)
            erwartet.erase(D);
        EXPECT_EQ(u.baum(), erwartet);
    }
}

TEST(Feindliche_eintraege, AnUnreadableFileStopsTheRunNamingItAndLosesNothing)
{
    // errnum 0: the file's mode bits deny reading, which root does not heed
    for (const auto& [operation, errnum, fehler] : std::vector<std::tuple<Systemoperation, int, int>>{
             {Systemoperation::Oeffnen, EACCES, 70}, {Systemoperation::Lesen, EIO, 57}, {Systemoperation::Oeffnen, 0, 70}}) {
        if (errnum == 0 && ::geteuid() == 0)
            continue;
        SCOPED_TRACE(errnum);
        ++Faelle;
        Umgebung u(Grunddatenbank, {{"alpha.smc", Alpha}, {"beta.smc", Gamma}, {"zeta.smc", Raetsel}});
        const std::string beta = u.in_F("beta.smc");
        ::chmod(beta.c_str(), errnum ? 0644 : 0);
        const Hakenwaechter haken([&](Systemoperation op, const std::string& pfad) { return op == operation && pfad == beta ? errnum : 0; });
        const Kurzergebnis e = u.lauf(true);
        ::chmod(beta.c_str(), 0644);
        Erwarte_ende(e, fehler, beta);
        EXPECT_EQ(e.zaehler, (Zaehler{2, 1, 0, 0, 0}));
        EXPECT_EQ(u.baum(), Nach_halt({{"beta.smc", Bild(Gamma)}, {"zeta.smc", Bild(Raetsel)}}));
        // The begun list was closed and not placed.
        EXPECT_EQ(Vollbaum(u.tempordner), (Baum{{"games.htm", Inhalt(Listenkopf_text() + Listenzeile_text(Zeile_alpha))}}));
    }
}

TEST(Feindliche_namen, LineFeedsDashesBrokenUtf8AndLongNamesAreFiledUnchanged)
{
    using Fall = std::tuple<std::string, Rombauplan, std::string, std::string>; // name, image, where it ends up, as logged
    const std::string lang_unbekannt = std::string(251, 'u') + ".smc", lang_kopie = std::string(251, 'k') + ".smc";
    const std::vector<Fall> faelle = {
        {"zeile\numbruch.smc", Raetsel, U + "/zeile\numbruch.smc", "zeile\\u{000A}umbruch.smc"},
        {"wagen\rruecklauf.smc", Gamma, R + "/" + Gamma_neu, ""},
        {"-rf.smc", Alpha, R + "/" + Alpha_neu, ""},
        {"--help.smc", Raetsel, U + "/--help.smc", "--help.smc"},
        {"\xFF\xFE.smc", Raetsel, U + "/\xFF\xFE.smc", "\\xFF\\xFE.smc"},
        {"a\\b.smc", Raetsel, U + "/a\\b.smc", "a\\\\b.smc"},
        {lang_unbekannt, Raetsel, U + "/" + lang_unbekannt, lang_unbekannt},
        {lang_kopie, Alpha, D + "/" + lang_kopie, ""}}; // listed after -rf.smc: the copy
    Umgebung u;
    Baum erwartet = {{R, "folder"}, {U, "folder"}, {D, "folder"}};
    for (const auto& [name, plan, ziel, im_log] : faelle) {
        u.bild(name, plan);
        erwartet[ziel] = Bild(plan);
    }
    Faelle += static_cast<int>(faelle.size());
    EXPECT_EQ(u.lauf().zaehler, (Zaehler{8, 2, 0, 5, 1}));
    const std::string log = Lies_datei(u.in_F(U + "/unknown.log"));
    erwartet[U + "/unknown.log"] = Inhalt(log);
    EXPECT_EQ(u.baum(), erwartet);
    // Every unknown name stands in the log, escaped where Windows-1252 or a line of its own would not hold it.
    for (const auto& [name, plan, ziel, im_log] : faelle)
        EXPECT_TRUE(im_log.empty() || log.find("Filename = \"" + im_log + "\"") != std::string::npos) << im_log;
    for (std::size_t i = log.find('\n'); i != std::string::npos; i = log.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "a bare line feed in the log at " << i;
    // A failure message escapes the name of the file just the same.
    Umgebung v(Grunddatenbank, {{"zeile\n\xFF.smc", Alpha}});
    const Hakenwaechter haken(Scheitere_bei(Systemoperation::Verschieben, EIO));
    ++Faelle;
    Erwarte_ende(v.lauf(), 57, v.in_F("zeile\\u{000A}\\xFF.smc"));
    EXPECT_EQ(Lies_datei(v.in_F("zeile\n\xFF.smc")), Baue_rom(Alpha));
}

TEST(Feindliche_namen, NewNamesTooLongOrWithPathSeparatorsFailWithFiftyTwoAndNeverLeaveTheFolder)
{
    const std::vector<std::pair<std::string, bool>> faelle = { // the full name, and whether the new name is fine
        {std::string(246, 'L'), false}, {std::string(245, 'L'), true}, // " (USA).smc" is 10 bytes: 256 and 255
        {std::string(200, '\xE9'), false},                              // 400 bytes once in UTF-8
        {std::string(10 << 20, 'h'), false}, {"../Raus", false}, {"Unter/Name", false}, {"..\\Raus", false},
        {"Name\0"s, false}, {"..", true}};
    for (const auto& [voller_name, passt] : faelle) {
        SCOPED_TRACE(voller_name.substr(0, 12));
        ++Faelle;
        Umgebung u(Grunddatenbank + Datenbankzeile("LONG NAME GAME", voller_name), {{"alpha.smc", Alpha}, {"lang.smc", Lang}});
        fs::create_directories(u.in_F(R + "/Unter")); // folders a name could lead into
        fs::create_directories(u.t / "raus");
        const Baum aussen_vorher = u.aussen();
        Erwarte_ende(u.lauf(), passt ? 0 : 52, u.in_F("lang.smc"));
        EXPECT_EQ(u.aussen(), aussen_vorher);
        if (passt)
            EXPECT_EQ(Lies_datei(u.in_F(R + "/" + Utf8_aus_cp1252(voller_name + " (USA).smc"))), Baue_rom(Lang));
        else
            EXPECT_EQ(u.baum(), Nach_halt({{"lang.smc", Bild(Lang)}, {R + "/Unter", "folder"}}));
    }
}

TEST(Schreibfehler, ReadOnlyFolderOrFullDiskStopsWithTheMessageOrCompletesWithoutTheList)
{
    // The hook fails this operation on a path ending so the n-th time with errnum; fehler 0: the run completes without the list.
    using enum Systemoperation;
    for (const auto& [operation, pfad, nummer, errnum, fehler] : std::vector<std::tuple<Systemoperation, std::string, int, int, int>>{
             {Ordner_anlegen, "", 1, EROFS, 70}, {Verschieben, "", 1, EACCES, 70}, {Oeffnen, "unknown.log", 1, EROFS, 70},
             {Ordner_entfernen, "", 1, EROFS, 70}, {Oeffnen, "games.htm", 1, ENOSPC, 61}, // the list's head, end
             {Schreiben, "games.htm", 1, ENOSPC, 61}, {Schreiben, "games.htm", 4, ENOSPC, 0},
             {Schreiben, "unknown.log", 1, ENOSPC, 61}, {Schreiben, "unknown.log", 1, EDQUOT, 61},
             {Schreiben, "unknown.log", 1, EFBIG, 61}, {Schliessen, "unknown.log", 1, ENOSPC, 61}}) {
        SCOPED_TRACE(pfad + " " + std::to_string(static_cast<int>(operation)) + " " + std::strerror(errnum));
        ++Faelle;
        Umgebung u(Grunddatenbank, {{"alpha.smc", Alpha}, {"beta.smc", Gamma}, {"zeta.smc", Raetsel}});
        fs::create_directory(u.in_F(U));
        Schreibe_datei(u.in_F(U + "/unknown.log"), "earlier\r\n");
        const Baum vorher = u.baum(), aussen_vorher = u.aussen();
        int gezaehlt = 0;
        const Hakenwaechter haken([&](Systemoperation op, const std::string& p) {
            return op == operation && p.ends_with(pfad) && ++gezaehlt == nummer ? errnum : 0;
        });
        const Kurzergebnis e = u.lauf(true);
        const std::string kopf = fehler ? Fehlertext(fehler, "") : "";
        EXPECT_EQ(e.fehler, fehler) << e.meldung;
        EXPECT_TRUE(e.meldung.starts_with(kopf.substr(0, kopf.find("\nThis")))) << e.meldung;
        const Baum danach = u.baum();
        EXPECT_FALSE(danach.contains(R + "/games.htm")) << "an incomplete list is never placed";
        EXPECT_TRUE(operation != Ordner_anlegen || danach == vorher) << "a file was touched";
        const std::string log = Lies_datei(u.in_F(U + "/unknown.log"));
        EXPECT_TRUE(log == "earlier\r\n" || log == "earlier\r\n" + Log_zeta) << "not complete entries only: " << log;
        for (const Rombauplan* plan : {&Alpha, &Gamma, &Raetsel})
            EXPECT_EQ(std::ranges::count(danach | std::views::values, Bild(*plan)), 1) << "not exactly once: " << plan->name;
        EXPECT_EQ(u.aussen(), aussen_vorher);
    }
}

TEST(Feindliche_datenbank, TheMatchIsFoundAndFiledAndADatabaseThatIsNoFileMovesNothing)
{
    std::string viele, nur_cr = Datenbankzeile("A", "B") + Datenbankzeile("C", "D") + Grunddatenbank;
    for (int i = 0; i < 199998; ++i) // the match two records before the end
        viele += Datenbankzeile("FILLER " + std::to_string(i), "Filler Game " + std::to_string(i));
    std::erase(nur_cr, '\n');
    for (const auto& [datenbank, name] : std::vector<std::pair<std::string, std::string>>{ // the database, the image's name
             {nur_cr, "ALPHA QUEST"},
             {"\"A\",\"B\"\r" + Datenbankzeile("X", "Y") + "\"C\",\"D\"\n\n\r\n" + Grunddatenbank, "ALPHA QUEST"},
             {"\"NUL\0IN KEY\",\"N\0\"\r\n"s + Datenbankzeile("\0\0\0"s, "x") + Grunddatenbank + Datenbankzeile("T", "\0"s), "ALPHA QUEST"},
             {Datenbankzeile("NUL\0KEY"s, "Alpha Quest") + Grunddatenbank, "NUL\0KEY"s},
             {Datenbankzeile("HUGE", std::string(10 << 20, 'h')) + Grunddatenbank, "ALPHA QUEST"},
             {viele + Grunddatenbank, "ALPHA QUEST"}}) {
        SCOPED_TRACE(datenbank.substr(0, 30));
        ++Faelle;
        Umgebung u(datenbank, {{"alpha.smc", {.name = name}}, {"zeta.smc", Raetsel}});
        const Kurzergebnis e = u.lauf();
        EXPECT_EQ(u.baum(), (Baum{{R, "folder"}, {R + "/" + Alpha_neu, Bild({.name = name})}, {U, "folder"},
                                  {U + "/zeta.smc", Bild(Raetsel)}, {U + "/unknown.log", Inhalt(Log_zeta)}}))
            << e.meldung;
    }
    for (const bool fifo : {true, false}) { // the lookup fails with a path/file access error: each image is passed over
        ++Faelle;
        Umgebung u(Grunddatenbank, {{"alpha.smc", Alpha}});
        fs::remove(u.db);
        fifo ? Lege_fifo_an(u.db) : (void)fs::create_directory(u.db);
        const Baum vorher = u.baum();
        const Kurzergebnis e = u.lauf();
        EXPECT_EQ(e.fehler, 0) << e.meldung;
        EXPECT_EQ(e.zaehler, (Zaehler{1, 0, 0, 0, 0})) << fifo;
        EXPECT_EQ(u.baum(), vorher);
    }
}

TEST(Belegte_ausgabeordner, StrangeEntriesInPlaceOfOutputFoldersStayAndTheRunEndsAsDecided)
{
    struct Fall {
        std::function<void(const Umgebung&)> anlegen; // besides the image
        const Rombauplan& plan;                        // alpha.smc, or zeta.smc when unknown
        int fehler;                                    // 0: the run completes
        Baum danach;
    };
    const auto mit = [](Baum baum, const Baum& dazu) { return baum.insert(dazu.begin(), dazu.end()), baum; };
    const Baum alpha = {{R, "folder"}, {R + "/" + Alpha_neu, Bild(Alpha)}}, zeta = {{U, "folder"}, {U + "/zeta.smc", Bild(Raetsel)}};
    const auto log_ordner = [](const Umgebung& u) { fs::create_directory(u.in_F(U)); };
    for (const Fall& fall : std::vector<Fall>{
             {[](const Umgebung& u) { Schreibe_datei(u.in_F(D), "mine"); }, Alpha, 0, mit(alpha, {{D, Inhalt("mine")}})},
             {[](const Umgebung& u) { u.bild(D, Gamma); }, Alpha, 0, mit(alpha, {{R + "/" + Gamma_neu, Bild(Gamma)}})},
             {[](const Umgebung& u) { Lege_fifo_an(u.in_F(U)), u.link("../anderswo", D); }, Alpha, 0,
              mit(alpha, {{U, "fifo"}, {D, "link to ../anderswo"}})},
             {[](const Umgebung& u) { Lege_fifo_an(u.in_F(U)); }, Raetsel, 76,
              {{U, "fifo"}, {"zeta.smc", Bild(Raetsel)}, {D, "folder"}, {R, "folder"}}},
             {[](const Umgebung& u) { u.link("nirgends", R); }, Alpha, 53,
              {{R, "link to nirgends"}, {"alpha.smc", Bild(Alpha)}, {D, "folder"}, {U, "folder"}}},
             {[&](const Umgebung& u) { log_ordner(u), Lege_fifo_an(u.in_F(U + "/unknown.log")); }, Raetsel, 0,
              mit(zeta, {{U + "/unknown.log", "fifo"}})},
             {[&](const Umgebung& u) { log_ordner(u), u.link("../../fremd", U + "/unknown.log"); }, Raetsel, 0,
              mit(zeta, {{U + "/unknown.log", "link to ../../fremd"}})},
             {[](const Umgebung& u) { fs::create_directories(u.in_F(R + "/games.htm")); }, Alpha, 0,
              mit(alpha, {{R + "/games.htm", "folder"}})}}) {
        SCOPED_TRACE(testing::PrintToString(fall.danach));
        ++Faelle;
        Umgebung u;
        fs::create_directory(u.t / "anderswo");
        Schreibe_datei(u.t / "fremd", "someone else's file\n");
        fall.anlegen(u);
        const std::string bild = &fall.plan == &Alpha ? "alpha.smc" : "zeta.smc";
        u.bild(bild, fall.plan);
        const Baum aussen_vorher = u.aussen();
        Erwarte_ende(u.lauf(fall.danach.contains(R + "/games.htm")), fall.fehler, u.in_F(bild));
        EXPECT_EQ(u.baum(), fall.danach);
        EXPECT_EQ(u.aussen(), aussen_vorher) << "something outside F changed";
    }
}

// The mended operations on their own.
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
        ++Faelle;
        EXPECT_EQ(Fehlernummer_von([&] { Entferne_ordner(t / name); }), 75) << name;
    }
    EXPECT_EQ(Vollbaum(t.pfad()), vorher);
    EXPECT_EQ(Fehlernummer_von([&] { Entferne_ordner(t / "datei/unter"); }), 76); // a path that leads to no folder
}

TEST(Einzelne_operationen, UnknownLogThatIsNoPlainFileIsRefusedAtOnce)
{
    Tempordner t;
    Schreibe_datei(t / "fremd", "fremd");
    for (const auto& [art, anlegen] : std::vector<std::pair<std::string, std::function<void(const std::string&)>>>{
             {"fifo", [](const std::string& log) { Lege_fifo_an(log); }},
             {"link", [&](const std::string& log) { fs::create_symlink(t / "fremd", log); }},
             {"ordner", [](const std::string& log) { fs::create_directory(log); }},
             {"toter_link", [&](const std::string& log) { fs::create_symlink(t / "nirgends", log); }}}) {
        ++Faelle;
        fs::create_directory(t / art);
        anlegen(t / art + "/unknown.log");
        EXPECT_EQ(Fehler_im_kind([&] { Schreibe_unbekannt(t / art, "a.smc", "b", "c", "d", "e"); }), 75) << art;
        EXPECT_EQ(Lies_datei(t / "fremd"), "fremd");
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
    Faelle += 2;
    Verschiebe_datei(t / "F/verweis", t / "F/aus/neu");
    EXPECT_EQ(Lies_datei(t / "F/aus/neu"), "bild");
    EXPECT_FALSE(fs::exists(fs::symlink_status(t / "F/verweis")));
    EXPECT_EQ(Fehlernummer_von([&] { Verschiebe_datei(t / "F/zweiter", t / "F/aus/neu"); }), 58); // onto a taken name
    EXPECT_EQ(fs::read_symlink(t / "F/zweiter"), "bild.bin");
    EXPECT_EQ(Lies_datei(t / "F/aus/neu"), "bild");
}

TEST(Dateimodus_feindlich, ARenamedRelativeLinkStillLeadsToItsFile)
{
    Tempordner t;
    Schreibe_datei(t / "alt.smc", "bild");
    fs::create_symlink("alt.smc", t / "verweis.smc");
    ++Faelle;
    Benenne_datei_um(t / "verweis.smc", t.pfad().string(), "Neu (USA).smc");
    EXPECT_EQ(Vollbaum(t.pfad()), (Baum{{"Neu (USA).smc", "link to alt.smc"}, {"alt.smc", Inhalt("bild")}}));
}

// Runs cartonym-cli with exactly these arguments (no shell in between) in a
// guarded child working in the folder ordner; stderr goes through u.t/cli.err.
Aufruf Rufe_cli(const Umgebung& u, std::vector<std::string> argumente, const std::string& ordner)
{
    const auto [status, out] = Im_kind([&] {
        const int fd_err = ::open((u.t / "cli.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv = {const_cast<char*>(CARTONYM_CLI_PATH)};
        for (std::string& argument : argumente)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (::chdir(ordner.c_str()) == 0 && ::dup2(fd_err, 2) >= 0 && ::close(0) == 0 && ::open("/dev/null", O_RDONLY) == 0)
            ::execv(argv[0], argv.data());
        ::_exit(127);
        return ""s;
    });
    return {status, out, Lies_datei(u.t / "cli.err")};
}

TEST(Cli_feindlich, LeadingDashesFifosAndLineFeedsInTheCli)
{
    Umgebung u(Grunddatenbank + Datenbankzeile("LONG NAME GAME", std::string(300, 'L')),
               {{"-rf.smc", Alpha}, {"--json", Raetsel}, {"zeile\numbruch.smc", Raetsel2}});
    Lege_fifo_an(u.in_F("fifo.smc"));
    Lege_socket_an(u.in_F("sock.smc"));
    fs::create_directory(u.t / "-rf");
    Schreibe_rom(u.t / "-rf/lang.smc", Lang);
    Faelle += 7;
    // After "--" a leading dash is a file name; without it, a usage error. A FIFO answers at once with an error.
    auto aufruf = Rufe_cli(u, {"info", "--db", u.db, "--", "-rf.smc"}, u.F);
    EXPECT_EQ(nlohmann::json::parse(aufruf.out)["new_name"], Alpha_neu) << aufruf.err;
    EXPECT_EQ(Rufe_cli(u, {"info", "--db", u.db, "-rf.smc"}, u.F).status, 2);
    aufruf = Rufe_cli(u, {"info", "--db", u.db, u.in_F("fifo.smc")}, u.F);
    EXPECT_EQ(aufruf.status, 1);
    EXPECT_EQ(nlohmann::json::parse(aufruf.out)["error"]["number"], 75);
    // A batch tells the unknown names exactly and leaves the special entries alone.
    aufruf = Rufe_cli(u, {"batch", "--db", u.db, "--json", u.F}, u.t.pfad());
    EXPECT_EQ(aufruf.status, 0) << aufruf.err;
    const auto json = nlohmann::json::parse(aufruf.out);
    EXPECT_EQ(json["renamed"], 1);
    EXPECT_EQ(json["unknown"], nlohmann::json({"--json", "zeile\numbruch.smc"}));
    Baum baum = u.baum();
    baum.erase(U + "/unknown.log");
    EXPECT_EQ(baum, (Baum{{R, "folder"}, {R + "/" + Alpha_neu, Bild(Alpha)}, {U, "folder"}, {U + "/--json", Bild(Raetsel)},
                          {U + "/zeile\numbruch.smc", Bild(Raetsel2)}, {"fifo.smc", "fifo"}, {"sock.smc", "other"}}));
    // A batch over a folder named with a dash whose image's new name is too long: exit 1 and the message.
    aufruf = Rufe_cli(u, {"batch", "--db", u.db, "--", "-rf"}, u.t.pfad());
    EXPECT_EQ(aufruf.status, 1);
    EXPECT_EQ(aufruf.err, Fehlertext(52, "-rf/lang.smc") + "\n");
    EXPECT_EQ(Lies_datei(u.t / "-rf/lang.smc"), Baue_rom(Lang));
}

} // namespace
} // namespace cartonym
