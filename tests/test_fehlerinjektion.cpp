// Fault injection over whole batch runs: the n-th file-system operation of a
// run fails with EIO, ENOSPC, EACCES, EXDEV or EEXIST, for every n. Whatever
// fails, no image is lost, duplicated, truncated or left half-written, the
// game list is never placed incomplete, the outcome follows the failure
// rules, and the next run over the same folder completes.
#include "common/dateisystem.h"
#include "common/fehler.h"
#include "common/zahltext.h"
#include "fixtures/rombau.h"
#include "operations/batchlauf.h"
#include "tests/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace cartonym;
namespace fs = std::filesystem;

namespace {

struct Fehlerfall {
    int errnum;
    const char* name;
};

constexpr Fehlerfall Fehlerfaelle[] = {
    {EIO, "EIO"}, {ENOSPC, "ENOSPC"}, {EACCES, "EACCES"}, {EXDEV, "EXDEV"}, {EEXIST, "EEXIST"},
};

// The files a run may create besides the images.
bool Ist_bericht(const std::string& pfad)
{
    return pfad.ends_with("games.htm") || pfad.ends_with("unknown.log");
}

std::vector<std::string> Bildinhalte(const fs::path& ordner)
{
    std::vector<std::string> inhalte;
    for (const auto& [pfad, inhalt] : test::Baumzustand(ordner))
        if (!Ist_bericht(pfad))
            inhalte.push_back(inhalt);
    std::sort(inhalte.begin(), inhalte.end());
    return inhalte;
}

class Fehlerinjektion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("temp", temp_.pfad().c_str(), 1);
        fixtures::Schreibe_datei(datenbank_, fixtures::Datenbankzeile("KNOWN ONE", "Known One")
                                                 + fixtures::Datenbankzeile("KNOWN TWO", "Known Two")
                                                 + fixtures::Datenbankzeile("TWIN", "Twin"));
    }
    void TearDown() override
    {
        Setze_fehlerhaken({});
        ::unsetenv("temp");
    }

    // A folder with every kind of file: images to rename, one already named,
    // two copies of one game, an unknown image, a non-image, and a name that
    // an earlier run left taken in Renamed_SNES_ROMs.
    fs::path Neuer_ordner()
    {
        const fs::path ordner = arbeit_.pfad() / ("run" + std::to_string(zaehler_++));
        fs::create_directories(ordner / "Renamed_SNES_ROMs");
        using fixtures::Rombauplan;
        auto bild = [&](const std::string& datei, const std::string& name, fixtures::Kopierkopf kopf, std::uint16_t summe) {
            Rombauplan plan;
            plan.name = name;
            plan.kopf = kopf;
            plan.pruefsumme = summe;
            plan.datenlaenge = 0x8000;
            fixtures::Schreibe_rom((ordner / datei).string(), plan);
        };
        bild("a.smc", "KNOWN ONE", fixtures::Kopierkopf::Keiner, 0x1111);
        bild("Known Two (USA).swc", "KNOWN TWO", fixtures::Kopierkopf::SWC, 0x2222);
        bild("twin 1.fig", "TWIN", fixtures::Kopierkopf::FIG, 0x3333);
        bild("twin 2.fig", "TWIN", fixtures::Kopierkopf::FIG, 0x3333);
        bild("zz unknown.smc", "NOBODY", fixtures::Kopierkopf::Keiner, 0x4444);
        fixtures::Schreibe_datei((ordner / "notes.txt").string(), "no image");
        fixtures::Schreibe_datei((ordner / "Renamed_SNES_ROMs" / "Known One (USA).smc").string(), "earlier run");
        return ordner;
    }

    Batchergebnis Lauf(const fs::path& ordner)
    {
        Batchoptionen optionen;
        optionen.Ordner = ordner.string();
        optionen.Datenbankpfad = datenbank_;
        optionen.spielliste = true;
        return Batchrun(optionen);
    }

    test::Tempordner arbeit_;
    test::Tempordner temp_;
    std::string datenbank_ = arbeit_ / "snes.dat";
    int zaehler_ = 0;
};

} // namespace

TEST_F(Fehlerinjektion, NoFailureAtAnyPointLosesOrCorruptsAFile)
{
    // Count the operations of an undisturbed run.
    int operationen = 0;
    Setze_fehlerhaken([&](Systemoperation, const std::string&) {
        ++operationen;
        return 0;
    });
    ASSERT_EQ(Lauf(Neuer_ordner()).ausgang, Batchausgang::Abgeschlossen);
    ASSERT_GT(operationen, 20);

    int laeufe = 0;
    for (const Fehlerfall& fall : Fehlerfaelle) {
        for (int n = 1; n <= operationen; ++n) {
            const std::string wo = std::string(fall.name) + " at operation " + std::to_string(n);
            const fs::path ordner = Neuer_ordner();
            const auto vorher = Bildinhalte(ordner);

            int gezaehlt = 0;
            std::string fehlgeschlagen; // the path of the failed operation
            Systemoperation art {};
            Setze_fehlerhaken([&](Systemoperation operation, const std::string& pfad) {
                if (++gezaehlt != n)
                    return 0;
                fehlgeschlagen = pfad;
                art = operation;
                return fall.errnum;
            });
            const Batchergebnis ergebnis = Lauf(ordner);
            Setze_fehlerhaken({});
            ++laeufe;

            // Every image and the non-image exactly once, byte for byte; no
            // empty or partial file anywhere.
            ASSERT_EQ(Bildinhalte(ordner), vorher) << wo;
            // The game list is placed only complete.
            const fs::path liste = ordner / "Renamed_SNES_ROMs" / "games.htm";
            if (fs::exists(liste)) {
                EXPECT_TRUE(fixtures::Lies_datei(liste.string()).ends_with("</body></html>\r\n")) << wo;
            }

            if (ergebnis.ausgang == Batchausgang::Fehlgeschlagen) {
                // Stopped: only by a failure that neither rule 58 nor 75 covers
                // (the injected one, or one it led to, such as a missing folder).
                ASSERT_TRUE(ergebnis.fehler.has_value()) << wo;
                const int nummer = ergebnis.fehler->zahl();
                EXPECT_NE(nummer, 75) << wo << " (" << fehlgeschlagen << ")";
                EXPECT_FALSE(nummer == 58 && art == Systemoperation::Verschieben && !Ist_bericht(fehlgeschlagen)) << wo;
                EXPECT_EQ(ergebnis.meldung.titel, "Error !") << wo;
                EXPECT_TRUE(ergebnis.meldung.text.starts_with("Error Nr. " + Dezimaltext(nummer) + " happened:\n")) << wo;
                EXPECT_TRUE(ergebnis.meldung.text.ends_with("\n\nProgress aborted !")) << wo;
            } else if (ergebnis.ausgang == Batchausgang::Keine_dateien) {
                EXPECT_EQ(art, Systemoperation::Auflisten) << wo; // a folder that could not be listed
            }

            // The next run over the same folder completes and keeps everything.
            EXPECT_EQ(Lauf(ordner).ausgang, Batchausgang::Abgeschlossen) << wo;
            ASSERT_EQ(Bildinhalte(ordner), vorher) << wo;
        }
    }
    RecordProperty("faults_injected", laeufe);
    std::printf("faults injected: %d\n", laeufe);
}
