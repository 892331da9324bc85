// The seams between the windows and the desktop: every modal message box
// and every link the program opens goes through one of these, so that tests
// can answer the boxes and record the links without anything appearing.
#pragma once

#include "common/message.h"

#include <QtCore/QUrl>

class QWidget;

namespace cartonym::ui {

enum class Meldungsknoepfe { Ok, Wiederholen_abbrechen };
enum class Meldungsantwort { Ok, Wiederholen, Abbrechen };

class Meldungsdienst {
public:
    virtual ~Meldungsdienst();

    // Shows the message modal to eltern and returns the button chosen.
    virtual Meldungsantwort zeige(QWidget* eltern, const Message& message,
                                  Meldungsknoepfe knoepfe = Meldungsknoepfe::Ok);
};

class Schale {
public:
    virtual ~Schale();

    // Asks the desktop to open an address with its default action; the
    // result is not looked at.
    virtual void oeffne(const QUrl& address);
};

// The real ones, for the program itself.
Meldungsdienst& Standard_meldungsdienst();
Schale& Standard_schale();

} // namespace cartonym::ui
