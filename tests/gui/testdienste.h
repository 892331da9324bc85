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
    Message message;
    ui::Meldungsknoepfe knoepfe;
};

class Testmeldungen : public ui::Meldungsdienst {
public:
    ui::Meldungsantwort zeige(QWidget*, const Message& message, ui::Meldungsknoepfe knoepfe) override
    {
        shown.push_back({message, knoepfe});
        if (antworten.empty())
            return knoepfe == ui::Meldungsknoepfe::Ok ? ui::Meldungsantwort::Ok : ui::Meldungsantwort::Abbrechen;
        const ui::Meldungsantwort answer = antworten.front();
        antworten.pop_front();
        return answer;
    }

    std::deque<ui::Meldungsantwort> antworten;
    QList<Gezeigte_meldung> shown;
};

class Testschale : public ui::Schale {
public:
    void oeffne(const QUrl& address) override { geoeffnet.push_back(address); }
    QList<QUrl> geoeffnet;
};

class Testuhr : public ui::Uhr {
public:
    std::int64_t millisekunden() const override { return now_ts; }
    std::int64_t now_ts = 100000;
};

} // namespace cartonym::test
