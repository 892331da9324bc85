// Stand-ins for the desktop in the GUI tests: message boxes that answer from
// a queue and record what they were asked to show, a shell that records the
// addresses it was asked to open, and a clock the test sets by hand.
#pragma once

#include "common/message.h"
#include "ui/meldungsdienst.h"
#include "ui/uhr.h"

#include <QtCore/QList>
#include <QtCore/QUrl>

#include <deque>

namespace cartonym::test {

struct Gezeigte_meldung {
    Meldung meldung;
    ui::Meldungsknoepfe knoepfe;
};

class Testmeldungen : public ui::Meldungsdienst {
public:
    ui::Meldungsantwort zeige(QWidget*, const Meldung& meldung, ui::Meldungsknoepfe knoepfe) override
    {
        gezeigt.push_back({meldung, knoepfe});
        if (antworten.empty())
            return knoepfe == ui::Meldungsknoepfe::Ok ? ui::Meldungsantwort::Ok : ui::Meldungsantwort::Abbrechen;
        const ui::Meldungsantwort antwort = antworten.front();
        antworten.pop_front();
        return antwort;
    }

    std::deque<ui::Meldungsantwort> antworten;
    QList<Gezeigte_meldung> gezeigt;
};

class Testschale : public ui::Schale {
public:
    void oeffne(const QUrl& adresse) override { geoeffnet.push_back(adresse); }
    QList<QUrl> geoeffnet;
};

class Testuhr : public ui::Uhr {
public:
    std::int64_t millisekunden() const override { return jetzt; }
    std::int64_t jetzt = 100000;
};

} // namespace cartonym::test
