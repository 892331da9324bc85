// A message for the user, as the window shows it in a modal box and the
// command line prints it. Texts are Windows-1252.
#pragma once

#include <string>

namespace cartonym {

enum class Meldungssymbol { Keines, Information, Ausrufezeichen };

struct Meldung {
    std::string titel;
    std::string text;
    Meldungssymbol symbol = Meldungssymbol::Information;
};

} // namespace cartonym
